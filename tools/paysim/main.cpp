#include "simulators/payment/PaymentSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tavor1-paysim");

    QCommandLineParser parser;
    parser.setApplicationDescription("Stand-in for the local card-payment web service.");
    parser.addHelpOption();
    const QCommandLineOption portOption("port", "Port to listen on, 127.0.0.1 (0 picks a free one).", "N", "0");
    const QCommandLineOption resultOption(
        "result",
        "Answer to every payment: 00, 05, error-message, exception, garbage, slow:MS, close, "
        "empty, huge, redirect-loop, silent.",
        "R", "00");
    parser.addOption(portOption);
    parser.addOption(resultOption);
    parser.process(app);

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "tavor1-paysim: invalid port '%s'\n", qPrintable(parser.value(portOption)));
        return 2;
    }
    const auto outcome = tavor1::paysim::parseOutcome(parser.value(resultOption).toStdString());
    if (!outcome) {
        std::fprintf(stderr, "tavor1-paysim: unknown result '%s'\n", qPrintable(parser.value(resultOption)));
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
