#pragma once

// What both soaks stand on: a work folder with the data and option folders,
// the register and payment simulators on free ports of this process, and
// tavor1 headless as a child process that can be started, stopped, killed
// and started again on the same folders.

#include "exchange/ExchangeFiles.h"
#include "simulators/payment/PaymentSimulator.h"
#include "simulators/register/RegisterSimulator.h"
#include "soak/FaultPlan.h"

#include <QProcess>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

class QTemporaryDir;

namespace tavor1::soak {

inline constexpr int kChannels = 4;

// Time limits of the run. The driver gets short reply limits so that a
// register that stays silent costs seconds, not minutes.
struct SoakTimings {
    ReplyLimits replyLimits{};
    // The driver and its identification of the four channels.
    int readyLimitMs = 30000;
    // One job, before the paper-end and slow-reply allowances.
    int jobLimitMs = 30000;
    // The driver's closing sequence after SIGTERM.
    int closeLimitMs = 15000;
    // Resident growth allowed from job 100 to the end.
    std::int64_t rssGrowthLimitKb = 5 * 1024;
};

class SoakRig {
public:
    SoakRig(std::string driverPath, std::ostream& out, SoakTimings timings);
    ~SoakRig();

    // Makes the folders (in keepDir, or a temporary folder when it is empty)
    // and starts both simulators.
    bool setUp(const std::string& keepDir);
    // Starts tavor1; a start after the first appends to the same log.
    bool startDriver();
    // Waits until all four channels have their SR_MATR.
    bool waitReady();
    // SIGTERM, then the closing sequence within its limit, exit code 0.
    bool stopDriver();
    // Sends a signal without waiting.
    void signalDriver(int signal);
    // Waits until the process is gone; false when it is still there after limitMs.
    bool waitDriverGone(int limitMs);

    // Sets up the register and payment simulators for one planned fault.
    void armFault(const PlannedFault& fault);
    // The faults of a job are gone: no scripted replies, no latency, paper
    // in, cover closed, the terminal approving.
    void liftFaults();
    // What an operator does at the register: cancels the document left
    // open. True when there was one.
    bool cancelOpenDocument();

    std::string exchangePath(ExchangeFile file, int channel) const;
    bool driverRunning() const;
    std::optional<std::int64_t> driverRss() const;
    // Lets the simulators work until cond holds or limitMs have passed.
    bool waitUntil(const std::function<bool()>& cond, int limitMs);

    regsim::RegisterSimulator& registerSim() { return m_register; }
    paysim::PaymentSimulator& paymentSim() { return m_payment; }
    QProcess& driver() { return m_driver; }
    const std::string& workDir() const { return m_workDir; }
    const std::string& dataDir() const { return m_dataDir; }
    const SoakTimings& timings() const { return m_timings; }
    int starts() const { return m_starts; }

private:
    bool writeOptionFiles();

    std::string m_driverPath;
    std::ostream& m_out;
    SoakTimings m_timings;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::string m_workDir;
    std::string m_dataDir;
    std::string m_configDir;
    regsim::RegisterSimulator m_register;
    paysim::PaymentSimulator m_payment;
    QProcess m_driver;
    int m_starts = 0;
};

} // namespace tavor1::soak
