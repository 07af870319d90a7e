#include "driver/Driver.h"

#include "driver/CardApprovals.h"
#include "driver/JobCycle.h"
#include "driver/JobExecution.h"
#include "driver/JobRecovery.h"
#include "driver/Pause.h"
#include "driver/PaymentRecord.h"
#include "driver/SendEngine.h"
#include "exchange/ChannelScan.h"
#include "exchange/LogFile.h"
#include "transmission/JobOutcome.h"
#include "payment/OutcomeSlip.h"
#include "payment/PaymentClient.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "settings/IpAddress.h"
#include "settings/OptionFiles.h"

namespace tavor1 {

Driver::Driver(DriverConfig config, MessageSink& messages, const Clock& clock, QObject* parent)
    : QObject(parent),
      m_config(std::move(config)),
      m_messages(messages),
      m_clock(clock),
      m_files(m_config.dataDir, clock),
      m_trace(m_config.dataDir, clock, m_options),
      m_connection(m_trace, clock, m_config.registerPort, m_config.connectionTimings),
      m_link(m_connection, m_trace, clock, m_config.exchangeTimings),
      m_identification(m_link, m_facts, m_options,
                       [this](int maxPolls) { return m_connection.ConnectAndWait(maxPolls); },
                       m_files, ProgramVersion{}, static_cast<IdentificationEvents*>(this)),
      m_journal(m_config.dataDir, clock)
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
    m_connection.setRemoteIP(m_options.txtRemoteIP);
    if (!m_options.txtRemoteIP.empty())
        m_connection.ResetReStartConnection(false);
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
    if (!ValidateIPAddress(m_options.txtRemoteIP))
        m_options.txtRemoteIP.clear();
    if (!m_config.registryIPAddress.empty() && ValidateIPAddress(m_config.registryIPAddress))
        m_options.txtRemoteIP = m_config.registryIPAddress;
    m_storedRemoteIP = m_options.txtRemoteIP;
    if (!m_config.forcedRemoteIP.empty())
        m_options.txtRemoteIP = m_config.forcedRemoteIP;
    m_vatFileUnreadable = !m_vatRates.LoadVatRates(m_config.programDir);
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
    SaveOptionFiles(m_config.programDir, stored, m_unreadableOptionFiles);
    if (!m_vatFileUnreadable)
        m_vatRates.SaveVatRates(m_config.programDir);
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

void Driver::close()
{
    if (m_state.closing)
        return;
    m_cycle->stopForClosing();
    m_connection.CloseSocketConnection();
    pauseMs(m_config.closingPauseMs);
    if (m_state.JobRunning || m_state.DumpRunning) {
        // The job is suspended in one of its waits below this call: end that
        // wait, leave its files to the host, and finish once it has returned.
        m_link.setReplyTimedOut();
        pauseMs(2 * m_config.closingPauseMs);
        saveOptions();
        m_finishWhenIdle = true;
        if (!m_state.JobRunning && !m_state.DumpRunning)
            onJobFinished();
        return;
    }
    for (int n = 1; n <= kChannelCount; ++n) {
        m_currentChannel = n;
        pauseMs(m_config.closingPauseMs);
        m_files.deleteChannelAtExit(n);
    }
    saveOptions();
    m_finished = true;
    emit finished();
}

void Driver::onJobFinished()
{
    if (m_finishWhenIdle && !m_finished && !m_state.JobRunning && !m_state.DumpRunning) {
        m_finished = true;
        emit finished();
    }
}

// ---- the poll's steps

int Driver::scanChannels(const std::function<void(int)>& startIdentification)
{
    return iVerifyStartTavor1(m_files, m_options, m_state.channels, m_currentChannel, startIdentification);
}

bool Driver::takeJob(int channel)
{
    m_currentChannel = channel;
    const std::string dati = m_files.path(ExchangeFile::SR_DATI, channel);
    if (!tavor1::fileExists(dati)) {
        m_files.WriteErrFile(kMissingRequestText, channel, "");
        if (!m_files.SubKillStartFile(channel))
            m_state.channels[channel - 1].goSignalStuck = true;
        return false;
    }
    m_currentDatiPath = dati;
    m_currentOutPath = m_files.path(ExchangeFile::SR_OUT, channel);
    return true;
}

std::int16_t Driver::runJob()
{
    m_recovery->jobAccepted(m_currentChannel, m_currentDatiPath);
    // Decided as the job is taken, so that a new request gives up the
    // channel's earlier approval even when this job fails before its payment.
    m_reusedApproval = m_approvals->approvalFor(m_recovery->currentJob());
    return Go_Execution(*this, m_options.connectionTimeoutSeconds(), m_currentDatiPath, m_currentOutPath);
}

void Driver::finishJob(std::int16_t result, bool abandoned)
{
    if (abandoned) {
        // Left in flight in the journal: the next start settles it.
        m_recovery->jobAbandoned();
        m_connection.CloseSocketConnection();
        return;
    }
    recordOutcome(result);
    m_connection.CloseSocketConnection();
    JobOutcomeContext ctx;
    ctx.files = &m_files;
    ctx.channel = m_currentChannel;
    ctx.lastRegisterError = m_link.LastRegisterError();
    ctx.registerErrorText = m_send->registerErrorText();
    ctx.showStatus = [this](const std::string& line) {
        if (m_state.WindowShown)
            emit statusText(line);
    };
    bool running = true;
    if (!ReportJobOutcome(result, ctx, running))
        m_state.channels[m_currentChannel - 1].goSignalStuck = true;
    m_recovery->jobAnswered(m_files.exists(result == 0 ? ExchangeFile::FINESCO : ExchangeFile::SR_ERR,
                                           m_currentChannel));
}

// ---- the job journal

void Driver::recordOutcome(std::int16_t result)
{
    std::string answer;
    if (result == 0) {
        answer = tavor1::readFileBytes(m_currentOutPath).value_or(std::string());
    } else {
        answer = JobErrorText(result, m_send->registerErrorText());
        if (!m_link.LastRegisterError().empty())
            answer += " : ERRORE " + m_link.LastRegisterError();
        answer += "\r\n";
    }
    const std::string text = result == 0 ? JobStatusText(result, "") : JobErrorText(result, m_send->registerErrorText());
    m_recovery->jobDecided(result, text, answer, m_connection.isOpen() && !m_connection.ConnectionLost());
}

bool Driver::settleInterruptedJobs()
{
    if (!m_recovery->hasPending())
        return true;
    // The settlement writes answers and talks to the register like a job: a
    // closing meanwhile leaves the exchange files alone and waits for it.
    m_state.JobRunning = true;
    const bool settled = m_recovery->settlePending();
    // As after a job: the register is not held between jobs.
    m_connection.CloseSocketConnection();
    m_state.JobRunning = false;
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
    return m_identification.Zefocx21_DoDumpConf(channel);
}

void Driver::identificationEnded(int channel, std::int16_t code)
{
    emit dumpStateText(channel, DumpStateText(code));
    if (code == 0)
        emit serialNumberChanged(m_facts.serialNumber);
}

// ---- the job's services

bool Driver::tracingOn() const { return m_options.chbTrace; }
void Driver::openTrace() { m_trace.open(); }
void Driver::closeTrace() { m_trace.close(); }
bool Driver::traceOpen() const { return m_trace.isOpen(); }
void Driver::traceLine(const std::string& text) { m_trace.writeLine(CurrDateTime(m_clock) + text); }
bool Driver::ConnectAndWait(int maxPolls) { return m_connection.ConnectAndWait(maxPolls); }
bool Driver::ConnectionLost() const { return m_connection.ConnectionLost(); }
RegisterExchange& Driver::exchange() { return m_link; }
bool Driver::fileExists(const std::string& path) const { return tavor1::fileExists(path); }

std::int16_t Driver::ChiamataPOS(const std::string& requestPath)
{
    // The retry of a failed sale is paid with the approval it already has.
    if (m_reusedApproval) {
        m_payment->adoptApproval(posDataOf(*m_reusedApproval), m_approvals->reuseNote());
        return 0;
    }
    const std::int16_t result = m_payment->ChiamataPOS(requestPath);
    if (result == 0 && m_payment->paymentApproved())
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
    appendPaymentBlockToSrOut(outPath, m_payment->posData());
}

int Driver::DoSendFile(const std::string& requestPath)
{
    const POSData& pos = m_payment->posData();
    return m_send->send(requestPath, m_currentChannel, m_currentOutPath, m_state.TestReceiptMode,
                        pos.Comando.empty() ? nullptr : &pos, m_recovery->documentHooks());
}

std::int16_t Driver::jobResultFor(int sendResult)
{
    return JobResultForSendResult(static_cast<std::int16_t>(sendResult));
}

std::int16_t Driver::StampaEsitoPOS()
{
    tavor1::StampaEsitoPOS(m_link, m_payment->posData(), m_messages);
    return 0;
}

} // namespace tavor1
