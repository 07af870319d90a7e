#pragma once

// `tavor1 convert`: the receipt conversion from the command line, for
// integrators who want to see what a request becomes without a register.

#include <iosfwd>
#include <string>

namespace tavor1 {

// The usage text of the command.
std::string convertUsage();

// argv[1] is "convert". Converts REQUEST as the driver would, writes KB.txt
// into the data directory and prints the command list to `out`, one command a
// line. Exit code 0 on success; 1 when the request gives no command list, with
// one line on `err` saying why; 2 for a command line that cannot be used.
int runConvertCommand(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace tavor1
