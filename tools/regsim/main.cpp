// tavor1-regsim: the simulated fiscal register on a port of 127.0.0.1.

#include "simulators/register/RegisterSimulator.h"
#include "simulators/register/SimulatorOptions.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    using namespace tavor1::regsim;

    std::vector<std::string> args(argv + 1, argv + argc);
    SimulatorOptions options;
    std::string error;
    if (!parseSimulatorOptions(args, options, error)) {
        std::fprintf(stderr, "tavor1-regsim: %s\n%s", error.c_str(), simulatorUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(simulatorUsage().c_str(), stdout);
        return 0;
    }

    RegisterSimulator simulator(options.config);
    simulator.setLatency(options.latencyMs);
    simulator.setRollFile(options.rollFile);
    simulator.setPaperEnd(options.paperEndPolls);
    simulator.setCoverOpen(options.coverOpenPolls);
    for (const Fault& fault : options.faults)
        simulator.addFault(fault);
    if (!simulator.listen(static_cast<quint16>(options.port))) {
        std::fprintf(stderr, "tavor1-regsim: cannot listen on 127.0.0.1:%d: %s\n", options.port,
                     simulator.errorString().toLocal8Bit().constData());
        return 1;
    }
    QObject::connect(&simulator, &RegisterSimulator::documentPrinted, [](const QByteArray& text) {
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        std::fflush(stdout);
    });

    std::printf("%u\n", static_cast<unsigned>(simulator.port()));
    std::fflush(stdout);
    return app.exec();
}
