#pragma once

// One soak run: the register and payment simulators in this process, tavor1
// headless as a child process, and this process as the host on the four
// channels, sending jobs with injected faults and checking after each one
// that nothing was lost or printed twice.

#include "soak/FaultPlan.h"
#include "soak/RollAudit.h"
#include "soak/SoakOptions.h"
#include "soak/SoakRequest.h"
#include "soak/SoakRig.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <set>
#include <string>

namespace tavor1::soak {

class SoakRun {
public:
    SoakRun(SoakOptions options, std::string driverPath, std::ostream& out, SoakTimings timings = {});

    // Runs the whole soak; returns the exit status (0 only when every
    // invariant held).
    int run();

private:
    struct JobPlan {
        int job = 0;
        int channel = 1;
        SoakRequest request;
        PlannedFault fault;
    };

    // False when the run cannot go on (the driver is gone or stuck).
    bool runJob(int job);
    // What an operator does after a failed job: the open document is
    // cancelled at the register and the faults are lifted.
    void resetRegister();
    void report(const JobPlan& plan, const std::vector<std::string>& broken, int framesBefore,
                std::size_t documentsBefore);
    void printSummary(double seconds);

    std::string exchangePath(ExchangeFile file, int channel) const { return m_rig.exchangePath(file, channel); }

    SoakOptions m_options;
    std::ostream& m_out;
    SoakTimings m_timings;
    SoakRig m_rig;
    std::uint64_t m_seed = 0;
    std::mt19937_64 m_random;
    FaultPicker m_picker;

    regsim::RegisterSimulator& m_register;
    paysim::PaymentSimulator& m_payment;

    RollAudit m_audit;
    // Duplicates already reported, so that one is not blamed on every later job.
    std::set<int> m_reportedDuplicates;
    // Frames a clean job of each document shape took last time.
    std::array<int, 3> m_cleanFrames{22, 45, 12};

    int m_passed = 0;
    int m_failed = 0;
    std::array<int, kFaultKindCount> m_injected{};
    std::array<int, kFaultKindCount> m_failedByKind{};
    int m_finesco = 0;
    int m_srErr = 0;
    int m_cancelledByOperator = 0;
    std::optional<std::int64_t> m_rssStart;
    std::optional<std::int64_t> m_rssAt100;
    std::optional<std::int64_t> m_rssEnd;
    bool m_runBroken = false;
};

} // namespace tavor1::soak
