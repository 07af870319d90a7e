#include "soak/CrashRun.h"

#include "platform/ByteFiles.h"
#include "simulators/register/FaultModes.h"

#include <QElapsedTimer>
#include <QProcess>

#include <chrono>
#include <csignal>
#include <cstdio>

namespace tavor1::soak {

namespace {

// The first submission and two resubmissions; a host that still gets SR_ERR
// after that gives the sale up.
constexpr std::size_t kMaxGoSignals = 3;
// Frames of a clean job, so that a combined register fault lands inside it.
constexpr int kReceiptFrames = 22;
constexpr int kCardReceiptFrames = 45;
// The restarts tried before the run is given up.
constexpr int kStartTries = 3;

std::string firstLine(const std::string& bytes)
{
    return bytes.substr(0, bytes.find_first_of("\r\n"));
}

std::string documentStateName(regsim::DocumentState state)
{
    switch (state) {
    case regsim::DocumentState::Idle:
        return "";
    case regsim::DocumentState::Receipt:
        return "receipt";
    case regsim::DocumentState::NonFiscal:
        return "non-fiscal";
    case regsim::DocumentState::Invoice:
        return "invoice";
    }
    return "?";
}

// The invariant a violation's text belongs to, for the summary. The first
// key found in the text decides, so the more specific keys come first.
std::string invariantOf(const std::string& violation)
{
    struct Key {
        const char* words;
        const char* invariant;
    };
    static constexpr Key keys[] = {
        {"never answered", "go signal not answered"},
        {"SR_DATI was gone", "SR_DATI not kept on a failure"},
        {"was answered", "go signal answered twice"},
        {"failure reported as success", "failure reported as success"},
        {"neither in a printed document", "approval not accounted for"},
        {"never charged", "card sale never charged"},
        {"charged", "sale charged twice"},
        {"printed", "printed twice"},
        {"on the roll more than once", "printed twice"},
        {"document open", "document left open"},
        {"did not start", "driver did not start"},
    };
    for (const Key& k : keys)
        if (violation.find(k.words) != std::string::npos)
            return k.invariant;
    return "other";
}

} // namespace

CrashRun::CrashRun(SoakOptions options, const std::string& driverPath, std::ostream& out, SoakTimings timings,
                   CrashTimings crashTimings)
    : m_options(std::move(options))
    , m_out(out)
    , m_timings(timings)
    , m_crash(crashTimings)
    , m_rig(driverPath, out, timings)
    , m_seed(m_options.seed.value_or(
          static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000007ULL))
    , m_random(m_seed)
    , m_picker(m_random, m_timings.replyLimits)
{
    m_notUsedListing = [driver = driverPath](const std::string& dataDir) {
        QProcess history;
        history.start(QString::fromStdString(driver),
                      {"history", "--data-dir", QString::fromStdString(dataDir), "-n", "1"});
        if (!history.waitForFinished(10000))
            return std::string();
        return history.readAllStandardOutput().toStdString();
    };
    // The history names approvals by their authorization code.
    m_rig.paymentSim().setDistinctAuthorizations(true);
}

int CrashRun::run()
{
    const int cycles = m_options.crashCycles;
    m_out << "tavor1-soak: " << cycles << " crash cycles, seed " << m_seed << "\n" << std::flush;
    QElapsedTimer clock;
    clock.start();
    if (!m_rig.setUp(m_options.keepDir) || !m_rig.startDriver() || !m_rig.waitReady()) {
        m_out << "0 passed, " << cycles << " failed\n";
        return 1;
    }
    regsim::RegisterSimulator& reg = m_rig.registerSim();
    QObject::connect(&reg, &regsim::RegisterSimulator::commandReceived, &reg,
                     [this](const QByteArray& command) { onRegisterFrame(command); });
    QObject::connect(&reg, &regsim::RegisterSimulator::clientDisconnected, &reg, [this] { onDisconnect(); });
    QObject::connect(&m_rig.paymentSim(), &paysim::PaymentSimulator::requestReceived, &m_rig.paymentSim(),
                     [this] { onPaymentRequest(); });

    int cycle = 1;
    for (; cycle <= cycles; ++cycle) {
        if (!runCycle(cycle))
            break;
        if (cycle % 50 == 0)
            m_out << "cycle " << cycle << "/" << cycles << ": " << m_passed << " passed, " << m_failed << " failed\n"
                  << std::flush;
    }
    if (cycle <= cycles) {
        const int notRun = cycles - cycle;
        m_out << "the run stopped at cycle " << cycle << "; " << notRun << " cycles not run, counted as failed\n";
        m_failed += notRun;
        m_runBroken = true;
    }
    if (!m_rig.stopDriver())
        m_runBroken = true;
    printSummary(double(clock.elapsed()) / 1000.0);
    return m_failed == 0 && !m_runBroken ? 0 : 1;
}

void CrashRun::onRegisterFrame(const QByteArray& command)
{
    if (!m_cycle)
        return;
    if (m_killAgainArmed) {
        m_killAgainArmed = false;
        killNow(false, "the restarted driver's first command \"" + command.toStdString() + "\" (the second kill)");
        return;
    }
    if (!m_triggerLive)
        return;
    RegisterFrame frame;
    frame.command = command.toStdString();
    // The signal comes before the register carries the command out.
    const regsim::DocumentState own = m_cycle->request.shape == DocumentShape::NonFiscal
                                          ? regsim::DocumentState::NonFiscal
                                          : regsim::DocumentState::Receipt;
    frame.documentOpen = m_rig.registerSim().model().documentState() == own;
    if (m_cycle->trigger.onRegisterFrame(frame))
        killNow(m_cycle->kill.gentle, m_cycle->trigger.firedAt());
}

void CrashRun::onPaymentRequest()
{
    if (m_cycle && m_triggerLive && m_cycle->trigger.onPaymentRequest())
        killNow(m_cycle->kill.gentle, m_cycle->trigger.firedAt());
}

void CrashRun::onDisconnect()
{
    if (m_cycle && m_triggerLive && m_cycle->trigger.onDisconnect())
        killNow(m_cycle->kill.gentle, m_cycle->trigger.firedAt());
}

void CrashRun::killNow(bool gentle, const std::string& at)
{
    m_rig.signalDriver(gentle ? SIGTERM : SIGKILL);
    m_killed = true;
    m_killGentle = gentle;
    m_killClock.start();
    if (m_triggerLive)
        ++m_fired[static_cast<std::size_t>(m_cycle->kill.point)];
    m_triggerLive = false;
    ++(gentle ? m_terms : m_kills);
    m_cycle->note(std::string(gentle ? "SIGTERM" : "SIGKILL") + " at " + at);
}

void CrashRun::Cycle::note(const std::string& step)
{
    char at[32];
    std::snprintf(at, sizeof at, "%6.2f s  ", double(clock.elapsed()) / 1000.0);
    timeline.push_back(at + step);
}

void CrashRun::writeGoSignal(Cycle& c)
{
    // The host takes earlier answers away so that they cannot be read as
    // this go signal's.
    for (ExchangeFile f : {ExchangeFile::FINESCO, ExchangeFile::SR_ERR, ExchangeFile::SR_OUT})
        removeFile(path(f, c.channel));
    c.goSignals.emplace_back();
    if (!c.trigger.fired())
        c.trigger = KillTrigger(c.kill, c.request.shape);
    m_triggerLive = !c.trigger.fired();
    ++m_goSignals;
    if (!writeFileBytes(path(ExchangeFile::SR_START, c.channel), "00000000\r\n"))
        c.note("the host could not write SR_START");
    c.note("go signal " + std::to_string(c.goSignals.size()) + " written");
}

void CrashRun::takeAnswer(Cycle& c)
{
    // A kill sent with SIGTERM that the driver does not act on in time is
    // followed by a SIGKILL.
    if (m_killed && m_killGentle && m_rig.driverRunning() && m_killClock.elapsed() > m_timings.closeLimitMs) {
        m_rig.signalDriver(SIGKILL);
        m_killGentle = false;
        ++m_termNotClosed;
        c.note("tavor1 still running " + std::to_string(m_timings.closeLimitMs / 1000) + " s after SIGTERM: SIGKILL");
    }
    const int ch = c.channel;
    if (fileExists(path(ExchangeFile::SR_START, ch)))
        return;
    const auto finesco = readFileBytes(path(ExchangeFile::FINESCO, ch));
    const auto srErr = readFileBytes(path(ExchangeFile::SR_ERR, ch));
    if (!finesco && !srErr)
        return;
    GoSignalOutcome& g = c.goSignals.back();
    const bool first = g.answers == 0;
    g.answers += (finesco ? 1 : 0) + (srErr ? 1 : 0);
    const bool datiKept = fileExists(path(ExchangeFile::SR_DATI, ch));
    if (first) {
        g.finesco = finesco.has_value() && !srErr;
        if (srErr) {
            g.srErrLine = firstLine(*srErr);
            g.srDatiKept = datiKept;
        }
    }
    std::string seen = finesco ? "FINESCO \"" + *finesco + "\"" : "";
    if (srErr)
        seen += (seen.empty() ? "" : " and ") + std::string("SR_ERR \"") + firstLine(*srErr) + "\" (SR_DATI " +
                (datiKept ? "kept" : "gone") + ")";
    c.note(seen + " for go signal " + std::to_string(c.goSignals.size()));
    m_finesco += finesco ? 1 : 0;
    m_srErr += srErr ? 1 : 0;
    for (ExchangeFile f : {ExchangeFile::FINESCO, ExchangeFile::SR_ERR, ExchangeFile::SR_OUT})
        removeFile(path(f, ch));
}

bool CrashRun::restart(Cycle& c)
{
    int failures = 0;
    bool againDone = !c.kill.againOnRestart;
    while (failures < kStartTries) {
        // The host waits for SR_MATR; the old ones are not the restarted
        // driver's, which removes them at start-up anyway.
        for (int n = 1; n <= kChannels; ++n)
            removeFile(path(ExchangeFile::SR_MATR, n));
        m_killed = false;
        m_killAgainArmed = !againDone;
        ++m_restarts;
        const int start = m_rig.starts() + 1;
        if (!m_rig.startDriver()) {
            c.startFailures.push_back("start " + std::to_string(start) + " failed");
            ++failures;
            continue;
        }
        const bool ready = m_rig.waitUntil(
            [&] {
                takeAnswer(c);
                if (!m_rig.driverRunning())
                    return true;
                for (int n = 1; n <= kChannels; ++n)
                    if (!fileExists(path(ExchangeFile::SR_MATR, n)))
                        return false;
                return true;
            },
            m_timings.readyLimitMs);
        m_killAgainArmed = false;
        if (!m_rig.driverRunning()) {
            if (m_killed && !againDone) {
                againDone = true;
                m_rig.waitDriverGone(m_timings.closeLimitMs);
                takeAnswer(c);
                continue;
            }
            c.startFailures.push_back("start " + std::to_string(start) +
                                      ": tavor1 ended during its start-up (exit code " +
                                      std::to_string(m_rig.driver().exitCode()) + ")");
            ++failures;
            continue;
        }
        if (!ready) {
            c.startFailures.push_back("start " + std::to_string(start) +
                                      ": tavor1 did not identify the register on all four channels within " +
                                      std::to_string(m_timings.readyLimitMs / 1000) + " s");
            m_rig.signalDriver(SIGKILL);
            m_rig.waitDriverGone(m_timings.closeLimitMs);
            ++failures;
            continue;
        }
        c.note("started again (start " + std::to_string(start) + "), SR_MATR on all channels");
        return true;
    }
    return false;
}

void CrashRun::waitQuiet(Cycle& c)
{
    // The driver may keep its connection to the register open between jobs:
    // it is idle when the register has heard nothing from it for a while.
    QElapsedTimer idle;
    idle.start();
    int frames = m_rig.registerSim().framesReceived();
    m_rig.waitUntil(
        [&] {
            takeAnswer(c);
            if (m_rig.registerSim().framesReceived() != frames) {
                frames = m_rig.registerSim().framesReceived();
                idle.restart();
            }
            return idle.elapsed() >= m_crash.quietMs;
        },
        m_timings.jobLimitMs);
    c.note(idle.elapsed() >= m_crash.quietMs ? "the driver is idle" : "the driver is still talking to the register");
}

bool CrashRun::runCycle(int number)
{
    Cycle c;
    c.number = number;
    c.clock.start();
    auto between = [this](int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); };
    c.channel = between(1, kChannels);
    const bool byCard = between(0, 1) == 1;
    c.request = makeSale(number, m_random, byCard);
    c.kill = pickKill(m_random, c.request.shape);
    // A third of the cycles also carry a fault of the fault soak on the
    // first submission. Not the host deleting its own request, and not the
    // journal warnings, which answer SR_ERR after a print by design; not a
    // payment fault where the kill needs the payment to go through.
    if (between(1, 3) == 1) {
        c.fault = m_picker.pick(byCard && !needsPayment(c.kill.point), byCard ? kCardReceiptFrames : kReceiptFrames);
        const bool journalWarning =
            c.fault.kind == FaultKind::ErrorCode &&
            (c.fault.code == regsim::err::JournalExhausted || c.fault.code == regsim::err::JournalNearlyFull);
        if (c.fault.kind == FaultKind::DeleteRequest || journalWarning)
            c.fault = PlannedFault{};
    }
    ++m_planned[static_cast<std::size_t>(c.kill.point)];
    if (c.fault.kind != FaultKind::None)
        ++m_faults;
    if (byCard)
        ++m_cardSales;

    regsim::RegisterSimulator& reg = m_rig.registerSim();
    c.documentsBefore = static_cast<std::size_t>(reg.roll().documentCount());
    c.framesBefore = reg.framesReceived();
    c.approvalsBefore = m_rig.paymentSim().approvals().size();
    m_cycle = &c;
    m_killed = false;
    m_rig.armFault(c.fault);
    // The terminal is slow to answer, so that the kill finds the driver
    // waiting for it; the driver is gone before an approval could be sent.
    if (c.kill.point == KillPoint::DuringPayment)
        m_rig.paymentSim().setOutcome(paysim::Outcome::Slow, m_crash.heldPaymentMs);

    if (!writeFileBytes(path(ExchangeFile::SR_DATI, c.channel), c.request.bytes))
        c.note("the host could not write SR_DATI");
    writeGoSignal(c);

    bool restartedSinceGoSignal = false;
    bool broken = false;
    while (true) {
        const std::size_t g = c.goSignals.size() - 1;
        if (c.goSignals[g].answers > 0) {
            const GoSignalOutcome& a = c.goSignals[g];
            if (a.finesco || !a.srDatiKept || c.goSignals.size() >= kMaxGoSignals)
                break;
            if (!fileExists(path(ExchangeFile::SR_DATI, c.channel))) {
                c.goSignals[g].srDatiLostBeforeResubmit = true;
                c.note("SR_DATI is gone: the host cannot resubmit");
                break;
            }
            // The host resubmits: SR_START again over the SR_DATI kept.
            m_rig.liftFaults();
            writeGoSignal(c);
            restartedSinceGoSignal = false;
            continue;
        }
        const int limit = restartedSinceGoSignal ? m_crash.answerAfterRestartMs
                                                 : m_timings.jobLimitMs + c.fault.polls * 1500 +
                                                       c.fault.lateFrameDelayMs + m_crash.heldPaymentMs;
        m_rig.waitUntil(
            [&] {
                takeAnswer(c);
                return c.goSignals[g].answers > 0 || !m_rig.driverRunning();
            },
            limit);
        if (c.goSignals[g].answers > 0)
            continue;
        if (!m_rig.driverRunning()) {
            if (!m_killed)
                c.startFailures.push_back("tavor1 ended by itself during the job (exit code " +
                                          std::to_string(m_rig.driver().exitCode()) + ")");
            // The host's last look before the driver is back.
            takeAnswer(c);
            m_rig.liftFaults();
            c.note("tavor1 is gone");
            if (!restart(c)) {
                broken = true;
                break;
            }
            restartedSinceGoSignal = true;
            continue;
        }
        c.note("no answer to go signal " + std::to_string(c.goSignals.size()) + " within " +
               std::to_string(limit / 1000) + " s");
        break;
    }
    m_triggerLive = false;
    if (!broken) {
        // The answer may have come just before a kill took the driver: it
        // is brought back before the cycle is judged, so that a second
        // answer from its restart is seen.
        if (m_killed)
            m_rig.waitUntil(
                [&] {
                    takeAnswer(c);
                    return !m_rig.driverRunning();
                },
                m_timings.closeLimitMs + 1000);
        if (!m_rig.driverRunning()) {
            if (!m_killed)
                c.startFailures.push_back("tavor1 ended by itself after the job (exit code " +
                                          std::to_string(m_rig.driver().exitCode()) + ")");
            c.note("tavor1 is gone");
            takeAnswer(c);
            m_rig.liftFaults();
            broken = !restart(c);
        }
    }
    if (!broken)
        waitQuiet(c);
    judge(c);

    // What is left for the next cycle: an operator cancels a document left
    // open, the host gives up a sale it got no FINESCO for.
    if (m_rig.cancelOpenDocument())
        ++m_cancelledByOperator;
    m_rig.liftFaults();
    removeFile(path(ExchangeFile::SR_START, c.channel));
    removeFile(path(ExchangeFile::SR_DATI, c.channel));
    m_cycle = nullptr;
    return !broken;
}

void CrashRun::judge(Cycle& c)
{
    regsim::RegisterSimulator& reg = m_rig.registerSim();
    CycleObservation o;
    o.goSignals = c.goSignals;
    o.startFailures = c.startFailures;
    m_audit.take(reg.roll().documents(), c.documentsBefore);
    o.marker = m_audit.count(c.number);
    for (int job : m_audit.printedMoreThanOnce())
        if (m_reportedDuplicates.insert(job).second && job != c.number)
            o.duplicatedJobs.push_back(job);
    o.documentLeftOpen = documentStateName(reg.model().documentState());

    std::vector<std::string> broken = checkCycle(o);

    SaleCharges sale;
    sale.cardSale = c.request.withPayment();
    sale.printed = o.marker.completed > 0;
    const auto& approvals = m_rig.paymentSim().approvals();
    for (std::size_t i = c.approvalsBefore; i < approvals.size(); ++i)
        sale.charges.push_back(Charge{approvals[i].transactionId, approvals[i].amount.toStdString(),
                                      approvals[i].authorization.toStdString()});
    m_charges += static_cast<int>(sale.charges.size());
    // The driver's list is read only when a charge is not used by the printed receipt.
    const bool unused = sale.charges.size() > (sale.printed ? 1u : 0u);
    const std::set<std::string> notUsed =
        unused && m_notUsedListing ? parseNotUsedApprovals(m_notUsedListing(m_rig.dataDir())) : std::set<std::string>{};
    for (std::string& text : checkCharges(sale, notUsed)) {
        if (m_options.chargeCheck)
            broken.push_back(std::move(text));
        else
            ++m_chargesNotJudged;
    }

    for (const GoSignalOutcome& g : c.goSignals)
        m_unanswered += g.answers == 0 ? 1 : 0;
    if (broken.empty()) {
        ++m_passed;
        return;
    }
    ++m_failed;
    ++m_failedByPoint[static_cast<std::size_t>(c.kill.point)];
    for (const std::string& text : broken)
        ++m_violations[invariantOf(text)];
    report(c, broken);
}

void CrashRun::report(const Cycle& c, const std::vector<std::string>& broken)
{
    const regsim::RegisterSimulator& reg = m_rig.registerSim();
    m_out << "FAIL cycle " << c.number << " (seed " << m_seed << ", channel " << c.channel << ", "
          << (c.request.withPayment() ? "card" : "cash") << " sale " << c.request.marker << ", kill "
          << c.kill.describe() << (c.trigger.fired() ? " at " + c.trigger.firedAt() : std::string(" never reached"))
          << ", fault " << c.fault.describe() << ")\n";
    for (const std::string& text : broken)
        m_out << "  - " << text << "\n";
    m_out << "  what happened:\n";
    for (const std::string& step : c.timeline)
        m_out << "    " << step << "\n";
    m_out << "  register received:";
    const auto& commands = reg.commands();
    for (std::size_t i = static_cast<std::size_t>(c.framesBefore); i < commands.size(); ++i)
        m_out << " " << commands[i];
    m_out << "\n  printed:\n";
    const auto& documents = reg.roll().documents();
    for (std::size_t i = c.documentsBefore; i < documents.size(); ++i) {
        std::string text = documents[i].text();
        for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos && at + 1 < text.size(); at += 5)
            text.replace(at, 1, "\n    ");
        m_out << "    " << text;
    }
    const auto& approvals = m_rig.paymentSim().approvals();
    for (std::size_t i = c.approvalsBefore; i < approvals.size(); ++i)
        m_out << "  charged: operation " << operationNumber(approvals[i].transactionId) << ", "
              << approvals[i].amount.toStdString() << " cents\n";
    m_out << "  driver log and traces: " << m_rig.workDir()
          << (m_options.keepDir.empty() ? " (removed at the end; use --keep-dir)" : "") << "\n"
          << std::flush;
}

void CrashRun::printSummary(double seconds)
{
    m_out << "kill points (planned/fired, failed cycles):";
    for (std::size_t p = 0; p < kKillPointCount; ++p) {
        m_out << " " << killPointName(static_cast<KillPoint>(p)) << " " << m_planned[p] << "/" << m_fired[p];
        if (m_failedByPoint[p] > 0)
            m_out << " (" << m_failedByPoint[p] << " failed)";
    }
    m_out << "\nkills: " << m_kills << " SIGKILL, " << m_terms << " SIGTERM (" << m_termNotClosed
          << " not closed in time); restarts " << m_restarts << "; combined faults " << m_faults << "\n";
    m_out << "go signals: " << m_goSignals << " (" << m_finesco << " FINESCO, " << m_srErr << " SR_ERR, "
          << m_unanswered << " never answered); documents cancelled by the operator: " << m_cancelledByOperator << "\n";
    m_out << "card sales: " << m_cardSales << ", charges: " << m_charges;
    if (!m_options.chargeCheck)
        m_out << " (not judged; " << m_chargesNotJudged << " charge findings)";
    m_out << "\n";
    if (!m_violations.empty()) {
        m_out << "violations:";
        for (const auto& [invariant, count] : m_violations)
            m_out << " " << invariant << " " << count << ";";
        m_out << "\n";
    }
    char duration[64];
    std::snprintf(duration, sizeof duration, "%.1f s (%.0f ms per cycle)", seconds,
                  m_options.crashCycles > 0 ? seconds * 1000.0 / m_options.crashCycles : 0.0);
    m_out << "duration: " << duration << ", seed " << m_seed << "\n";
    m_out << m_passed << " passed, " << m_failed << " failed\n" << std::flush;
}

} // namespace tavor1::soak
