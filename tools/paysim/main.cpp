// tavor1-paysim: the payment service simulator on a port of 127.0.0.1.

#include "platform/qt/OptionParser.h"
#include "simulators/payment/PaymentSimulator.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void addOptions(tavor1::OptionParser& parser)
{
    parser.addFlag({"help", "h"}, {"prints this text"});
    parser.addOption({"port"}, "N", {"port to listen on, 127.0.0.1 (default 0: a free one)"});
    parser.addOption({"result"}, "R",
                     {"answer to every payment (default 00): 00, 05, error-message,",
                      "exception, garbage, slow:MS, close, empty, huge,", "redirect-loop, silent"});
}

std::string usage(const tavor1::OptionParser& parser)
{
    return "Usage: tavor1-paysim [--port N] [--result R]\n"
           "Stand-in for the local card-payment web service. The listening port is\n"
           "printed on the first line, then one line per request.\n"
           "\n" +
           parser.optionsHelp(16);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    tavor1::OptionParser parser("tavor1-paysim");
    addOptions(parser);
    if (!parser.parse(std::vector<std::string>(argv + 1, argv + argc)) || !parser.words().empty()) {
        const std::string error =
            parser.words().empty() ? parser.message() : "unknown option \"" + parser.words().front() + "\"";
        std::fprintf(stderr, "tavor1-paysim: %s\n%s", error.c_str(), usage(parser).c_str());
        return 2;
    }
    std::string portText = "0";
    std::string result = "00";
    for (const tavor1::OptionParser::Occurrence& o : parser.occurrences()) {
        if (o.name == "help") {
            std::fputs(usage(parser).c_str(), stdout);
            return 0;
        }
        (o.name == "port" ? portText : result) = o.value;
    }

    bool portOk = false;
    const uint port = QString::fromStdString(portText).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "tavor1-paysim: invalid port '%s'\n", portText.c_str());
        return 2;
    }
    const auto outcome = tavor1::paysim::parseOutcome(result);
    if (!outcome) {
        std::fprintf(stderr, "tavor1-paysim: unknown result '%s'\n", result.c_str());
        return 2;
    }

    tavor1::paysim::PaymentSimulator simulator;
    simulator.setOutcome(*outcome);
    const quint16 listening = simulator.start(static_cast<quint16>(port));
    if (listening == 0) {
        std::fprintf(stderr, "tavor1-paysim: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    // The first line is the port, for scripts that started us with port 0.
    std::printf("%u\n", static_cast<unsigned>(listening));
    std::fflush(stdout);
    QObject::connect(&simulator, &tavor1::paysim::PaymentSimulator::requestReceived, [&simulator] {
        const auto& last = simulator.requests().back();
        std::printf("%s %s\n", last.method.constData(), last.path.constData());
        std::fflush(stdout);
    });
    return app.exec();
}
