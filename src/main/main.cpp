// The tavor1 executable: reads the command line and hands over to the driver,
// to one of the technician's subcommands, or to the converter's command.
#include "main/App.h"
#include "main/Commands.h"
#include "main/DriverArgs.h"
#include "main/HistoryCommand.h"

#include "conversion/receipt/ConvertCommand.h"
#include "platform/Version.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "convert") == 0)
        return tavor1::runConvertCommand(argc, argv, std::cout, std::cerr);
    if (argc > 1) {
        const std::string command = argv[1];
        const std::vector<std::string> rest(argv + 2, argv + argc);
        if (command == "doctor")
            return tavor1::runDoctorCommand(rest, argc, argv, std::cout, std::cerr);
        if (command == "options")
            return tavor1::runOptionsCommand(rest, argc, argv, std::cout, std::cerr);
        if (command == "cancel")
            return tavor1::runCancelCommand(rest, argc, argv, std::cout, std::cerr);
        if (command == "history") {
            const char* argv0 = argv[0];
            return tavor1::runHistoryCommand(
                rest,
                [argv0](const std::optional<std::string>& dataDir) { return tavor1::settledDataDir(dataDir, argv0); },
                std::cout, std::cerr);
        }
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    const tavor1::ParsedArgs parsed = tavor1::parseDriverArgs(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "tavor1: %s\n\n%s", parsed.error.c_str(), tavor1::driverUsage().c_str());
        return 2;
    }
    if (parsed.args.help) {
        std::fputs(tavor1::driverUsage().c_str(), stdout);
        return 0;
    }
    if (parsed.args.version) {
        std::printf("tavor1 %s\n", tavor1::kVersionText);
        return 0;
    }
    return tavor1::runDriver(parsed.args, argc, argv);
}
