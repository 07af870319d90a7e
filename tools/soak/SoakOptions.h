#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavor1::soak {

// The soak's command line.
struct SoakOptions {
    int jobs = 0;
    // The crash mode: this many cycles of a sale whose driver is killed and
    // restarted; 0 for the fault soak of `jobs` jobs.
    int crashCycles = 0;
    // Empty: a seed is taken from the clock and printed, so the run can be replayed.
    std::optional<std::uint64_t> seed;
    // The driver to run; empty: the one built beside the soak.
    std::string tavor1;
    // Work in this folder and leave it behind; empty: a temporary folder
    // that goes when the soak ends.
    std::string keepDir;
    // Measure the driver's memory but do not judge it: a sanitizer build keeps
    // freed memory in quarantine, so its resident size grows by design.
    bool memoryCheck = true;
    // Crash mode: judge the card charges (no sale charged twice, every
    // approval printed or listed as not used). Off, they are only counted:
    // for a driver that does not reuse approvals yet.
    bool chargeCheck = true;
    bool help = false;
};

struct ParsedSoakArgs {
    SoakOptions options;
    std::string error; // empty when understood
};

// argv without the program name.
ParsedSoakArgs parseSoakArgs(const std::vector<std::string>& argv);

std::string soakUsage();

} // namespace tavor1::soak
