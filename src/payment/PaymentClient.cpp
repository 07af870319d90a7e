#include "payment/PaymentClient.h"

#include "conversion/language/RequestLanguage.h"
#include "payment/PaymentReply.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/Cp1252.h"
#include "platform/NativePath.h"
#include "platform/NumberText.h"
#include "platform/Sinks.h"
#include "platform/qt/Wait.h"
#include "settings/Options.h"

#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <utility>

namespace tavor1 {

namespace {

// Numbers of the errors shown in this module's messages; the operator and
// the manual know them by these numbers.
constexpr int kErrOverflow = 6;
constexpr int kErrTypeMismatch = 13;
constexpr int kErrFileNotFound = 53;
constexpr int kErrFileAccess = 75;

// The longest first line we look at; a payment line is a few dozen bytes.
constexpr std::size_t kMaxFirstLine = 64 * 1024;

struct CallError {
    int number;
    std::string description;
};

// A 32-bit integer from a number text, rounding a fraction to even as the
// original conversion did. Anything but a number is a type mismatch.
std::int32_t toInt32(const std::string& text)
{
    const std::string t = Trim(text);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    const std::size_t digitsFrom = i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])))
        ++i;
    std::size_t digits = i - digitsFrom;
    if (i < t.size() && t[i] == '.') {
        ++i;
        const std::size_t fracFrom = i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])))
            ++i;
        digits += i - fracFrom;
    }
    if (digits == 0 || i != t.size())
        throw CallError{kErrTypeMismatch, "Type mismatch"};
    const double value = std::nearbyint(std::strtod(t.c_str(), nullptr));
    if (!(value >= -2147483648.0 && value <= 2147483647.0))
        throw CallError{kErrOverflow, "Overflow"};
    return static_cast<std::int32_t>(value);
}

// The leading number of a text ("2abc" is 2, "abc" is 0), as a 32-bit integer.
std::int32_t leadingInt32(const std::string& text)
{
    const double value = std::nearbyint(leadingFraction(text));
    if (!(value >= -2147483648.0 && value <= 2147483647.0))
        throw CallError{kErrOverflow, "Overflow"};
    return static_cast<std::int32_t>(value);
}

// The first line of the file (up to CR or LF), or empty optional when the
// file cannot be opened. isEmptyFile tells a 0-byte file apart.
std::optional<std::string> readFirstLine(const std::string& path, bool& isEmptyFile)
{
    std::ifstream in(nativePath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string line;
    char c;
    isEmptyFile = true;
    while (line.size() < kMaxFirstLine && in.get(c)) {
        isEmptyFile = false;
        if (c == '\r' || c == '\n')
            break;
        line += c;
    }
    return line;
}

// The terminal id becomes part of a file name; it comes from the network, so
// characters that would leave the log folder or break the name are replaced.
std::string fileNameSafe(const std::string& text)
{
    constexpr std::size_t kMaxLength = 64;
    std::string out;
    for (char c : text.substr(0, kMaxLength)) {
        const unsigned char u = static_cast<unsigned char>(c);
        const bool unsafe = u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"'
            || c == '<' || c == '>' || c == '|';
        out += unsafe ? '_' : c;
    }
    if (out == "." || out == "..")
        out.assign(out.size(), '_');
    return out;
}

} // namespace

PaymentClient::PaymentClient(QNetworkAccessManager& network, const Options& options, std::string dataDir,
                             MessageSink& messages, const Clock& clock, PaymentServiceSettings settings)
    : m_network(network)
    , m_options(options)
    , m_dataDir(std::move(dataDir))
    , m_messages(messages)
    , m_clock(clock)
    , m_settings(std::move(settings))
{
    while (!m_settings.baseUrl.empty() && m_settings.baseUrl.back() == '/')
        m_settings.baseUrl.pop_back();
}

PaymentClient::~PaymentClient() = default;

std::string PaymentClient::paymentUrl(std::int32_t amount, std::int32_t selector) const
{
    std::string url = m_settings.baseUrl + payment::kServicePath + std::to_string(amount);
    if (selector != 0)
        url += "/" + std::to_string(selector);
    return url;
}

PaymentResult PaymentClient::requestCardPayment(const std::string& requestPath)
{
    m_pos = POSData{};
    m_approved = false;
    m_haveReply = false;
    m_lastReply.clear();
    m_logPath.clear();
    m_transport = Transport::None;
    m_result = PaymentResult::Ok;
    try {
        return runPayment(requestPath);
    } catch (const CallError& e) {
        m_messages.showMessage("ERRORE-CHIAMATA-POS = " + e.description + " - " + std::to_string(e.number)
                               + " - 0.");
        return m_result;
    }
}

PaymentResult PaymentClient::runPayment(const std::string& requestPath)
{
    bool isEmptyFile = false;
    const std::optional<std::string> firstLine = readFirstLine(requestPath, isEmptyFile);
    if (!firstLine)
        throw CallError{kErrFileNotFound, "File not found"};
    if (isEmptyFile)
        return PaymentResult::Ok;

    const std::string& line = *firstLine;
    std::string word;
    if (line.empty() || Trim(line).size() <= 4 || !getParam(true, line, "PAGA", word))
        return PaymentResult::Ok;
    m_pos.Comando = "PAGA";

    const std::optional<std::string> amountText = findParam(line, ",V");
    if (!amountText)
        return PaymentResult::Ok;
    m_pos.Importo = *amountText;
    // A payment was asked for but its amount cannot be read: the receipt
    // must not be printed as paid when no payment was taken.
    m_result = PaymentResult::ServiceError;
    const std::int32_t amount = toInt32(*amountText);
    m_result = PaymentResult::Ok;

    const std::optional<std::string> selectorText = findParam(line, ",P");
    if (!selectorText)
        return PaymentResult::Ok;
    const std::int32_t selector = leadingInt32(*selectorText);

    if (amount == 0)
        return PaymentResult::Ok;

    std::string responseText;
    const bool ok = requestPayment(amount, selector, responseText);
    if (!ok && m_transport == Transport::TimedOut) {
        m_pos.DescrErr = responseText;
        return m_result = PaymentResult::TimedOut;
    }
    if (!ok && m_transport == Transport::Unreachable) {
        m_pos.DescrErr = responseText;
        return m_result = PaymentResult::Unreachable;
    }

    m_haveReply = true;
    m_lastReply = responseText;
    const PaymentReply reply(responseText);
    if (reply.selects("/Error/ExceptionMessage")) {
        m_pos.TransactionResult = "KO";
        m_pos.Esito = "TRANSAZIONE ANNULLATA";
        return m_result = PaymentResult::ServiceError;
    }

    if (const auto result = reply.text("/NativeMethods.POSData/TransactionResult")) {
        m_result = ok ? PaymentResult::Ok : PaymentResult::Declined;
        m_pos.TransactionResult = *result;
        m_pos.Esito = *result;
    } else {
        m_result = PaymentResult::ServiceError;
        m_pos.TransactionResult = "KO";
        m_pos.Esito = "TRANSAZIONE ANNULLATA";
    }
    m_approved = ok && m_result == PaymentResult::Ok;

    const auto field = [&reply](const char* xpath) { return reply.text(xpath).value_or(std::string()); };
    m_pos.TerminalId = field("/NativeMethods.POSData/TerminalId");
    m_pos.AcquirerId = field("/NativeMethods.POSData/AcquirerId");
    m_pos.TransactionType = field("/NativeMethods.POSData/TransactionType");
    m_pos.KODescription = field("/NativeMethods.POSData/KODescription");
    m_pos.CardType = field("/NativeMethods.POSData/CardType");
    m_pos.STAN = field("/NativeMethods.POSData/STAN");
    m_pos.PAN = field("/NativeMethods.POSData/PAN");
    // Relative to the document node; it selects the same element as the others.
    m_pos.AuthorizationCode = field("NativeMethods.POSData/AuthorizationCode");
    m_pos.OperationNumber = field("/NativeMethods.POSData/OperationNumber");
    if (const auto dataTrs = reply.text("/NativeMethods.POSData/DataTrs")) {
        m_pos.DataTrs = *dataTrs;
        m_pos.DataOperazione = *dataTrs;
    }

    if (m_options.CheckLogPagamento && writeReplyLog().empty())
        throw CallError{kErrFileAccess, "Path/File access error"};
    return m_result;
}

std::string PaymentClient::paymentLogPath(const char* prefix) const
{
    const LocalDateTime t = m_clock.now();
    char month[16];
    char stamp[32];
    std::snprintf(month, sizeof month, "%04d%02d", t.year, t.month);
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    const std::string folder = joinPath(m_dataDir, std::string("LOG-PAGAME-") + month);
    if (!makeDirectory(folder))
        return {};
    return joinPath(folder, std::string(prefix) + stamp + "-" + fileNameSafe(m_pos.TerminalId) + ".txt");
}

std::string PaymentClient::writeReplyLog()
{
    if (!m_haveReply)
        return {};
    if (!m_logPath.empty())
        return m_logPath;
    const std::string path = paymentLogPath("POSDATA-");
    if (path.empty() || !writeFileBytes(path, m_lastReply + "\r\n"))
        return {};
    m_logPath = path;
    return m_logPath;
}

std::string PaymentClient::adoptApproval(const POSData& pos, const std::string& note)
{
    m_pos = pos;
    m_approved = true;
    m_result = PaymentResult::Ok;
    m_transport = Transport::None;
    // There is no reply of this job's own to log.
    m_haveReply = false;
    m_lastReply.clear();
    m_logPath.clear();

    const std::pair<const char*, const std::string*> fields[] = {
        {"Comando", &pos.Comando},
        {"Importo", &pos.Importo},
        {"Esito", &pos.Esito},
        {"DataOperazione", &pos.DataOperazione},
        {"TerminalId", &pos.TerminalId},
        {"AcquirerId", &pos.AcquirerId},
        {"TransactionType", &pos.TransactionType},
        {"TransactionResult", &pos.TransactionResult},
        {"KODescription", &pos.KODescription},
        {"CardType", &pos.CardType},
        {"STAN", &pos.STAN},
        {"PAN", &pos.PAN},
        {"AuthorizationCode", &pos.AuthorizationCode},
        {"OperationNumber", &pos.OperationNumber},
        {"DataTrs", &pos.DataTrs},
    };
    std::string text = "APPROVAZIONE RIUSATA\r\n" + note + "\r\n";
    for (const auto& [name, value] : fields)
        text += std::string(name) + " : " + *value + "\r\n";
    const std::string path = paymentLogPath("RIUSO-");
    if (path.empty() || !writeFileBytes(path, text))
        return {};
    return path;
}

bool PaymentClient::requestPayment(std::int32_t amount, std::int32_t selector, std::string& responseText)
{
    m_transport = Transport::None;
    const auto fail = [this](int number, const std::string& description) {
        m_messages.showMessage("Errore " + std::to_string(number) + ": " + description
                               + " in ModulePagame.Pagame:0.");
        return false;
    };
    if (m_busy)
        return fail(0, "pagamento gia' in corso");

    const std::string urlText = paymentUrl(amount, selector);
    QUrl url(QString::fromLatin1(urlText.data(), static_cast<qsizetype>(urlText.size())));
    if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty())
        return fail(0, "indirizzo del servizio di pagamento non valido: " + urlText);

    m_busy = true;
    // One bound for the whole exchange, redirects included.
    QDeadlineTimer deadline(m_settings.replyTimeoutMs);
    HttpExchange exchange;
    for (int hop = 0;; ++hop) {
        exchange = exchangeOnce(url, deadline);
        if (exchange.outcome != HttpExchange::Outcome::Redirect)
            break;
        // Redirects are followed by hand: only plain http, and a bounded
        // number of hops, so that a loop ends.
        if (hop >= m_settings.maxRedirects || exchange.redirectTo.scheme() != QLatin1String("http")) {
            exchange.outcome = HttpExchange::Outcome::Failed;
            exchange.errorNumber = 0;
            exchange.errorText = "troppi reindirizzamenti o destinazione non http";
            break;
        }
        url = exchange.redirectTo;
    }
    m_busy = false;

    switch (exchange.outcome) {
    case HttpExchange::Outcome::TimedOut:
        m_transport = Transport::TimedOut;
        responseText = payment::kTimedOutText;
        return false;
    case HttpExchange::Outcome::Refused:
        m_transport = Transport::Unreachable;
        responseText = payment::kUnreachableText;
        return false;
    case HttpExchange::Outcome::Failed:
    case HttpExchange::Outcome::Redirect:
        return fail(exchange.errorNumber, exchange.errorText);
    case HttpExchange::Outcome::Reply:
        break;
    }

    m_transport = Transport::Replied;
    responseText = exchange.body;
    const PaymentReply parsed(exchange.body);
    if (parsed.selects("/Error/Message"))
        return false;
    const auto result = parsed.text("/NativeMethods.POSData/TransactionResult");
    return result && *result == "00";
}

PaymentClient::HttpExchange PaymentClient::exchangeOnce(const QUrl& url, const QDeadlineTimer& deadline)
{
    HttpExchange exchange;
    if (deadline.hasExpired()) {
        exchange.outcome = HttpExchange::Outcome::TimedOut;
        return exchange;
    }

    QNetworkRequest request(url);
    // The service expects these four headers, in this order.
    request.setRawHeader("Accept", "text/html, application/xhtml+xml, application/xml; q=0.9, */*; q=0.8");
    request.setRawHeader("Accept-Encoding", "gzip,deflate");
    request.setRawHeader("Accept-Language", "it-IT, it; q=0.8, en-US; q=0.5, en; q=0.3");
    request.setRawHeader("Connection", "Keep-Alive");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);

    QNetworkReply* reply = m_network.get(request);
    // Qt buffers no more than this ahead of our reads.
    reply->setReadBufferSize(64 * 1024);

    bool timedOut = false;
    bool oversize = false;
    const auto takeData = [&] {
        if (oversize)
            return;
        const QByteArray chunk = reply->readAll();
        if (exchange.body.size() + static_cast<std::size_t>(chunk.size()) > m_settings.maxReplyBytes) {
            oversize = true;
            reply->abort();
            return;
        }
        exchange.body.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
    };

    QObject context;
    QObject::connect(reply, &QNetworkReply::readyRead, &context, takeData);
    // The wait runs the caller's events: a person is paying at the terminal.
    const WaitEnd end = waitUntil([reply] { return reply->isFinished(); },
                                  static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX)));
    QObject::disconnect(reply, nullptr, &context, nullptr);
    if (end != WaitEnd::Done) {
        timedOut = true;
        reply->abort();
    }
    if (!timedOut && reply->bytesAvailable() > 0)
        takeData();

    const QNetworkReply::NetworkError error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QUrl redirect = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    exchange.errorNumber = static_cast<int>(error);
    exchange.errorText = utf8ToCp1252(reply->errorString().toStdString());
    reply->deleteLater();

    if (timedOut) {
        exchange.outcome = HttpExchange::Outcome::TimedOut;
    } else if (oversize) {
        exchange.outcome = HttpExchange::Outcome::Failed;
        exchange.errorNumber = 0;
        exchange.errorText = "risposta del servizio oltre " + std::to_string(m_settings.maxReplyBytes) + " byte";
    } else if (error == QNetworkReply::ConnectionRefusedError) {
        exchange.outcome = HttpExchange::Outcome::Refused;
    } else if (error == QNetworkReply::NoError && redirect.isValid()) {
        exchange.outcome = HttpExchange::Outcome::Redirect;
        exchange.redirectTo = url.resolved(redirect);
    } else if (error == QNetworkReply::NoError || (error >= QNetworkReply::ContentAccessDenied && status.isValid())) {
        // An HTTP error status still carries the service's reply (an Error
        // document); only a failure below HTTP leaves no reply to read.
        exchange.outcome = HttpExchange::Outcome::Reply;
    } else {
        exchange.outcome = HttpExchange::Outcome::Failed;
    }
    return exchange;
}

} // namespace tavor1
