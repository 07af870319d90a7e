#include "main/App.h"

#include "driver/Driver.h"
#include "driver/JobCycle.h"
#include "driver/Simulation.h"
#include "gui/MainWindow.h"
#include "main/DataDirectory.h"
#include "main/Locations.h"
#include "main/SignalBridge.h"
#include "main/StderrMessageSink.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/Version.h"
#include "platform/qt/QSettingsStore.h"
#include "settings/RegistrySettings.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tavor1 {

namespace {

void printError(const std::string& text)
{
    headlessLog(LogLevel::Error, text);
}

std::string replaceLineEnds(std::string text)
{
    std::string out;
    for (std::size_t at = 0, end; at < text.size(); at = end + 2) {
        end = text.find("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        if (!out.empty())
            out += "; ";
        out += text.substr(at, end - at);
    }
    return out;
}

// Everything both modes share once the application object exists.
struct Session {
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<Simulation> simulation;
    DriverConfig config;
};

// 0 when the session may run; else the exit status.
int prepareSession(const DriverArgs& args, const char* argv0, MessageSink& messages, Session& s)
{
    const Locations where = settleLocations(args, argv0);
    s.config.programDir = where.programDir;
    s.config.dataDir = where.dataDir;
    s.config.registryIPAddress = where.registryIPAddress;
    if (args.registerIp)
        s.config.forcedRemoteIP = *args.registerIp;
    s.config.closingPauseMs = args.closingPauseMs;
    if (args.replyTimeoutMs)
        s.config.exchangeTimings.replyTimeoutMs = *args.replyTimeoutMs;
    if (args.secondWaitMs)
        s.config.exchangeTimings.secondWaitMs = *args.secondWaitMs;
    if (!isDirectory(s.config.dataDir)) {
        messages.showMessage(missingDataDirText(s.config.dataDir));
        return 1;
    }
    // Two drivers on one data directory would both serve every go signal.
    s.lock = std::make_unique<QLockFile>(QString::fromStdString(joinPath(s.config.dataDir, "tavor1.lock")));
    s.lock->setStaleLockTime(0);
    if (!s.lock->tryLock(0)) {
        printError("another tavor1 already serves " + s.config.dataDir);
        return 3;
    }
    if (args.registerPort)
        s.config.registerPort = static_cast<std::uint16_t>(*args.registerPort);
    if (args.paymentUrl)
        s.config.paymentUrl = *args.paymentUrl;
    if (args.simulate) {
        s.simulation = std::make_unique<Simulation>();
        if (!s.simulation->start(args.rollFile.value_or(std::string()))) {
            messages.showMessage(s.simulation->error());
            return 1;
        }
        s.config.registerPort = s.simulation->registerPort();
        s.config.paymentUrl = s.simulation->paymentUrl();
        // The simulated register answers on loopback whatever the option files say.
        s.config.forcedRemoteIP = "127.0.0.1";
    }
    return 0;
}

int runHeadless(const DriverArgs& args, int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    StderrMessageSink messages;
    Session session;
    if (int rc = prepareSession(args, argv[0], messages, session))
        return rc;

    Driver driver(session.config, messages, SystemClock::instance());
    SignalBridge signals_;
    QObject::connect(&signals_, &SignalBridge::terminationRequested, &driver, [&driver] { driver.close(); });
    QObject::connect(&driver, &Driver::finished, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&driver, &Driver::dumpStateText, [](int channel, const std::string& text) {
        headlessLog(text == "DUMP ESEGUITO" ? LogLevel::Info : LogLevel::Warning,
                    "COM" + std::to_string(channel) + " " + text);
    });
    QObject::connect(&driver, &Driver::registerProblem,
                     [](const std::string& line) { headlessLog(LogLevel::Error, line); });
    QObject::connect(&driver, &Driver::cancelled, [](const std::string& report) {
        headlessLog(LogLevel::Notice, "Annulla Doc eseguito: " + replaceLineEnds(report));
    });
    driver.load();
    headlessLog(
        LogLevel::Info,
        "tavor1 " + std::string(kVersionText) + " serving " + session.config.dataDir + " (register " +
            (session.config.forcedRemoteIP.empty() ? driver.options().txtRemoteIP : session.config.forcedRemoteIP) +
            ", port " + std::to_string(session.config.registerPort) + ")");
    return app.exec();
}

} // namespace

bool displayAvailable()
{
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
}

int runDriver(const DriverArgs& args, int argc, char** argv)
{
    if (args.headless)
        return runHeadless(args, argc, argv);
    if (!displayAvailable()) {
        printError("no display: running headless");
        return runHeadless(args, argc, argv);
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Session session;
    auto messages = MainWindow::makeMessageSink();
    if (int rc = prepareSession(args, argv[0], *messages, session))
        return rc;
    Driver driver(session.config, *messages, SystemClock::instance());
    MainWindow window(driver, session.simulation.get());
    QObject::connect(&driver, &Driver::finished, &app, [] { QCoreApplication::exit(0); });
    SignalBridge signals_;
    QObject::connect(&signals_, &SignalBridge::terminationRequested, &window, &MainWindow::terminate);
    window.start();
    return app.exec();
}

} // namespace tavor1
