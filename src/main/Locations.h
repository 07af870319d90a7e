#pragma once

#include "main/DriverArgs.h"

#include <string>

namespace tavor1 {

// Where a run of the program finds its option files and its data directory,
// and the registry's address override, the same for the driver and for every
// subcommand.
struct Locations {
    std::string programDir; // the option files and the VAT-rate table
    std::string dataDir;
    std::string registryIPAddress;
};

// --config-dir, else the installation's configuration folder when the program
// runs from the installation, else the program's own folder. The data
// directory: --data-dir, else the registry's CustomPathDataDir, else the
// installation's data folder when installed, else the program folder.
Locations settleLocations(const DriverArgs& args, const char* argv0);

} // namespace tavor1
