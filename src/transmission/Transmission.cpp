#include "transmission/Transmission.h"

#include "transmission/CancelSequence.h"

#include "conversion/language/Decimal.h"
#include "conversion/language/FieldFormats.h"
#include "exchange/ExchangeFiles.h"
#include "link/RegisterExchange.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/FreeMemory.h"
#include "platform/NumberText.h"
#include "platform/Sinks.h"
#include "protocol/Protocol.h"
#include "settings/Options.h"
#include "settings/RegisterFacts.h"

#include <QTimer>

#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

namespace tavor1 {

namespace {

constexpr const char* kPaperEndText = "E096: Fine carta scontrino, sostituire rotolo";
constexpr const char* kErrorTextQuery = "1015";
constexpr const char* kSubtotalMarkup = "30012";
constexpr const char* kSubtotalDiscount = "30013";
// A command list larger than this is not a document.
constexpr std::size_t kMaxCommandListBytes = 16u * 1024u * 1024u;
// A request above this size has its job's freed memory handed back to the
// system at the end; smaller jobs leave too little to be worth the call.
constexpr std::uintmax_t kLargeRequestBytes = 1024u * 1024u;

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

std::vector<std::string> splitLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // A blank line is no command: sending it would only draw a refusal.
        if (!line.empty())
            lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> splitAt(const std::string& text, char separator)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        fields.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return fields;
        start = end + 1;
    }
}

// The percentage of a "DOST%" or "MOST%" directive, as the request wrote it;
// a "," reads like the ".".
std::optional<Decimal> readPercentage(const std::string& percentage)
{
    return Decimal::parse(dotToComma(percentage), ',');
}

// The percentage as the description shows it: two decimals, "." as separator.
std::string percentText(const std::string& percentage)
{
    return readPercentage(percentage).value_or(Decimal()).toFixedText(2, '.');
}

// The exchange results that stop the command list, and what the document's
// result becomes for each. The others go on, or are reacted to one by one.
std::optional<SendResult> stoppingResult(ExchangeResult result)
{
    switch (result) {
    case ExchangeResult::PrintBufferFull:
        return SendResult::PrintBufferFull;
    case ExchangeResult::NoAnswer:
        return SendResult::RegisterNoAnswer;
    case ExchangeResult::NegativeTotal:
        return SendResult::NegativeTotal;
    case ExchangeResult::CoverOpen:
        return SendResult::CoverOpen;
    case ExchangeResult::FiscalMemoryFull:
        return SendResult::FiscalMemoryFull;
    case ExchangeResult::OtherRegisterError:
        return SendResult::RegisterError;
    case ExchangeResult::ReceiptOpen:
        return SendResult::ReceiptOpen;
    case ExchangeResult::NoReply:
        return SendResult::NoReply;
    case ExchangeResult::RtDocumentNotFound:
    case ExchangeResult::DocumentNotModifiable:
        return SendResult::RtDocumentNotFound;
    default:
        return std::nullopt;
    }
}

} // namespace

struct Transmission::Document {
    explicit Document(const SendJob& sendJob)
        : job(sendJob)
    {
    }

    const SendJob& job;
    ConversionResult conversion;
    std::vector<std::string> lines;
    // The register's document counters read before the first command; empty
    // when the register could not tell.
    std::string countersBefore;
    // SR_OUT as it is built; written whole at the end.
    std::string out;
    bool summaryWritten = false;
    // The paper-end text goes to SR_ERR once per document.
    bool paperEndReported = false;
    // Once a receipt has been closed it is printed: a cancel can no longer
    // take it back, and reporting it cancelled would have it printed twice.
    bool receiptClosed = false;
    // A cancel asked for during the document, carried out before the next
    // exchange.
    bool cancelRequested = false;
    // Lines sent (READ lines that ran a dump are not counted).
    std::size_t lineCount = 0;
    // Lines the register accepted: with none, a loss left nothing printed.
    std::size_t acceptedLines = 0;
    std::string lastLine;
    // Change in cents from the register's reply to the payment.
    long long change = 0;
    SendResult result = SendResult::Complete;
    DocumentReport report;
};

Transmission::Transmission(RegisterExchange& link, LinkControl& control, const Options& options,
                           const RegisterFacts& facts, std::string dataDir, ExchangeFiles& files,
                           TraceSink& trace, MessageSink& messages, const Clock& clock,
                           TransmissionServices services, TransmissionTimings timings, ProgramVersion version)
    : m_link(link)
    , m_control(control)
    , m_options(options)
    , m_facts(facts)
    , m_dataDir(std::move(dataDir))
    , m_files(files)
    , m_trace(trace)
    , m_messages(messages)
    , m_clock(clock)
    , m_services(std::move(services))
    , m_timings(timings)
    , m_version(version)
{
}

Transmission::~Transmission()
{
    m_pauseWait.cancel();
}

long long Transmission::percentageAmount(long long subtotalCents, const std::string& percentage)
{
    const std::optional<Decimal> percent = readPercentage(percentage);
    const std::optional<Decimal> product = percent ? Decimal::fromInteger(subtotalCents).times(*percent) : std::nullopt;
    const std::optional<Decimal> amount = product ? product->dividedBy(Decimal::fromInteger(100), 0) : std::nullopt;
    // Too large to compute: no nine-digit amount field can carry it either.
    return amount ? amount->units() : std::numeric_limits<long long>::max();
}

std::string Transmission::displayAmountText(const std::string& name, long long cents)
{
    std::string text = name.substr(0, 20);
    text.resize(20, ' ');
    const std::string amount = centsToText(cents);
    const std::size_t used = text.size() + 2 + amount.size();
    if (used < 40)
        text.append(40 - used, ' ');
    text += '\x7f';
    text += ' ';
    text += amount;
    return text;
}

ExchangeResult Transmission::exchange(const std::string& command)
{
    return m_link.transmitCommand(command);
}

// Sends one command line and tells whether the reply now in replyData came
// for it. The exchange keeps the previous payload when no reply arrived, and
// that must never be read as this command's closing data or change.
bool Transmission::sendLine(const std::string& line, ExchangeResult& exchangeResult, std::string& freshReply)
{
    const std::string before = m_link.replyData();
    if (startsWith(line, "DOST") || startsWith(line, "MOST"))
        exchangeResult = subtotalPercent(line);
    else
        exchangeResult = exchange(line);
    const bool fresh = (exchangeResult != ExchangeResult::NoReply && exchangeResult != ExchangeResult::SocketFailure) ||
                       m_link.replyData() != before;
    freshReply = fresh && exchangeResult != ExchangeResult::SocketFailure ? m_link.replyData() : std::string();
    return fresh;
}

bool Transmission::cancelRequested() const
{
    return m_document && m_document->cancelRequested;
}

void Transmission::pause(int milliseconds)
{
    if (milliseconds <= 0 || cancelRequested())
        return;
    pauseFor(milliseconds, &m_pauseWait);
}

ExchangeResult Transmission::subtotalPercent(const std::string& command)
{
    std::string body = command;
    std::string description;
    const std::size_t comma = body.find(',');
    if (comma != std::string::npos) {
        description = body.substr(comma + 1);
        body.erase(comma);
    }
    const std::vector<std::string> fields = splitAt(body, '%');
    const std::string percentage = fields.size() > 1 ? fields[1] : std::string();

    const ExchangeResult state = exchange(protocol::msg::ReceiptState);
    if (state != ExchangeResult::Accepted)
        return state;
    const long long subtotal = leadingNumber(mid(m_link.replyData(), 42, 9));

    const bool discount = startsWith(command, "DOST");
    long long amount = percentageAmount(subtotal, percentage);
    // The direction is in the message number; the amount field has no sign.
    if (amount < 0)
        amount = -amount;

    std::string text = description.empty() ? std::string(discount ? "SCONTO SBTL " : "MAGG. SBTL ") : description + " ";
    text += percentText(percentage) + "%";
    for (char& c : text)
        if (c == ',')
            c = '.';
    // The length field has two digits.
    if (text.size() > 99)
        text.resize(99);

    return exchange(std::string(discount ? kSubtotalDiscount : kSubtotalMarkup) +
                    zeroPad(static_cast<std::int64_t>(text.size()), 2) + text + zeroPad(amount, 9));
}

SrOutContext Transmission::summaryContext(const POSData* pos)
{
    SrOutContext ctx;
    ctx.link = &m_link;
    ctx.options = &m_options;
    ctx.facts = &m_facts;
    ctx.pos = pos;
    ctx.version = m_version;
    ctx.trace = &m_trace;
    ctx.clock = &m_clock;
    ctx.readClosingCount = m_services.readClosingCount;
    ctx.readGrandTotal = m_services.readGrandTotal;
    return ctx;
}

bool Transmission::writeSummary()
{
    const SrOutContext ctx = summaryContext(m_document->job.pos);
    // A query refused, unanswered or cut off by a lost connection leaves the
    // summary without the document's number, and the host would be told of a
    // printed document it cannot identify: it is asked for once more, over a
    // new connection when the old one is gone.
    std::string summary;
    bool written = writeSrOutFile(summary, ctx);
    if (!written || summary.find("SCONTR. N.") == std::string::npos) {
        if (m_control.isConnected() || m_control.connectAndWait()) {
            summary.clear();
            written = writeSrOutFile(summary, ctx);
        }
    }
    m_document->out += summary;
    return written;
}

// The register's document counters: the day's counts of receipts, invoices,
// fiscal receipts and MF-read receipts, and the number of fiscal closings (a
// daily report moves the latter). Any document that completes moves one of
// them; an invoice leaves the receipt count alone. Empty when the register
// does not tell them.
bool Transmission::readCounters(std::string& counters)
{
    counters.clear();
    const ExchangeResult totals = exchange(protocol::msg::DayTotals);
    if (totals == ExchangeResult::SocketFailure)
        return false;
    if (totals != ExchangeResult::Accepted || m_link.replyData().size() < 8)
        return true;
    const std::string& day = m_link.replyData();
    const std::string receiptNumber =
        mid(day, 5, 4) + "/" + mid(day, 18, 4) + "/" + mid(day, 31, 4) + "/" + mid(day, 44, 4);
    const ExchangeResult closings = exchange(protocol::msg::FiscalClosings);
    if (closings == ExchangeResult::SocketFailure)
        return false;
    if (closings != ExchangeResult::Accepted || m_link.replyData().size() < 8)
        return true;
    counters = receiptNumber + "/" + mid(m_link.replyData(), 5, 4);
    return true;
}

bool Transmission::documentCompletedAfterLoss(bool documentReached)
{
    const DocumentProgress progress = documentProgressSince(m_document->countersBefore);
    if (progress != DocumentProgress::Unknown || !documentReached)
        return progress == DocumentProgress::Completed;
    // The counters cannot be compared (the register refused to give them
    // before the document or after the reconnection). The document reached
    // the register and the link went down under it: when the register has no
    // document open it was closed, so it is printed, and a job reported failed
    // would have the host print it again. One still open is not completed.
    const std::optional<bool> open = documentOpen();
    if (m_trace.isTracing())
        m_trace.writeLine(traceTimestamp(m_clock) + "DoSendFile: contatori non confrontabili, documento " +
                          (!open   ? "in stato sconosciuto"
                           : *open ? "aperto"
                                   : "chiuso"));
    return open.has_value() && !*open;
}

DocumentProgress Transmission::documentProgressSince(const std::string& countersBefore)
{
    if (!m_control.connectAndWait())
        return DocumentProgress::NotAsked;
    std::string after;
    if (!readCounters(after) || after.empty() || countersBefore.empty())
        return DocumentProgress::Unknown;
    return after != countersBefore ? DocumentProgress::Completed : DocumentProgress::NotCompleted;
}

std::optional<bool> Transmission::documentOpen()
{
    const ExchangeResult r = exchange(protocol::msg::RegisterState);
    const std::string& reply = m_link.replyData();
    if (r != ExchangeResult::Accepted || reply.size() < 6 || !startsWith(reply, protocol::msg::RegisterState))
        return std::nullopt;
    return reply.compare(4, 2, "00") != 0;
}

DocumentCancel Transmission::cancelOpenDocument(bool slipOpen)
{
    if (!m_control.isConnected() && !m_control.connectAndWait())
        return DocumentCancel::Unreachable;
    const std::optional<bool> open = documentOpen();
    if (!open)
        return DocumentCancel::Unreachable;
    if (!*open)
        return DocumentCancel::NothingOpen;
    // A non-fiscal document is not annulled like a receipt: the payment
    // outcome slip cut short is closed as it stands ("4004"). Other
    // non-fiscal documents, an invoice among them, are never closed here: a
    // closed invoice counts as issued.
    const bool nonFiscal = m_link.replyData().compare(4, 2, "02") == 0;
    if (slipOpen && nonFiscal)
        exchange(protocol::msg::CloseNonFiscal);
    else
        cancelDocument();
    const std::optional<bool> still = documentOpen();
    if (!still)
        return DocumentCancel::Unreachable;
    return *still ? DocumentCancel::StillOpen : DocumentCancel::Cancelled;
}

std::string Transmission::registerSummary(const POSData* pos)
{
    std::string out;
    if (m_control.isConnected() || m_control.connectAndWait())
        writeSrOutFile(out, summaryContext(pos));
    if (pos && pos->Comando == "PAGA" && pos->TransactionResult == "00" && !hasPaymentBlock(out))
        appendPaymentBlock(out, *pos);
    return out;
}

Transmission::PaperEndOutcome Transmission::waitForPaper(bool cancellable)
{
    Document& doc = *m_document;
    if (!doc.paperEndReported) {
        m_files.writeErrFile(kPaperEndText, doc.job.channel, m_link.lastRegisterError());
        doc.paperEndReported = true;
    }
    int silent = 0;
    for (;;) {
        if (doc.cancelRequested && !cancellable)
            doc.cancelRequested = false;
        pause(m_timings.paperEndPollMs);
        if (doc.cancelRequested && cancellable)
            return PaperEndOutcome::Cancelled;
        doc.cancelRequested = false;
        const ExchangeResult r = exchange(protocol::msg::Status);
        if (r == ExchangeResult::SocketFailure)
            return PaperEndOutcome::ConnectionLost;
        if (r == ExchangeResult::NoReply) {
            if (++silent >= m_timings.paperEndSilentPolls)
                return PaperEndOutcome::Silent;
            continue;
        }
        silent = 0;
        const std::string& reply = m_link.replyData();
        const std::size_t at = reply.find(protocol::msg::Status);
        if (r == ExchangeResult::Accepted && at != std::string::npos && reply.compare(at + 4, 2, "00") == 0)
            return PaperEndOutcome::Ready;
    }
}

void Transmission::cancelDocument()
{
    runCancelSequence(m_link);
}

std::vector<CancelStep> Transmission::cancelBetweenJobs()
{
    if (m_document || m_control.isBusy())
        return {};
    if (!m_control.isConnected() && !m_control.connectAndWait())
        return {};
    return runCancelSequence(m_link);
}

void Transmission::onCancelClicked()
{
    if (m_document) {
        m_document->cancelRequested = true;
        m_pauseWait.cancel();
        return;
    }
    if (m_control.isBusy()) {
        // Pressed while another exchange waits for its reply: the cancel goes
        // out once that exchange is over, never in the middle of it.
        if (!m_cancelDeferred) {
            m_cancelDeferred = true;
            QTimer::singleShot(50, &m_timerContext, [this] { runDeferredCancel(); });
        }
        return;
    }
    if (!m_control.isConnected() && !m_control.connectAndWait())
        return;
    cancelDocument();
}

void Transmission::runDeferredCancel()
{
    if (m_document) {
        m_cancelDeferred = false;
        onCancelClicked();
        return;
    }
    if (m_control.isBusy()) {
        QTimer::singleShot(50, &m_timerContext, [this] { runDeferredCancel(); });
        return;
    }
    m_cancelDeferred = false;
    onCancelClicked();
}

void Transmission::showPayments()
{
    const ConversionResult& conversion = m_document->conversion;
    const std::array<bool, 4>& used = conversion.paymentTypeUsed;
    if (!(used[PaymentCash] || used[PaymentCheque] || used[PaymentCard] || used[PaymentOther]))
        return;
    const ExchangeResult r = exchange(protocol::msg::ReceiptState);
    const long long cents = r == ExchangeResult::Accepted ? leadingNumber(mid(m_link.replyData(), 42, 9)) : 0;
    const std::string names[4] = {"CONTANTI", "ASSEGNI", "CARTA DI CREDITO", conversion.otherPaymentName};
    for (std::size_t kind = 0; kind < 4; ++kind)
        if (used[kind])
            exchange(std::string(protocol::msg::DisplayText) + displayAmountText(names[kind], cents));
}

void Transmission::finishOutput(SendResult sendResult)
{
    Document& doc = *m_document;
    // An approved card payment has charged the customer whatever became of
    // the document: the host must find it in SR_OUT.
    if (doc.job.pos && doc.job.pos->Comando == "PAGA" && doc.job.pos->TransactionResult == "00" &&
        !hasPaymentBlock(doc.out))
        appendPaymentBlock(doc.out, *doc.job.pos);
    if (sendResult != SendResult::Complete && doc.out.empty())
        return;
    // Written beside its name and renamed into place: a power cut leaves the
    // empty SR_OUT made at the start, or this one whole.
    if (!replaceFileBytes(doc.job.outPath, doc.out)) {
        doc.report.unwrittenOutput = doc.out;
        m_messages.showMessage("err_CreateSrOut_File: impossibile scrivere " + doc.job.outPath);
    }
}

SendResult Transmission::sendRequest(const std::string& requestPath, const SendJob& job)
{
    // After a large request the memory its command list took goes back to
    // the system once the document is gone.
    std::error_code sizeError;
    const std::uintmax_t requestBytes = std::filesystem::file_size(requestPath, sizeError);
    const bool largeRequest = !sizeError && requestBytes > kLargeRequestBytes;

    SendResult result = SendResult::Complete;
    {
        Document document(job);
        // The window and the cancel button see the transmission from the
        // start: a cancel pressed during the conversion stops the document
        // before its first command.
        m_document = &document;
        struct Running {
            Document*& document;
            ~Running() { document = nullptr; }
        } running{m_document};
        result = sendDocument(requestPath);
        m_lastReport = std::move(document.report);
    }
    if (largeRequest)
        releaseFreeMemory();
    return result;
}

// One document: the command list is loaded, SR_OUT is made and the
// register's counters are read before anything is sent; then the commands go
// out, each reply reacted to; a document cut short is settled against the
// register's counters; and the document is closed, SR_OUT written.
SendResult Transmission::sendDocument(const std::string& requestPath)
{
    Document& doc = *m_document;
    if (!loadCommandList(requestPath)) {
        finishOutput(SendResult::ConversionFailed);
        return SendResult::ConversionFailed;
    }
    // SR_OUT is created before the register sees anything: a document whose
    // result could not be handed back is better not printed.
    if (!writeFileBytes(doc.job.outPath, "")) {
        m_messages.showMessage("err_CreateSrOut_File: impossibile creare " + doc.job.outPath);
        return SendResult::OutputUnavailable;
    }
    if (!readCountersBefore()) {
        finishOutput(SendResult::ConnectionLost);
        return SendResult::ConnectionLost;
    }
    exchange(protocol::msg::TransmissionStart);

    settle(sendCommandList());
    closeDocument();
    return doc.result;
}

// The command list of the request: converted into KB.txt, or, for the
// built-in test receipt, the request itself. False when there is none.
bool Transmission::loadCommandList(const std::string& requestPath)
{
    Document& doc = *m_document;
    std::string listPath = requestPath;
    if (!doc.job.testReceiptMode) {
        const int converted = m_services.convert ? m_services.convert(requestPath, doc.job.channel, doc.conversion) : 1;
        if (converted != 0)
            return false;
        listPath = joinPath(m_dataDir, "KB.txt");
    }
    const std::optional<std::string> listBytes = readFileBytes(listPath, kMaxCommandListBytes);
    if (!listBytes)
        return false;
    doc.lines = splitLines(*listBytes);
    return true;
}

// The counters a lost connection is later settled against, read and handed
// to the job before the register sees the document, so that they survive a
// crash in the middle of it. False when the connection is gone.
bool Transmission::readCountersBefore()
{
    Document& doc = *m_document;
    if (!readCounters(doc.countersBefore))
        return false;
    if (doc.job.countersRead)
        doc.job.countersRead(doc.countersBefore);
    if (doc.job.documentBegun)
        doc.job.documentBegun();
    return true;
}

Transmission::ListEnd Transmission::sendCommandList()
{
    Document& doc = *m_document;
    for (const std::string& line : doc.lines) {
        if (doc.cancelRequested && doc.receiptClosed)
            doc.cancelRequested = false;
        if (doc.cancelRequested) {
            cancelDocument();
            doc.result = SendResult::CancelledByOperator;
            return ListEnd::Cancelled;
        }
        if (runDumpLine(line))
            continue;
        ++doc.lineCount;
        doc.lastLine = line;
        if (line == protocol::msg::ReportDaily && !doc.summaryWritten)
            doc.summaryWritten = writeSummary();

        // After a paper end the register is asked for the same line again.
        LineEnd end = LineEnd::Again;
        while (end == LineEnd::Again)
            end = sendCommand(line);
        switch (end) {
        case LineEnd::Taken:
            break;
        case LineEnd::Again:
            break; // not reached: the loop above resends it
        case LineEnd::Stopped:
            return ListEnd::Stopped;
        case LineEnd::ConnectionLost:
            return ListEnd::ConnectionLost;
        case LineEnd::Cancelled:
            return ListEnd::Cancelled;
        }
        if (contains(line, "3004") || contains(line, "3007"))
            showPayments();
    }
    return ListEnd::Sent;
}

// A "READ,1,file" or "READ,2,file" line runs the data dump instead of going
// to the register; true when it did. Other READ lines are sent as they are.
bool Transmission::runDumpLine(const std::string& line)
{
    if (!startsWith(line, "READ"))
        return false;
    const std::vector<std::string> fields = splitAt(line, ',');
    const long long kind = fields.size() >= 3 ? leadingNumber(fields[1]) : 0;
    if (kind != 1 && kind != 2)
        return false;
    if (m_services.dump)
        m_services.dump(fields[2]);
    return true;
}

// Sends one line once and reads what its reply carries for SR_OUT and the
// display.
Transmission::LineEnd Transmission::sendCommand(const std::string& line)
{
    Document& doc = *m_document;
    ExchangeResult result = ExchangeResult::Accepted;
    std::string reply;
    sendLine(line, result, reply);

    const bool closingData = readClosingData(reply);
    const char* paymentNumber = m_options.chbPagamentiEstesi ? "3007" : "3004";
    if (contains(reply, paymentNumber))
        doc.change = leadingNumber(mid(reply, 6, 9));

    // A closing-data reply does not echo the command, so the exchange calls
    // it unusable; yet the register sent it because the document closed.
    // Reading it as a failure would have the host print the receipt again.
    if (closingData && result == ExchangeResult::NoReply)
        result = ExchangeResult::Accepted;
    return reactToReply(line, result);
}

// Closing data: date dd?mm?yyyy, time hh:mm at 12, number at 21. Written to
// SR_OUT, and the reply emptied so that nothing else reads it; true when the
// reply carried them.
bool Transmission::readClosingData(std::string& reply)
{
    Document& doc = *m_document;
    if (!contains(reply, ":"))
        return false;
    appendSrOutLine(doc.out, "TIME,CASS. 1 " + mid(reply, 12, 5) + " CASSA   1 ,E,A1;");
    appendSrOutLine(doc.out, "DATE," + mid(reply, 1, 2) + "/" + mid(reply, 4, 2) + "/" + mid(reply, 9, 2) +
                                 "  SCONTR. N." + mid(reply, 21, 4) + ",E,A1;");
    doc.summaryWritten = true;
    if (m_options.chbMatricola)
        appendSrOutLine(doc.out, matrLine(m_facts.serialNumber));
    reply.clear();
    return true;
}

Transmission::LineEnd Transmission::reactToReply(const std::string& line, ExchangeResult result)
{
    Document& doc = *m_document;
    if (const std::optional<SendResult> stop = stoppingResult(result)) {
        doc.result = *stop;
        return LineEnd::Stopped;
    }
    switch (result) {
    case ExchangeResult::Accepted:
        doc.result = SendResult::Complete;
        ++doc.acceptedLines;
        doc.receiptClosed = doc.receiptClosed || startsWith(line, protocol::msg::CloseReceipt);
        return LineEnd::Taken;
    case ExchangeResult::PaperEnd:
        switch (waitForPaper(!doc.receiptClosed)) {
        case PaperEndOutcome::Ready:
            return LineEnd::Again;
        case PaperEndOutcome::ConnectionLost:
            return LineEnd::ConnectionLost;
        case PaperEndOutcome::Cancelled:
            cancelDocument();
            doc.result = SendResult::CancelledByOperator;
            return LineEnd::Cancelled;
        case PaperEndOutcome::Silent:
            doc.result = SendResult::NoReply;
            return LineEnd::Stopped;
        }
        return LineEnd::Stopped;
    case ExchangeResult::NegativeVat:
        doc.result = SendResult::NegativeVat;
        pause(m_timings.errorPauseMs);
        exchange(protocol::msg::CancelLine);
        return LineEnd::Stopped;
    case ExchangeResult::RegisterOwnError: {
        doc.result = SendResult::RegisterOwnError;
        pause(m_timings.errorPauseMs);
        ExchangeResult query = ExchangeResult::Accepted;
        std::string text;
        // The register's text may itself hold "ERR": the reply counts
        // whenever it is new.
        if (sendLine(kErrorTextQuery, query, text)) {
            const std::size_t at = text.find(kErrorTextQuery);
            if (at != std::string::npos)
                doc.report.registerErrorText = text.substr(at + 4);
        }
        return LineEnd::Stopped;
    }
    // A full or nearly full journal lets the document go on; the result
    // stays only when no later command overwrites it.
    case ExchangeResult::JournalNearlyFull:
        doc.result = SendResult::JournalNearlyFull;
        return LineEnd::Taken;
    case ExchangeResult::JournalExhausted:
        doc.result = SendResult::JournalExhausted;
        return LineEnd::Taken;
    case ExchangeResult::SocketFailure:
        return LineEnd::ConnectionLost;
    default:
        // A code the register is not known to give goes on, as an accepted
        // command does.
        doc.result = SendResult::Complete;
        return LineEnd::Taken;
    }
}

// A document cut short is judged by the register's counters: one it has
// completed is reported printed, for a failure would have the host send it
// again.
void Transmission::settle(ListEnd end)
{
    Document& doc = *m_document;
    if (end == ListEnd::ConnectionLost) {
        doc.result =
            documentCompletedAfterLoss(doc.acceptedLines > 0) ? SendResult::Complete : SendResult::ConnectionLost;
        // After a loss the register's reply to the payment is gone: no change
        // is shown on a guess.
        doc.change = 0;
    } else if (end == ListEnd::Stopped && documentCompletedAfterLoss(false)) {
        // The register refused or did not answer a line after it had
        // completed the document (the drawer after the closing, a closing
        // whose reply came too late): the document is printed.
        if (m_trace.isTracing())
            m_trace.writeLine(traceTimestamp(m_clock) + "DoSendFile: documento completato, esito " +
                              codeText(doc.result) + " non riportato");
        doc.result = SendResult::Complete;
    }
}

// The end of every document that reached the register: the change on the
// display, the SR_OUT summary, the end of the receipt, and SR_OUT written.
void Transmission::closeDocument()
{
    Document& doc = *m_document;
    const bool complete = doc.result == SendResult::Complete;
    if (complete && doc.change != 0)
        exchange(std::string(protocol::msg::DisplayText) + displayAmountText("RESTO", doc.change));
    if (complete && !doc.summaryWritten)
        doc.summaryWritten = writeSummary();
    if (complete && !doc.conversion.invoiceTextMode && !doc.conversion.functionSeen && doc.conversion.paymentSeen &&
        ((!startsWith(doc.lastLine, "7008") && !startsWith(doc.lastLine, "7007")) || doc.lineCount > 3)) {
        ExchangeResult r = exchange(protocol::msg::EndOfDocument);
        if (r != ExchangeResult::Accepted)
            r = exchange(protocol::msg::EndOfDocument);
        // The receipt is complete only if it was closed; ask the register.
        if (r == ExchangeResult::SocketFailure && !documentCompletedAfterLoss(true))
            doc.result = SendResult::ConnectionLost;
    }
    exchange(protocol::msg::TransmissionEnd);

    finishOutput(doc.result);
    m_control.clearResetRequested();
}

} // namespace tavor1
