#pragma once

#include "settings/Options.h"

#include <string>
#include <vector>

namespace tavor1 {

// What loading the option files ran into.
struct OptionFilesReport {
    // Names of option files that exist but could not be read at all. Saving
    // must leave them as they are: writing the defaults over them would lose
    // what they hold (the register's address, for one) for good.
    std::vector<std::string> unreadable;
    // One log text per file that could not be read or had lines skipped,
    // naming the file.
    std::vector<std::string> problems;
};

// The option files beside the program: TVCHKCOM.TXT (channel enables),
// TVTIMER1.TXT (poll interval), TVCHKXXS.TXT (XON/XOFF conversion) and
// TVCHKSCO.TXT (the other options, one per line). programDir is the folder
// that holds them, without a trailing separator.
//
// Loading never fails: a missing, short, unreadable or garbled file leaves the
// options it does not clearly set as they are, which are the defaults when
// `options` is fresh. A line too long to be one of ours is skipped, as an
// unreadable value, and the lines around it are read. Loading also rewrites
// TVTIMER1.TXT with the interval settled on, as the program has always done
// at start-up, unless that file could not be read.
OptionFilesReport loadOptionFiles(const std::string& programDir, Options& options);
// The same without writing anything (diagnosis, the options command).
OptionFilesReport readOptionFiles(const std::string& programDir, Options& options);

// Writes TVCHKCOM.TXT, TVCHKXXS.TXT and TVCHKSCO.TXT, except those named in
// `keep` (the files loading could not read). The VAT-rate table, which the
// program saves at the same moment, is saved by its own owner. Returns false
// when any file could not be written (nothing is thrown).
bool saveOptionFiles(const std::string& programDir, const Options& options, const std::vector<std::string>& keep = {});

// Writes TVTIMER1.TXT with txtTimerVal ("Set timer" and start-up).
bool saveTimerFile(const std::string& programDir, const Options& options);

// Puts a typed timer value into the model as the program reads it: below 100
// it is seconds (at most 60), from 100 on milliseconds (at most 60000).
// Returns false, changing nothing, for a value that is not a number above 0.
bool applyTimerValue(const std::string& text, Options& options);

// The byte content of TVCHKSCO.TXT for these options (18 CR LF lines).
std::string optionLines(const Options& options);

} // namespace tavor1
