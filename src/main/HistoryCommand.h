#pragma once

// `tavor1 history`: the last jobs of a data directory as the job journal
// records them, one line per job. It only reads: no driver is started, no
// file is changed, the register is not contacted.

#include "exchange/JobJournal.h"

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tavor1 {

struct HistoryArgs {
    std::optional<std::string> dataDir;
    std::size_t count = 20;
    bool help = false;
    std::string error; // empty when the command line was understood
};

// The arguments after "history".
HistoryArgs parseHistoryArgs(const std::vector<std::string>& argv);

// One job: time, channel, job number, outcome code and text, receipt number,
// card payment, and what is still pending for it.
std::string historyLine(const JournalJob& job);

// dataDirFor settles the data directory from the --data-dir option (the
// driver's own rule). Returns the exit status.
int runHistoryCommand(const std::vector<std::string>& argv,
                      const std::function<std::string(const std::optional<std::string>&)>& dataDirFor,
                      std::ostream& out, std::ostream& err);

std::string historyUsage();

} // namespace tavor1
