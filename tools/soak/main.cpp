// tavor1-soak: the fault-injection soak of the driver.

#include "soak/CrashRun.h"
#include "soak/SoakOptions.h"
#include "soak/SoakRun.h"

#include <QCoreApplication>

#include <iostream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = tavor1::soak::parseSoakArgs(args);
    if (parsed.options.help) {
        std::cout << tavor1::soak::soakUsage();
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << "tavor1-soak: " << parsed.error << "\n" << tavor1::soak::soakUsage();
        return 2;
    }
    const std::string driver = parsed.options.tavor1.empty() ? std::string(TAVOR1_SOAK_DRIVER) : parsed.options.tavor1;
    if (parsed.options.crashCycles > 0) {
        tavor1::soak::CrashRun run(parsed.options, driver, std::cout);
        return run.run();
    }
    tavor1::soak::SoakRun run(parsed.options, driver, std::cout);
    return run.run();
}
