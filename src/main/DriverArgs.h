#pragma once

#include "platform/qt/OptionParser.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tavor1 {

// The driver's command line. Everything is optional: without arguments the
// program runs in window mode with its own folder as the program directory
// and the data directory settled as at every start.
struct DriverArgs {
    bool headless = false;
    bool simulate = false;
    bool help = false;
    bool version = false;
    // --data-dir: the data directory; wins over the registry override.
    std::optional<std::string> dataDir;
    // --config-dir: the program directory that holds the option files.
    std::optional<std::string> configDir;
    // --register-ip: the register's address for this run, over the option
    // files and the registry; the files keep theirs.
    std::optional<std::string> registerIp;
    // --register-port: replaces the register's port 9100.
    std::optional<int> registerPort;
    // --payment-url: replaces the payment service base http://localhost:80.
    std::optional<std::string> paymentUrl;
    // --roll: in simulated mode, the simulated paper roll is appended here.
    std::optional<std::string> rollFile;
    // --closing-pause: length of one pause of the closing sequence, in ms.
    int closingPauseMs = 1000;
    // --reply-timeout: limit of the wait for a whole register reply, in ms;
    // unset keeps the register's own 40 s.
    std::optional<int> replyTimeoutMs;
    // --second-wait: limit of the wait for the reply frame after a lone ACK,
    // in ms; unset keeps 16 s.
    std::optional<int> secondWaitMs;
    // --payment-timeout: how long a card payment may wait for the payment
    // service's reply, in seconds.
    int paymentTimeoutSeconds = 300;
    // --approval-reuse-minutes: how long after its approval a failed sale's
    // card payment may pay the retry of the same request.
    int approvalReuseMinutes = 15;
};

struct ParsedArgs {
    DriverArgs args;
    std::string error; // empty when the command line was understood
};

// argv without the program name.
ParsedArgs parseDriverArgs(const std::vector<std::string>& argv);

// The driver's options on a parser: all of them, or those named in `only`
// ("--data-dir"; a subcommand takes a few).
void addDriverOptions(OptionParser& parser, const std::set<std::string>& only = {});
// Reads the options the parser found, in their order; the first mistake in
// words, or empty.
std::string readDriverOptions(const OptionParser& parser, DriverArgs& args);

// The text of `tavor1 --help`.
std::string driverUsage();

} // namespace tavor1
