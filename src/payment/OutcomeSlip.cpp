#include "payment/OutcomeSlip.h"

#include "link/RegisterExchange.h"
#include "platform/NumberText.h"
#include "platform/Sinks.h"

#include <cmath>
#include <exception>

namespace tavor1 {

namespace {

// Non-fiscal document commands of the slip. "700101" and "700102" are sent
// where the slip wants its spacing; the register gives them their meaning.
constexpr const char* kOpenNonFiscal = "40011";
constexpr const char* kNonFiscalHeader = "4002";
constexpr const char* kSpacing1 = "700101";
constexpr const char* kSpacing2 = "700102";
constexpr const char* kCloseNonFiscal = "4004";
constexpr const char* kPrintLine = "40031";

constexpr std::size_t kAmountWidth = 15;

} // namespace

std::string slipAmountField(const std::string& amountText)
{
    // Whole cents, rounded half away from zero, then split into euro and cents
    // with integer arithmetic so that no binary fraction shows.
    const double cents = std::round(leadingFraction(amountText));
    // An amount too wide for the field is shown as written, cut to the field.
    if (!(std::fabs(cents) < 1e15))
        return amountText.substr(0, kAmountWidth);
    const std::string field = centsToText(static_cast<long long>(cents));
    if (field.size() >= kAmountWidth)
        return field.substr(0, kAmountWidth);
    return std::string(kAmountWidth - field.size(), ' ') + field;
}

std::string slipPrintLine(const std::string& text)
{
    return kPrintLine + zeroPad(static_cast<std::int64_t>(text.size()), 2) + text;
}

void printPaymentSlip(RegisterExchange& link, const POSData& pos, MessageSink& messages)
{
    if (pos.Comando.empty())
        return;
    try {
        const std::string amount = slipAmountField(pos.Importo);
        // Results are deliberately ignored: a rejected line must not keep the
        // rest of the slip (and the document's closing) from the register.
        const auto send = [&link](const std::string& command) { (void)link.transmitCommand(command); };
        const auto line = [&send](const std::string& text) { send(slipPrintLine(text)); };

        send(kOpenNonFiscal);
        send(kNonFiscalHeader);
        send(kSpacing1);
        line("* ACQUISTO CON POS *");
        line("COMANDO : " + pos.Comando);

        if (pos.TransactionResult != "00") {
            line("ESITO : " + pos.Esito);
            line("DESCR. ERR       : " + pos.DescrErr);
            line("DESCR. ERR AGGI. : " + pos.DescrErrAggi);
            line("KODescription : " + pos.KODescription);
            line("TerminalId : " + pos.TerminalId);
            send(kSpacing2);
            send(kCloseNonFiscal);
            return;
        }

        line("KODescription : " + pos.KODescription);
        line("TerminalId : " + pos.TerminalId);
        line("AcquirerId : " + pos.AcquirerId);
        line("TransactionType : " + pos.TransactionType);
        line("TransactionResult : " + pos.TransactionResult);
        line("KODescription : " + pos.KODescription);
        line("CardType : " + pos.CardType);
        line("STAN : " + pos.STAN);
        line(" PAN : " + pos.PAN);
        line("AuthorizationCode : " + pos.AuthorizationCode);
        line("OperationNumber : " + pos.OperationNumber);
        line("DataTrs : " + pos.DataTrs);
        send(kSpacing1);
        line("IMPORTO EUR " + amount);
        send(kSpacing1);
        line("-----COPIA------.CLIENTE-----");
        send(kSpacing1);
        line("C/M  SIGNATURE      FIRMA");
        send(kSpacing2);
        line(std::string(30, '-'));
        send(kSpacing2);
        send(kCloseNonFiscal);
    } catch (const std::exception& e) {
        messages.showMessage(std::string("ERR StampaEsitoPOS = ") + e.what() + " Errl : 0");
    }
}

} // namespace tavor1
