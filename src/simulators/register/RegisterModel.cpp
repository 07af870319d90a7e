#include "simulators/register/RegisterModel.h"

#include "platform/NumberText.h"
#include "protocol/Protocol.h"
#include "simulators/register/FaultModes.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace tavor1::regsim {

namespace {

constexpr int kRollWidth = 40;
// Lines one document may hold before the register's print buffer is full.
constexpr std::size_t kMaxDocumentLines = 250;
constexpr std::int64_t kNineDigits = 1000000000;

std::string error(const char* code)
{
    return std::string(protocol::kErrorMarker) + code;
}

// A counter or amount written into a reply field of `width` digits: the
// field never grows, so a value beyond it shows as the largest it can hold.
std::string zeroPadded(std::int64_t value, int width)
{
    std::int64_t limit = 1;
    for (int i = 0; i < width; ++i)
        limit *= 10;
    return zeroPad(std::clamp<std::int64_t>(value, 0, limit - 1), width);
}

std::string centred(const std::string& text)
{
    const int pad = std::max(0, (kRollWidth - static_cast<int>(text.size())) / 2);
    return std::string(static_cast<std::size_t>(pad), ' ') + text;
}

// A reply payload cut at ':' would lose its first characters on the driver's
// side (a ':' changes where the payload is cut), so texts of a reply never
// carry one; control characters would end or corrupt the frame.
std::string replySafe(std::string text)
{
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ':')
            c = '.';
        else if (byte < 0x20 || byte == 0x7f)
            c = ' ';
    }
    return text;
}

std::string fitted(std::string text, std::size_t width)
{
    text.resize(width, ' ');
    return text;
}

// "LL" + text [+ amount]: the text and the amount digits that follow it.
struct TextField {
    std::string text;
    std::int64_t amount = 0;
    bool hasAmount = false;
};

std::optional<TextField> parseTextField(std::string_view rest)
{
    if (rest.empty())
        return TextField{};
    if (rest.size() < 2 || !IsDigits(rest.substr(0, 2)))
        return std::nullopt;
    const std::size_t length = static_cast<std::size_t>((rest[0] - '0') * 10 + (rest[1] - '0'));
    if (rest.size() < 2 + length)
        return std::nullopt;
    TextField field;
    field.text = std::string(rest.substr(2, length));
    const std::string_view amount = rest.substr(2 + length);
    if (!amount.empty()) {
        if (!IsDigits(amount) || amount.size() > 9)
            return std::nullopt;
        field.amount = leadingNumber(amount);
        field.hasAmount = true;
    }
    return field;
}

// A print line carries only a text. The register prints what it was sent
// even when the length field undercounts it, as the driver's own test receipt
// does with " STORNO" under a length of 06; a text shorter than its length
// field is refused.
std::optional<std::string> parsePrintText(std::string_view rest)
{
    if (rest.empty())
        return std::string();
    if (rest.size() < 2 || !IsDigits(rest.substr(0, 2)))
        return std::nullopt;
    const std::size_t length = static_cast<std::size_t>((rest[0] - '0') * 10 + (rest[1] - '0'));
    if (rest.size() < 2 + length)
        return std::nullopt;
    return std::string(rest.substr(2));
}

int paymentTypeOfName(const std::string& name)
{
    if (name.rfind("CONTANTI", 0) == 0)
        return 1;
    if (name.rfind("ASSEGNI", 0) == 0)
        return 2;
    if (name.rfind("CARTA", 0) == 0)
        return 3;
    return 8;
}

bool isCreditType(int type)
{
    // non riscosso: goods, services, DCR to SSN, invoices, discounts to pay
    return type == 7 || (type >= 50 && type <= 53);
}

} // namespace

RegisterModel::RegisterModel(RegisterConfig config, const Clock& clock, PaperRoll& roll)
    : m_config(std::move(config))
    , m_clock(clock)
    , m_roll(roll)
    , m_closings(std::max(0, m_config.fiscalClosings))
    , m_grandTotal(std::max<std::int64_t>(0, m_config.grandTotal))
{
    // An RT serial is 11 characters, the older registers' identification 8.
    const std::size_t width = m_config.rt ? 11 : 8;
    std::string serial = replySafe(m_config.serial);
    if (serial.empty())
        serial = m_config.rt ? "99SIM000001" : "SIM00001";
    m_config.serial = fitted(serial, width);
    m_config.firmware = replySafe(m_config.firmware);
}

bool RegisterModel::isPrintingCommand(const std::string& command)
{
    if (command.empty())
        return false;
    if (command.rfind("3016", 0) == 0) // transmission start and end: no paper
        return false;
    const char family = command[0];
    return family == '2' || family == '3' || family == '4' || command.rfind("7001", 0) == 0
        || command.rfind("7106", 0) == 0;
}

std::string RegisterModel::execute(const std::string& command)
{
    if (command.size() < 4 || !IsDigits(std::string_view(command).substr(0, 4)))
        return error(err::UnknownCommand);
    if (isPrintingCommand(command)) {
        if (m_coverOpenPolls != 0)
            return error(err::CoverOpen);
        if (m_paperEndPolls != 0)
            return error(err::PaperEnd);
    }
    return reply(command);
}

std::string RegisterModel::reply(const std::string& command)
{
    switch (command[0]) {
    case '1':
        return queryReply(command);
    case '2':
        return reportCommand(command);
    case '3':
        return receiptCommand(command);
    case '4':
        return nonFiscalCommand(command);
    case '7':
        return functionCommand(command);
    default:
        return error(err::UnknownCommand);
    }
}

// ---------------------------------------------------------------- queries

std::string RegisterModel::queryReply(const std::string& command)
{
    const std::string number = command.substr(0, 4);
    const LocalDateTime now = m_clock.now();
    if (number == "1001") // clock: ddmmyyhhmmss
        return number + zeroPadded(now.day, 2) + zeroPadded(now.month, 2) + zeroPadded(now.year % 100, 2)
            + zeroPadded(now.hour, 2) + zeroPadded(now.minute, 2) + zeroPadded(now.second, 2);
    if (number == protocol::msg::ReceiptState)
        return receiptStateReply();
    if (number == protocol::msg::DayTotals)
        return dayTotalsReply();
    if (number == protocol::msg::Identification) {
        // cash desk "01", then the 8-character identification; an RT
        // register gives the last eight characters of its serial here
        const std::string& serial = m_config.serial;
        return number + "01" + serial.substr(serial.size() - 8);
    }
    if (number == protocol::msg::Status)
        return number + printerStatus();
    if (number == "1010") // the receipt stays open, its subtotal shown
        return number;
    if (number == protocol::msg::RegisterState) {
        const char* state = m_state == DocumentState::Idle ? "00" : m_state == DocumentState::Receipt ? "01" : "02";
        return number + state;
    }
    if (number == protocol::msg::Firmware) {
        // "1013 dd.dd.dd KUBE-F" when the firmware has that form, else the
        // text after "Rel." with a blank behind it
        const std::string& fw = m_config.firmware;
        const bool versionForm = fw.size() == 8 && IsDigits(fw.substr(0, 2)) && fw[2] == '.' &&
                                 IsDigits(fw.substr(3, 2)) && fw[5] == '.' && IsDigits(fw.substr(6, 2));
        if (versionForm)
            return number + " " + fw + " KUBE-F SIM";
        return number + " KUBE-F SIM Rel. " + fw + " ";
    }
    if (number == "1015")
        return number + replySafe(m_ownErrorText);
    if (number == protocol::msg::FiscalClosings)
        return number + zeroPadded(m_closings, 4) + m_lastClosingDate;
    if (number == protocol::msg::GrandTotal)
        return number + zeroPadded(m_grandTotal % (kNineDigits * 10), 10);
    if (number == protocol::msg::EndOfJob) {
        completeReference();
        finishDocument();
        return number;
    }
    if (number == protocol::msg::RegisterClass)
        return number + std::to_string(m_config.modelCode);
    if (number == protocol::msg::RtIdentification && m_config.rt) {
        // position 1 device type, 2-12 serial, 13-20 activation date,
        // 21-25 closings waiting to be sent, 26 "1" = in RT service
        return number + "T" + m_config.serial + "01012025" + "00000" + "1";
    }
    return error(err::UnknownCommand);
}

std::string RegisterModel::printerStatus()
{
    const bool paperOut = m_paperEndPolls != 0;
    const bool coverOpen = m_coverOpenPolls != 0;
    // A negative count lasts until it is cleared.
    if (m_paperEndPolls > 0)
        --m_paperEndPolls;
    if (m_coverOpenPolls > 0)
        --m_coverOpenPolls;
    if (paperOut && coverOpen)
        return status::PaperEndAndCoverOpen;
    if (paperOut)
        return status::PaperEnd;
    if (coverOpen)
        return status::CoverOpen;
    return status::Ready;
}

std::string RegisterModel::receiptStateReply() const
{
    const bool open = m_state == DocumentState::Receipt;
    char state = '0';
    if (open)
        state = m_receipt.paid ? '2' : '1';
    else if (m_state == DocumentState::NonFiscal)
        state = '3';
    else if (m_state == DocumentState::Invoice)
        state = '4';
    const std::int64_t subtotal = open ? m_receipt.subtotal : 0;
    const std::int64_t paid = open ? m_receipt.paidTotal : 0;
    const std::int64_t due = std::max<std::int64_t>(0, subtotal - paid);
    // Positions 42-50: the last payment once one was made, the subtotal before.
    const std::int64_t current = open && m_receipt.payments > 0 ? m_receipt.lastPayment : subtotal;
    std::string reply = protocol::msg::ReceiptState;
    reply += state;                                              // 5
    reply += zeroPadded(open ? m_receipt.lines : 0, 4);          // 6-9
    reply += zeroPadded(subtotal, 9);                            // 10-18
    reply += zeroPadded(paid, 9);                                // 19-27
    reply += zeroPadded(due, 9);                                 // 28-36
    reply += zeroPadded(m_day.receipts + 1, 4);                  // 37-40 number the next receipt gets
    reply += static_cast<char>('0' + std::min(open ? m_receipt.payments : 0, 9)); // 41
    reply += zeroPadded(current, 9);                             // 42-50
    return reply;
}

std::string RegisterModel::dayTotalsReply() const
{
    std::string reply = protocol::msg::DayTotals;
    reply += zeroPadded(m_day.receipts, 4);            // 5-8
    reply += zeroPadded(m_day.receiptsTotal, 9);       // 9-17
    reply += zeroPadded(m_day.invoices, 4);            // 18-21
    reply += zeroPadded(m_day.invoicesTotal, 9);       // 22-30
    reply += zeroPadded(m_day.fiscalReceipts, 4);      // 31-34
    reply += zeroPadded(m_day.fiscalReceiptsTotal, 9); // 35-43
    reply += zeroPadded(m_day.nonFiscal, 4);           // 44-47
    reply += zeroPadded(m_day.surcharges, 9);          // 48-56
    reply += zeroPadded(m_day.discounts, 9);           // 57-65
    reply += zeroPadded(m_day.voids, 9);               // 66-74
    reply += zeroPadded(m_day.returns, 9);             // 75-83
    reply += zeroPadded(m_day.unpaid, 9);              // 84-92
    return reply;
}

// ---------------------------------------------------------------- printing

void RegisterModel::printHeader(const std::string& title)
{
    m_roll.print(std::string(kRollWidth, '='));
    m_roll.print(centred("REGISTRATORE SIMULATO"));
    m_roll.print(centred(title));
    m_roll.print(std::string(kRollWidth, '-'));
}

void RegisterModel::printAmountLine(const std::string& text, std::int64_t cents)
{
    const std::string amount = centsToText(cents);
    std::string left = TrimEnd(text);
    const std::size_t room = kRollWidth - amount.size() - 1;
    if (left.size() > room)
        left.resize(room);
    m_roll.print(left + std::string(kRollWidth - left.size() - amount.size(), ' ') + amount);
}

void RegisterModel::printFooter(const std::string& label)
{
    const LocalDateTime now = m_clock.now();
    const std::string stamp = zeroPadded(now.day, 2) + "-" + zeroPadded(now.month, 2) + "-"
        + zeroPadded(now.year, 4) + " " + zeroPadded(now.hour, 2) + ":" + zeroPadded(now.minute, 2);
    m_roll.print(std::string(kRollWidth, '-'));
    const std::size_t gap = label.size() + stamp.size() < kRollWidth ? kRollWidth - label.size() - stamp.size() : 1;
    m_roll.print(stamp + std::string(gap, ' ') + label);
    m_roll.print("MATRICOLA " + TrimEnd(m_config.serial));
}

std::string RegisterModel::roomFor(std::size_t lines)
{
    PrintedDocument* document = m_roll.current();
    if (!document)
        return error(err::NotNow);
    if (document->lines.size() + lines > kMaxDocumentLines)
        return error(err::PrintBufferFull);
    return {};
}

std::string RegisterModel::printInDocument(const std::string& line)
{
    if (std::string refused = roomFor(1); !refused.empty())
        return refused;
    m_roll.print(line);
    if (m_state == DocumentState::Receipt)
        ++m_receipt.lines;
    return {};
}

void RegisterModel::finishDocument()
{
    if (m_state == DocumentState::Idle)
        m_roll.seal();
}

std::string RegisterModel::refuseIfOpen() const
{
    if (m_state == DocumentState::Receipt)
        return error(err::ReceiptOpen);
    if (m_state != DocumentState::Idle)
        return error(err::NonFiscalOpen);
    return {};
}

// ---------------------------------------------------------------- receipts

std::string RegisterModel::ensureReceipt()
{
    if (m_state == DocumentState::Receipt)
        return {};
    if (m_state != DocumentState::Idle)
        return error(err::NonFiscalOpen);
    m_receipt = Receipt{};
    m_receipt.kind = m_reference.pending ? m_reference.kind : ReceiptKind::Sale;
    const Reference reference = m_reference;
    m_reference = Reference{};
    DocumentKind kind = DocumentKind::Receipt;
    std::string title = "DOCUMENTO COMMERCIALE";
    if (m_receipt.kind == ReceiptKind::Return) {
        kind = DocumentKind::ReturnReceipt;
        title = "DOCUMENTO PER RESO MERCE";
    } else if (m_receipt.kind == ReceiptKind::Void) {
        kind = DocumentKind::VoidReceipt;
        title = "DOCUMENTO PER ANNULLAMENTO";
    }
    PrintedDocument& document = m_roll.start(kind);
    document.zNumber = currentZ();
    m_state = DocumentState::Receipt;
    printHeader(title);
    if (reference.zNumber > 0)
        m_roll.print("RIF. DOC. N. " + zeroPadded(reference.zNumber, 4) + "-" + zeroPadded(reference.number, 4));
    return {};
}

std::string RegisterModel::receiptCommand(const std::string& command)
{
    const std::string number = command.substr(0, 4);
    if (number == "3001") {
        const char kind = command.size() > 4 ? command[4] : ' ';
        if (kind == '2' || kind == '3')
            return subtotalAdjustment(command, kind == '3');
        if (kind == '8')
            return cancelReceipt();
        return error(err::Malformed);
    }
    if (number == "3002" || number == "3010") {
        // attribute or letter, then "LL" + text
        if (command.size() < 5)
            return error(err::Malformed);
        const std::optional<std::string> text = parsePrintText(std::string_view(command).substr(5));
        if (!text)
            return error(err::Malformed);
        if (std::string refused = ensureReceipt(); !refused.empty())
            return refused;
        if (std::string refused = printInDocument(*text); !refused.empty())
            return refused;
        return number;
    }
    if (number == "3003") {
        if (m_state == DocumentState::Receipt)
            printAmountLine("SUBTOTALE", m_receipt.subtotal);
        return number;
    }
    if (number == "3004" || number == "3005" || number == "3007")
        return payment(command);
    if (number == protocol::msg::CloseReceipt)
        return closeReceipt();
    if (number == "3012") {
        // a courtesy line: in the open receipt, or after the closing on the
        // document still being printed
        if (command.size() < 5)
            return error(err::Malformed);
        const std::optional<std::string> text = parsePrintText(std::string_view(command).substr(5));
        if (!text)
            return error(err::Malformed);
        if (m_state != DocumentState::Receipt && m_state != DocumentState::Idle)
            return error(err::NonFiscalOpen);
        if (std::string refused = printInDocument(*text); !refused.empty())
            return refused;
        return number;
    }
    if (number == protocol::msg::EndOfDocument) {
        completeReference();
        finishDocument();
        return number;
    }
    if (number == "3016") { // the driver's transmission start and end
        if (command == protocol::msg::TransmissionEnd)
            completeReference();
        return number;
    }
    if (number == "3017") { // logo
        if (m_roll.current())
            m_roll.print(centred("*** LOGO ***"));
        return number;
    }
    if (number == "3019") { // "301908" + lottery code
        if (m_state != DocumentState::Receipt)
            return error(err::NotNow);
        const std::string code = command.size() > 6 ? command.substr(6) : std::string();
        if (std::string refused = printInDocument("CODICE LOTTERIA " + code); !refused.empty())
            return refused;
        return number;
    }
    if (number == "3021") { // bar and QR codes
        if (m_roll.current()) {
            if (std::string refused = printInDocument("[CODICE " + command.substr(4) + "]"); !refused.empty())
                return refused;
        }
        return number;
    }
    if (number == "3101")
        return sale(command);
    return error(err::UnknownCommand);
}

std::string RegisterModel::sale(const std::string& command)
{
    if (command.size() < 5)
        return error(err::Malformed);
    const char kind = command[4];
    std::string_view rest = std::string_view(command).substr(5);

    // The department ("NN") may be missing; the lengths tell which layout it is.
    std::string department;
    std::optional<TextField> field;
    if (rest.size() == 2 && IsDigits(rest)) {
        department = std::string(rest);
        field = TextField{};
    } else {
        if (rest.size() >= 4 && IsDigits(rest.substr(0, 4))) {
            field = parseTextField(rest.substr(2));
            if (field)
                department = std::string(rest.substr(0, 2));
        }
        if (!field)
            field = parseTextField(rest);
    }
    if (!field)
        return error(err::Malformed);

    if (kind == '8') { // "annullo scontrino": the closing prints it cancelled
        if (m_state != DocumentState::Receipt)
            return error(err::NotNow);
        if (std::string refused = printInDocument(TrimEnd(field->text)); !refused.empty())
            return refused;
        m_receipt.cancelled = true;
        return "3101";
    }

    int sign = 0;
    std::string label = TrimEnd(field->text);
    switch (kind) {
    case '1': sign = 1; break;                  // sale
    case '2': sign = 1; break;                  // article surcharge
    case '3': sign = -1; break;                 // article discount
    case '9': sign = -1; label = "RESO " + label; break;
    case '4': case 'F': case 'G': sign = -1; label = "STORNO " + label; break;
    default: return error(err::Malformed);
    }

    const bool open = m_state == DocumentState::Receipt;
    if (open && (m_receipt.payments > 0 || m_receipt.cancelled))
        return error(err::NotNow);
    if (m_state != DocumentState::Idle && !open)
        return error(err::NonFiscalOpen);
    const std::int64_t amount = field->amount;
    const std::int64_t subtotal = open ? m_receipt.subtotal : 0;
    if (sign < 0 && subtotal - amount < 0)
        return error(err::NegativeTotal);

    if (std::string refused = ensureReceipt(); !refused.empty())
        return refused;
    if (department.empty())
        department = m_receipt.lastDepartment;
    if (kind == '1' || kind == '9' || kind == '4' || kind == 'F' || kind == 'G')
        m_receipt.lastDepartment = department;
    if (std::string refused = roomFor(1); !refused.empty())
        return refused;
    printAmountLine(label, sign * amount);
    ++m_receipt.lines;

    m_receipt.subtotal += sign * amount;
    m_receipt.departments[static_cast<std::size_t>(leadingNumber(department) % 100)] += sign * amount;
    if (kind == '2')
        m_receipt.surcharges += amount;
    else if (kind == '3')
        m_receipt.discounts += amount;
    else if (kind == '9')
        m_receipt.returns += amount;
    return "3101";
}

std::string RegisterModel::subtotalAdjustment(const std::string& command, bool discount)
{
    const std::optional<TextField> field = parseTextField(std::string_view(command).substr(5));
    if (!field)
        return error(err::Malformed);
    if (m_state != DocumentState::Receipt)
        return m_state == DocumentState::Idle ? error(err::NotNow) : error(err::NonFiscalOpen);
    if (m_receipt.payments > 0 || m_receipt.cancelled)
        return error(err::NotNow);
    const std::int64_t amount = field->amount;
    if (discount && m_receipt.subtotal - amount < 0)
        return error(err::NegativeTotal);
    std::string label = TrimEnd(field->text);
    if (label.empty())
        label = discount ? "SCONTO SBTL" : "MAGG. SBTL";
    if (std::string refused = roomFor(1); !refused.empty())
        return refused;
    printAmountLine(label, discount ? -amount : amount);
    ++m_receipt.lines;
    m_receipt.subtotal += discount ? -amount : amount;
    (discount ? m_receipt.discounts : m_receipt.surcharges) += amount;
    return command.substr(0, 4);
}

std::string RegisterModel::payment(const std::string& command)
{
    const std::string number = command.substr(0, 4);
    int type = 0;
    std::string_view rest;
    if (number == "3007") {
        if (command.size() < 8 || !IsDigits(std::string_view(command).substr(4, 4)))
            return error(err::Malformed);
        type = static_cast<int>(leadingNumber(std::string_view(command).substr(4, 2)));
        rest = std::string_view(command).substr(8);
    } else {
        rest = std::string_view(command).substr(4);
    }
    const std::optional<TextField> field = parseTextField(rest);
    if (!field)
        return error(err::Malformed);
    if (number == "3004")
        type = paymentTypeOfName(field->text);
    const bool credit = number == "3005" || isCreditType(type);

    if (m_state != DocumentState::Receipt)
        return m_state == DocumentState::Idle ? error(err::NotNow) : error(err::NonFiscalOpen);
    if (m_receipt.paid || m_receipt.cancelled)
        return error(err::NotNow);
    if (std::string refused = roomFor(3); !refused.empty())
        return refused;

    const std::int64_t due = m_receipt.subtotal - m_receipt.paidTotal;
    // An amount of zero pays what is still due.
    const std::int64_t amount = field->amount == 0 ? due : field->amount;
    if (m_receipt.payments == 0)
        printAmountLine("TOTALE COMPLESSIVO", m_receipt.subtotal);
    std::string name = TrimEnd(field->text);
    printAmountLine(name.empty() ? "PAGAMENTO" : name, amount);
    m_receipt.paidTotal += amount;
    m_receipt.lastPayment = amount;
    ++m_receipt.payments;
    if (credit)
        m_receipt.unpaid += amount;
    m_paymentTotals[static_cast<std::size_t>(type % 100)] += amount;
    if (m_receipt.paidTotal >= m_receipt.subtotal) {
        m_receipt.paid = true;
        m_receipt.change = m_receipt.paidTotal - m_receipt.subtotal;
    }
    // 5 "1" paid in full; 6-14 change; 15-23 still due
    return number + (m_receipt.paid ? "1" : "0") + zeroPadded(m_receipt.change, 9)
        + zeroPadded(std::max<std::int64_t>(0, m_receipt.subtotal - m_receipt.paidTotal), 9);
}

std::string RegisterModel::closeReceipt()
{
    if (m_state != DocumentState::Receipt)
        return m_state == DocumentState::Idle ? error(err::NotNow) : error(err::NonFiscalOpen);
    PrintedDocument* document = m_roll.current();
    if (m_receipt.cancelled) {
        document->kind = DocumentKind::CancelledReceipt;
        m_roll.print(centred("SCONTRINO ANNULLATO"));
        printFooter("ANNULLATO");
        m_day.voids += std::max<std::int64_t>(0, m_receipt.subtotal);
        m_state = DocumentState::Idle;
        return protocol::msg::CloseReceipt;
    }
    if (m_config.rt && m_receipt.kind == ReceiptKind::Sale) {
        const bool negativeVat = std::any_of(m_receipt.departments.begin(), m_receipt.departments.end(),
                                             [](std::int64_t net) { return net < 0; });
        if (negativeVat)
            return error(err::NegativeVat);
    }
    if (m_receipt.subtotal < 0)
        return error(err::NegativeTotal);

    // Whatever is still due is taken in cash.
    if (!m_receipt.paid) {
        if (m_receipt.payments == 0)
            printAmountLine("TOTALE COMPLESSIVO", m_receipt.subtotal);
        const std::int64_t due = m_receipt.subtotal - m_receipt.paidTotal;
        printAmountLine("CONTANTI", due);
        m_paymentTotals[1] += due;
        m_receipt.paidTotal += due;
        m_receipt.paid = true;
    }
    if (m_receipt.change > 0)
        printAmountLine("RESTO", m_receipt.change);

    const int receiptNumber = ++m_day.receipts;
    document->number = receiptNumber;
    document->zNumber = currentZ();
    document->total = m_receipt.subtotal;
    switch (m_receipt.kind) {
    case ReceiptKind::Sale:
        m_day.receiptsTotal += m_receipt.subtotal;
        m_day.surcharges += m_receipt.surcharges;
        m_day.discounts += m_receipt.discounts;
        m_day.returns += m_receipt.returns;
        m_day.unpaid += m_receipt.unpaid;
        m_grandTotal += m_receipt.subtotal;
        for (std::size_t i = 0; i < m_departmentTotals.size(); ++i)
            m_departmentTotals[i] += m_receipt.departments[i];
        break;
    case ReceiptKind::Return:
        m_day.returns += m_receipt.subtotal;
        break;
    case ReceiptKind::Void:
        m_day.voids += m_receipt.subtotal;
        break;
    }
    printFooter("DOC.N. " + zeroPadded(currentZ(), 4) + "-" + zeroPadded(receiptNumber, 4));
    // The document stays on the roll for the logo and courtesy lines that
    // follow the closing; "3013" ends it.
    m_state = DocumentState::Idle;
    return protocol::msg::CloseReceipt;
}

std::string RegisterModel::cancelReceipt()
{
    // The cancellation line voids and ends the receipt being made at once;
    // with nothing open there is nothing to do.
    if (m_state == DocumentState::Receipt) {
        m_receipt.cancelled = true;
        closeReceipt();
        m_roll.seal();
    }
    return "3001";
}

// ---------------------------------------------------------------- non-fiscal

std::string RegisterModel::nonFiscalCommand(const std::string& command)
{
    const std::string number = command.substr(0, 4);
    if (command == "40011" || number == "4002") {
        if (m_state == DocumentState::NonFiscal || m_state == DocumentState::Invoice)
            return number;
        if (std::string refused = refuseIfOpen(); !refused.empty())
            return refused;
        completeReference();
        m_roll.start(DocumentKind::NonFiscal).zNumber = currentZ();
        m_state = DocumentState::NonFiscal;
        printHeader("DOCUMENTO GESTIONALE");
        return number;
    }
    if (command.rfind("40012", 0) == 0) { // invoice: "40012" + "1" + total
        if (m_state == DocumentState::Invoice)
            return number;
        if (std::string refused = refuseIfOpen(); !refused.empty())
            return refused;
        const std::string_view total = command.size() > 6 ? std::string_view(command).substr(6) : "";
        if (!total.empty() && !IsDigits(total))
            return error(err::Malformed);
        completeReference();
        m_invoiceTotal = leadingNumber(total);
        m_roll.start(DocumentKind::Invoice).zNumber = currentZ();
        m_state = DocumentState::Invoice;
        printHeader("FATTURA");
        return number;
    }
    if (number == "4003") { // attribute, "LL" + text; attribute "F": + amount
        if (command.size() < 5)
            return error(err::Malformed);
        const std::optional<TextField> field = parseTextField(std::string_view(command).substr(5));
        if (!field)
            return error(err::Malformed);
        if (m_state != DocumentState::NonFiscal && m_state != DocumentState::Invoice)
            return m_state == DocumentState::Receipt ? error(err::ReceiptOpen) : error(err::NotNow);
        if (std::string refused = roomFor(1); !refused.empty())
            return refused;
        if (field->hasAmount)
            printAmountLine(field->text, field->amount);
        else
            m_roll.print(field->text);
        return number;
    }
    if (number == "4004" || number == "4006") {
        if (std::string refused = closeNonFiscal(); !refused.empty())
            return refused;
        return number;
    }
    if (number == "4007")
        return reprint();
    return error(err::UnknownCommand);
}

std::string RegisterModel::closeNonFiscal()
{
    if (m_state != DocumentState::NonFiscal && m_state != DocumentState::Invoice)
        return m_state == DocumentState::Receipt ? error(err::ReceiptOpen) : error(err::NotNow);
    PrintedDocument* document = m_roll.current();
    if (m_state == DocumentState::Invoice) {
        document->number = ++m_day.invoices;
        document->total = m_invoiceTotal;
        m_day.invoicesTotal += m_invoiceTotal;
        printFooter("FATTURA N. " + zeroPadded(document->number, 4));
    } else {
        ++m_day.nonFiscal;
        printFooter("NON FISCALE");
    }
    m_state = DocumentState::Idle;
    m_roll.seal();
    return {};
}

std::string RegisterModel::reprint()
{
    if (std::string refused = refuseIfOpen(); !refused.empty())
        return refused;
    const auto& documents = m_roll.documents();
    const auto last = std::find_if(documents.rbegin(), documents.rend(),
                                   [](const PrintedDocument& d) { return d.isFiscal() && d.number > 0; });
    if (last == documents.rend())
        return "4007";
    const std::vector<std::string> lines = last->lines; // start() may move the roll's storage
    m_roll.start(DocumentKind::Copy).zNumber = currentZ();
    m_roll.print(centred("*** COPIA ***"));
    for (const std::string& line : lines)
        m_roll.print(line);
    m_roll.print(centred("*** COPIA NON FISCALE ***"));
    m_roll.seal();
    return "4007";
}

// ---------------------------------------------------------------- reports

std::string RegisterModel::reportCommand(const std::string& command)
{
    struct Report {
        const char* command;
        const char* title;
        bool reset;
    };
    static const Report reports[] = {
        {"2002", "CHIUSURA GIORNALIERA", true},
        {"2003", "LETTURA GIORNALIERA", false},
        {"2102", "RAPPORTO REPARTI AZZERAMENTO", true},
        {"2103", "RAPPORTO REPARTI LETTURA", false},
        {"220202", "RAPPORTO FINANZIARIO AZZERAMENTO", true},
        {"220302", "RAPPORTO FINANZIARIO LETTURA", false},
    };
    for (const Report& report : reports) {
        if (command != report.command)
            continue;
        if (std::string refused = refuseIfOpen(); !refused.empty())
            return refused;
        completeReference();
        printReport(report.title, report.reset);
        return command.substr(0, 4);
    }
    return error(err::UnknownCommand);
}

void RegisterModel::printReport(const std::string& title, bool reset)
{
    PrintedDocument& document = m_roll.start(DocumentKind::Report);
    document.zNumber = currentZ();
    printHeader(title);
    const bool fiscal = title.rfind("CHIUSURA", 0) == 0 || title.rfind("LETTURA", 0) == 0;
    const bool departments = title.find("REPARTI") != std::string::npos;
    if (fiscal) {
        m_roll.print("DOCUMENTI COMMERCIALI        " + zeroPadded(m_day.receipts, 4));
        printAmountLine("TOTALE DOCUMENTI", m_day.receiptsTotal);
        m_roll.print("FATTURE                      " + zeroPadded(m_day.invoices, 4));
        printAmountLine("TOTALE FATTURE", m_day.invoicesTotal);
        printAmountLine("MAGGIORAZIONI", m_day.surcharges);
        printAmountLine("SCONTI", m_day.discounts);
        printAmountLine("ANNULLI", m_day.voids);
        printAmountLine("RESI", m_day.returns);
        printAmountLine("CORRISPETTIVO NON PAGATO", m_day.unpaid);
        printAmountLine("GRAN TOTALE", m_grandTotal);
    } else if (departments) {
        for (std::size_t i = 0; i < m_departmentTotals.size(); ++i)
            if (m_departmentTotals[i] != 0)
                printAmountLine("REPARTO " + std::to_string(i), m_departmentTotals[i]);
    } else {
        for (std::size_t i = 0; i < m_paymentTotals.size(); ++i)
            if (m_paymentTotals[i] != 0)
                printAmountLine("PAGAMENTO TIPO " + zeroPadded(static_cast<std::int64_t>(i), 2), m_paymentTotals[i]);
        printAmountLine("VERSAMENTI", m_cashIn);
        printAmountLine("PRELIEVI", m_cashOut);
    }
    if (reset && fiscal) {
        const LocalDateTime now = m_clock.now();
        ++m_closings;
        document.number = m_closings;
        document.zNumber = m_closings;
        m_lastClosingDate = zeroPadded(now.day, 2) + zeroPadded(now.month, 2) + zeroPadded(now.year % 100, 2);
        m_day = DayTotals{};
        printFooter("AZZERAMENTO N. " + zeroPadded(m_closings, 4));
    } else {
        if (reset && departments)
            m_departmentTotals.fill(0);
        if (reset && !departments) {
            m_paymentTotals.fill(0);
            m_cashIn = m_cashOut = 0;
        }
        printFooter(reset ? "AZZERAMENTO" : "LETTURA");
    }
    m_roll.seal();
}

// ---------------------------------------------------------------- functions

std::string RegisterModel::functionCommand(const std::string& command)
{
    const std::string number = command.substr(0, 4);
    if (number == protocol::msg::DisplayText) {
        m_display = command.substr(4);
        return number;
    }
    if (number == "7008") {
        ++m_drawerOpenings;
        return number;
    }
    if (number == "7001") { // paper feed
        if (m_roll.current())
            printInDocument("");
        return number;
    }
    if (number == "7101" || number == "7102" || number == "7114")
        return reference(command);
    if (number == "7106")
        return cashMovement(command);
    return error(err::UnknownCommand);
}

std::string RegisterModel::reference(const std::string& command)
{
    const std::string number = command.substr(0, 4);
    if (std::string refused = refuseIfOpen(); !refused.empty())
        return refused;
    // The document the reference belongs to starts with the next command;
    // the trailer of a closed one ends here.
    m_roll.seal();
    const char kind = command.size() > 4 ? command[4] : 'R';
    if (number == "7102") {
        m_reference.pending = true;
        m_reference.kind = ReceiptKind::Return;
        return number;
    }
    if (kind != 'R' && kind != 'A')
        return error(err::Malformed);
    const ReceiptKind referenceKind = kind == 'R' ? ReceiptKind::Return : ReceiptKind::Void;
    if (!m_reference.pending || m_reference.kind != referenceKind)
        m_reference = Reference{true, referenceKind, 0, 0};
    // "7101" + kind + closing number (4) + document number (4) + ...
    if (number == "7101" && command.size() >= 13 && IsDigits(std::string_view(command).substr(5, 8))) {
        m_reference.zNumber = static_cast<int>(leadingNumber(std::string_view(command).substr(5, 4)));
        m_reference.number = static_cast<int>(leadingNumber(std::string_view(command).substr(9, 4)));
        if (referenceKind == ReceiptKind::Void && m_voided.count({m_reference.zNumber, m_reference.number})) {
            m_reference = Reference{};
            return number + "2"; // state "2": the document cannot be changed any more
        }
    }
    if (number == "7101")
        return number + "0"; // state "0": the document may be referred to
    return number;
}

void RegisterModel::completeReference()
{
    if (!m_reference.pending || m_state != DocumentState::Idle)
        return;
    const Reference reference = m_reference;
    m_reference = Reference{};
    if (reference.kind != ReceiptKind::Void)
        return; // a return without any article prints nothing
    // A void needs no articles: the register prints the void document itself,
    // for the amount of the document voided when it is one of its own.
    std::int64_t amount = 0;
    for (const PrintedDocument& document : m_roll.documents())
        if (document.kind == DocumentKind::Receipt && document.zNumber == reference.zNumber
            && document.number == reference.number)
            amount = document.total;
    PrintedDocument& document = m_roll.start(DocumentKind::VoidReceipt);
    document.zNumber = currentZ();
    document.number = ++m_day.receipts;
    document.total = amount;
    printHeader("DOCUMENTO PER ANNULLAMENTO");
    if (reference.zNumber > 0)
        m_roll.print("RIF. DOC. N. " + zeroPadded(reference.zNumber, 4) + "-" + zeroPadded(reference.number, 4));
    printAmountLine("TOTALE ANNULLATO", amount);
    if (reference.zNumber > 0)
        m_voided.insert({reference.zNumber, reference.number});
    m_day.voids += amount;
    printFooter("DOC.N. " + zeroPadded(currentZ(), 4) + "-" + zeroPadded(document.number, 4));
    m_roll.seal();
}

std::string RegisterModel::cashMovement(const std::string& command)
{
    // "7106" + "D" (paid in) or "P" (paid out) + amount
    if (command.size() < 6 || (command[4] != 'D' && command[4] != 'P') ||
        !IsDigits(std::string_view(command).substr(5)) || command.size() > 14)
        return error(err::Malformed);
    if (std::string refused = refuseIfOpen(); !refused.empty())
        return refused;
    completeReference();
    const bool in = command[4] == 'D';
    const std::int64_t amount = leadingNumber(std::string_view(command).substr(5));
    m_roll.start(DocumentKind::CashMovement).zNumber = currentZ();
    printHeader(in ? "VERSAMENTO" : "PRELIEVO");
    printAmountLine(in ? "VERSAMENTO CONTANTI" : "PRELIEVO CONTANTI", amount);
    (in ? m_cashIn : m_cashOut) += amount;
    printFooter("NON FISCALE");
    m_roll.seal();
    return "7106";
}

} // namespace tavor1::regsim
