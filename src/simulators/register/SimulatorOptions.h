#pragma once

// The simulator's command line, read into a register configuration and a
// list of faults.

#include "simulators/register/FaultModes.h"
#include "simulators/register/RegisterModel.h"

#include <string>
#include <vector>

namespace tavor1::regsim {

struct SimulatorOptions {
    int port = 9100;
    RegisterConfig config;
    int latencyMs = 0;
    std::string rollFile;
    std::vector<Fault> faults;
    int paperEndPolls = 0;
    int coverOpenPolls = 0;
    bool help = false;
};

// Reads the arguments after the program name. On a bad argument returns
// false and puts a one-line explanation into `error`.
bool parseSimulatorOptions(const std::vector<std::string>& args, SimulatorOptions& options, std::string& error);

// The usage text of the executable.
std::string simulatorUsage();

} // namespace tavor1::regsim
