#include "conversion/invoice/InvoiceConversion.h"

#include "conversion/language/Decimal.h"
#include "conversion/language/FieldFormats.h"
#include "conversion/language/LineNormaliser.h"
#include "conversion/language/RequestLanguage.h"
#include "platform/ByteFiles.h"
#include "platform/NumberText.h"

#include <array>
#include <optional>
#include <ostream>
#include <sstream>

namespace tavor1 {

namespace {

constexpr const char* kTraceName = "ConvertFatturaSuScontrino: ";
// Error numbers of the trace line, as the technicians know them.
constexpr int kErrOverflow = 6;
constexpr int kErrFileNotFound = 53;
constexpr int kErrFileAccess = 75;

// A failure that ends the rewriting: the trace line has been written.
struct Stop {};

class InvoiceRewriter {
public:
    InvoiceRewriter(const InvoiceLayout& layout, const InvoiceEnvironment& env, InvoiceHandover& handover,
                    std::ostream& target)
        : m_layout(layout)
        , m_width(layout.width > 2 ? layout.width : 2)
        , m_env(env)
        , m_handover(handover)
        , m_out(target)
    {
    }

    bool run(const std::vector<std::string>& source)
    {
        m_handover = InvoiceHandover{};
        m_handover.invoiceHeading.assign(4, std::string());
        try {
            for (const std::string& line : source)
                convertLine(line);
            finish();
        } catch (const Stop&) {
            m_handover.invoiceTotal = 0;
            return false;
        }
        m_handover.invoiceTotal = invoiceTotal();
        return true;
    }

private:
    enum class Payment { None, Cash, Cheque, Card, DebitCard, Credit, Voucher };

    void write(const std::string& line) { m_out << line << "\r\n"; }

    [[noreturn]] void fail(int number, const std::string& description)
    {
        m_env.trace.writeLine(traceTimestamp(m_env.clock) + " --> " + kTraceName + std::to_string(number) + " - " +
                              description);
        throw Stop{};
    }

    std::int64_t checkedSum(std::int64_t a, std::int64_t b)
    {
        std::int64_t sum;
        if (__builtin_add_overflow(a, b, &sum))
            fail(kErrOverflow, "Overflow");
        return sum;
    }

    // label + blanks + amount in exactly width - 2 characters; the label gives
    // way when both do not fit.
    std::string justify(const std::string& label, const std::string& amount) const
    {
        const std::size_t room = std::size_t(m_width - 2);
        if (amount.size() >= room)
            return amount;
        std::string text = label.substr(0, room - amount.size());
        text.append(room - amount.size() - text.size(), ' ');
        return text + amount;
    }

    void writeJustified(const std::string& label, const std::string& amount, const std::string& suffix = {})
    {
        write("PRNT,:" + justify(label, amount) + " " + suffix + ";");
    }

    void writeBlank() { write("PRNT,:" + std::string(std::size_t(m_width), ' ') + ";"); }

    void writeCurrencyHeader()
    {
        write("PRNT,:" + std::string(std::size_t(m_width > 6 ? m_width - 6 : 0), ' ') + "EURO;");
    }

    void writeHeaderBlock()
    {
        if (m_layout.printDateLines)
            write(dateTimeLine(m_env.clock));
        writeCurrencyHeader();
        writeBlank();
        m_headerDue = false;
    }

    std::int64_t invoiceTotal() const { return m_totalGiven ? m_givenTotal : m_total; }

    static std::optional<std::string> param(const std::string& line, const char* tag) { return findParam(line, tag); }

    // A cents value as the request language reads it: up to the first non-digit.
    std::int64_t cents(const std::string& value)
    {
        const auto v = readInteger(value);
        if (!v)
            fail(kErrOverflow, "Overflow");
        return *v;
    }

    void convertLine(const std::string& raw)
    {
        if (startsWithWord(raw, "OPFS")) {
            openInvoice(raw);
            return;
        }
        // A print line is upper-cased and cut like every other line, but its
        // text keeps its commas: an address is not split into tags.
        const std::string line = startsWithWord(raw, "PRNT,") ? normalizeInvoicePrintLine(raw, kOrdinaryTextWidth)
                                                              : parseRequestLine(raw, kOrdinaryTextWidth);
        if (startsWithWord(line, "OPER"))
            operatorLine(line);
        else if (startsWithWord(line, "CLFS"))
            return; // the rewriting writes its own closing line
        else if (startsWithWord(line, "DATE"))
            dateLine(line);
        else if (startsWithWord(line, "PLUD") || startsWithWord(line, "SALE"))
            article(line);
        else if (startsWithWord(line, "COUP"))
            adjustment(line, "SCONTO SU ITEM", -1);
        else if (startsWithWord(line, "COST"))
            adjustment(line, "SCONTO SU SUBT.", -1);
        else if (startsWithWord(line, "ADDI"))
            adjustment(line, "MAGG. SU ITEM", +1);
        else if (startsWithWord(line, "ADDS"))
            adjustment(line, "MAGG. SU SUBT.", +1);
        else if (startsWithWord(line, "PRNT,")) {
            if (m_invoiceOpened)
                write(line);
        } else if (startsWithWord(line, "EXTL,"))
            headingLine(line);
        else
            payment(line);
    }

    void openInvoice(const std::string& line)
    {
        m_handover.invoiceTextMode = true;
        std::string number = "1";
        if (const auto n = param(line, ",N"); n && isNumeric(*n))
            number = Trim(*n);
        const auto total = param(line, ",V");
        // A total of 0 or one that is no number is no total: the invoice then
        // goes out with the sum of its lines, never with 0.
        m_totalGiven = false;
        if (total && isNumeric(*total)) {
            m_givenTotal = cents(*total);
            m_totalGiven = m_givenTotal > 0;
        }
        const char* fields[4] = {",:", ",<", ",=", ",>"};
        for (int i = 0; i < 4; ++i)
            if (const auto text = param(line, fields[i]))
                m_handover.invoiceHeading[std::size_t(i)] = text->substr(0, std::size_t(m_width - 2));

        if (total) {
            write(line);
        } else {
            std::string copy = line;
            if (!copy.empty() && copy.back() == ';')
                copy.pop_back();
            write(copy + ",V0;");
        }
        if (m_layout.printInvoiceNumber)
            write("PRNT,:FATTURA Num. " + number + ",H1;");
        m_invoiceOpened = true;
        m_headerDue = true;
    }

    void operatorLine(const std::string& line)
    {
        if (m_headerDue)
            writeHeaderBlock();
        if (const auto op = param(line, ",C"))
            write("PRNT,:OPERATORE N. " + zeroPad(cents(*op), 2) + ";");
    }

    void dateLine(const std::string& line)
    {
        if (const auto text = param(line, ",:")) {
            if (m_layout.printDateLines)
                write("PRNT,:" + *text + ";");
            writeCurrencyHeader();
            writeBlank();
            m_headerDue = false;
        } else if (m_headerDue) {
            writeHeaderBlock();
        }
    }

    void article(const std::string& line)
    {
        if (m_headerDue)
            writeHeaderBlock();
        std::int64_t rate = 0;
        if (const auto r = param(line, ",I"); r && isNumeric(*r))
            rate = cents(*r);
        const std::string description = param(line, ",:").value_or("  ");
        const auto quantityText = param(line, ",Q");
        std::optional<Decimal> quantity = Decimal::fromInteger(1);
        if (quantityText)
            quantity = Decimal::parse(*quantityText, '.');
        std::optional<Decimal> price = Decimal::fromInteger(0);
        if (const auto p = param(line, ",P"); p && isNumeric(*p))
            price = Decimal::parse(*p, '.');
        if (!quantity || !price)
            fail(kErrOverflow, "Overflow");
        const std::int64_t unitPrice = price->roundedToInteger();
        write("PRNT,:" + dotToComma(quantityText ? *quantityText : "1") + "    X    " + centsToText(unitPrice) + ";");

        const auto amount = Decimal::fromInteger(unitPrice).times(*quantity);
        if (!amount)
            fail(kErrOverflow, "Overflow");
        const std::int64_t lineAmount = amount->roundedToInteger();

        const VatRateTable::VatCode code = rate >= INT32_MIN && rate <= INT32_MAX
                                               ? m_env.vatRates.vatCodeFromRate(int(rate))
                                               : VatRateTable::VatCode{};
        if (code.index < 0) {
            m_env.trace.writeLine(traceTimestamp(m_env.clock) + " --> " + kTraceName + "aliquota IVA " +
                                  std::to_string(rate) + " non presente nella tabella IVA");
            throw Stop{};
        }
        m_currentCode = code.index;
        m_vatAmount[std::size_t(code.index)] = checkedSum(m_vatAmount[std::size_t(code.index)], lineAmount);
        m_total = checkedSum(m_total, lineAmount);
        writeJustified(description, centsToText(lineAmount), code.letter);
    }

    void adjustment(const std::string& line, const char* defaultLabel, int direction)
    {
        // Without an article there is no VAT code to charge it to.
        if (m_currentCode < 0)
            return;
        const std::string label = param(line, ",:").value_or(defaultLabel);
        const std::int64_t value = cents(param(line, ",V").value_or("0"));
        const std::int64_t signedValue = direction < 0 ? -value : value;
        m_vatAmount[std::size_t(m_currentCode)] = checkedSum(m_vatAmount[std::size_t(m_currentCode)], signedValue);
        m_total = checkedSum(m_total, signedValue);
        writeJustified(label, centsToText(value));
    }

    Payment paymentKind(const std::string& line, const char*& name) const
    {
        if (startsWithWord(line, "CASH") || startsWithTender(line, 1))
            return name = "CONTANTI", Payment::Cash;
        if (startsWithWord(line, "CHEQ") || startsWithTender(line, 2))
            return name = "ASSEGNI", Payment::Cheque;
        if (startsWithTender(line, 3))
            return name = "CARTA CRED.", Payment::Card;
        if (startsWithTender(line, 4))
            return name = "BANCOMAT", Payment::DebitCard;
        if (startsWithWord(line, "CRED"))
            return name = "CREDITO", Payment::Credit;
        if (startsWithWord(line, "TICK"))
            return name = "TICKET", Payment::Voucher;
        return Payment::None;
    }

    void payment(const std::string& line)
    {
        const char* defaultName = "";
        const Payment kind = paymentKind(line, defaultName);
        if (kind == Payment::None)
            return;
        if (m_firstPayment) {
            m_firstPayment = false;
            m_lineTotal = invoiceTotal();
            writeBlank();
            write(
                "PRNT,:" +
                justify(kind == Payment::Cash ? "TOT. FATTURA EURO" : "TOTALE FATTURA EURO", centsToText(m_lineTotal)) +
                ",H1;");
        }
        std::int64_t amount;
        if (const auto v = param(line, ",V"); v && isNumeric(*v)) {
            amount = cents(*v);
        } else {
            // The rest: what neither earlier payments nor credits have covered.
            amount = m_lineTotal - checkedSum(m_paid, m_notPaid);
            if (amount < 0)
                amount = 0;
        }
        if (kind == Payment::Credit || kind == Payment::Voucher)
            m_notPaid = checkedSum(m_notPaid, amount);
        else
            m_paid = checkedSum(m_paid, amount);
        if (m_layout.printPaymentLines)
            writeJustified(param(line, ",:").value_or(defaultName), centsToText(amount));
    }

    void headingLine(const std::string& line)
    {
        const auto n = param(line, ",N");
        const auto text = param(line, ",:");
        if (n && isNumeric(*n) && text)
            m_handover.invoiceHeading.push_back(fixedWidth(*text, std::size_t(m_width - 2)));
    }

    void finish()
    {
        writeBlank();
        writeJustified("CORRISP. PAGATO", centsToText(m_paid));
        writeJustified("CORRISP. NON PAGATO", centsToText(m_notPaid));
        writeBlank();

        std::int64_t taxableSum = 0;
        std::int64_t vatSum = 0;
        for (int code = 0; code < VatRateTable::kSize; ++code) {
            const std::int64_t inclusive = m_vatAmount[std::size_t(code)];
            const int rate = m_env.vatRates.rate(code);
            if (inclusive <= 0 || rate <= -10000)
                continue;
            // The taxable part rounded to the cent; the VAT is the rest, so
            // that the two printed amounts always add up to the amount sold.
            const auto scaled = Decimal::fromInteger(inclusive).times(Decimal::fromInteger(10000));
            const auto taxable = scaled ? scaled->dividedBy(Decimal::fromInteger(10000 + rate), 0) : std::nullopt;
            if (!taxable)
                fail(kErrOverflow, "Overflow");
            const std::int64_t t = taxable->units();
            const std::int64_t vat = inclusive - t;
            const std::string letter(1, char('A' + code));
            const std::string rateText = letter + "=" + centsToText(rate) + "%";
            writeJustified((rate < 1 ? "ESENTE " : "IMPONIBILE ") + rateText,
                           centsToAmountText(Decimal::fromInteger(t)));
            if (rate > 0)
                writeJustified("IVA " + rateText, centsToAmountText(Decimal::fromInteger(vat)));
            taxableSum = checkedSum(taxableSum, t);
            vatSum = checkedSum(vatSum, vat);
        }

        writeBlank();
        writeJustified("TOT. IMPONIBILE ", centsToAmountText(Decimal::fromInteger(taxableSum)));
        writeJustified("TOT. IVA ", centsToAmountText(Decimal::fromInteger(vatSum)));
        writeBlank();

        write("PRNT,: --- Intestazione Cliente ---;");
        for (const std::string& heading : m_handover.invoiceHeading)
            write("PRNT,:" + heading + " ;");
        write("CLFS;");
    }

    const InvoiceLayout& m_layout;
    const int m_width;
    const InvoiceEnvironment& m_env;
    InvoiceHandover& m_handover;
    std::ostream& m_out;

    std::array<std::int64_t, VatRateTable::kSize> m_vatAmount{};
    int m_currentCode = -1;
    std::int64_t m_total = 0;
    std::int64_t m_givenTotal = 0;
    std::int64_t m_lineTotal = 0; // the total printed on the total line
    std::int64_t m_paid = 0;
    std::int64_t m_notPaid = 0;
    bool m_invoiceOpened = false;
    bool m_totalGiven = false;
    bool m_headerDue = false;
    bool m_firstPayment = true;
};

} // namespace

bool rewriteInvoiceLines(const std::vector<std::string>& source, const InvoiceLayout& layout,
                         const InvoiceEnvironment& env, InvoiceHandover& handover, std::ostream& target)
{
    return InvoiceRewriter(layout, env, handover, target).run(source);
}

bool convertInvoiceToReceipt(const std::string& sourcePath, const std::string& targetPath, std::int16_t width,
                             bool printPaymentLines, bool printInvoiceNumber, bool printDateLines,
                             const InvoiceEnvironment& env, InvoiceHandover& handover)
{
    handover = InvoiceHandover{};
    const auto traceError = [&](int number, const std::string& description) {
        env.trace.writeLine(traceTimestamp(env.clock) + " --> " + kTraceName + std::to_string(number) + " - " +
                            description);
    };
    const auto content = readFileBytes(sourcePath);
    if (!content) {
        traceError(kErrFileNotFound, "File not found: " + sourcePath);
        return false;
    }
    const InvoiceLayout layout{width, printPaymentLines, printInvoiceNumber, printDateLines};
    std::ostringstream target;
    const bool ok = rewriteInvoiceLines(splitRequestLines(*content), layout, env, handover, target);
    if (!writeFileBytes(targetPath, target.str())) {
        traceError(kErrFileAccess, "Path/File access error: " + targetPath);
        handover.invoiceTotal = 0;
        return false;
    }
    return ok;
}

} // namespace tavor1
