// tavor1-host: a host program's side of the exchange files, for integrators,
// the demo and the end-to-end tests.
#include "host/HostCommands.h"

#include <iostream>

int main(int argc, char** argv)
{
    return tavor1::host::runHost(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
