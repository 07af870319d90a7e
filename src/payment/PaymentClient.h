#pragma once

#include "payment/POSData.h"
#include "payment/PaymentResult.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include <QUrl>

class QDeadlineTimer;
class QNetworkAccessManager;

namespace tavor1 {

class Clock;
class MessageSink;
struct Options;

namespace payment {
// The two transport texts that requestPayment leaves in place of a reply body.
inline constexpr const char* kTimedOutText = "Timed out.";
inline constexpr const char* kUnreachableText = "A connection with the server could not be established";

inline constexpr const char* kServicePath = "/WebKalidorWS/api/Payment/";
} // namespace payment

struct PaymentServiceSettings {
    // Scheme, host and port of the payment web service, without the path.
    // Only plain http is spoken.
    std::string baseUrl = "http://localhost:80";
    // A person completes the payment at the terminal while we wait, so the
    // bound is generous; its expiry counts as "no reply" (PaymentResult::TimedOut).
    int replyTimeoutMs = 300000;
    // Redirects are followed up to this many hops; a loop ends as a failed exchange.
    int maxRedirects = 10;
    // A real reply is a few hundred bytes; anything past this is not read.
    std::size_t maxReplyBytes = 1024 * 1024;
};

// The client of the local payment web service: takes the card payment that the
// first line of a request asks for, files the outcome in POSData and keeps the
// reply log. One payment at a time, on the caller's thread; the wait for the
// reply runs the caller's event loop.
class PaymentClient {
public:
    PaymentClient(QNetworkAccessManager& network, const Options& options, std::string dataDir,
                  MessageSink& messages, const Clock& clock, PaymentServiceSettings settings = {});
    ~PaymentClient();
    PaymentClient(const PaymentClient&) = delete;
    PaymentClient& operator=(const PaymentClient&) = delete;

    // Reads the first line of the request file; when it is a payment line with
    // an amount other than 0, performs the payment. Returns one of the
    // payment:: codes and fills posData(). Resets posData() first, always.
    PaymentResult requestCardPayment(const std::string& requestPath);

    // One HTTP exchange. True only when the reply carries TransactionResult
    // "00". responseText gets the reply body, one of the two transport texts,
    // or stays untouched when the exchange failed otherwise (a message says why).
    bool requestPayment(std::int32_t amount, std::int32_t selector, std::string& responseText);

    // The outcome of the last requestCardPayment, read by the outcome slip and SR_OUT.
    const POSData& posData() const { return m_pos; }

    // True when the last requestCardPayment took an approved card payment: the
    // customer has been charged, whatever happens to the document afterwards.
    bool paymentApproved() const { return m_approved; }

    // Writes the reply log of the last payment now, whatever CheckLogPagamento
    // says, unless it has already been written. For the job to call when an
    // approved payment is followed by a document that fails, so that the
    // approval can be found. Returns the log's path, empty when there is no
    // reply to log or the file could not be written.
    std::string writeReplyLog();

    // Takes an approval granted earlier (to a job whose document failed) as
    // this job's payment, without calling the service: posData() becomes
    // that approval and paymentApproved() true. note says where it came from;
    // it goes into the payment log beside the approval's fields, in a file
    // "RIUSO-" + date and time + "-" + TerminalId + ".txt". Returns the
    // log's path, empty when it could not be written.
    std::string adoptApproval(const POSData& pos, const std::string& note);

    // Path of the reply log written for the last payment, empty when none.
    const std::string& replyLogPath() const { return m_logPath; }

    // The service URL for an amount and selector (the selector segment only
    // when it is not 0).
    std::string paymentUrl(std::int32_t amount, std::int32_t selector) const;

private:
    // One GET of one URL, without following a redirect.
    struct HttpExchange {
        enum class Outcome { Reply, Redirect, TimedOut, Refused, Failed };
        Outcome outcome = Outcome::Failed;
        std::string body;
        QUrl redirectTo;
        int errorNumber = 0;
        std::string errorText;
    };

    PaymentResult runPayment(const std::string& requestPath);
    // The path of a payment log file of this month, its folder created:
    // prefix + date and time + "-" + TerminalId + ".txt"; empty on failure.
    std::string paymentLogPath(const char* prefix) const;
    HttpExchange exchangeOnce(const QUrl& url, const QDeadlineTimer& deadline);

    QNetworkAccessManager& m_network;
    const Options& m_options;
    std::string m_dataDir;
    MessageSink& m_messages;
    const Clock& m_clock;
    PaymentServiceSettings m_settings;

    // How the last requestPayment ended below the level of the reply's content.
    enum class Transport { None, Replied, TimedOut, Unreachable };

    POSData m_pos;
    PaymentResult m_result = PaymentResult::Ok;
    Transport m_transport = Transport::None;
    bool m_approved = false;
    // The reply body of the last payment that reached classification, kept
    // for a reply log written later on demand.
    bool m_haveReply = false;
    std::string m_lastReply;
    std::string m_logPath;
    // Set while a payment is waiting for its reply: a nested call is refused.
    bool m_busy = false;
};

} // namespace tavor1
