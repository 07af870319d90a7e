#pragma once

#include "conversion/language/VatRateTable.h"
#include "driver/DriverState.h"
#include "driver/JobServices.h"
#include "driver/PollSteps.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/JobJournal.h"
#include "exchange/LogFile.h"
#include "exchange/TraceFile.h"
#include "link/RegisterConnection.h"
#include "link/RegisterIdentification.h"
#include "link/RegisterLink.h"
#include "settings/Options.h"
#include "settings/RegisterFacts.h"

#include <QNetworkAccessManager>
#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavor1 {

class CardApprovals;
class Clock;
class FileOps;
class InstanceLock;
class JobCycle;
class JobRecovery;
class MessageSink;
class PaymentClient;
class SendEngine;

// Where the driver runs and what it talks to.
struct DriverConfig {
    // The folder of the option files and the VAT-rate table.
    std::string programDir;
    // DataDir: the exchange files, without a trailing separator.
    std::string dataDir;
    std::uint16_t registerPort = 9100;
    std::string paymentUrl = "http://localhost:80";
    // The registry's IPAddress; replaces the option file's address when valid.
    std::string registryIPAddress;
    // Simulated mode: the address of the simulated register, over all others.
    std::string forcedRemoteIP;
    // One pause of the closing sequence.
    int closingPauseMs = 1000;
    // The bound of the wait for the payment service's reply.
    int paymentTimeoutMs = 300000;
    // How long after its approval a failed sale's card payment may pay the
    // retry of the unchanged request; 0: never.
    std::int64_t approvalReuseSeconds = 15 * 60;
    ConnectionTimings connectionTimings{};
    ExchangeTimings exchangeTimings{};
    // The lock that keeps other drivers off dataDir, held by the caller;
    // every poll makes sure it still holds it. None in tests.
    InstanceLock* instanceLock = nullptr;
    // Deletes and result-file writes; the file system itself when none.
    const FileOps* fileOps = nullptr;
};

// The driver without its window: the state the main window owns for the whole
// run (connection, exchange, options, job flags, poll cycle), the job steps
// that join the layers below, start-up and the closing sequence. The window
// and the headless runner are views and controllers over it.
class Driver : public QObject, private PollSteps, private JobServices, private IdentificationEvents {
    Q_OBJECT
public:
    Driver(DriverConfig config, MessageSink& messages, const Clock& clock, QObject* parent = nullptr);
    ~Driver() override;

    // Form_Load: clears every channel's exchange files, loads the options and
    // the VAT-rate table, starts the first connection and arms the poll.
    void load();
    // The closing sequence. Idle: the channel files (not SR_DATI) go after the
    // pauses and the options are saved. During a job or an identification:
    // its wait ends at once, its files stay, the options are saved. finished()
    // follows once nothing runs any more.
    void close();
    bool isClosing() const { return m_state.closing; }

    const DriverConfig& config() const { return m_config; }
    Options& options() { return m_options; }
    DriverState& state() { return m_state; }
    JobCycle& cycle() { return *m_cycle; }
    RegisterConnection& connection() { return m_connection; }
    RegisterLink& link() { return m_link; }
    const RegisterFacts& facts() const { return m_facts; }
    const ExchangeFiles& files() const { return m_files; }

    // Writes the option files (and the VAT-rate table) now.
    void saveOptions();
    // "Set timer" with the text of the timer value box.
    void setTimer(const std::string& typed);
    // "Annullla Doc".
    void cancelDocument();
    // txtRemoteIP changed by the user.
    void setRemoteIP(const std::string& address);

signals:
    // The closing sequence has ended; the program may end.
    void finished();
    // A status text for Text2.
    void statusText(const std::string& text);
    // A channel's dump-state box (Text4..Text7).
    void dumpStateText(int channel, const std::string& text);
    // The register's serial number for Text8.
    void serialNumberChanged(const std::string& serial);
    // The register cannot be reached or identified: address, port and cause
    // in words. Also appended to LOGFILE.TXT, once per change of cause.
    void registerProblem(const std::string& line);
    // A cancel asked through the data directory was carried out; the
    // register's answers, one CR LF line per command.
    void cancelled(const std::string& report);

private:
    // PollSteps
    bool settleInterruptedJobs() override;
    int scanChannels(const std::function<void(int)>& startIdentification) override;
    bool takeJob(int channel) override;
    JobResult runJob() override;
    void finishJob(JobResult result, bool abandoned) override;
    std::int16_t identify(int channel) override;
    bool awaitingRetry() const override;

    // JobServices
    bool tracingOn() const override;
    void openTrace() override;
    void closeTrace() override;
    bool traceOpen() const override;
    void traceLine(const std::string& text) override;
    bool connectAndWait(int maxPolls) override;
    bool connectionLost() const override;
    RegisterExchange& exchange() override;
    bool fileExists(const std::string& path) const override;
    PaymentResult requestCardPayment(const std::string& requestPath) override;
    bool paymentApproved() const override;
    void keepApprovedPayment(const std::string& outPath) override;
    SendResult sendRequest(const std::string& requestPath) override;
    JobResult jobResultFor(SendResult sendResult) override;
    std::int16_t printPaymentSlip() override;
    bool cancelDocumentLeftOpen() override;
    void registerHasNoOpenDocument() override;

    // IdentificationEvents
    void identificationEnded(int channel, std::int16_t code) override;

    void loadOptions();
    void reportRegisterProblem(const std::string& line);
    void cancelOnRequest(const std::string& token);
    void onJobFinished();
    // The job's outcome into the journal, before the host is answered.
    void recordOutcome(JobResult result);

    // Where a job's answer is written: what cannot be written now stays with
    // the channel and is retried at every poll.
    void answerHost(JobAnswer answer);
    void retryPendingAnswers();
    // True while this driver still holds the data directory's lock, taking
    // it again when the directory was deleted and made anew.
    bool keepInstanceLock();

    DriverConfig m_config;
    MessageSink& m_messages;
    const Clock& m_clock;

    Options m_options;
    // The options as the files gave them at start-up.
    Options m_loadedOptions;
    DriverState m_state;
    RegisterFacts m_facts;
    ExchangeFiles m_files;
    TraceFile m_trace;
    LogFile m_log;
    RegisterConnection m_connection;
    RegisterLink m_link;
    RegisterIdentification m_identification;
    QNetworkAccessManager m_network;
    std::unique_ptr<PaymentClient> m_payment;
    std::unique_ptr<SendEngine> m_send;
    std::unique_ptr<JobCycle> m_cycle;
    // The job journal in the data directory, and what the driver does with it.
    JobJournal m_journal;
    std::unique_ptr<JobRecovery> m_recovery;
    // Card approvals whose document failed, and their reuse by a retry.
    std::unique_ptr<CardApprovals> m_approvals;
    // The earlier approval that pays the running job instead of a new charge.
    std::optional<PosFields> m_reusedApproval;
    VatRateTable m_vatRates;

    // Option files that could not be read at start-up: never written at exit.
    std::vector<std::string> m_unreadableOptionFiles;
    bool m_vatFileUnreadable = false;
    // The address of the option files or the registry, before simulated mode.
    std::string m_storedRemoteIP;
    std::string m_lastRegisterProblem;
    int m_currentChannel = 0;
    std::string m_currentDatiPath;
    std::string m_currentOutPath;
    // SR_OUT of the running job when it could not be written.
    std::optional<std::string> m_unwrittenOutput;
    // The lock was found held by another driver and that was logged; logged
    // again only after it has been held once more.
    bool m_lockLost = false;
    // The last poll found the lock held (always, without a lock).
    bool m_lockHeld = true;
    // The closing sequence ran while a job or an identification was running:
    // finished() follows when it returns.
    bool m_finishWhenIdle = false;
    bool m_finished = false;
};

} // namespace tavor1
