#include "main/App.h"

#include "main/DataDirectory.h"
#include "driver/Driver.h"
#include "driver/JobCycle.h"
#include "gui/MainWindow.h"
#include "main/SignalBridge.h"
#include "driver/Simulation.h"
#include "main/StderrMessageSink.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
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
    std::fprintf(stderr, "tavor1: %s\n", text.c_str());
}

std::string programDirectory(const DriverArgs& args, const char* argv0)
{
    if (args.configDir)
        return *args.configDir;
    const QString exe = QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
    return QDir::cleanPath(exe).toStdString();
}

} // namespace

std::string settledDataDir(const std::optional<std::string>& dataDir, const char* argv0)
{
    DriverArgs args;
    args.dataDir = dataDir;
    const QSettingsStore registry;
    return settleDataDir(programDirectory(args, argv0), dataDir ? std::string() : ReadCustomPathDataDir(registry),
                         dataDir);
}

namespace {

// Everything both modes share once the application object exists.
struct Session {
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<Simulation> simulation;
    DriverConfig config;
};

// 0 when the session may run; else the exit status.
int prepareSession(const DriverArgs& args, const char* argv0, MessageSink& messages, Session& s)
{
    s.config.programDir = programDirectory(args, argv0);
    // The registry's overrides; --data-dir wins over CustomPathDataDir.
    const QSettingsStore registry;
    s.config.dataDir = settleDataDir(s.config.programDir, args.dataDir ? std::string() : ReadCustomPathDataDir(registry),
                                     args.dataDir);
    s.config.registryIPAddress = ReadIPAddress(registry);
    s.config.closingPauseMs = args.closingPauseMs;
    if (args.replyTimeoutMs)
        s.config.exchangeTimings.replyTimeoutMs = *args.replyTimeoutMs;
    if (args.secondWaitMs)
        s.config.exchangeTimings.secondWaitMs = *args.secondWaitMs;
    s.config.paymentTimeoutMs = args.paymentTimeoutSeconds * 1000;
    s.config.approvalReuseSeconds = std::int64_t(args.approvalReuseMinutes) * 60;
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
        std::fprintf(stderr, "tavor1: COM%d %s\n", channel, text.c_str());
    });
    driver.load();
    std::fprintf(stderr, "tavor1: serving %s (register port %u)\n", session.config.dataDir.c_str(),
                 unsigned(session.config.registerPort));
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
