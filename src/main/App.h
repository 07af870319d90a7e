#pragma once

#include "main/DriverArgs.h"

#include <optional>
#include <string>

namespace tavor1 {

// The driver program after its command line was read: settles the program
// and data directories, refuses a second driver on the same data directory,
// starts the simulators in simulated mode, and runs the window or headless.
// Returns the process's exit status.
int runDriver(const DriverArgs& args, int argc, char** argv);

// DataDir as the driver would settle it: the given directory, else the
// registry's CustomPathDataDir, else the program's folder.
std::string settledDataDir(const std::optional<std::string>& dataDir, const char* argv0);

// True when a window can be shown (a display or a Qt platform is set).
bool displayAvailable();

} // namespace tavor1
