#include "payment/OutcomeSlip.h"
#include "support/Recorders.h"
#include "support/ScriptedExchange.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

// The commands sent, joined by '|', each printed line shown as its text when
// its length field is right.
std::string shown(const std::vector<std::string>& sent)
{
    std::string out;
    for (const std::string& command : sent) {
        const bool line = command.starts_with("40031") && command.size() >= 7 &&
                          std::stoul(command.substr(5, 2)) == command.size() - 7;
        out += (out.empty() ? "" : "|") + (line ? command.substr(7) : command);
    }
    return out;
}
POSData approvedPayment()
{
    POSData pos;
    pos.Comando = "PAGA";
    pos.Importo = "1250";
    pos.Esito = "00";
    pos.TerminalId = "12345678";
    pos.AcquirerId = "0001";
    pos.TransactionType = "PAGAMENTO";
    pos.TransactionResult = "00";
    pos.CardType = "VISA";
    pos.STAN = "000123";
    pos.PAN = "****1234";
    pos.AuthorizationCode = "A1B2C3";
    pos.OperationNumber = "000045";
    pos.DataTrs = "05/12/2026 14:30";
    return pos;
}

TEST(OutcomeSlip, ApprovedLayoutInOrder)
{
    test::ScriptedExchange link;
    test::RecordingMessages messages;
    printPaymentSlip(link, approvedPayment(), messages);
    EXPECT_EQ(shown(link.sent),
              "40011|4002|700101|* ACQUISTO CON POS *|COMANDO : PAGA|KODescription : |TerminalId : 12345678|"
              "AcquirerId : 0001|TransactionType : PAGAMENTO|TransactionResult : 00|KODescription : |"
              "CardType : VISA|STAN : 000123| PAN : ****1234|AuthorizationCode : A1B2C3|OperationNumber : 000045|"
              "DataTrs : 05/12/2026 14:30|700101|IMPORTO EUR           12,50|700101|-----COPIA------.CLIENTE-----|"
              "700101|C/M  SIGNATURE      FIRMA|700102|------------------------------|700102|4004");
    EXPECT_TRUE(messages.texts.empty());
}

TEST(OutcomeSlip, ErrorLayoutForAPaymentThatWasNotExecuted)
{
    // A PAGA line without ",P": only Comando and Importo are known.
    POSData pos;
    pos.Comando = "PAGA";
    pos.Importo = "1250";
    test::ScriptedExchange link;
    test::RecordingMessages messages;
    printPaymentSlip(link, pos, messages);
    EXPECT_EQ(shown(link.sent), "40011|4002|700101|* ACQUISTO CON POS *|COMANDO : PAGA|ESITO : |DESCR. ERR       : |"
                                "DESCR. ERR AGGI. : |KODescription : |TerminalId : |700102|4004");
}

TEST(OutcomeSlip, NothingWithoutPaymentLineAndEverythingDespiteRejections)
{
    test::ScriptedExchange link;
    test::RecordingMessages messages;
    printPaymentSlip(link, POSData{}, messages);
    EXPECT_TRUE(link.sent.empty());

    test::ScriptedExchange rejecting;
    rejecting.answer("", {ExchangeResult::OtherRegisterError});
    printPaymentSlip(rejecting, approvedPayment(), messages);
    EXPECT_EQ(rejecting.sent.size(), 27u);
    EXPECT_EQ(rejecting.sent.back(), "4004");
}

TEST(OutcomeSlip, AmountFieldIsFifteenCharactersWithDecimalComma)
{
    EXPECT_EQ(slipAmountField("1250"), "          12,50");
    // Wider than the field: cut to it, whether it is a number too big to
    // convert or only a long one.
    EXPECT_EQ(slipAmountField(std::string(400, '9')), std::string(15, '9'));
    EXPECT_EQ(slipAmountField("123456789012345678"), "123456789012345");
}

} // namespace
} // namespace tavor1
