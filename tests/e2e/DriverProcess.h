#pragma once

// The real tavor1, headless, run as a shop runs it: a subprocess against a
// register simulator and a payment service simulator of the test (loopback,
// free ports), with its data and option folders in temporary directories.

#include "exchange/ExchangeFiles.h"
#include "simulators/payment/PaymentSimulator.h"
#include "simulators/register/RegisterSimulator.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>

namespace tavor1::test {

inline const QString kTavor1 = QStringLiteral(TAVOR1_BIN_DIR "/tavor1");

// A command run to its end: exit code (-1 when it did not end, -2 when it
// crashed) and what it printed.
struct CommandRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs program while the event loop (and so the simulators) keeps running.
CommandRun runCommand(const QString& program, const QStringList& args, int limitMs = 30000);

class DriverProcess : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { kill(); }

    // Writes the option files (channel 1 served, otherOptions) and starts the
    // driver on the simulators.
    void start(const QStringList& extra = {});
    // A power cut, as far as the driver can tell.
    void kill();
    // Sends signal and waits for the end: the exit code, -1 when the driver
    // went on, -2 when it crashed.
    int terminate(int signal = SIGTERM);

    std::string file(ExchangeFile f, int channel = 1) const;
    bool has(ExchangeFile f, int channel = 1) const;
    std::string read(ExchangeFile f, int channel = 1) const;
    // Runs the event loop (the simulators live on it) until cond holds.
    bool waitFor(const std::function<bool()>& cond, int limitMs = 15000) { return waitUntil(cond, limitMs); }

    // SR_MATR is there and this run's identification has sent its last
    // message (an earlier run's SR_MATR goes at start-up).
    void waitReady(int channel = 1);
    // start(), then waitReady() on channel 1.
    void startReady(const QStringList& extra = {})
    {
        start(extra);
        waitReady();
    }
    void submit(const std::string& request, int channel = 1);
    // The host's next job: once the last go signal is gone, clears the last
    // answer, submits request and waits for "finesco" or the text of SR_ERR.
    std::string job(const std::string& request, int channel = 1);
    // The register lets fault hit the next frame of command forever (-1) or
    // times times.
    void addFault(regsim::FaultMode mode, const std::string& command, int times = 1);
    // The host may read the answer: FINESCO, or SR_ERR with SR_START gone.
    bool answered(int channel = 1) const;

    // Commands the register received that begin with prefix.
    int count(const std::string& prefix) const;
    // Every command the register received, one a line, for failure messages.
    std::string commandsSent() const;
    int receipts() const { return static_cast<int>(sim.roll().fiscalNumbers().size()); }
    std::string logFile() const;

    // The data and option folders, for a command of the technician.
    QStringList dirs() const;
    CommandRun tavor1(const QStringList& args) { return runCommand(kTavor1, args); }

    regsim::RegisterSimulator sim;
    paysim::PaymentSimulator pay;
    test::TempDir base;
    test::TempDir configDir;
    // A space in the path, as in many shops' folders.
    std::string dataDir = base.file("dati scambio");
    QProcess driver;
    // TVCHKSCO.TXT: no trace, display on, the simulator's address, "20 sec.".
    std::string otherOptions = "0\r\n0\r\n0\r\n127.0.0.1\r\n 1 \r\n";

private:
    int m_endsAtStart = 0;
};

} // namespace tavor1::test
