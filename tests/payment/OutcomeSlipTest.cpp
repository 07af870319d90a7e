#include "payment/OutcomeSlip.h"
#include "support/Recorders.h"
#include "support/ScriptedExchange.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

std::string printed(const std::string& text) { return slipPrintLine(text); }

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
    const std::vector<std::string> expected{
        "40011", "4002", "700101",
        printed("* ACQUISTO CON POS *"),
        printed("COMANDO : PAGA"),
        printed("KODescription : "),
        printed("TerminalId : 12345678"),
        printed("AcquirerId : 0001"),
        printed("TransactionType : PAGAMENTO"),
        printed("TransactionResult : 00"),
        printed("KODescription : "),
        printed("CardType : VISA"),
        printed("STAN : 000123"),
        printed(" PAN : ****1234"),
        printed("AuthorizationCode : A1B2C3"),
        printed("OperationNumber : 000045"),
        printed("DataTrs : 05/12/2026 14:30"),
        "700101",
        "4003127IMPORTO EUR           12,50",
        "700101",
        printed("-----COPIA------.CLIENTE-----"),
        "700101",
        printed("C/M  SIGNATURE      FIRMA"),
        "700102",
        printed("------------------------------"),
        "700102",
        "4004",
    };
    EXPECT_EQ(link.sent, expected);
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
    const std::vector<std::string> expected{
        "40011", "4002", "700101",
        printed("* ACQUISTO CON POS *"),
        printed("COMANDO : PAGA"),
        "4003108ESITO : ",
        printed("DESCR. ERR       : "),
        printed("DESCR. ERR AGGI. : "),
        printed("KODescription : "),
        printed("TerminalId : "),
        "700102",
        "4004",
    };
    EXPECT_EQ(link.sent, expected);
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

struct AmountCase {
    const char* name;
    std::string amountText;
    std::string field;
};

class SlipAmount : public ::testing::TestWithParam<AmountCase> {};

TEST_P(SlipAmount, FifteenCharactersWithDecimalComma)
{
    EXPECT_EQ(slipAmountField(GetParam().amountText), GetParam().field);
}

INSTANTIATE_TEST_SUITE_P(
    Importo, SlipAmount,
    ::testing::Values(AmountCase{"Cents", "1250", "          12,50"},
                      AmountCase{"Negative", "-500", "          -5,00"},
                      AmountCase{"BelowOneEuro", "7", "           0,07"},
                      AmountCase{"TrailingText", "1250abc", "          12,50"},
                      AmountCase{"NotANumber", "abc", "           0,00"},
                      AmountCase{"TooWide", std::string(400, '9'), std::string(15, '9')},
                      AmountCase{"LongerThanField", "123456789012345678", "123456789012345"}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace tavor1
