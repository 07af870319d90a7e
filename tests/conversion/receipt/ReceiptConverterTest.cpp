#include "conversion/receipt/ReceiptConverter.h"
#include "conversion/language/RequestLanguage.h"
#include "support/Recorders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

namespace tavor1 {
namespace {

using test::joined;
using Lines = std::vector<std::string>;

const std::string kClear = "7007" + std::string(40, ' ');

const auto pad = [](const std::string& text, std::size_t width) {
    return (text + std::string(width, ' ')).substr(0, width);
};

// A display line: name in `nameWidth`, the amount mark and amount right-aligned
// in the rest, 40 characters in all. Articles name in 22, payments in 20.
const auto shown = [](const std::string& name, const std::string& amount, std::size_t nameWidth = 22) {
    return "7007" + pad(name, nameWidth) + std::string(38 - nameWidth - amount.size(), ' ') + "\x7f " + amount;
};

const auto shownPaid = [](const std::string& name, const std::string& amount) { return shown(name, amount, 20); };
// A display line of text alone.
const auto display = [](const std::string& text) { return "7007" + pad(text, 40); };
const auto article = [](const char* message, const char* dept, const std::string& name, const char* amount9) {
    return std::string(message) + dept + "22" + pad(name, 22) + amount9;
};
// An article of department 1 ("REPARTO 1") sold with `message`.
const auto dept1 = [](const char* message, const char* amount9) {
    return article(message, "01", "REPARTO 1", amount9);
};
// A discount or surcharge command: message, description, amount.
const auto adjustment = [](const char* message, const std::string& name, const char* amount9) {
    return std::string(message) + "22" + pad(name, 22) + amount9;
};
// A discount or surcharge on the display: description, then percent or amount.
const auto shownAdjustment = [](const std::string& name, const char* tail) { return display(pad(name, 22) + tail); };
// The commands expected after the initial display clear, one argument each.
const auto F = [](const auto&... frames) { return Lines{std::string(frames)...}; };
// Request lines written one after the other, separated by '|'.
const auto requestLines = [](std::string text) {
    std::replace(text.begin(), text.end(), '|', '\n');
    return splitRequestLines(text);
};

using Setup = std::function<void(ConversionContext&)>;

struct Case {
    const char* name;
    std::string request;
    Lines expected = {};
    Setup setup = nullptr;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ConversionTable : public ::testing::TestWithParam<Case> {};

TEST_P(ConversionTable, GivesTheCommandList)
{
    const Case& c = GetParam();
    ConversionContext ctx;
    if (c.setup) c.setup(ctx);
    ConversionResult result;
    ASSERT_EQ(convertRequestLines(requestLines(c.request), ctx, result), 0) << result.failureReason;
    Lines expected{kClear};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(result.commands, expected) << "got:\n" << joined(result.commands);
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

const std::string kSale100 = dept1("31011", "000000100");
const std::string kSale1000 = dept1("31011", "000001000");
const std::string kShow1000 = shown("REPARTO 1", "10,00");
const std::string kShow100 = shown("REPARTO 1", "1,00");
const std::string kStorno100 = shown("STORNO", "1,00");
const std::string kDiscount10 = "SCONTO ART 10.00%";
const std::string kCash0 = "300408CONTANTI000000000";
const std::string kCash100 = "300408CONTANTI000000100";

const Setup kNoDisplay = [](ConversionContext& c) { c.options.chkDisableDisplay = true; };
const Setup kInvertOnReturn = [](ConversionContext& c) { c.options.chbInversioneScontiSuReso = true; };
const Setup kExtendedPayments = [](ConversionContext& c) { c.options.chbPagamentiEstesi = true; };
const Setup kRT = [](ConversionContext& c) { c.facts.registerIsRT = true; };
const Setup kOwnRT = [](ConversionContext& c) {
    c.facts.registerIsRT = true;
    c.facts.serialNumber = "99MEY012345";
};
const auto model = [](int code) -> Setup { return [code](ConversionContext& c) { c.facts.modelCode = code; }; };

INSTANTIATE_TEST_SUITE_P(
    Articles, ConversionTable,
    ::testing::Values(
        Case{"QuantityLineThenDisplayThenSale", "SALE,N3,P250,Q2",
             F("3002109 2 X 2,50", shown("REPARTO 3", "5,00"), article("31011", "03", "REPARTO 3", "000000500"),
               "1010")},
        Case{"QuantityOneAndNoDepartmentSellOnceInDepartmentOne", "SALE,P100,Q1", F(kShow100, kSale100, "1010")},
        Case{"DecimalQuantityHalfCentRoundsAwayFromZero", "SALE,N1,P3,Q0.5",
             F("3002113 0,500 X 0,03", shown("REPARTO 1", "0,02"), dept1("31011", "000000002"), "1010")},
        Case{"PludTextEndsAtComma", "PLUD,N2,P150,:PANE,BIANCO",
             F(shown("PANE", "1,50"), article("31011", "02", "PANE", "000000150"), "1010")},
        Case{"PludWithoutTextNamesItsDepartment", "PLUD,N4,P150",
             F(shown("REPARTO 4", "1,50"), article("31011", "04", "REPARTO 4", "000000150"), "1010")},
        Case{"SaleWithoutPriceHasNoAmountNorDisplay", "SALE,N1", F(dept1("31011", ""), "1010")},
        Case{"ReturnPrintsResoAndSells31019", "SALE,N1,P100,R",
             F("3002104RESO", shown("RESO", "1,00"), dept1("31019", "000000100"), "1010")},
        Case{"StornoKindsWinOverPlainStorno", "SALE,N1,P100,S1|SALE,N1,P100,S3|SALE,N1,P100,S",
             F("3002114STORNO ACCONTO", kStorno100, dept1("3101F", "000000100"), "3002114STORNO OMAGGIO", kStorno100,
               dept1("3101G", "000000100"), "3002106STORNO", kStorno100, dept1("31014", "000000100"), "1010")},
        Case{"NoDisplayWhenDisabled", "SALE,N1,P100|CASH,V100",
             F(kSale100, shownPaid("CONTANTI", "1,00"), kCash100, "3011", "70081"), kNoDisplay}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Adjustments, ConversionTable,
    ::testing::Values(
        Case{"EachPercentDiscountAppliesToTheLastAmount", "SALE,N1,P1000|DISC,%10|DISC,%10",
             F(kShow1000, kSale1000, shownAdjustment(kDiscount10, "10"),
               adjustment("3101301", kDiscount10, "000000100"), shownAdjustment(kDiscount10, "10"),
               adjustment("3101301", kDiscount10, "000000010"), "1010")},
        Case{"PercentRoundsHalfCentUp", "SALE,N1,P1245|MAGG,%10,:PIU",
             F(shown("REPARTO 1", "12,45"), dept1("31011", "000001245"), shownAdjustment("PIU", "10"),
               adjustment("3101201", "PIU", "000000125"), "1010")},
        Case{"DiscountInvertedOnceAfterReturn", "SALE,N1,P1000,R|DISC,%10|DISC,%10",
             F("3002104RESO", shown("RESO", "10,00"), dept1("31019", "000001000"),
               shownAdjustment("MAGG. ARTICOLO 10.00%", "10"),
               adjustment("3101201", "MAGG. ARTICOLO 10.00%", "000000100"), shownAdjustment(kDiscount10, "10"),
               adjustment("3101301", kDiscount10, "000000010"), "1010"),
             kInvertOnReturn},
        Case{"ValueAdjustmentsNotInvertedWithoutOption", "SALE,N1,P1000,R|COUP,V50|ADDI,V50",
             F("3002104RESO", shown("RESO", "10,00"), dept1("31019", "000001000"),
               shownAdjustment("SCONTO VALORE", "  \x7f 0,50"), adjustment("3101301", "SCONTO VALORE", "000000050"),
               shownAdjustment("MAGG. ART.", "   \x7f 0,50"), adjustment("3101201", "MAGG. ART.", "000000050"),
               "1010")},
        Case{"BareHeaderWithoutValue", "SALE,N1,P1000|DISC|COUP",
             F(kShow1000, kSale1000, "3101301", "3101301", "1010")},
        Case{"SubtotalAdjustmentsAndPercentDirectives", "ADDS,V100|COST|SUBT|DOST,%10,:PROMO|MOST,%5",
             F(shownAdjustment("MAGG. SBTL", "   \x7f 1,00"), adjustment("30012", "MAGG. SBTL", "000000100"), "30013",
               "3003", "DOST%10,PROMO", "MOST%5")}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    PrintAndDisplay, ConversionTable,
    ::testing::Values(
        Case{"ReceiptPrintLinesEndAtAttributeOrComma", "PRNT,:GRAZIE|PRNT,:BOLD,H1|PRNT,:ALTO,H2|PRNT,:TOT, IVA",
             F("3002106GRAZIE", "3002404BOLD", "3002204ALTO", "3002103TOT")},
        Case{"NonFiscalDocument", "OPNF|PRNT,:RIGA|CLNF", F("40011", "4002", "4003104RIGA", "4004")},
        Case{"OpnfClosesRunningReceipt", "SALE,N1,P100|OPNF|CLNF",
             F(kShow100, kSale100, "3011", "70081", "3013", "40011", "4002", "4004")},
        Case{"TrailerHeldUntilClosingAndCutAt32", "EXTL,:" + std::string(40, 'X') + "|SALE,N1,P100|CASH",
             F(kShow100, kSale100, display("CONTANTI"), kCash0, "3011", "3012132" + std::string(32, 'X'), "70081")},
        Case{"LogoAndNoDrawer", "SALE,N1,P100|CASH",
             F(kShow100, kSale100, display("CONTANTI"), kCash0, "3011", "3017011"),
             [](ConversionContext& c) {
                 c.options.CheckStampaLogo = true;
                 c.options.chbNoInviaApCassetto = true;
             }},
        // ",S" and ",R" inside an invoice text are text, not a storno or a return.
        Case{"InvoiceTextKeepsCommas", "OPFS,V100|PRNT,:ROSSI,SCALA B,RIF 2,H1|CLFS",
             F("400121000000100", "4003419ROSSI,SCALA B,RIF 2", "4003F19TOTALE FATTURE EURO000000100", "4006")},
        Case{"DisplayRowsJoined", "DISP,N1,:alto|DISP,N2,:basso", F(display(pad("ALTO", 20) + "BASSO"))},
        Case{"UpperRowAlone", "DISP,N1,:ALTO|SUBT", F(display("ALTO"), "3003")},
        Case{"LongUpperRowIsNotJoined", "DISP,N1,:" + std::string(25, 'A') + "|DISP,N2,:B",
             F(display(std::string(25, 'A')), display(std::string(20, ' ') + "B"))},
        Case{"OneLineCommands", "CLER,C123|OPEN|DEPO,V500|PREL,V0|LOTT,C[ABCD1234]|QRCO,:ABC123",
             F("3002103123", "70081", "7106D000000500", "301908ABCD1234", "3021605106ABC123")},
        Case{"BarCodes", "BARC,T4,H1,:12345|BARC,T15,:ABC|BARC,T2,:123|BARC,:999",
             F("3021425107{B12345", "3021605103ABC", "3021205103123")}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    PaymentsAndOneCommandRequests, ConversionTable,
    ::testing::Values(
        Case{"CashExtended", "SALE,N1,P100|CASH",
             F(kShow100, kSale100, display("CONTANTI"), "3007010008CONTANTI000000000", "3011", "70081"),
             kExtendedPayments},
        Case{"TenderRowsAndNumberedTender", "TEND,N2,V100|TEND,N3,V100|TEND,N5,V100|TEND,N31,V100",
             F(shownPaid("ASSEGNI", "1,00"), "300407ASSEGNI000000100", shownPaid("CARTA DI CREDITO", "1,00"),
               "300416CARTA DI CREDITO000000100", shownPaid("PAGAM. N.5", "1,00"), "300410PAGAM. N.5000000100")},
        Case{"NumberedTenderAndVoucherExtended", "TEND,N12,V100,:BONIFICO|TICK,V700,Q2",
             F(shownPaid("BONIFICO", "1,00"), "3007120008BONIFICO000000100", shownPaid("BUONO PASTO", "7,00"),
               "3007050211BUONO PASTO000000700"),
             kExtendedPayments},
        Case{"DebitCardWithoutAmount", "BANC", F(display("BANCOMAT"), "300408BANCOMAT000000000")},
        Case{"VoucherWithoutExtendedOnlyDisplays", "SALE,N1,P100|TICK,V100,Q2",
             F(kShow100, kSale100, shownPaid("BUONO PASTO", "1,00"), "3011", "70081")},
        // The tax code's print line stays where the host wrote it; its block
        // comes before the first payment as well.
        Case{"TaxCodePrintedAndHeldForItsBlock", "PRNT,:RSSMRA80A01H501U|FUNC,N39|SALE,N1,P100|CASH,V100",
             F("3002116RSSMRA80A01H501U", kShow100, kSale100, "3010105     ", "3010B16RSSMRA80A01H501U", "3010105     ",
               shownPaid("CONTANTI", "1,00"), kCash100, "3011", "70081"),
             model(3)},
        Case{"TaxCodeWithoutPaymentClosesWith700111", "PRNT,:12345678901|FUNC,N39|SALE,N1,P100",
             F("300211112345678901", kShow100, kSale100, "1010", "3010105     ", "3010F1112345678901", "700111"),
             model(2)},
        Case{"TaxCodeOnAModelWithoutItsBlockPrintsNothing", "PRNT,:12345678901|FUNC,N39|SALE,N1,P100",
             F(kShow100, kSale100, "1010"), model(1)},
        Case{"CreditNotRT", "CRED,V500,T2", F(shownPaid("CREDITO", "5,00"), "300507CREDITO000000500")},
        Case{"CreditRTByTypeUnknownIsGoods", "CRED,V500,T2|CRED,T5,:PROMO|CRED,T9,V100",
             F(shownPaid("NON RISCOSSO SERVIZI", "5,00"), "3007500020NON RISCOSSO SERVIZI000000500", "7007",
               "3007530005PROMO000000000", shownPaid("NON RISCOSSO BENI", "1,00"),
               "3007070017NON RISCOSSO BENI000000100"),
             kRT},
        // A request that sends only a display text, a report or a card
        // payment (its slip is printed after the list) is still a job.
        Case{"DisplayTextOnly", "DISP,N1,:BENVENUTI", F(display("BENVENUTI"))},
        Case{"ReportOnly", "FUNC,N1", F(display("RAPP. FISCALE : LETTURA"), "2003")},
        Case{"CardPaymentOnly", "PAGA,V1830,P0"}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Reports, ConversionTable,
    ::testing::Values(Case{"ResetReportAfterSalesHasNoClosing", "SALE,N1,P100|ZKEY|FUNC,N1",
                           F(kShow100, kSale100, display("RAPP. FISCALE : AZZERAMENTO"), "2002")},
                      Case{"ReadingAfterXkey", "ZKEY|XKEY|FUNC,N2|FUNC,N3",
                           F(display("RAPP. REPARTI : LETTURA"), "2103", display("LETT. FINANZIARIO"), "220302")},
                      Case{"ReceiptVoid", "SALE,N1,P100|FUNC,N25",
                           F(kShow100, kSale100, "3101817ANNULLO SCONTRINO000000000", "3011", "3013")},
                      Case{"Func39ReenablesClosing", "SALE,N1,P100|FUNC,N2|FUNC,N39|CASH",
                           F(kShow100, kSale100, display("RAPP. REPARTI : LETTURA"), "2103", display("CONTANTI"),
                             kCash0, "3011", "70081")},
                      Case{"ReprintOnlyAsLastLine", "RLPR|SUBT|RLPR", F("3003", "3013", "4007")}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    References, ConversionTable,
    ::testing::Values(Case{"ReturnOnOwnRegister", "NDCR,N00120034,>99MEY012345,D01022025|SALE,N1,P100,R|CASH,V100",
                           F("7101R00120034010220250", "7101R001200340102202581199MEY012345", kShow100, kSale100,
                             display("CONTANTI"), "3011", "70081"),
                           kOwnRT},
                      Case{"ReturnOfForeignDocument", "NDCR,N00120034,>88ABC000111,D01022025",
                           F("7101R001200340102202501188ABC000111", "7101R001200340102202511188ABC000111"), kOwnRT},
                      Case{"ReturnOfNonTelematicDocument", "NDCR,N00120034,>ND,D01022025",
                           F("7114R02ND01022025", "7101R00120034"), kOwnRT},
                      Case{"VoidOfOwnDocumentConvertsOnlyCash",
                           "DELD,N00120034,>99MEY012345,D01022025|SALE,N1,P100|CASH,V100",
                           F("7101A00120034010220258", "7101A00120034010220251", display("CONTANTI")), kOwnRT},
                      Case{"VoidOfPosDocument", "DELD,N00120034,>POS,D01022025", F("7114A03POS01022025"), kOwnRT},
                      Case{"ReturnWithoutRT", "NDCR,:RIF 12", F("7102600000", "3010P12" + pad("RIF 12", 12))}),
    caseName);

// Little-endian UTF-16 with its byte order mark, as Windows' Notepad saves it.
std::string utf16(const std::string& ascii)
{
    std::string out = "\xFF\xFE";
    for (const char c : ascii)
        out += std::string{c, '\0'};
    return out;
}

class ConversionFailure : public ::testing::TestWithParam<Case> { };

TEST_P(ConversionFailure, GivesNoCommandListAndSaysWhy)
{
    ConversionContext ctx;
    if (GetParam().setup)
        GetParam().setup(ctx);
    ConversionResult result;
    EXPECT_EQ(convertRequestLines(requestLines(GetParam().request), ctx, result), 1) << joined(result.commands);
    EXPECT_FALSE(result.failureReason.empty());
}

// When no line is a command nothing would be printed, yet the host would be
// told the document went through.
INSTANTIATE_TEST_SUITE_P(
    Requests, ConversionFailure,
    ::testing::Values(Case{"ReferenceNumberNotEightDigits", "NDCR,N0012003,>ND,D01022025", {}, kOwnRT},
                      Case{"ReferenceWithoutDate", "DELD,N00120034,>ND", {}, kOwnRT},
                      Case{"VoidWithoutRT", "DELD,N00120034,>ND,D01022025"},
                      Case{"PriceBeyondNineDigits", "SALE,N1,P1234567890"},
                      Case{"AmountOverflowsWithQuantity", "SALE,N1,P999999999,Q2"},
                      Case{"PaymentBeyondNineDigits", "SALE,N1,P100|CASH,V99999999999999999999999"},
                      Case{"DiscountWithoutArticle", "COUP,V100"}, Case{"DepartmentOutOfRange", "SALE,N150,P100"},
                      Case{"NoLineIsACommand", " SALE,N1,P100|ZKEY|NOTA DEL CASSIERE"},
                      Case{"Utf16", utf16("SALE,N1,P100\r\nCASH,V100\r\n")},
                      Case{"PaymentNotOnTheFirstLine", "ZKEY|PAGA,V100,P0"}),
    caseName);

TEST(ConversionResultFlags, RestFlagsAndNamesForTheTransmission)
{
    ConversionContext ctx;
    ConversionResult result;
    result.invoiceTextMode = true; // left from earlier in the job
    ASSERT_EQ(convertRequestLines({"SALE,N1,P100", "CASH,V50", "CHEQ", "TEND,N7,:BONIFICO"}, ctx, result), 0);
    EXPECT_TRUE(result.paymentSeen);
    EXPECT_FALSE(result.functionSeen);
    EXPECT_EQ(result.paymentTypeUsed, (std::array<bool, 4>{false, true, false, true})); // cash, cheque, card, other
    EXPECT_EQ(result.otherPaymentName, "BONIFICO");
    EXPECT_TRUE(result.invoiceTextMode);
}

TEST(ConversionResultFlags, PaymentAfterOwnVoidOnRTIsOnlyARest)
{
    ConversionContext ctx;
    kOwnRT(ctx);
    ConversionResult result;
    ASSERT_EQ(convertRequestLines({"DELD,N00120034,>ND,D01022025", "BANC,V100"}, ctx, result), 0);
    EXPECT_EQ(result.paymentTypeUsed, (std::array<bool, 4>{true, false, false, true})); // cash, cheque, card, other
    EXPECT_EQ(result.commands.back(), display("BANCOMAT"));
}

// Every command made of an overlong field still fits a register frame, its
// length field included.
TEST(ConversionOfLongFields, KeepsCommandsFramable)
{
    const std::string huge(100000, 'A');
    ConversionContext ctx;
    ConversionResult result;
    const std::string request = "PRNT,:" + huge + "|CLER,C" + std::string(100000, '9') + "|QRCO,:" + huge +
                                "|BARC,T4,:" + huge + "|DISP,N1,:" + huge;
    ASSERT_EQ(convertRequestLines(requestLines(request), ctx, result), 0) << result.failureReason;
    for (const auto& command : result.commands)
        EXPECT_LE(command.size(), 255u) << command.substr(0, 60);
}

} // namespace
} // namespace tavor1
