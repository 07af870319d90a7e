#include "soak/SoakRun.h"

#include "protocol/Protocol.h"
#include "platform/ByteFiles.h"
#include "soak/JobCheck.h"
#include "soak/ProcessMemory.h"

#include <QElapsedTimer>

#include <chrono>
#include <cstdio>

namespace tavor1::soak {

namespace {

constexpr int kMemoryBaselineJob = 100;
constexpr int kProgressEvery = 100;

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
    : m_options(std::move(options))
    , m_out(out)
    , m_timings(timings)
    , m_rig(std::move(driverPath), out, timings)
    , m_seed(m_options.seed.value_or(
          static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000007ULL))
    , m_random(m_seed)
    , m_picker(m_random, m_timings.replyLimits)
    , m_register(m_rig.registerSim())
    , m_payment(m_rig.paymentSim())
{
}

int SoakRun::run()
{
    m_out << "tavor1-soak: " << m_options.jobs << " jobs, seed " << m_seed << "\n" << std::flush;
    QElapsedTimer clock;
    clock.start();
    if (!m_rig.setUp(m_options.keepDir) || !m_rig.startDriver() || !m_rig.waitReady()) {
        m_out << "0 passed, " << m_options.jobs << " failed\n";
        return 1;
    }
    m_rssStart = m_rig.driverRss();

    int job = 1;
    for (; job <= m_options.jobs; ++job) {
        if (!runJob(job))
            break;
        if (job == kMemoryBaselineJob)
            m_rssAt100 = m_rig.driverRss();
        if (job % kProgressEvery == 0) {
            const auto rss = m_rig.driverRss();
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
    m_rssEnd = m_rig.driverRss();
    if (!m_rig.stopDriver())
        m_runBroken = true;
    printSummary(double(clock.elapsed()) / 1000.0);
    return m_failed == 0 && !m_runBroken ? 0 : 1;
}

void SoakRun::resetRegister()
{
    m_rig.liftFaults();
    if (m_rig.cancelOpenDocument())
        ++m_cancelledByOperator;
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
    m_rig.armFault(plan.fault);

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
    const bool ended =
        broken.empty() &&
        m_rig.waitUntil(
            [&] {
                return !m_rig.driverRunning() || (!fileExists(start) && (fileExists(finesco) || fileExists(srErr)));
            },
            limit) &&
        m_rig.driverRunning();
    QObject::disconnect(deleter);
    // The driver closes its connection before it answers; let the register
    // see it go, so that the roll is read in its final state.
    m_rig.waitUntil([this] { return m_register.openConnections() == 0; }, 2000);

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
    o.driverAlive = m_rig.driverRunning();
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
    m_out << "  driver log and trace: " << m_rig.workDir()
          << (m_options.keepDir.empty() ? " (removed at the end; use --keep-dir)" : "") << "\n"
          << std::flush;
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
