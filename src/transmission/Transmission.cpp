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

namespace result = protocol::result;

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
    return Decimal::parse(DotToComma(percentage), ',');
}

// The percentage as the description shows it: two decimals, "." as separator.
std::string percentText(const std::string& percentage)
{
    return readPercentage(percentage).value_or(Decimal()).toFixedText(2, '.');
}

} // namespace

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
    const std::string amount = CentsToText(cents);
    const std::size_t used = text.size() + 2 + amount.size();
    if (used < 40)
        text.append(40 - used, ' ');
    text += '\x7f';
    text += ' ';
    text += amount;
    return text;
}

std::int16_t Transmission::exchange(const std::string& command)
{
    return m_link.TrasmettiStringa(command);
}

// Sends one command line and tells whether the reply now in ReplyData came
// for it. The exchange keeps the previous payload when no reply arrived, and
// that must never be read as this command's closing data or change.
bool Transmission::sendLine(const std::string& line, std::int16_t& exchangeResult, std::string& freshReply)
{
    const std::string before = m_link.ReplyData();
    if (startsWith(line, "DOST") || startsWith(line, "MOST"))
        exchangeResult = SubtotalPercent(line);
    else
        exchangeResult = exchange(line);
    const bool fresh = (exchangeResult != result::NoReply && exchangeResult != result::SocketFailure) ||
                       m_link.ReplyData() != before;
    freshReply = fresh && exchangeResult != result::SocketFailure ? m_link.ReplyData() : std::string();
    return fresh;
}

void Transmission::pause(int milliseconds)
{
    if (m_cancelRequested)
        return;
    pauseFor(milliseconds, &m_pauseWait);
}

std::int16_t Transmission::SubtotalPercent(const std::string& command)
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

    const std::int16_t state = exchange(protocol::msg::ReceiptState);
    if (state != result::Accepted)
        return state;
    const long long subtotal = LeadingNumber(Mid(m_link.ReplyData(), 42, 9));

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
                    ZeroPad(static_cast<std::int64_t>(text.size()), 2) + text + ZeroPad(amount, 9));
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
    ctx.readNumeroAzzeramenti = m_services.readNumeroAzzeramenti;
    ctx.readGranTotale = m_services.readGranTotale;
    return ctx;
}

bool Transmission::writeSummary()
{
    const SrOutContext ctx = summaryContext(m_job.pos);
    // A query refused, unanswered or cut off by a lost connection leaves the
    // summary without the document's number, and the host would be told of a
    // printed document it cannot identify: it is asked for once more, over a
    // new connection when the old one is gone.
    std::string summary;
    bool written = CreateSrOut_File(summary, ctx);
    if (!written || summary.find("SCONTR. N.") == std::string::npos) {
        if (m_control.isConnected() || m_control.connectAndWait()) {
            summary.clear();
            written = CreateSrOut_File(summary, ctx);
        }
    }
    m_out += summary;
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
    const std::int16_t totals = exchange(protocol::msg::DayTotals);
    if (totals == result::SocketFailure)
        return false;
    if (totals != result::Accepted || m_link.ReplyData().size() < 8)
        return true;
    const std::string& day = m_link.ReplyData();
    const std::string receiptNumber = Mid(day, 5, 4) + "/" + Mid(day, 18, 4) + "/" + Mid(day, 31, 4) + "/" +
                                      Mid(day, 44, 4);
    const std::int16_t closings = exchange(protocol::msg::FiscalClosings);
    if (closings == result::SocketFailure)
        return false;
    if (closings != result::Accepted || m_link.ReplyData().size() < 8)
        return true;
    counters = receiptNumber + "/" + Mid(m_link.ReplyData(), 5, 4);
    return true;
}

bool Transmission::documentCompletedAfterLoss(bool documentReached)
{
    const DocumentProgress progress = documentProgressSince(m_countersBefore);
    if (progress != DocumentProgress::Unknown || !documentReached)
        return progress == DocumentProgress::Completed;
    // The counters cannot be compared (the register refused to give them
    // before the document or after the reconnection). The document reached
    // the register and the link went down under it: when the register has no
    // document open it was closed, so it is printed, and a job reported failed
    // would have the host print it again. One still open is not completed.
    const std::optional<bool> open = documentOpen();
    if (m_trace.isTracing())
        m_trace.writeLine(CurrDateTime(m_clock) + "DoSendFile: contatori non confrontabili, documento " +
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
    const std::int16_t r = exchange(protocol::msg::RegisterState);
    const std::string& reply = m_link.ReplyData();
    if (r != result::Accepted || reply.size() < 6 || !startsWith(reply, protocol::msg::RegisterState))
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
    const bool nonFiscal = m_link.ReplyData().compare(4, 2, "02") == 0;
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
        CreateSrOut_File(out, summaryContext(pos));
    if (pos && pos->Comando == "PAGA" && pos->TransactionResult == "00" && !HasPaymentBlock(out))
        AppendPaymentBlock(out, *pos);
    return out;
}

Transmission::PaperEndOutcome Transmission::waitForPaper(bool cancellable)
{
    if (!m_paperEndReported) {
        m_files.WriteErrFile(kPaperEndText, m_job.channel, m_link.LastRegisterError());
        m_paperEndReported = true;
    }
    int silent = 0;
    for (;;) {
        if (m_cancelRequested && !cancellable)
            m_cancelRequested = false;
        pause(m_timings.paperEndPollMs);
        if (m_cancelRequested && cancellable)
            return PaperEndOutcome::Cancelled;
        m_cancelRequested = false;
        const std::int16_t r = exchange(protocol::msg::Status);
        if (r == result::SocketFailure)
            return PaperEndOutcome::ConnectionLost;
        if (r == result::NoReply) {
            if (++silent >= m_timings.paperEndSilentPolls)
                return PaperEndOutcome::Silent;
            continue;
        }
        silent = 0;
        const std::string& reply = m_link.ReplyData();
        const std::size_t at = reply.find(protocol::msg::Status);
        if (r == result::Accepted && at != std::string::npos && reply.compare(at + 4, 2, "00") == 0)
            return PaperEndOutcome::Ready;
    }
}

void Transmission::cancelDocument()
{
    runCancelSequence(m_link);
}

std::vector<CancelStep> Transmission::cancelBetweenJobs()
{
    if (m_running || m_control.isBusy())
        return {};
    if (!m_control.isConnected() && !m_control.connectAndWait())
        return {};
    return runCancelSequence(m_link);
}

void Transmission::Annullo_Click()
{
    if (m_running) {
        m_cancelRequested = true;
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
    if (m_running) {
        m_cancelDeferred = false;
        Annullo_Click();
        return;
    }
    if (m_control.isBusy()) {
        QTimer::singleShot(50, &m_timerContext, [this] { runDeferredCancel(); });
        return;
    }
    m_cancelDeferred = false;
    Annullo_Click();
}

void Transmission::showPayments()
{
    const std::array<bool, 4>& used = m_conversion.PaymentTypeUsed;
    if (!(used[PaymentCash] || used[PaymentCheque] || used[PaymentCard] || used[PaymentOther]))
        return;
    const std::int16_t r = exchange(protocol::msg::ReceiptState);
    const long long cents = r == result::Accepted ? LeadingNumber(Mid(m_link.ReplyData(), 42, 9)) : 0;
    const std::string names[4] = {"CONTANTI", "ASSEGNI", "CARTA DI CREDITO", m_conversion.otherPaymentName};
    for (std::size_t kind = 0; kind < 4; ++kind)
        if (used[kind])
            exchange(std::string(protocol::msg::DisplayText) + displayAmountText(names[kind], cents));
}

void Transmission::finishOutput(std::int16_t sendResult)
{
    // An approved card payment has charged the customer whatever became of
    // the document: the host must find it in SR_OUT.
    if (m_job.pos && m_job.pos->Comando == "PAGA" && m_job.pos->TransactionResult == "00" &&
        !HasPaymentBlock(m_out))
        AppendPaymentBlock(m_out, *m_job.pos);
    if (sendResult != send::Complete && m_out.empty())
        return;
    // Written beside its name and renamed into place: a power cut leaves the
    // empty SR_OUT made at the start, or this one whole.
    if (!replaceFileBytes(m_job.outPath, m_out)) {
        m_unwrittenOutput = m_out;
        m_messages.showMessage("err_CreateSrOut_File: impossibile scrivere " + m_job.outPath);
    }
}

std::int16_t Transmission::DoSendFile(const std::string& requestPath, const SendJob& job)
{
    m_job = job;
    m_summaryWritten = false;
    m_paperEndReported = false;
    m_out.clear();
    m_unwrittenOutput.reset();
    m_registerErrorText.clear();
    m_countersBefore.clear();
    // A cancel pressed between jobs was carried out then; a new document
    // starts clean.
    m_cancelRequested = false;
    // The invoice mode belongs to one job.
    m_conversion.invoiceTextMode = false;
    long long change = 0;
    std::int16_t sendResult = send::Complete;
    // The window and the cancel button see the transmission from the start:
    // a cancel pressed during the conversion stops the document before its
    // first command.
    m_running = true;
    struct RunningFlag {
        bool& flag;
        ~RunningFlag() { flag = false; }
    } runningFlag{m_running};
    // Nothing of the job's command list outlives the job. After a large
    // request the memory it took goes back to the system, once the lists
    // below (declared later, so freed earlier) are gone too.
    std::error_code sizeError;
    const std::uintmax_t requestBytes = std::filesystem::file_size(requestPath, sizeError);
    struct ListRelease {
        std::vector<std::string>& commands;
        bool large;
        ~ListRelease()
        {
            std::vector<std::string>().swap(commands);
            if (large)
                releaseFreeMemory();
        }
    } listRelease{m_conversion.commands, !sizeError && requestBytes > kLargeRequestBytes};

    std::string listPath = requestPath;
    if (!m_job.testReceiptMode) {
        const int converted = m_services.convert ? m_services.convert(requestPath, m_job.channel, m_conversion) : 1;
        if (converted != 0) {
            finishOutput(send::ConversionFailed);
            return send::ConversionFailed;
        }
        listPath = joinPath(m_dataDir, "KB.txt");
    } else {
        const bool invoiceMode = m_conversion.invoiceTextMode;
        m_conversion = ConversionResult{};
        m_conversion.invoiceTextMode = invoiceMode;
    }
    const std::optional<std::string> listBytes = readFileBytes(listPath, kMaxCommandListBytes);
    if (!listBytes) {
        finishOutput(send::ConversionFailed);
        return send::ConversionFailed;
    }
    const std::vector<std::string> lines = splitLines(*listBytes);

    // SR_OUT is created before the register sees anything: a document whose
    // result could not be handed back is better not printed.
    if (!writeFileBytes(m_job.outPath, "")) {
        m_messages.showMessage("err_CreateSrOut_File: impossibile creare " + m_job.outPath);
        return send::OutputUnavailable;
    }

    if (!readCounters(m_countersBefore)) {
        finishOutput(send::ConnectionLost);
        return send::ConnectionLost;
    }
    if (m_job.countersRead)
        m_job.countersRead(m_countersBefore);
    if (m_job.documentBegun)
        m_job.documentBegun();

    exchange(protocol::msg::TransmissionStart);

    std::size_t lineCount = 0;
    // Lines the register accepted: with none, a loss left nothing printed.
    std::size_t acceptedLines = 0;
    std::string lastLine;
    bool connectionLost = false;
    // The transmission stopped on a refusal or a missing reply.
    bool stoppedOnFailure = false;
    // Once a receipt has been closed it is printed: a cancel can no longer
    // take it back, and reporting it cancelled would have it printed twice.
    bool receiptClosed = false;
    for (const std::string& line : lines) {
        if (m_cancelRequested && receiptClosed)
            m_cancelRequested = false;
        if (m_cancelRequested) {
            cancelDocument();
            sendResult = send::CancelledByOperator;
            break;
        }
        if (startsWith(line, "READ")) {
            const std::vector<std::string> fields = splitAt(line, ',');
            const long long kind = fields.size() >= 3 ? LeadingNumber(fields[1]) : 0;
            if (kind == 1 || kind == 2) {
                if (m_services.dump)
                    m_services.dump(fields[2]);
                continue;
            }
        }
        ++lineCount;
        lastLine = line;
        if (line == protocol::msg::ReportDaily && !m_summaryWritten)
            m_summaryWritten = writeSummary();

        bool stop = false;
        bool goOn = false;
        while (!stop && !goOn) {
            std::int16_t r = 0;
            std::string reply;
            sendLine(line, r, reply);

            // Closing data: date dd?mm?yyyy, time hh:mm at 12, number at 21.
            const bool closingData = contains(reply, ":");
            if (closingData) {
                AppendSrOutLine(m_out, "TIME,CASS. 1 " + Mid(reply, 12, 5) + " CASSA   1 ,E,A1;");
                AppendSrOutLine(m_out, "DATE," + Mid(reply, 1, 2) + "/" + Mid(reply, 4, 2) + "/" + Mid(reply, 9, 2) +
                                           "  SCONTR. N." + Mid(reply, 21, 4) + ",E,A1;");
                m_summaryWritten = true;
                if (m_options.chbMatricola)
                    AppendSrOutLine(m_out, MatrLine(m_facts.serialNumber));
                reply.clear();
            }
            const char* paymentNumber = m_options.chbPagamentiEstesi ? "3007" : "3004";
            if (contains(reply, paymentNumber))
                change = LeadingNumber(Mid(reply, 6, 9));

            // A closing-data reply does not echo the command, so the exchange
            // calls it unusable; yet the register sent it because the
            // document closed. Reading it as a failure would have the host
            // print the receipt again.
            if (closingData && r == result::NoReply)
                r = result::Accepted;

            switch (r) {
            case result::Accepted:
                sendResult = send::Complete;
                ++acceptedLines;
                receiptClosed = receiptClosed || startsWith(line, protocol::msg::CloseReceipt);
                goOn = true;
                break;
            case result::PaperEnd:
                switch (waitForPaper(!receiptClosed)) {
                case PaperEndOutcome::Ready: break; // the same line again
                case PaperEndOutcome::ConnectionLost: connectionLost = true; stop = true; break;
                case PaperEndOutcome::Cancelled:
                    cancelDocument();
                    sendResult = send::CancelledByOperator;
                    stop = true;
                    break;
                case PaperEndOutcome::Silent: sendResult = send::NoReply; stop = true; break;
                }
                break;
            case result::NegativeVat:
                sendResult = send::NegativeVat;
                pause(m_timings.errorPauseMs);
                exchange(protocol::msg::CancelLine);
                stop = true;
                break;
            case result::RegisterOwnError: {
                sendResult = send::RegisterOwnError;
                pause(m_timings.errorPauseMs);
                std::int16_t q = 0;
                std::string text;
                // The register's text may itself hold "ERR": the reply counts
                // whenever it is new.
                if (sendLine(kErrorTextQuery, q, text)) {
                    const std::size_t at = text.find(kErrorTextQuery);
                    if (at != std::string::npos)
                        m_registerErrorText = text.substr(at + 4);
                }
                stop = true;
                break;
            }
            case result::JournalNearlyFull: sendResult = send::JournalNearlyFull; goOn = true; break;
            case result::JournalExhausted: sendResult = send::JournalExhausted; goOn = true; break;
            case result::PrintBufferFull: sendResult = send::PrintBufferFull; stop = true; break;
            case result::NoAnswer: sendResult = send::RegisterNoAnswer; stop = true; break;
            case result::NegativeTotal: sendResult = send::NegativeTotal; stop = true; break;
            case result::CoverOpen: sendResult = send::CoverOpen; stop = true; break;
            case result::FiscalMemoryFull: sendResult = send::FiscalMemoryFull; stop = true; break;
            case result::OtherRegisterError: sendResult = send::RegisterError; stop = true; break;
            case result::ReceiptOpen: sendResult = send::ReceiptOpen; stop = true; break;
            case result::NoReply: sendResult = send::NoReply; stop = true; break;
            case result::RtDocumentNotFound:
            case result::DocumentNotModifiable: sendResult = send::RtDocumentNotFound; stop = true; break;
            case result::SocketFailure: connectionLost = true; stop = true; break;
            default: sendResult = r; goOn = true; break;
            }
        }
        if (stop) {
            stoppedOnFailure = !connectionLost;
            break;
        }
        if (contains(line, "3004") || contains(line, "3007"))
            showPayments();
    }

    if (connectionLost) {
        sendResult = documentCompletedAfterLoss(acceptedLines > 0) ? send::Complete : send::ConnectionLost;
        // After a loss the register's reply to the payment is gone: no change
        // is shown on a guess.
        change = 0;
    } else if (stoppedOnFailure && sendResult != send::CancelledByOperator && documentCompletedAfterLoss(false)) {
        // The register refused or did not answer a line after it had
        // completed the document (the drawer after the closing, a closing
        // whose reply came too late): the document is printed, and a job
        // reported failed would have the host print it a second time.
        if (m_trace.isTracing())
            m_trace.writeLine(CurrDateTime(m_clock) + "DoSendFile: documento completato, esito " +
                              std::to_string(sendResult) + " non riportato");
        sendResult = send::Complete;
    }

    if (sendResult == send::Complete && change != 0)
        exchange(std::string(protocol::msg::DisplayText) + displayAmountText("RESTO", change));
    if (sendResult == send::Complete && !m_summaryWritten)
        m_summaryWritten = writeSummary();
    if (sendResult == send::Complete && !m_conversion.invoiceTextMode && !m_conversion.FunctionSeen &&
        m_conversion.PaymentSeen &&
        ((!startsWith(lastLine, "7008") && !startsWith(lastLine, "7007")) || lineCount > 3)) {
        std::int16_t r = exchange(protocol::msg::EndOfDocument);
        if (r != result::Accepted)
            r = exchange(protocol::msg::EndOfDocument);
        // The receipt is complete only if it was closed; ask the register.
        if (r == result::SocketFailure && !documentCompletedAfterLoss(true))
            sendResult = send::ConnectionLost;
    }
    exchange(protocol::msg::TransmissionEnd);

    finishOutput(sendResult);
    m_cancelRequested = false;
    m_conversion.PaymentSeen = false;
    m_control.clearResetRequested();
    return sendResult;
}

} // namespace tavor1
