#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tavor1 {

// The technician's subcommands of the tavor1 executable. args are the words
// after the subcommand's name; each returns the process's exit status.

// `tavor1 doctor`: 0 when every check is ok, 1 otherwise, 2 for a bad command line.
int runDoctorCommand(const std::vector<std::string>& args, int argc, char** argv, std::ostream& out, std::ostream& err);

// `tavor1 options`: 0 when shown or saved, 2 for a bad name or value (nothing is saved then).
int runOptionsCommand(const std::vector<std::string>& args, int argc, char** argv, std::ostream& out,
                      std::ostream& err);

// `tavor1 cancel`: 0 when the sequence was sent to the register, 1 when not.
int runCancelCommand(const std::vector<std::string>& args, int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace tavor1
