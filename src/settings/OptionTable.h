#pragma once

// Every option by the name of its control, for the command line
// (`tavor1 options txtRemoteIP=192.168.1.50`) and for merging option files:
// each row reads the option as text and sets it from text, checking the value
// as the window's control would accept it.

#include "settings/Options.h"

#include <string>
#include <vector>

namespace tavor1 {

struct OptionRow {
    std::string name; // the control's name, e.g. "txtRemoteIP"
    std::string caption; // the control's caption or label, as the window shows it
    std::string file; // the option file that keeps it
    // The value as text: "0"/"1" for check boxes, the address, the list entry.
    std::string (*get)(const Options&);
    // Sets the value; returns an empty text, or why the value was refused
    // (nothing is changed then).
    std::string (*set)(Options&, const std::string&);
};

// In the order of the option files: channels, timer, XON/XOFF, TVCHKSCO.TXT.
const std::vector<OptionRow>& optionRows();

// The row of a control name (exact, or regardless of case); nullptr when none.
const OptionRow* findOptionRow(const std::string& name);

// The options as they were loaded (base), as this program changed them
// (mine) and as they now stand in the files (theirs, changed by someone
// else meanwhile): theirs, with every option this program changed taken from
// mine.
Options mergeOptions(const Options& base, const Options& mine, const Options& theirs);

} // namespace tavor1
