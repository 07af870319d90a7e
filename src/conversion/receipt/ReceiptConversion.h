#pragma once

// The state of one conversion and its line handlers. convertRequestFile makes
// one of these per call; nothing but the job's invoice text mode outlives it.

#include "conversion/receipt/ReceiptConverter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavor1 {

class ReceiptConversion {
public:
    // invoiceKeptTotal is the total in cents the invoice rewriting computed
    // (0 when the request was not rewritten); an "OPFS" line without a usable
    // total falls back on it.
    ReceiptConversion(const ConversionContext& ctx, ConversionResult& result, std::int64_t invoiceKeptTotal = 0);

    // Converts the lines and closes the document. False when the request
    // cannot be converted; result.failureReason then says why and the command
    // list must not be sent.
    bool run(const std::vector<std::string>& lines);

private:
    // How a handler ends the line.
    enum class Flow { Next, EmitNow, Fail };

    Flow convertLine(const std::vector<std::string>& lines, std::size_t& index);
    Flow handle(const std::vector<std::string>& lines, std::size_t& index);
    void close(const std::string& lastLine);

    // Handlers, in the order they run on a line.
    Flow onOpfs();
    void onClfs();
    Flow onDocumentReference(bool isVoid);
    Flow onDepositOrWithdrawal(bool isDeposit);
    void onLottery();
    void onOpnf();
    void onStornoTags();
    void onReturnTag();
    Flow onArticle(bool isPlud);
    Flow onArticlePercent(bool discount);
    Flow onArticleValue(bool discount);
    Flow onSubtotalValue(bool discount);
    void onSubtotalPercent(const char* directive);
    void onPrint(const std::vector<std::string>& lines, std::size_t index);
    void onTrailer();
    void onDisplay(const std::vector<std::string>& lines, std::size_t& index);
    Flow onPayment(PaymentKind kind, const std::string& name, const std::string& code, bool namedPayment);
    Flow onVoucher();
    Flow onCredit();
    bool onFunction();
    bool onQrCode();
    void onBarCode();
    void onRead();

    // Parameter lookup on the current (normalised) line.
    std::optional<std::string> param(std::string_view tag) const;
    bool startsWith(std::string_view word) const;
    // Where the storno and return tags count on the current line.
    std::string_view tagArea() const;
    // A "TEND" line with ",N" 1, 2 or 3: cash, cheque or card.
    bool tenderRow(std::int64_t n) const;
    // The direction of an article adjustment, inverted once after a return
    // when chbInversioneScontiSuReso asks for it.
    bool adjustmentIsDiscount(bool discount);
    // An article adjustment needs the department of an article before it.
    Flow requireArticle();

    // Adds the held tax-code block before a payment or a closing.
    void emitTaxCodeBlock();
    // The closing of a receipt: total, logo, held trailer lines, drawer.
    void closeReceiptBody();
    // Reads an amount in cents into A9; fails the request when it cannot be
    // carried in nine digits.
    std::optional<std::string> amountField(std::int64_t cents, const char* what);
    // The same for a cents value as the request writes it.
    std::optional<std::string> amountOf(const std::string& value, const char* what, std::int64_t& cents);
    std::string paymentDisplay(const std::string& name, std::int64_t cents) const;
    void fail(const std::string& reason);
    void trace(const std::string& text) const;

    const ConversionContext& m_ctx;
    ConversionResult& m_result;
    std::vector<std::string>& m_list;
    std::int64_t m_invoiceKeptTotal;

    // Conversion state.
    std::size_t m_lineCount = 0;
    bool m_saleSeen = false;
    bool m_documentOpen = false;
    bool m_invoiceSeen = false;
    std::string m_invoiceTotal;
    bool m_resetReports = false;
    bool m_referencedDocument = false;
    bool m_cashOnly = false;
    bool m_lastWasReturn = false;
    std::string m_department;
    std::string m_quantity;
    // Amount of the last article or article adjustment; a percentage applies to it.
    std::int64_t m_lastAmount = 0;
    std::string m_pendingTaxCode;
    std::vector<std::string> m_heldTrailerLines;
    std::string m_paymentName;
    std::string m_issuer;
    std::string m_referenceDate;
    std::int64_t m_zNumber = 0;
    std::int64_t m_docNumber = 0;

    // Per-line state.
    // The line as the host wrote it, and as normalised for the handlers.
    std::string_view m_rawLine;
    std::string m_line;
    std::string m_command;
    std::string m_display;
    bool m_returnFlag = false;
    bool m_stornoFlag = false;
    int m_stornoKind = 0;
};

} // namespace tavor1
