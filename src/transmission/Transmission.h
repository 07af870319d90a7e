#pragma once

// Sending one document to the register: the request is converted into the
// command list (KB.txt), the commands go out one by one, every reply is
// reacted to (paper end, register errors, closing data, change), payments and
// change are shown on the customer display, and SR_OUT.00n receives what the
// host reads back. Also the percentage subtotal adjustment and the cancel
// button "Annullla Doc".

#include "conversion/receipt/ReceiptConverter.h"
#include "exchange/JobSettlement.h"
#include "payment/POSData.h"
#include "payment/SrOutFile.h"
#include "platform/qt/Wait.h"
#include "transmission/CancelSequence.h"
#include "transmission/JobOutcome.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavor1 {

class Clock;
class ExchangeFiles;
class MessageSink;
class RegisterExchange;
class TraceSink;
struct Options;
struct RegisterFacts;

// What the transmission needs of the connection besides the exchange itself.
class LinkControl {
public:
    virtual ~LinkControl() = default;
    // (Re)opens the connection with the job's connection time-out and waits
    // until it stands; true when connected.
    virtual bool connectAndWait() = 0;
    // The connection is open and has not been lost.
    virtual bool isConnected() const = 0;
    // An exchange is waiting for its reply; no other may start meanwhile.
    virtual bool isBusy() const = 0;
    // The end of a transmission forgets a reset asked for during it.
    virtual void clearResetRequested() {}
};

// Services the transmission calls out to. Empty members are skipped.
struct TransmissionServices {
    // Converts the request of a channel into KB.txt; 0 when a command list
    // was written.
    std::function<int(const std::string& requestPath, int channel, ConversionResult& result)> convert;
    // The data dump of a "READ," line into the named file.
    std::function<void(const std::string& fileName)> dump;
    // Register queries used by the SR_OUT summary.
    std::function<std::string()> readClosingCount;
    std::function<std::string()> readGrandTotal;
};

// Pauses of the transmission. Tests shorten them.
struct TransmissionTimings {
    // Between two status polls while the register is out of paper.
    int paperEndPollMs = 1000;
    // Before the cancellation line after ERR 29, and before asking the text
    // of ERR 99.
    int errorPauseMs = 500;
    // Status polls in a row without any usable reply after which a paper-end
    // wait gives up: the register is no longer answering (a register that
    // answers keeps the wait going for as long as the paper takes).
    int paperEndSilentPolls = 3;
};

// One job's document.
struct SendJob {
    int channel = 1;
    // SR_OUT.00n of the channel (CurrentOutPath).
    std::string outPath;
    // The request holds register commands already (the built-in test
    // receipt): they are sent as they stand.
    bool testReceiptMode = false;
    // The card payment taken before the document; null when none.
    const POSData* pos = nullptr;
    // Told the register's document counters once they are read, before any
    // command of the document goes out; then told that the document begins.
    // Both return before the register sees the document, so that what they
    // record survives a crash in the middle of it. May be empty.
    std::function<void(const std::string& counters)> countersRead;
    std::function<void()> documentBegun;
};

class Transmission {
public:
    Transmission(RegisterExchange& link, LinkControl& control, const Options& options,
                 const RegisterFacts& facts, std::string dataDir, ExchangeFiles& files,
                 TraceSink& trace, MessageSink& messages, const Clock& clock,
                 TransmissionServices services, TransmissionTimings timings = {},
                 ProgramVersion version = {});
    ~Transmission();
    Transmission(const Transmission&) = delete;
    Transmission& operator=(const Transmission&) = delete;

    // Sends the document of requestPath and returns its SendResult.
    // SR_OUT is created before anything is sent; when it cannot be, or the
    // request gives no command list, nothing reaches the register.
    // A connection lost during the document is settled here: the connection
    // is reopened and the register's document counters are compared with
    // those read before the document. Only when they show the document was
    // completed does the result become Complete (and SR_OUT is written);
    // otherwise it is ConnectionLost and the document is never sent again.
    // When the job's card payment was approved, SR_OUT carries the payment
    // block whatever the result, so that the host can always find it.
    SendResult sendRequest(const std::string& requestPath, const SendJob& job);

    // Sends a "DOST%"/"MOST%" line as a subtotal discount or markup of the
    // given percentage of the running subtotal; returns the ExchangeResult.
    ExchangeResult subtotalPercent(const std::string& command);

    // The "Annullla Doc" button. During a transmission the cancel is carried
    // out between two exchanges (a paper-end wait ends for it) and the
    // transmission stops with SendResult::CancelledByOperator. Otherwise the
    // register's open document is cancelled at once, or as soon as a running
    // exchange has finished: the display is cleared and the cancellation
    // line, "3011" and "3013" are sent, their results not evaluated.
    void onCancelClicked();
    // The button's sequence asked for from outside the window while no job
    // runs: connects when needed and returns what the register answered to
    // each command; empty when no connection could be had (or, defensively,
    // when a transmission or an exchange is under way).
    std::vector<CancelStep> cancelBetweenJobs();

    // Whether a document begun when the register's counters were
    // countersBefore has been completed since: the check a lost connection is
    // settled with, also used at start-up for a job a crash interrupted. The
    // connection is reopened when needed.
    DocumentProgress documentProgressSince(const std::string& countersBefore);
    // Asks the register ("1011") whether a document is open; nullopt when it
    // gives no usable answer.
    std::optional<bool> documentOpen();
    // Cancels a document the driver left open, as "Annullla Doc" does, but
    // only when the register says one is open. slipOpen: the job's payment
    // outcome slip may be the open document, and a non-fiscal one open is
    // closed instead.
    DocumentCancel cancelOpenDocument(bool slipOpen = false);
    // The register's summary lines of SR_OUT for the last document, and the
    // card-payment block when pos carries an approved payment.
    std::string registerSummary(const POSData* pos);

    // True from the start of sendRequest to its end.
    bool transmissionRunning() const { return m_document != nullptr; }
    // The text the register gave for its error 99 in the last transmission.
    const std::string& registerErrorText() const { return m_lastReport.registerErrorText; }
    // SR_OUT of the last transmission when it could not be written at its
    // end (the data directory refused it for a moment): the caller keeps it
    // with the job's answer and writes it later.
    const std::optional<std::string>& unwrittenOutput() const { return m_lastReport.unwrittenOutput; }

    // The amount of a percentage subtotal adjustment in whole cents:
    // subtotal x percentage / 100, halves rounded away from zero. The
    // percentage is a decimal text with "." or "," as separator. An amount
    // too large to compute comes back as the largest value.
    static long long percentageAmount(long long subtotalCents, const std::string& percentage);
    // A customer-display text: the name left-aligned in 20 characters, then
    // the amount (euro, decimal comma) behind the character 127 and a blank,
    // ending in column 40.
    static std::string displayAmountText(const std::string& name, long long cents);

private:
    // What a transmission tells its caller once it is over.
    struct DocumentReport {
        std::string registerErrorText;
        std::optional<std::string> unwrittenOutput;
    };
    // The state of the document being sent; it lives as long as one
    // sendRequest.
    struct Document;
    // How the command list ended.
    enum class ListEnd {
        Sent, // every line went out
        Stopped, // a refusal or a missing reply stopped it
        ConnectionLost, // the connection went during a line
        Cancelled, // "Annullla Doc": the document was cancelled
    };
    // What became of one line of the command list.
    enum class LineEnd { Taken, Again, Stopped, ConnectionLost, Cancelled };
    enum class PaperEndOutcome { Ready, ConnectionLost, Cancelled, Silent };

    // The steps of one document, in their order.
    SendResult sendDocument(const std::string& requestPath);
    bool loadCommandList(const std::string& requestPath);
    bool readCountersBefore();
    ListEnd sendCommandList();
    bool runDumpLine(const std::string& line);
    LineEnd sendCommand(const std::string& line);
    LineEnd reactToReply(const std::string& line, ExchangeResult result);
    void settle(ListEnd end);
    void closeDocument();

    ExchangeResult exchange(const std::string& command);
    bool sendLine(const std::string& line, ExchangeResult& result, std::string& freshReply);
    bool readClosingData(std::string& reply);
    // cancellable: a cancel asked for during the wait ends it.
    PaperEndOutcome waitForPaper(bool cancellable);
    void cancelDocument();
    void runDeferredCancel();
    bool cancelRequested() const;
    void pause(int milliseconds);
    bool writeSummary();
    SrOutContext summaryContext(const POSData* pos);
    bool readCounters(std::string& counters);
    // Whether the document of the running transmission was completed, after
    // a lost connection or a failure. documentReached: the link went down
    // after lines of the document were sent, so that, when the counters
    // cannot be compared, a register with no document open has closed it. A
    // refusal is not such a case: a refused line may leave nothing open.
    bool documentCompletedAfterLoss(bool documentReached);
    void finishOutput(SendResult sendResult);
    void showPayments();

    RegisterExchange& m_link;
    LinkControl& m_control;
    const Options& m_options;
    const RegisterFacts& m_facts;
    std::string m_dataDir;
    ExchangeFiles& m_files;
    TraceSink& m_trace;
    MessageSink& m_messages;
    const Clock& m_clock;
    TransmissionServices m_services;
    TransmissionTimings m_timings;
    ProgramVersion m_version;

    // The document of the running sendRequest; null between documents.
    Document* m_document = nullptr;
    DocumentReport m_lastReport;

    // A cancel asked for while another exchange was waiting.
    bool m_cancelDeferred = false;
    // The pause now running (paper end, error pauses); the cancel ends it.
    WaitHandle m_pauseWait;
    QObject m_timerContext;
};

} // namespace tavor1
