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
#include "platform/InstanceLock.h"
#include "platform/LockHolder.h"
#include "platform/Version.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

} // namespace

std::string settledDataDir(const std::optional<std::string>& dataDir, const char* argv0)
{
    DriverArgs args;
    args.dataDir = dataDir;
    return settleLocations(args, argv0).dataDir;
}

namespace {

// Everything both modes share once the application object exists.
struct Session {
    std::unique_ptr<InstanceLock> lock;
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
    s.config.paymentTimeoutMs = args.paymentTimeoutSeconds * 1000;
    s.config.approvalReuseSeconds = std::int64_t(args.approvalReuseMinutes) * 60;
    if (!isDirectory(s.config.dataDir)) {
        messages.showMessage(missingDataDirText(s.config.dataDir));
        return kExitDataDirMissing;
    }
    // Two drivers on one data directory would both serve every go signal.
    s.lock = std::make_unique<InstanceLock>(instanceLockPath(s.config.dataDir));
    const LockStatus lock = s.lock->tryAcquire();
    if (lock.state == LockState::HeldByOther) {
        printError(anotherDriverText(s.config.dataDir, lock.holderPid));
        return kExitAnotherDriver;
    }
    std::error_code writable;
    if (lock.state != LockState::Acquired || !directoryWritable(s.config.dataDir, writable)) {
        const std::string text = unwritableDataDirText(
            s.config.dataDir, lock.state == LockState::Acquired ? writable.message() : lock.error);
        messages.showMessage(text);
        return kExitDataDirNotWritable;
    }
    s.config.instanceLock = s.lock.get();
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
    SignalBridge signalBridge;
    QObject::connect(&signalBridge, &SignalBridge::terminationRequested, &driver, [&driver] { driver.close(); });
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
    SignalBridge signalBridge;
    QObject::connect(&signalBridge, &SignalBridge::terminationRequested, &window, &MainWindow::terminate);
    window.start();
    return app.exec();
}

} // namespace tavor1
