#include "soak/SoakRig.h"

#include "platform/ByteFiles.h"
#include "platform/qt/Wait.h"
#include "protocol/Protocol.h"
#include "soak/ProcessMemory.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>

#include <sys/prctl.h>

namespace tavor1::soak {

SoakRig::SoakRig(std::string driverPath, std::ostream& out, SoakTimings timings)
    : m_driverPath(std::move(driverPath))
    , m_out(out)
    , m_timings(timings)
{
}

SoakRig::~SoakRig()
{
    if (m_driver.state() != QProcess::NotRunning) {
        m_driver.kill();
        m_driver.waitForFinished(3000);
    }
}

std::string SoakRig::exchangePath(ExchangeFile file, int channel) const
{
    return joinPath(m_dataDir, exchangeFileName(file, channel));
}

bool SoakRig::driverRunning() const
{
    return m_driver.state() == QProcess::Running;
}

std::optional<std::int64_t> SoakRig::driverRss() const
{
    return driverRunning() ? residentKb(m_driver.processId()) : std::nullopt;
}

bool SoakRig::waitUntil(const std::function<bool()>& cond, int limitMs)
{
    // The condition reads files: a host polls its folder. Every 5 ms keeps
    // the pick-up quick without taking the machine's second core away from
    // the driver; the simulators run on the event loop meanwhile.
    WaitHandle wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&wait] { wait.wake(); });
    poll.start(5);
    return tavor1::waitUntil(cond, limitMs, &wait) == WaitEnd::Done;
}

bool SoakRig::setUp(const std::string& keepDir)
{
    if (keepDir.empty()) {
        m_temp = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tavor1-soak-XXXXXX");
        if (!m_temp->isValid()) {
            m_out << "cannot make a temporary folder: " << m_temp->errorString().toStdString() << "\n";
            return false;
        }
        m_workDir = m_temp->path().toStdString();
    } else {
        m_workDir = keepDir;
        if (!QDir().mkpath(QString::fromStdString(m_workDir))) {
            m_out << "cannot make " << m_workDir << "\n";
            return false;
        }
    }
    m_dataDir = joinPath(m_workDir, "data");
    m_configDir = joinPath(m_workDir, "config");
    if (!makeDirectory(m_dataDir) || !makeDirectory(m_configDir) || !writeOptionFiles()) {
        m_out << "cannot prepare the data and option folders in " << m_workDir << "\n";
        return false;
    }
    if (!keepDir.empty())
        m_register.setRollFile(joinPath(m_workDir, "roll.txt"));
    if (!m_register.listen(0)) {
        m_out << "the register simulator cannot listen: " << m_register.errorString().toStdString() << "\n";
        return false;
    }
    if (m_payment.start(0) == 0) {
        m_out << "the payment simulator cannot listen\n";
        return false;
    }
    return true;
}

bool SoakRig::writeOptionFiles()
{
    // All four channels; trace on; the simulator's address; time-out "20 sec.";
    // the check boxes off except "Matricola in Out File"; Fast mode.
    const std::string options =
        "0\r\n1\r\n0\r\n127.0.0.1\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nF\r\n0\r\n0\r\n1\r\n0\r\n";
    return writeFileBytes(joinPath(m_configDir, "TVCHKCOM.TXT"), "1111\r\n") &&
           writeFileBytes(joinPath(m_configDir, "TVCHKSCO.TXT"), options);
}

bool SoakRig::startDriver()
{
    const QStringList args = {
        "--headless",
        "--data-dir",
        QString::fromStdString(m_dataDir),
        "--config-dir",
        QString::fromStdString(m_configDir),
        "--register-port",
        QString::number(m_register.port()),
        "--payment-url",
        QStringLiteral("http://127.0.0.1:%1").arg(m_payment.port()),
        "--reply-timeout",
        QString::number(m_timings.replyLimits.replyMs),
        "--second-wait",
        QString::number(m_timings.replyLimits.secondWaitMs),
        "--closing-pause",
        "20",
    };
    m_driver.setProcessChannelMode(QProcess::MergedChannels);
    // A soak stopped by a signal must not leave its driver serving the
    // folder: the driver is told to close when the soak goes.
    m_driver.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_driver.setStandardOutputFile(QString::fromStdString(joinPath(m_workDir, "tavor1.log")),
                                   m_starts == 0 ? QIODevice::Truncate : QIODevice::Append);
    ++m_starts;
    m_driver.start(QString::fromStdString(m_driverPath), args);
    if (!m_driver.waitForStarted(10000)) {
        m_out << "cannot start " << m_driverPath << ": " << m_driver.errorString().toStdString() << "\n";
        return false;
    }
    return true;
}

bool SoakRig::waitReady()
{
    const bool ready = waitUntil(
        [this] {
            if (!driverRunning())
                return true;
            for (int n = 1; n <= kChannels; ++n)
                if (!fileExists(exchangePath(ExchangeFile::SR_MATR, n)))
                    return false;
            return true;
        },
        m_timings.readyLimitMs);
    if (!driverRunning()) {
        m_out << "tavor1 ended before its channels were ready (exit code " << m_driver.exitCode() << "); see "
              << joinPath(m_workDir, "tavor1.log") << "\n";
        return false;
    }
    if (!ready) {
        m_out << "tavor1 did not identify the register on all four channels within " << m_timings.readyLimitMs / 1000
              << " s\n";
        return false;
    }
    return true;
}

void SoakRig::signalDriver(int signal)
{
    if (driverRunning())
        ::kill(static_cast<pid_t>(m_driver.processId()), signal);
}

bool SoakRig::waitDriverGone(int limitMs)
{
    return waitUntil([this] { return m_driver.state() == QProcess::NotRunning; }, limitMs);
}

bool SoakRig::stopDriver()
{
    if (!driverRunning()) {
        m_out << "tavor1 was not running at the end\n";
        return false;
    }
    m_driver.terminate();
    if (!waitDriverGone(m_timings.closeLimitMs)) {
        m_out << "tavor1 did not close within " << m_timings.closeLimitMs / 1000 << " s of SIGTERM\n";
        return false;
    }
    if (m_driver.exitStatus() != QProcess::NormalExit || m_driver.exitCode() != 0) {
        m_out << "tavor1 closed with exit code " << m_driver.exitCode() << "\n";
        return false;
    }
    return true;
}

void SoakRig::armFault(const PlannedFault& fault)
{
    regsim::Fault f;
    f.nthFrame = fault.frame;
    switch (fault.kind) {
    case FaultKind::None:
    case FaultKind::DeleteRequest:
        break;
    case FaultKind::Drop:
        f.mode = fault.afterDoing ? regsim::FaultMode::DropAfterDoing : regsim::FaultMode::DropConnection;
        m_register.addFault(f);
        break;
    case FaultKind::ErrorCode:
        f.mode = regsim::FaultMode::ErrorReply;
        f.code = fault.code;
        f.text = "ERRORE SIMULATO";
        // The driver goes on after "journal exhausted" as after the "nearly
        // full" warning, which holds only if the register has carried the
        // command out; the simulator would refuse it, so it is given as a
        // warning here.
        if (fault.code == regsim::err::JournalExhausted) {
            f.mode = regsim::FaultMode::CustomReply;
            f.text = std::string(protocol::kErrorMarker) + fault.code;
        }
        m_register.addFault(f);
        break;
    case FaultKind::Nak:
        f.mode = regsim::FaultMode::Nak;
        m_register.addFault(f);
        break;
    case FaultKind::PaperEnd:
        m_register.setPaperEnd(fault.polls);
        break;
    case FaultKind::SlowReply:
        if (fault.frame == 0) {
            m_register.setLatency(fault.latencyMs);
        } else {
            f.mode = regsim::FaultMode::LoneAck;
            f.delayMs = fault.lateFrameDelayMs;
            m_register.addFault(f);
        }
        break;
    case FaultKind::PaymentDeclined:
    case FaultKind::PaymentError:
        m_payment.setOutcome(fault.payment);
        break;
    }
}

void SoakRig::liftFaults()
{
    m_register.clearFaults();
    m_register.setLatency(0);
    m_register.setPaperEnd(0);
    m_register.setCoverOpen(0);
    m_payment.setOutcome(paysim::Outcome::Approved);
}

bool SoakRig::cancelOpenDocument()
{
    regsim::RegisterModel& model = m_register.model();
    bool cancelled = false;
    switch (model.documentState()) {
    case regsim::DocumentState::Idle:
        break;
    case regsim::DocumentState::Receipt:
        model.execute(protocol::msg::CancelLine);
        cancelled = true;
        break;
    case regsim::DocumentState::NonFiscal:
    case regsim::DocumentState::Invoice:
        model.execute("4004");
        cancelled = true;
        break;
    }
    model.finishDocument();
    return cancelled;
}

} // namespace tavor1::soak
