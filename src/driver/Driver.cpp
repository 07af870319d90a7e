#include "driver/Driver.h"

#include "driver/CardApprovals.h"
#include "driver/JobCycle.h"
#include "driver/JobExecution.h"
#include "driver/JobRecovery.h"
#include "driver/PaymentRecord.h"
#include "driver/SendEngine.h"
#include "exchange/CancelRequest.h"
#include "exchange/ChannelScan.h"
#include "exchange/LogFile.h"
#include "link/ConnectionCause.h"
#include "payment/OutcomeSlip.h"
#include "payment/PaymentClient.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/InstanceLock.h"
#include "platform/Sinks.h"
#include "platform/qt/Wait.h"
#include "settings/IpAddress.h"
#include "settings/OptionFiles.h"
#include "settings/OptionTable.h"
#include "transmission/JobOutcome.h"

namespace tavor1 {

Driver::Driver(DriverConfig config, MessageSink& messages, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_messages(messages)
    , m_clock(clock)
    , m_files(m_config.dataDir, clock, m_config.fileOps ? *m_config.fileOps : systemFileOps())
    , m_trace(m_config.dataDir, clock, m_options)
    , m_log(m_config.dataDir, clock)
    , m_connection(m_trace, clock, m_config.registerPort, m_config.connectionTimings)
    , m_link(m_connection, m_trace, clock, m_config.exchangeTimings)
    , m_identification(
          m_link, m_facts, m_options, [this](int maxPolls) { return connectAndWait(maxPolls); }, m_files,
          ProgramVersion{}, static_cast<IdentificationEvents*>(this))
    , m_journal(m_config.dataDir, clock)
{
    PaymentServiceSettings pay;
    pay.baseUrl = m_config.paymentUrl;
    pay.replyTimeoutMs = m_config.paymentTimeoutMs;
    m_payment = std::make_unique<PaymentClient>(m_network, m_options, m_config.dataDir, m_messages, m_clock, pay);
    m_send = std::make_unique<SendEngine>(m_link, m_connection, m_options, m_facts, m_vatRates, m_config.dataDir, m_files,
                                          m_trace, m_messages, m_clock);
    m_recovery = std::make_unique<JobRecovery>(m_journal, m_files, *m_send, m_clock);
    m_approvals = std::make_unique<CardApprovals>(m_journal, m_files, m_clock, m_config.approvalReuseSeconds);
    m_cycle = std::make_unique<JobCycle>(m_options, m_state, static_cast<PollSteps&>(*this), m_messages, m_config.dataDir);
    connect(m_cycle.get(), &JobCycle::jobFinished, this, [this] { onJobFinished(); });
    connect(m_cycle.get(), &JobCycle::identificationFinished, this, [this] { onJobFinished(); });
    connect(&m_connection, &RegisterConnection::statusText, this,
            [this](const QString& t) { emit statusText(t.toLatin1().toStdString()); });
}

Driver::~Driver() = default;

void Driver::load()
{
    m_state = DriverState{};
    loadOptions();
    // A job a crash interrupted keeps its request until it is settled.
    // So does a failed sale's request whose card approval waits for its retry.
    std::array<bool, kChannelCount> spare = m_recovery->prepareAtStartup();
    m_approvals->spareKeptRequests(spare);
    m_files.deleteAllAtStartup(spare);
    // A cancel asked of an earlier run is not carried out now, in the middle
    // of whatever the register is doing today.
    withdrawCancelRequest(m_config.dataDir);
    m_connection.setRemoteIP(m_options.txtRemoteIP);
    if (!m_options.txtRemoteIP.empty())
        m_connection.restartConnection(false);
    m_cycle->start();
}

void Driver::loadOptions()
{
    m_options = Options{};
    const OptionFilesReport report = loadOptionFiles(m_config.programDir, m_options);
    m_unreadableOptionFiles = report.unreadable;
    const LogFile log(m_config.dataDir, m_clock);
    for (const std::string& problem : report.problems)
        log.append(problem);
    if (!validateIpAddress(m_options.txtRemoteIP))
        m_options.txtRemoteIP.clear();
    m_loadedOptions = m_options;
    if (!m_config.registryIPAddress.empty() && validateIpAddress(m_config.registryIPAddress))
        m_options.txtRemoteIP = m_config.registryIPAddress;
    m_storedRemoteIP = m_options.txtRemoteIP;
    if (!m_config.forcedRemoteIP.empty())
        m_options.txtRemoteIP = m_config.forcedRemoteIP;
    m_vatFileUnreadable = !m_vatRates.loadVatRates(m_config.programDir);
    if (m_vatFileUnreadable)
        log.append(std::string(VatRateTable::kFileName) + ": file non leggibile, aliquote IVA iniziali e file non"
                                                          " riscritto all'uscita");
}

void Driver::saveOptions()
{
    Options stored = m_options;
    // The simulated register's address is not the shop's.
    if (!m_config.forcedRemoteIP.empty())
        stored.txtRemoteIP = m_storedRemoteIP;
    // `tavor1 options` may have changed the files while the driver ran: what
    // the driver itself did not change is taken from the files, so that a
    // restart after setting the address does not put the old one back.
    Options onDisk;
    readOptionFiles(m_config.programDir, onDisk);
    if (!validateIpAddress(onDisk.txtRemoteIP))
        onDisk.txtRemoteIP.clear();
    stored = mergeOptions(m_loadedOptions, stored, onDisk);
    saveOptionFiles(m_config.programDir, stored, m_unreadableOptionFiles);
    if (!m_vatFileUnreadable)
        m_vatRates.saveVatRates(m_config.programDir);
}

void Driver::setTimer(const std::string& typed)
{
    m_cycle->setTimer(typed, [this](const std::string& box) {
        Options o = m_options;
        o.txtTimerVal = box;
        saveTimerFile(m_config.programDir, o);
    });
}

void Driver::setRemoteIP(const std::string& address)
{
    m_options.txtRemoteIP = address;
    m_connection.setRemoteIP(address);
}

void Driver::cancelDocument()
{
    m_send->cancel();
}

void Driver::cancelOnRequest(const std::string& token)
{
    const std::vector<CancelStep> steps = m_send->cancelBetweenJobs();
    std::string report;
    if (steps.empty())
        report = registerUnreachableLine(m_options.txtRemoteIP, m_connection.port(),
                                         m_options.txtRemoteIP.empty() ? std::string(kNoRegisterAddressCause)
                                                                       : m_connection.failureCause()) +
                 "\r\n";
    else
        report = cancelReport(steps);
    // Between jobs the driver holds no connection; the next job opens its own.
    m_connection.closeConnection();
    writeCancelReply(m_config.dataDir, token, CancelReply{!steps.empty(), report});
    emit cancelled(report);
}

void Driver::close()
{
    if (m_state.closing)
        return;
    m_cycle->stopForClosing();
    m_connection.closeConnection();
    pauseFor(m_config.closingPauseMs);
    if (m_state.jobRunning || m_state.dumpRunning) {
        // The job is suspended in one of its waits below this call: end that
        // wait, leave its files to the host, and finish once it has returned.
        m_link.setReplyTimedOut();
        pauseFor(2 * m_config.closingPauseMs);
        saveOptions();
        m_finishWhenIdle = true;
        if (!m_state.jobRunning && !m_state.dumpRunning)
            onJobFinished();
        return;
    }
    for (int n = 1; n <= kChannelCount; ++n) {
        m_currentChannel = n;
        pauseFor(m_config.closingPauseMs);
        m_files.deleteChannelAtExit(n);
    }
    saveOptions();
    m_finished = true;
    emit finished();
}

void Driver::onJobFinished()
{
    if (m_finishWhenIdle && !m_finished && !m_state.jobRunning && !m_state.dumpRunning) {
        m_finished = true;
        emit finished();
    }
}

// ---- the poll's steps

int Driver::scanChannels(const std::function<void(int)>& startIdentification)
{
    // Without the lock another driver may be serving the directory: serving
    // it too would print every document twice.
    if (!keepInstanceLock())
        return 0;
    retryPendingAnswers();
    // A poll never runs during a job: this is between two jobs.
    if (const auto token = takeCancelRequest(m_config.dataDir))
        cancelOnRequest(*token);
    return scanForGoSignal(m_files, m_options, m_state.channels, m_currentChannel, startIdentification);
}

bool Driver::keepInstanceLock()
{
    InstanceLock* lock = m_config.instanceLock;
    if (!lock)
        return true;
    const InstanceLock::CheckResult r = lock->recheck();
    m_lockHeld = r.check != InstanceLock::Check::Lost;
    if (r.check == InstanceLock::Check::Kept) {
        m_lockLost = false;
        return true;
    }
    if (r.check == InstanceLock::Check::Retaken) {
        m_lockLost = false;
        m_files.log("tavor1.lock ripreso: la cartella dati o il file di blocco erano stati cancellati");
        return true;
    }
    if (!m_lockLost && r.status.state == LockState::HeldByOther) {
        m_lockLost = true;
        m_files.log("tavor1.lock preso da un altro tavor1" +
                    (r.status.holderPid ? " (processo " + std::to_string(*r.status.holderPid) + ")" : std::string()) +
                    ": nessun lavoro servito finche' non torna libero");
    }
    return false;
}

bool Driver::awaitingRetry() const
{
    for (const ChannelState& state : m_state.channels)
        if (state.pendingAnswer || state.servedGoSignal)
            return true;
    return !m_lockHeld || m_recovery->cancelOwed();
}

void Driver::answerHost(JobAnswer answer)
{
    if (!isValidChannel(answer.channel))
        return;
    ChannelState& state = m_state.channels[answer.channel - 1];
    if (deliverJobAnswer(m_files, answer, state.servedGoSignal) == AnswerProgress::Pending)
        state.pendingAnswer = std::move(answer);
}

void Driver::retryPendingAnswers()
{
    for (ChannelState& state : m_state.channels) {
        if (state.pendingAnswer &&
            deliverJobAnswer(m_files, *state.pendingAnswer, state.servedGoSignal) == AnswerProgress::Delivered) {
            m_recovery->answerDelivered(state.pendingAnswer->journalJob);
            state.pendingAnswer.reset();
        }
    }
}

bool Driver::takeJob(int channel)
{
    m_currentChannel = channel;
    m_unwrittenOutput.reset();
    const std::string dati = m_files.path(ExchangeFile::SR_DATI, channel);
    if (!tavor1::fileExists(dati)) {
        JobAnswer answer;
        answer.channel = channel;
        answer.errorLine = std::string(kMissingRequestText);
        answerHost(std::move(answer));
        return false;
    }
    m_currentDatiPath = dati;
    m_currentOutPath = m_files.path(ExchangeFile::SR_OUT, channel);
    return true;
}

JobResult Driver::runJob()
{
    m_recovery->jobAccepted(m_currentChannel, m_currentDatiPath);
    // Decided as the job is taken, so that a new request gives up the
    // channel's earlier approval even when this job fails before its payment.
    m_reusedApproval = m_approvals->approvalFor(m_recovery->currentJob());
    return executeJob(*this, m_options.connectionTimeoutSeconds(), m_currentDatiPath, m_currentOutPath);
}

void Driver::finishJob(JobResult result, bool abandoned)
{
    if (abandoned) {
        // Left in flight in the journal: the next start settles it.
        m_recovery->jobAbandoned();
        m_connection.closeConnection();
        return;
    }
    recordOutcome(result);
    m_connection.closeConnection();
    JobOutcomeContext ctx;
    ctx.files = &m_files;
    ctx.channel = m_currentChannel;
    ctx.lastRegisterError = m_link.lastRegisterError();
    ctx.registerErrorText = m_send->registerErrorText();
    ctx.showStatus = [this](const std::string& line) {
        if (m_state.windowShown)
            emit statusText(line);
    };
    ctx.answerHost = [this](JobAnswer&& answer) {
        answer.output = m_unwrittenOutput;
        answer.journalJob = m_recovery->currentJob();
        answerHost(std::move(answer));
    };
    bool running = true;
    reportJobOutcome(result, ctx, running);
    // An answer still pending is recorded as answered once a later poll has
    // written it (retryPendingAnswers).
    m_recovery->jobAnswered(!m_state.channels[m_currentChannel - 1].pendingAnswer);
}

// ---- the job journal

void Driver::recordOutcome(JobResult result)
{
    std::string answer;
    if (result == JobResult::Ok) {
        answer =
            m_unwrittenOutput ? *m_unwrittenOutput : tavor1::readFileBytes(m_currentOutPath).value_or(std::string());
    } else {
        answer = jobErrorText(result, m_send->registerErrorText());
        if (!m_link.lastRegisterError().empty())
            answer += " : ERRORE " + m_link.lastRegisterError();
        answer += "\r\n";
    }
    const std::string text =
        result == JobResult::Ok ? jobStatusText(result, "") : jobErrorText(result, m_send->registerErrorText());
    m_recovery->jobDecided(result, text, answer, m_connection.isOpen() && !m_connection.connectionLost());
}

bool Driver::settleInterruptedJobs()
{
    if (!m_recovery->hasPending() && !m_recovery->owedCancelDue())
        return true;
    // The settlement writes answers and talks to the register like a job: a
    // closing meanwhile leaves the exchange files alone and waits for it.
    m_state.jobRunning = true;
    const bool settled = m_recovery->settlePending();
    // A cancel owed is tried once nothing waits to be settled; failing, it
    // does not hold the next job back, which asks the register itself.
    if (settled && !m_state.closing)
        m_recovery->retryOwedCancel();
    // As after a job: the register is not held between jobs.
    m_connection.closeConnection();
    m_state.jobRunning = false;
    onJobFinished();
    return settled && !m_state.closing;
}

bool Driver::cancelDocumentLeftOpen()
{
    return m_recovery->cancelDocumentLeftOpen();
}

void Driver::registerHasNoOpenDocument()
{
    m_recovery->noDocumentOpen();
}

std::int16_t Driver::identify(int channel)
{
    m_currentChannel = channel;
    return m_identification.identifyRegister(channel);
}

void Driver::identificationEnded(int channel, std::int16_t code)
{
    emit dumpStateText(channel, identificationStateText(code));
    if (code == 0) {
        m_lastRegisterProblem.clear();
        emit serialNumberChanged(m_facts.serialNumber);
        return;
    }
    if (!validateIpAddress(m_options.txtRemoteIP)) {
        reportRegisterProblem(registerUnreachableLine(std::string(), m_connection.port(), kNoRegisterAddressCause));
    } else if (code != kIdentificationNotConnected) {
        // Reached, but the identification went wrong.
        const ExchangeResult result = codeFromNumber<ExchangeResult>(code);
        std::string cause =
            result == ExchangeResult::NoReply ? std::string("nessuna risposta all'identificazione")
            : result == ExchangeResult::SocketFailure
                ? std::string("connessione persa durante l'identificazione")
                : "errore del registratore ERR" + m_link.lastRegisterError() + " (" + std::to_string(code) + ")";
        reportRegisterProblem("Registratore " + m_options.txtRemoteIP + ":" + std::to_string(m_connection.port()) +
                              " non identificato: " + cause);
    }
}

void Driver::reportRegisterProblem(const std::string& line)
{
    // A register that stays away is retried at every poll: one line per
    // change of cause, not one per attempt.
    if (line == m_lastRegisterProblem)
        return;
    m_lastRegisterProblem = line;
    m_log.append(line);
    emit registerProblem(line);
}

// ---- the job's services

bool Driver::tracingOn() const { return m_options.chbTrace; }
void Driver::openTrace() { m_trace.open(); }
void Driver::closeTrace() { m_trace.close(); }
bool Driver::traceOpen() const { return m_trace.isOpen(); }
void Driver::traceLine(const std::string& text)
{
    m_trace.writeLine(traceTimestamp(m_clock) + text);
}
bool Driver::connectAndWait(int maxPolls)
{
    if (m_connection.connectAndWait(maxPolls))
        return true;
    if (!m_options.txtRemoteIP.empty())
        reportRegisterProblem(
            registerUnreachableLine(m_options.txtRemoteIP, m_connection.port(), m_connection.failureCause()));
    return false;
}
bool Driver::connectionLost() const
{
    return m_connection.connectionLost();
}
RegisterExchange& Driver::exchange() { return m_link; }
bool Driver::fileExists(const std::string& path) const { return tavor1::fileExists(path); }

PaymentResult Driver::requestCardPayment(const std::string& requestPath)
{
    // The retry of a failed sale is paid with the approval it already has.
    if (m_reusedApproval) {
        m_payment->adoptApproval(posDataOf(*m_reusedApproval), m_approvals->reuseNote());
        return PaymentResult::Ok;
    }
    const PaymentResult result = m_payment->requestCardPayment(requestPath);
    if (result == PaymentResult::Ok && m_payment->paymentApproved())
        m_recovery->cardApproved(m_payment->posData());
    return result;
}

bool Driver::paymentApproved() const
{
    return m_payment->paymentApproved();
}

void Driver::keepApprovedPayment(const std::string& outPath)
{
    m_payment->writeReplyLog();
    // SR_OUT kept in memory when the transmission could not write it; the
    // answer writes it later, with the block.
    if (m_unwrittenOutput) {
        m_unwrittenOutput = srOutWithPaymentBlock(*m_unwrittenOutput, m_payment->posData());
        return;
    }
    const std::string before = readFileBytes(outPath).value_or(std::string());
    const std::string out = srOutWithPaymentBlock(before, m_payment->posData());
    if (out != before && !replaceFileBytes(outPath, out))
        m_unwrittenOutput = out;
}

SendResult Driver::sendRequest(const std::string& requestPath)
{
    const POSData& pos = m_payment->posData();
    const SendResult code = m_send->send(requestPath, m_currentChannel, m_currentOutPath, m_state.testReceiptMode,
                                         pos.Comando.empty() ? nullptr : &pos, m_recovery->documentHooks());
    m_unwrittenOutput = m_send->unwrittenOutput();
    return code;
}

JobResult Driver::jobResultFor(SendResult sendResult)
{
    return jobResultForSendResult(sendResult);
}

std::int16_t Driver::printPaymentSlip()
{
    const POSData& pos = m_payment->posData();
    if (pos.Comando.empty())
        return 0;
    // The slip is the driver's own document: one cut short by a lost
    // connection or a crash is cancelled as soon as the register answers.
    m_recovery->slipBegun();
    tavor1::printPaymentSlip(m_link, pos, m_messages);
    m_recovery->slipEnded(m_connection.isOpen() && !m_connection.connectionLost());
    return 0;
}

} // namespace tavor1
