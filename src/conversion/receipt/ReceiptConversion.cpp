#include "conversion/receipt/ReceiptConversion.h"

#include "conversion/invoice/KeySequence.h"
#include "conversion/language/FieldFormats.h"
#include "conversion/language/LineNormaliser.h"
#include "conversion/language/RequestLanguage.h"
#include "conversion/receipt/CommandFields.h"
#include "platform/NumberText.h"
#include "protocol/Protocol.h"

namespace tavor1 {

using namespace fields;

namespace {

namespace msg = protocol::msg;

const std::string kClearDisplay = msg::DisplayText + std::string(40, ' ');
constexpr const char* kNoAmount = "000000000";
// The bar-code type that prints a QR code.
constexpr const char* kQrCode = "6051";
// The frame of the customer's tax code around the held "3010" command.
const std::string kTaxCodeFrame = std::string(msg::ReferenceText) + "1" + lengthPrefixed(std::string(5, ' '));

// The department a sale line names: ",N" read as a whole number.
std::string departmentName(std::int64_t department) { return "REPARTO " + std::to_string(department); }

struct CreditKind {
    const char* name;
    const char* code; // the payment code of the extended payment
    bool textOverrides;
};

CreditKind creditKind(std::int64_t type)
{
    switch (type) {
    case 2:
        return {"NON RISCOSSO SERVIZI", "5000", false};
    case 3:
        return {"NON RISCOSSO DCRSSN", "5200", false};
    case 4:
        return {"NON RISCOSSO FATTURE", "5100", false};
    case 5:
        return {"SCONTO A PAGARE", "5300", true};
    case 6:
        return {"BUONO CORRISPETTIVO", "5300", true};
    default:
        return {"NON RISCOSSO BENI", "0700", false};
    }
}

} // namespace

ReceiptConversion::ReceiptConversion(const ConversionContext& ctx, ConversionResult& result, std::int64_t invoiceKeptTotal)
    : m_ctx(ctx), m_result(result), m_list(result.commands), m_invoiceKeptTotal(invoiceKeptTotal)
{
}

bool ReceiptConversion::run(const std::vector<std::string>& lines)
{
    m_list.push_back(kClearDisplay);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (convertLine(lines, i) == Flow::Fail) return false;
    }
    // A trailing blank line does not hide a final "RLPR".
    std::size_t last = lines.size();
    while (last > 0 && lines[last - 1].empty()) --last;
    close(last > 0 ? normalizeRequestLine(lines[last - 1]) : std::string{});
    // Nothing beyond the display clear: no line was a command (random bytes,
    // a file in another encoding). Sending it would answer the host with
    // FINESCO for a document that was never printed. A card payment on the
    // first line is a job of its own, whose outcome slip is printed.
    if (m_list.size() == 1 && (lines.empty() || !startsWithWord(lines.front(), "PAGA"))) {
        m_result.failureReason = "nessun comando riconosciuto nella richiesta";
        trace(m_result.failureReason);
        return false;
    }
    m_result.otherPaymentName = m_paymentName;
    m_result.invoiceTotal = m_invoiceTotal;
    return true;
}

ReceiptConversion::Flow ReceiptConversion::convertLine(const std::vector<std::string>& lines, std::size_t& index)
{
    m_command.clear();
    m_display.clear();
    m_returnFlag = false;
    m_stornoFlag = false;
    m_stornoKind = 0;
    ++m_lineCount;

    const std::string& raw = lines[index];
    if (m_cashOnly && !startsWithWord(raw, "CASH"))
        return Flow::Next;
    m_rawLine = raw;
    // A trailer line keeps the 32 characters it is printed with.
    m_line = startsWithWord(raw, "EXTL,") ? parseRequestLine(raw, kPrintTextWidth) : normalizeRequestLine(raw);

    // The display row join may consume the following line.
    const Flow flow = handle(lines, index);
    if (flow == Flow::Fail) return flow;
    if (flow == Flow::Next && !m_display.empty()) m_list.push_back(m_display);
    if (!m_command.empty()) m_list.push_back(m_command);
    return flow;
}

ReceiptConversion::Flow ReceiptConversion::handle(const std::vector<std::string>& lines, std::size_t& index)
{
    if (startsWith("OPEN")) {
        m_list.push_back(msg::OpenDrawer);
        return Flow::EmitNow;
    }
    if (startsWith("OPFS")) {
        if (onOpfs() == Flow::Fail) return Flow::Fail;
    }
    if (startsWith("CLFS")) onClfs();
    if (startsWith("NDCR,")) return onDocumentReference(false);
    if (startsWith("DELD")) return onDocumentReference(true);
    if (startsWith("DEPO") && onDepositOrWithdrawal(true) == Flow::Fail) return Flow::Fail;
    if (startsWith("PREL") && onDepositOrWithdrawal(false) == Flow::Fail) return Flow::Fail;
    if (startsWith("LOTT,")) onLottery();
    if (startsWith("OPNF")) onOpnf();
    if (startsWith("CLNF"))
        m_command = msg::CloseNonFiscal;
    onStornoTags();
    if (startsWith("SUBT"))
        m_command = msg::Subtotal;
    onReturnTag();

    Flow flow = Flow::Next;
    if (startsWith("SALE")) flow = onArticle(false);
    else if (startsWith("PLUD")) flow = onArticle(true);
    else if (startsWith("DISC")) flow = onArticlePercent(true);
    else if (startsWith("DOST")) onSubtotalPercent("DOST%");
    else if (startsWith("MAGG")) flow = onArticlePercent(false);
    else if (startsWith("MOST")) onSubtotalPercent("MOST%");
    else if (startsWith("ADDS")) flow = onSubtotalValue(false);
    else if (startsWith("ADDI")) flow = onArticleValue(false);
    else if (startsWith("COUP")) flow = onArticleValue(true);
    else if (startsWith("COST")) flow = onSubtotalValue(true);
    else if (startsWith("PRNT,")) onPrint(lines, index);
    else if (startsWith("EXTL,")) onTrailer();
    else if (startsWith("CLER")) {
        if (auto text = param(",C"))
            m_command = std::string(msg::ReceiptText) + "1" + lengthPrefixed(*text);
    } else if (startsWith("DISP")) onDisplay(lines, index);
    if (flow == Flow::Fail) return flow;

    if (startsWith("CASH") || tenderRow(1)) flow = onPayment(PaymentCash, "CONTANTI", "0100", false);
    else if (startsWith("CHEQ") || tenderRow(2)) flow = onPayment(PaymentCheque, "ASSEGNI", "0200", false);
    else if (startsWith("CRED")) flow = onCredit();
    else if (startsWith("CARD") || tenderRow(3)) flow = onPayment(PaymentCard, "CARTA DI CREDITO", "0300", false);
    else if (startsWith("BANC")) flow = onPayment(PaymentOther, param(",:").value_or("BANCOMAT"), "0800", true);
    else if (startsWith("TEND")) {
        // Tenders 1 to 3 are the rows above; the numbered ones run up to 30.
        const std::int64_t n = smallInteger(param(",N").value_or(""));
        if (n >= 2 && n <= 30)
            flow = onPayment(PaymentOther, param(",:").value_or("PAGAM. N." + std::to_string(n)), zeroPad(n, 2) + "00",
                             true);
    } else if (startsWith("TICK")) flow = onVoucher();
    if (flow == Flow::Fail) return flow;

    if (startsWith("ZKEY")) m_resetReports = true;
    if (startsWith("XKEY")) m_resetReports = false;
    if (startsWith("FUNC") && onFunction()) return Flow::EmitNow;
    if (startsWith("QRCO") && onQrCode()) return Flow::EmitNow;
    if (startsWith("BARC")) onBarCode();
    if (startsWith("READ") && !m_referencedDocument) {
        onRead();
        return Flow::EmitNow;
    }
    return Flow::Next;
}

std::optional<std::string> ReceiptConversion::param(std::string_view tag) const
{
    return findParam(m_line, tag, m_result.invoiceTextMode);
}

bool ReceiptConversion::startsWith(std::string_view word) const
{
    return startsWithWord(m_line, word);
}

std::string_view ReceiptConversion::tagArea() const
{
    if (!m_result.invoiceTextMode || !startsWith("PRNT,")) return m_line;
    // In invoice text mode a print line's text runs to its ",H" and may hold
    // commas: an address such as "VIA ROMA,SCALA B" is text, not a storno.
    // Only what follows the text is looked at.
    const std::string_view line(m_line);
    const std::size_t text = findNoCase(line, ",:");
    if (text == std::string_view::npos) return line;
    const std::size_t attribute = findNoCase(line.substr(text + 2), ",H");
    return attribute == std::string_view::npos ? std::string_view{} : line.substr(text + 2 + attribute);
}

bool ReceiptConversion::tenderRow(std::int64_t n) const
{
    // "TEND,N1" to "TEND,N3" are cash, cheque and card wherever ",N" stands.
    if (!startsWith("TEND")) return false;
    auto value = param(",N");
    return value && IsDigits(*value) && smallInteger(*value) == n;
}

void ReceiptConversion::trace(const std::string& text) const
{
    if (m_ctx.trace == nullptr || !m_ctx.trace->isTracing()) return;
    const Clock& clock = m_ctx.clock != nullptr ? *m_ctx.clock : SystemClock::instance();
    m_ctx.trace->writeLine(traceTimestamp(clock) + " --> ConvertRequestFile: " + text);
}

void ReceiptConversion::fail(const std::string& reason)
{
    m_result.failureReason = "riga " + std::to_string(m_lineCount) + ": " + reason;
    trace(m_result.failureReason);
}

std::optional<std::string> ReceiptConversion::amountField(std::int64_t cents, const char* what)
{
    auto field = amount9(cents);
    if (!field) fail(std::string("importo ") + what + " oltre 9 cifre");
    return field;
}

std::optional<std::string> ReceiptConversion::amountOf(const std::string& value, const char* what, std::int64_t& cents)
{
    cents = smallInteger(value);
    return amountField(cents, what);
}

std::string ReceiptConversion::paymentDisplay(const std::string& name, std::int64_t cents) const
{
    const std::string amount = std::string(1, kDisplayAmountMark) + " " + displayAmount(cents);
    const std::size_t gap = amount.size() < 20 ? 20 - amount.size() : 0;
    return msg::DisplayText + fixedWidth(fixedWidth(name, 20) + std::string(gap, ' ') + amount, 40);
}

void ReceiptConversion::emitTaxCodeBlock()
{
    if (m_ctx.options.chkCodFisc && !m_pendingTaxCode.empty()) {
        m_list.push_back(kTaxCodeFrame);
        m_list.push_back(m_pendingTaxCode);
        m_list.push_back(kTaxCodeFrame);
    }
    m_pendingTaxCode.clear();
}

void ReceiptConversion::closeReceiptBody()
{
    m_list.push_back(msg::CloseReceipt);
    if (m_ctx.options.CheckStampaLogo)
        m_list.push_back(msg::PrintLogo);
    for (auto& line : m_heldTrailerLines) m_list.push_back(std::move(line));
    m_heldTrailerLines.clear();
    if (!m_ctx.options.chbNoInviaApCassetto)
        m_list.push_back(msg::OpenDrawer);
}

ReceiptConversion::Flow ReceiptConversion::onOpfs()
{
    std::int64_t total = m_invoiceKeptTotal;
    if (auto value = param(",V")) {
        total = smallInteger(*value);
        // A zero or unreadable total is the one the invoice rewriting summed.
        // Whether the host wrote a number shows only on its own line: the
        // normaliser turns "Vabc" and a bare "V" into "V1", one cent.
        const auto written = findParam(m_rawLine, ",V");
        const bool unreadable = !written || !isNumeric(*written);
        if (total == 0 || (m_ctx.options.OptFiscal() && unreadable)) total = m_invoiceKeptTotal;
    }
    auto field = amountField(total, "della fattura");
    if (!field) return Flow::Fail;
    m_invoiceTotal = *field;
    m_documentOpen = true;
    m_result.invoiceTextMode = true;
    m_invoiceSeen = true;
    const std::string open = std::string(msg::OpenNonFiscal) + "21" + m_invoiceTotal;
    if (param(",A") || m_ctx.options.chkForzaIntestazioneFattura) {
        m_list.push_back(open);
        m_command = msg::NonFiscalHeading;
    } else {
        m_command = open;
    }
    return Flow::Next;
}

void ReceiptConversion::onClfs()
{
    if (!m_documentOpen || !m_invoiceSeen) return;
    m_documentOpen = false;
    m_invoiceSeen = false;
    m_list.push_back(std::string(msg::NonFiscalText) + "F" + lengthPrefixed("TOTALE FATTURE EURO") + m_invoiceTotal);
    m_command = msg::CloseInvoice;
}

ReceiptConversion::Flow ReceiptConversion::onDocumentReference(bool isVoid)
{
    if (!m_ctx.facts.registerIsRT) {
        if (isVoid) {
            fail("annullo di un documento (DELD) possibile solo su un registratore telematico");
            return Flow::Fail;
        }
        m_list.push_back(std::string(msg::ReturnReference) + "600000");
        m_command = std::string(msg::ReferenceText) + "P" + lengthPrefixed(fixedWidth(param(",:").value_or(" "), 12));
        m_referencedDocument = true;
        return Flow::EmitNow;
    }

    const std::string message = std::string(msg::Function7101) + (isVoid ? "A" : "R");
    const std::string word = isVoid ? "DELD" : "NDCR";
    if (auto number = param(",N")) {
        if (number->size() != 8) {
            fail(word + ": il numero del documento (,N) deve avere 8 cifre");
            return Flow::Fail;
        }
        m_zNumber = smallInteger(number->substr(0, 4));
        m_docNumber = smallInteger(number->substr(4, 4));
        m_command = message + zeroPad(m_zNumber, 4) + zeroPad(m_docNumber, 4);
    }
    if (auto issuer = param(",>")) m_issuer = *issuer;
    auto date = param(",D");
    if (!date) {
        fail(word + ": manca la data del documento (,D)");
        return Flow::Fail;
    }
    m_referenceDate = *date;

    const std::string reference = message + zeroPad(m_zNumber, 4) + zeroPad(m_docNumber, 4) + m_referenceDate;
    const std::string kind = isVoid ? "A" : "R";
    std::string issuerCommand;
    if (m_issuer == "ND" || m_issuer == "VR")
        issuerCommand = msg::ReferenceIssuer + kind + "02" + m_issuer + m_referenceDate;
    else if (m_issuer == "POS")
        issuerCommand = msg::ReferenceIssuer + kind + "03" + m_issuer + m_referenceDate;
    else if (m_issuer.size() == 11) m_command = reference;
    if (!issuerCommand.empty()) {
        if (isVoid) {
            m_command = issuerCommand;
            m_cashOnly = false;
        } else {
            m_list.push_back(issuerCommand);
        }
    }

    // An empty issuer never matches: before the identification the own
    // serial number is empty as well.
    if (!m_issuer.empty() && m_issuer == m_ctx.facts.serialNumber) {
        if (isVoid) {
            m_list.push_back(m_command + "8");
            m_list.push_back(reference + "1");
            m_cashOnly = true;
        } else {
            m_list.push_back(m_command + "0");
            m_list.push_back(reference + "8" + lengthPrefixed(m_issuer));
        }
        m_command.clear();
    } else if (m_issuer.size() == 11) {
        m_list.push_back(reference + "0" + lengthPrefixed(m_issuer));
        m_list.push_back(reference + "1" + lengthPrefixed(m_issuer));
        m_command.clear();
        if (isVoid) m_cashOnly = false;
    }
    m_referencedDocument = true;
    return Flow::EmitNow;
}

ReceiptConversion::Flow ReceiptConversion::onDepositOrWithdrawal(bool isDeposit)
{
    auto value = param(",V");
    if (!value || !isNumeric(*value))
        return Flow::Next;
    std::int64_t cents = 0;
    auto field = amountOf(*value, isDeposit ? "del versamento" : "del prelievo", cents);
    if (!field) return Flow::Fail;
    if (cents > 0)
        m_command = std::string(msg::CashMovement) + (isDeposit ? "D" : "P") + *field;
    return Flow::Next;
}

void ReceiptConversion::onLottery()
{
    auto value = param(",C");
    if (!value) return;
    std::string code = *value;
    if (code.find('[') != std::string::npos) code.erase(0, 1);
    if (code.find(']') != std::string::npos) code.pop_back();
    if (code.size() == 8)
        m_list.push_back(msg::LotteryCode + code);
}

void ReceiptConversion::onOpnf()
{
    if (m_saleSeen && !m_result.functionSeen) {
        emitTaxCodeBlock();
        closeReceiptBody();
        m_list.push_back(msg::EndOfDocument);
    }
    m_documentOpen = true;
    m_list.push_back(std::string(msg::OpenNonFiscal) + "1");
    m_command = msg::NonFiscalHeading;
}

void ReceiptConversion::onStornoTags()
{
    struct Storno {
        const char* tag;
        int kind;
        const char* text;
    };
    // Longest tags first: ",S" also finds ",S1".
    static constexpr Storno kinds[] = {
        {",S1", 1, "STORNO ACCONTO"},
        {",S3", 3, "STORNO OMAGGIO"},
        {",S2", 2, "STORNO BUONO CORRISP."},
        {",S", 0, "STORNO"},
    };
    const std::string_view area = tagArea();
    for (const auto& k : kinds) {
        if (findNoCase(area, k.tag) == std::string::npos) continue;
        m_stornoFlag = true;
        m_stornoKind = k.kind;
        m_list.push_back(std::string(msg::ReceiptText) + "1" + lengthPrefixed(k.text));
        return;
    }
}

void ReceiptConversion::onReturnTag()
{
    if (m_referencedDocument || findNoCase(tagArea(), ",R") == std::string::npos) return;
    m_returnFlag = true;
    m_list.push_back(std::string(msg::ReceiptText) + "1" + lengthPrefixed("RESO"));
}

ReceiptConversion::Flow ReceiptConversion::onArticle(bool isPlud)
{
    m_saleSeen = true;
    m_quantity.clear();
    m_lastAmount = 0;
    const auto price = param(",P");
    const auto quantityValue = param(",Q");
    const auto departmentValue = param(",N");

    std::int64_t priceCents = price ? smallInteger(*price) : 0;
    std::optional<Decimal> quantity;
    if (quantityValue && *quantityValue != "1") {
        quantity = Decimal::parse(*quantityValue);
        if (!quantity) {
            fail("quantita' non leggibile");
            return Flow::Fail;
        }
        m_quantity = stripLeadingZeros(dotToComma(*quantityValue));
        // The price as the register will charge it, from the same reading.
        m_list.push_back(std::string(msg::ReceiptText) + "1" +
                         lengthPrefixed(" " + m_quantity + " X " + centsToText(priceCents)));
    }

    char kind;
    if (m_returnFlag) {
        kind = '9';
        m_lastWasReturn = true;
    } else if (m_stornoFlag) {
        kind = m_stornoKind == 3 ? 'G' : (m_stornoKind == 0 ? '4' : 'F');
    } else {
        kind = '1';
        m_lastWasReturn = false;
    }
    const std::string message = std::string(msg::Article) + kind;

    // Without ",N" the sale goes to department 1, as on the register's keyboard.
    const std::int64_t department = departmentValue ? smallInteger(*departmentValue) : 1;
    if (department > 99) {
        fail("reparto non valido");
        return Flow::Fail;
    }
    m_department = zeroPad(department, 2);

    std::string description = departmentName(department);
    if (isPlud) {
        if (auto text = param(",:"))
            description = maskHighChars(*text);
    }
    m_command = message + m_department + "22" + fixedWidth(description, 22);

    if (price) {
        auto amount = quantity ? multiplyCents(priceCents, *quantity) : std::optional<std::int64_t>(priceCents);
        auto field = amount ? amount9(*amount) : std::nullopt;
        if (!field) {
            fail("importo dell'articolo oltre 9 cifre");
            return Flow::Fail;
        }
        m_lastAmount = *amount;
        m_command += *field;
        if (!m_ctx.options.chkDisableDisplay) {
            std::string name = m_returnFlag ? "RESO" : (m_stornoFlag ? "STORNO" : description);
            const std::string amountText = std::string(1, kDisplayAmountMark) + " " + displayAmount(m_lastAmount);
            const std::size_t gap = amountText.size() < 18 ? 18 - amountText.size() : 0;
            m_display = msg::DisplayText + fixedWidth(fixedWidth(name, 22) + std::string(gap, ' ') + amountText, 40);
        }
    }
    return Flow::Next;
}

bool ReceiptConversion::adjustmentIsDiscount(bool discount)
{
    if (m_ctx.options.chbInversioneScontiSuReso && m_lastWasReturn) {
        m_lastWasReturn = false;
        return !discount;
    }
    return discount;
}

ReceiptConversion::Flow ReceiptConversion::requireArticle()
{
    if (!m_department.empty()) return Flow::Next;
    fail("sconto o maggiorazione su articolo senza un articolo prima");
    return Flow::Fail;
}

ReceiptConversion::Flow ReceiptConversion::onArticlePercent(bool discount)
{
    if (requireArticle() == Flow::Fail) return Flow::Fail;
    discount = adjustmentIsDiscount(discount);
    const std::string message = std::string(msg::Article) + (discount ? '3' : '2') + m_department;
    auto percentValue = param(",%");
    if (!percentValue) {
        m_command = message;
        return Flow::Next;
    }
    auto percent = Decimal::parse(*percentValue);
    auto amount = percent ? percentOfCents(*percent, m_lastAmount) : std::nullopt;
    auto field = amount ? amount9(*amount) : std::nullopt;
    if (!field) {
        fail("percentuale non utilizzabile");
        return Flow::Fail;
    }
    const std::string description = param(",:").value_or(
        std::string(discount ? "SCONTO ART " : "MAGG. ARTICOLO ") + percent->toFixedText(2, '.') + "%");
    m_lastAmount = *amount;
    m_command = message + "22" + fixedWidth(description, 22) + *field;
    if (!m_ctx.options.chkDisableDisplay)
        m_display = msg::DisplayText + fixedWidth(fixedWidth(description, 22) + dotToComma(*percentValue), 40);
    return Flow::Next;
}

ReceiptConversion::Flow ReceiptConversion::onArticleValue(bool discount)
{
    if (requireArticle() == Flow::Fail) return Flow::Fail;
    discount = adjustmentIsDiscount(discount);
    const std::string message = std::string(msg::Article) + (discount ? '3' : '2') + m_department;
    auto value = param(",V");
    if (!value) {
        m_command = message;
        return Flow::Next;
    }
    std::int64_t cents = 0;
    auto field = amountOf(*value, "della rettifica", cents);
    if (!field) return Flow::Fail;
    const std::string description = fixedWidth(param(",:").value_or(discount ? "SCONTO VALORE" : "MAGG. ART."), 22);
    m_command = message + "22" + description + *field;
    if (!m_ctx.options.chkDisableDisplay) {
        const std::string gap(discount ? 2 : 3, ' ');
        m_display =
            msg::DisplayText + fixedWidth(description + gap + kDisplayAmountMark + " " + displayAmount(cents), 40);
    }
    return Flow::Next;
}

ReceiptConversion::Flow ReceiptConversion::onSubtotalValue(bool discount)
{
    m_command = std::string(msg::SubtotalAdjustment) + (discount ? '3' : '2');
    auto value = param(",V");
    if (!value) return Flow::Next;
    std::int64_t cents = 0;
    auto field = amountOf(*value, "della rettifica sul subtotale", cents);
    if (!field) return Flow::Fail;
    const std::string description = fixedWidth(param(",:").value_or(discount ? "SCONTO SBTL" : "MAGG. SBTL"), 22);
    m_command += "22" + description + *field;
    if (!m_ctx.options.chkDisableDisplay)
        m_display =
            msg::DisplayText + fixedWidth(description + "   " + kDisplayAmountMark + " " + displayAmount(cents), 40);
    return Flow::Next;
}

void ReceiptConversion::onSubtotalPercent(const char* directive)
{
    auto percent = param(",%");
    if (!percent) return;
    m_command = directive + Trim(*percent, " ");
    if (auto text = param(",:")) m_command += "," + *text;
}

void ReceiptConversion::onPrint(const std::vector<std::string>& lines, std::size_t index)
{
    const char attribute = printAttribute(param(",H"));
    const std::string text = param(",:").value_or("");
    m_command = std::string(m_documentOpen ? msg::NonFiscalText : msg::ReceiptText) + attribute + lengthPrefixed(text);

    // The customer's tax code, announced by a "FUNC,N39" on the next line, is
    // printed here as the host sent it and also held for its block before the
    // first payment: hosts expect both. A model without the block prints
    // neither.
    if (m_documentOpen || !m_ctx.options.chkCodFisc || (text.size() != 16 && text.size() != 11)) return;
    if (index + 1 >= lines.size() || findNoCase(lines[index + 1], "FUNC,N39") == std::string::npos)
        return;
    const int model = m_ctx.facts.modelCode;
    if (model == 3) {
        m_pendingTaxCode = std::string(msg::ReferenceText) + "B" + lengthPrefixed(text);
    } else if (model == 2 || model == 4) {
        m_pendingTaxCode = std::string(msg::ReferenceText) + "F" + lengthPrefixed(text);
    } else {
        m_command.clear();
        trace("codice fiscale non stampato: modello di cassa " + std::to_string(model) + " senza comando 3010");
    }
}

void ReceiptConversion::onTrailer()
{
    if (m_documentOpen) return;
    const char attribute = printAttribute(param(",H"));
    std::string text = param(",:").value_or("").substr(0, 32);
    if (text.empty()) text = " ";
    m_heldTrailerLines.push_back(std::string(msg::TrailerText) + attribute + lengthPrefixed(text));
}

void ReceiptConversion::onDisplay(const std::vector<std::string>& lines, std::size_t& index)
{
    const auto rowValue = param(",N");
    const bool lowerRow = rowValue && isNumeric(*rowValue) && Decimal::parse(*rowValue) == Decimal::fromInteger(2);
    std::string text = param(",:").value_or(std::string(20, ' ')).substr(0, 40);
    if (text.size() < 20) text.resize(20, ' ');

    if (lowerRow) {
        m_command = msg::DisplayText + std::string(20, ' ') + text;
        return;
    }
    if (text.size() == 20 && index + 1 < lines.size() && startsWithWord(lines[index + 1], "DISP")) {
        // An upper row of at most 20 characters takes the lower row of a
        // "DISP" line with ",N2" right after it into the same command.
        const std::string next = parseRequestLine(lines[index + 1], kDisplayTextWidth);
        auto nextRow = findParam(next, ",N");
        if (nextRow && isNumeric(*nextRow) && Decimal::parse(*nextRow) == Decimal::fromInteger(2)) {
            m_command = msg::DisplayText + text + fixedWidth(findParam(next, ",:").value_or(""), 20);
            ++index;
            ++m_lineCount;
            return;
        }
    }
    m_command = fixedWidth(msg::DisplayText + text, 44);
}

ReceiptConversion::Flow ReceiptConversion::onPayment(PaymentKind kind, const std::string& name, const std::string& code,
                                                     bool namedPayment)
{
    m_result.paymentSeen = true;
    emitTaxCodeBlock();
    if (namedPayment) m_paymentName = name;
    const std::string head = m_ctx.options.chbPagamentiEstesi ? msg::ExtendedPayment + code + lengthPrefixed(name)
                                                              : msg::Payment + lengthPrefixed(name);
    auto value = param(",V");
    if (value && !m_referencedDocument) {
        std::int64_t cents = 0;
        auto field = amountOf(*value, "del pagamento", cents);
        if (!field) return Flow::Fail;
        m_command = head + *field;
        m_display = paymentDisplay(name, cents);
        return Flow::Next;
    }
    // No amount: the register takes the rest; the transmission shows it.
    m_result.paymentTypeUsed[kind] = true;
    if (m_ctx.facts.registerIsRT && m_referencedDocument) {
        if (namedPayment)
            m_result.paymentTypeUsed[PaymentCash] = true;
    } else {
        m_command = head + kNoAmount;
    }
    m_display = msg::DisplayText + fixedWidth(name, 40);
    return Flow::Next;
}

ReceiptConversion::Flow ReceiptConversion::onVoucher()
{
    m_result.paymentSeen = true;
    emitTaxCodeBlock();
    m_paymentName = param(",:").value_or("BUONO PASTO");
    const bool extended = m_ctx.options.chbPagamentiEstesi;
    auto value = param(",V");
    if (value && !m_referencedDocument) {
        const auto countValue = param(",Q");
        const std::int64_t count = countValue ? smallInteger(*countValue) : 0;
        if (count > 99) {
            fail("numero di buoni pasto oltre 99");
            return Flow::Fail;
        }
        std::int64_t cents = 0;
        auto field = amountOf(*value, "del buono pasto", cents);
        if (!field) return Flow::Fail;
        if (extended)
            m_command =
                std::string(msg::ExtendedPayment) + "05" + zeroPad(count, 2) + lengthPrefixed(m_paymentName) + *field;
        else trace("buono pasto senza pagamenti estesi: nessun comando di pagamento");
        m_display = paymentDisplay(m_paymentName, cents);
        return Flow::Next;
    }
    m_result.paymentTypeUsed[PaymentOther] = true;
    if (m_ctx.facts.registerIsRT && m_referencedDocument)
        m_result.paymentTypeUsed[PaymentCash] = true;
    else if (extended)
        m_command = std::string(msg::ExtendedPayment) + "0500" + lengthPrefixed(m_paymentName) + kNoAmount;
    m_display = msg::DisplayText + fixedWidth(m_paymentName, 40);
    return Flow::Next;
}

ReceiptConversion::Flow ReceiptConversion::onCredit()
{
    if (m_referencedDocument) return Flow::Next;
    m_result.paymentSeen = true;
    emitTaxCodeBlock();
    const auto value = param(",V");
    const auto type = param(",T");
    std::int64_t cents = 0;
    std::optional<std::string> field = kNoAmount;
    if (value) {
        field = amountOf(*value, "del credito", cents);
        if (!field) return Flow::Fail;
    }
    if (!m_ctx.facts.registerIsRT || !type) {
        m_command = msg::Credit + lengthPrefixed("CREDITO") + *field;
        m_display = value ? paymentDisplay("CREDITO", cents) : msg::DisplayText + fixedWidth("CREDITO", 40);
        return Flow::Next;
    }
    const CreditKind credit = creditKind(smallInteger(*type));
    std::string name = credit.name;
    if (credit.textOverrides) name = param(",:").value_or(name);
    m_command = msg::ExtendedPayment + (credit.code + lengthPrefixed(name)) + *field;
    m_display = value ? paymentDisplay(name, cents) : std::string(msg::DisplayText);
    return Flow::Next;
}

bool ReceiptConversion::onFunction()
{
    m_result.functionSeen = true;
    auto value = param(",N");
    if (!value) return false;
    struct Report {
        const char* resetText;
        const char* resetCommand;
        const char* readText;
        const char* readCommand;
    };
    static constexpr Report reports[] = {
        {"RAPP. FISCALE : AZZERAMENTO", msg::ReportDaily, "RAPP. FISCALE : LETTURA", msg::ReportFiscalRead},
        {"RAPP. REPARTI : AZZERAMENTO", msg::ReportDepartmentsReset, "RAPP. REPARTI : LETTURA",
         msg::ReportDepartmentsRead},
        {"RAPP. FINANZIARIO", msg::ReportFinancialReset, "LETT. FINANZIARIO", msg::ReportFinancialRead},
    };
    const std::int64_t n = smallInteger(*value);
    if (n >= 1 && n <= 3) {
        const Report& r = reports[n - 1];
        m_command = m_resetReports ? r.resetCommand : r.readCommand;
        m_display = msg::DisplayText + fixedWidth(m_resetReports ? r.resetText : r.readText, 40);
    } else if (n == 25) {
        m_list.push_back(std::string(msg::Article) + "8" + lengthPrefixed("ANNULLO SCONTRINO") + kNoAmount);
        m_list.push_back(msg::CloseReceipt);
        m_list.push_back(msg::EndOfDocument);
        return true;
    } else if (n == 39) {
        m_result.functionSeen = false;
    }
    return false;
}

bool ReceiptConversion::onQrCode()
{
    auto text = param(",:");
    if (!text || Trim(*text, " ").empty())
        return false;
    m_command = std::string(msg::BarCode) + kQrCode + lengthPrefixed(*text);
    return true;
}

void ReceiptConversion::onBarCode()
{
    auto typeValue = param(",T");
    if (!typeValue) return;
    const std::int64_t type = smallInteger(*typeValue);
    std::string command;
    if (type >= 1 && type <= 4)
        command = msg::BarCode + *typeValue;
    else if (type == 15)
        command = std::string(msg::BarCode) + kQrCode;
    else
        command = std::string(msg::BarCode) + "1";
    if (type != 15) {
        auto readable = param(",H");
        command += (!readable || readable->empty() || readable->front() == '0') ? "0" : "2";
    }
    auto data = param(",:");
    if (!data) return;
    if (type == 4) command += "51" + lengthPrefixed("{B" + *data);
    else if (type == 15) command += lengthPrefixed(*data);
    else command += "51" + lengthPrefixed(*data);
    m_command = command;
}

void ReceiptConversion::onRead()
{
    auto count = param(",N");
    const std::string n = count && isNumeric(*count) ? std::to_string(smallInteger(*count)) : "1";
    m_command = "READ," + n + "," + readFilePath(m_line, m_ctx.dataDir, m_ctx.channel);
}

void ReceiptConversion::close(const std::string& lastLine)
{
    if (!m_result.functionSeen && !m_documentOpen) {
        if (m_saleSeen && m_result.paymentSeen) {
            closeReceiptBody();
        } else if (m_saleSeen) {
            m_list.push_back(msg::ShowSubtotal);
            if (m_ctx.options.chkCodFisc && !m_pendingTaxCode.empty()) {
                m_list.push_back(kTaxCodeFrame);
                m_list.push_back(m_pendingTaxCode);
                m_list.push_back(std::string(msg::PaperFeed) + "11");
                m_pendingTaxCode.clear();
            }
        }
    }
    if (startsWithWord(lastLine, "RLPR") && !m_referencedDocument) {
        m_list.push_back(msg::EndOfDocument);
        m_list.push_back(msg::ReprintLast);
    }
}

} // namespace tavor1
