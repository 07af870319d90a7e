#include "soak/SoakRun.h"

#include "protocol/Protocol.h"
#include "platform/ByteFiles.h"
#include "soak/JobCheck.h"
#include "soak/ProcessMemory.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>

#include <sys/prctl.h>

namespace tavor1::soak {

namespace {

constexpr int kChannels = 4;
constexpr int kMemoryBaselineJob = 100;
constexpr int kProgressEvery = 100;

// Lets the event loop (both simulators live on it) run for a while.
void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string shapeName(DocumentShape shape)
{
    switch (shape) {
    case DocumentShape::Receipt: return "receipt";
    case DocumentShape::CardReceipt: return "card receipt";
    case DocumentShape::NonFiscal: return "non-fiscal";
    }
    return "?";
}

// A file's bytes for the failure report: CR dropped, indented.
std::string shown(const std::string& bytes)
{
    std::string out = "    ";
    for (char c : bytes) {
        if (c == '\r')
            continue;
        out += c;
        if (c == '\n')
            out += "    ";
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\n'))
        out.pop_back();
    return out;
}

} // namespace

SoakRun::SoakRun(SoakOptions options, std::string driverPath, std::ostream& out, SoakTimings timings)
    : m_options(std::move(options)),
      m_driverPath(std::move(driverPath)),
      m_out(out),
      m_timings(timings),
      m_seed(m_options.seed.value_or(
          static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000007ULL)),
      m_random(m_seed),
      m_picker(m_random, m_timings.replyLimits)
{
}

SoakRun::~SoakRun()
{
    if (m_driver.state() != QProcess::NotRunning) {
        m_driver.kill();
        m_driver.waitForFinished(3000);
    }
}

std::string SoakRun::exchangePath(ExchangeFile file, int channel) const
{
    return joinPath(m_dataDir, exchangeFileName(file, channel));
}

bool SoakRun::driverRunning() const
{
    return m_driver.state() == QProcess::Running;
}

std::optional<std::int64_t> SoakRun::driverRss() const
{
    return driverRunning() ? residentKb(m_driver.processId()) : std::nullopt;
}

bool SoakRun::waitUntil(const std::function<bool()>& cond, int limitMs)
{
    QDeadlineTimer deadline(limitMs);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        // A host polls its folder; 5 ms keeps the pick-up quick without
        // taking the machine's second core away from the driver.
        pump(5);
    }
    return true;
}

int SoakRun::run()
{
    m_out << "tavor1-soak: " << m_options.jobs << " jobs, seed " << m_seed << "\n" << std::flush;
    QElapsedTimer clock;
    clock.start();
    if (!setUp() || !startDriver() || !waitReady()) {
        m_out << "0 passed, " << m_options.jobs << " failed\n";
        return 1;
    }
    m_rssStart = driverRss();

    int job = 1;
    for (; job <= m_options.jobs; ++job) {
        if (!runJob(job))
            break;
        if (job == kMemoryBaselineJob)
            m_rssAt100 = driverRss();
        if (job % kProgressEvery == 0) {
            const auto rss = driverRss();
            m_out << "job " << job << "/" << m_options.jobs << ": " << m_passed << " passed, " << m_failed
                  << " failed, tavor1 RSS " << (rss ? std::to_string(*rss) + " kB" : "?") << "\n" << std::flush;
        }
    }
    if (job <= m_options.jobs) {
        const int notRun = m_options.jobs - job;
        m_out << "the run stopped at job " << job << "; " << notRun << " jobs not run, counted as failed\n";
        m_failed += notRun;
        m_runBroken = true;
    }
    m_rssEnd = driverRss();
    if (!stopDriver())
        m_runBroken = true;
    printSummary(double(clock.elapsed()) / 1000.0);
    return m_failed == 0 && !m_runBroken ? 0 : 1;
}

bool SoakRun::setUp()
{
    if (m_options.keepDir.empty()) {
        m_temp = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tavor1-soak-XXXXXX");
        if (!m_temp->isValid()) {
            m_out << "cannot make a temporary folder: " << m_temp->errorString().toStdString() << "\n";
            return false;
        }
        m_workDir = m_temp->path().toStdString();
    } else {
        m_workDir = m_options.keepDir;
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
    if (!m_options.keepDir.empty())
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

bool SoakRun::writeOptionFiles()
{
    // All four channels; trace on; the simulator's address; time-out "20 sec.";
    // the check boxes off except "Matricola in Out File"; Fast mode.
    const std::string options = "0\r\n1\r\n0\r\n127.0.0.1\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nF\r\n0\r\n0\r\n1\r\n0\r\n";
    return writeFileBytes(joinPath(m_configDir, "TVCHKCOM.TXT"), "1111\r\n")
        && writeFileBytes(joinPath(m_configDir, "TVCHKSCO.TXT"), options);
}

bool SoakRun::startDriver()
{
    const QStringList args = {
        "--headless",
        "--data-dir", QString::fromStdString(m_dataDir),
        "--config-dir", QString::fromStdString(m_configDir),
        "--register-port", QString::number(m_register.port()),
        "--payment-url", QStringLiteral("http://127.0.0.1:%1").arg(m_payment.port()),
        "--reply-timeout", QString::number(m_timings.replyLimits.replyMs),
        "--second-wait", QString::number(m_timings.replyLimits.secondWaitMs),
        "--closing-pause", "20",
    };
    m_driver.setProcessChannelMode(QProcess::MergedChannels);
    // A soak stopped by a signal must not leave its driver serving the
    // folder: the driver is told to close when the soak goes.
    m_driver.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_driver.setStandardOutputFile(QString::fromStdString(joinPath(m_workDir, "tavor1.log")));
    m_driver.start(QString::fromStdString(m_driverPath), args);
    if (!m_driver.waitForStarted(10000)) {
        m_out << "cannot start " << m_driverPath << ": " << m_driver.errorString().toStdString() << "\n";
        return false;
    }
    return true;
}

bool SoakRun::waitReady()
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
        m_out << "tavor1 did not identify the register on all four channels within "
              << m_timings.readyLimitMs / 1000 << " s\n";
        return false;
    }
    return true;
}

void SoakRun::armFault(const PlannedFault& fault)
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

void SoakRun::resetRegister()
{
    m_register.clearFaults();
    m_register.setLatency(0);
    m_register.setPaperEnd(0);
    m_register.setCoverOpen(0);
    m_payment.setOutcome(paysim::Outcome::Approved);
    regsim::RegisterModel& model = m_register.model();
    switch (model.documentState()) {
    case regsim::DocumentState::Idle:
        break;
    case regsim::DocumentState::Receipt:
        model.execute(protocol::msg::CancelLine);
        ++m_cancelledByOperator;
        break;
    case regsim::DocumentState::NonFiscal:
    case regsim::DocumentState::Invoice:
        model.execute("4004");
        ++m_cancelledByOperator;
        break;
    }
    model.finishDocument();
}

bool SoakRun::runJob(int job)
{
    JobPlan plan;
    plan.job = job;
    plan.channel = std::uniform_int_distribution<int>(1, kChannels)(m_random);
    plan.request = makeRequest(job, m_random);
    const auto shape = static_cast<std::size_t>(plan.request.shape);
    plan.fault = m_picker.pick(plan.request.withPayment(), m_cleanFrames[shape]);
    ++m_injected[static_cast<std::size_t>(plan.fault.kind)];

    const int channel = plan.channel;
    const std::string start = exchangePath(ExchangeFile::SR_START, channel);
    const std::string dati = exchangePath(ExchangeFile::SR_DATI, channel);
    const std::string finesco = exchangePath(ExchangeFile::FINESCO, channel);
    const std::string srErr = exchangePath(ExchangeFile::SR_ERR, channel);
    const std::string srOut = exchangePath(ExchangeFile::SR_OUT, channel);

    // The host takes the last job's answers away, as tavor1-host does, so
    // that they cannot be read as this job's.
    removeFile(finesco);
    removeFile(srErr);
    removeFile(srOut);

    const std::size_t documentsBefore = static_cast<std::size_t>(m_register.roll().documentCount());
    const int framesBefore = m_register.framesReceived();
    armFault(plan.fault);

    bool deletedByHost = false;
    QMetaObject::Connection deleter;
    if (plan.fault.kind == FaultKind::DeleteRequest) {
        deleter = QObject::connect(&m_register, &regsim::RegisterSimulator::commandReceived, &m_register,
                                   [&, framesBefore] {
                                       if (!deletedByHost
                                           && m_register.framesReceived() - framesBefore >= plan.fault.frame) {
                                           deletedByHost = true;
                                           removeFile(dati);
                                       }
                                   });
    }

    std::vector<std::string> broken;
    // The request is complete before the go signal exists.
    if (!writeFileBytes(dati, plan.request.bytes) || !writeFileBytes(start, "00000000\r\n"))
        broken.push_back("the host cannot write SR_DATI and SR_START");

    int limit = m_timings.jobLimitMs + plan.fault.polls * 1500 + plan.fault.lateFrameDelayMs;
    const bool ended = broken.empty() && waitUntil(
        [&] {
            return !driverRunning()
                || (!fileExists(start) && (fileExists(finesco) || fileExists(srErr)));
        },
        limit) && driverRunning();
    QObject::disconnect(deleter);
    // The driver closes its connection before it answers; let the register
    // see it go, so that the roll is read in its final state.
    waitUntil([this] { return m_register.openConnections() == 0; }, 2000);

    JobObservation o;
    o.ended = ended;
    o.finesco = fileExists(finesco);
    o.finescoBytes = readFileBytes(finesco).value_or("");
    o.srErr = fileExists(srErr);
    o.srErrBytes = readFileBytes(srErr).value_or("");
    o.srStart = fileExists(start);
    o.srOutBytes = readFileBytes(srOut).value_or("");
    o.srDati = fileExists(dati);
    o.requestDeletedByHost = deletedByHost;
    m_audit.take(m_register.roll().documents(), documentsBefore);
    o.marker = m_audit.count(job);
    for (int j : m_audit.duplicated())
        if (m_reportedDuplicates.insert(j).second)
            o.duplicatedJobs.push_back(j);
    o.driverAlive = driverRunning();
    const int framesSeen = m_register.framesReceived() - framesBefore;
    o.expectation = expectedOutcome(plan.fault, framesSeen, m_timings.replyLimits);

    for (std::string& text : checkJob(o))
        broken.push_back(std::move(text));
    if (broken.empty()) {
        ++m_passed;
    } else {
        ++m_failed;
        ++m_failedByKind[static_cast<std::size_t>(plan.fault.kind)];
        report(plan, broken, framesBefore, documentsBefore);
    }
    m_finesco += o.finesco ? 1 : 0;
    m_srErr += o.srErr && !o.finesco ? 1 : 0;
    if (plan.fault.kind == FaultKind::None && o.finesco)
        m_cleanFrames[shape] = framesSeen;

    resetRegister();
    // A driver that is gone, or a job that never ended, leaves nothing to go on with.
    return o.driverAlive && o.ended;
}

void SoakRun::report(const JobPlan& plan, const std::vector<std::string>& broken, int framesBefore,
                     std::size_t documentsBefore)
{
    const int channel = plan.channel;
    m_out << "FAIL job " << plan.job << " (seed " << m_seed << ", channel " << channel << ", "
          << shapeName(plan.request.shape) << ", fault " << plan.fault.describe() << ")\n";
    for (const std::string& text : broken)
        m_out << "  - " << text << "\n";
    m_out << "  request written as " << exchangeFileName(ExchangeFile::SR_DATI, channel) << ":\n"
          << shown(plan.request.bytes) << "\n";
    for (ExchangeFile f : {ExchangeFile::SR_ERR, ExchangeFile::SR_OUT, ExchangeFile::FINESCO, ExchangeFile::SR_START,
                           ExchangeFile::SR_DATI}) {
        const auto bytes = readFileBytes(exchangePath(f, channel));
        m_out << "  " << exchangeFileName(f, channel) << ": ";
        if (!bytes)
            m_out << "absent\n";
        else
            m_out << "\n" << shown(*bytes) << "\n";
    }
    m_out << "  register received:";
    const auto& commands = m_register.commands();
    for (std::size_t i = static_cast<std::size_t>(framesBefore); i < commands.size(); ++i)
        m_out << " " << commands[i];
    m_out << "\n  printed during the job:\n";
    const auto& documents = m_register.roll().documents();
    for (std::size_t i = documentsBefore; i < documents.size(); ++i)
        m_out << shown(documents[i].text()) << "\n";
    m_out << "  driver log and trace: " << m_workDir << (m_options.keepDir.empty() ? " (removed at the end; use --keep-dir)" : "")
          << "\n" << std::flush;
}

bool SoakRun::stopDriver()
{
    if (!driverRunning()) {
        m_out << "tavor1 was not running at the end\n";
        return false;
    }
    m_driver.terminate();
    if (!waitUntil([this] { return m_driver.state() == QProcess::NotRunning; }, m_timings.closeLimitMs)) {
        m_out << "tavor1 did not close within " << m_timings.closeLimitMs / 1000 << " s of SIGTERM\n";
        return false;
    }
    if (m_driver.exitStatus() != QProcess::NormalExit || m_driver.exitCode() != 0) {
        m_out << "tavor1 closed with exit code " << m_driver.exitCode() << "\n";
        return false;
    }
    return true;
}

void SoakRun::printSummary(double seconds)
{
    m_out << "faults injected:";
    for (std::size_t k = 0; k < kFaultKindCount; ++k) {
        m_out << " " << faultKindName(static_cast<FaultKind>(k)) << " " << m_injected[k];
        if (m_failedByKind[k] > 0)
            m_out << " (" << m_failedByKind[k] << " failed)";
    }
    m_out << "\nanswers: " << m_finesco << " FINESCO, " << m_srErr << " SR_ERR; documents left open and cancelled "
          << "by the operator: " << m_cancelledByOperator << "\n";
    auto kb = [](const std::optional<std::int64_t>& v) { return v ? std::to_string(*v) + " kB" : std::string("?"); };
    m_out << "tavor1 RSS: after start " << kb(m_rssStart) << ", after job " << kMemoryBaselineJob << " "
          << kb(m_rssAt100) << ", at the end " << kb(m_rssEnd);
    if (m_rssAt100 && m_rssEnd) {
        const std::int64_t growth = *m_rssEnd - *m_rssAt100;
        m_out << " (growth " << growth << " kB)\n";
        if (growth >= m_timings.rssGrowthLimitKb && m_options.memoryCheck) {
            m_out << "memory not flat: tavor1 grew by " << growth << " kB from job " << kMemoryBaselineJob
                  << " to the end\n";
            m_runBroken = true;
        }
    } else {
        m_out << (m_options.jobs <= kMemoryBaselineJob ? " (memory check needs more than 100 jobs)\n" : "\n");
    }
    char duration[64];
    std::snprintf(duration, sizeof duration, "%.1f s (%.0f ms per job)", seconds,
                  m_options.jobs > 0 ? seconds * 1000.0 / m_options.jobs : 0.0);
    m_out << "duration: " << duration << ", seed " << m_seed << "\n";
    m_out << m_passed << " passed, " << m_failed << " failed\n" << std::flush;
}

} // namespace tavor1::soak
