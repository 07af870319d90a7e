#pragma once

#include "main/DriverArgs.h"

namespace tavor1 {

// The driver program after its command line was read: settles the program
// and data directories, refuses a second driver on the same data directory,
// starts the simulators in simulated mode, and runs the window or headless.
// Returns the process's exit status.
int runDriver(const DriverArgs& args, int argc, char** argv);

// True when a window can be shown (a display or a Qt platform is set).
bool displayAvailable();

} // namespace tavor1
