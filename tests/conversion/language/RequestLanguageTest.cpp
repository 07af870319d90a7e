#include "conversion/language/LineNormaliser.h"
#include "conversion/language/RequestLanguage.h"
#include "conversion/language/VatRateTable.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tavor1 {
namespace {

struct ParamCase {
    const char* name;
    bool atStart;
    std::string line;
    std::string tag;
    bool invoiceTextMode;
    bool found;
    std::string value;
};

void PrintTo(const ParamCase& c, std::ostream* os) { *os << c.name; }

class GetParamTest : public testing::TestWithParam<ParamCase> {};

TEST_P(GetParamTest, FindsAndReads)
{
    const ParamCase& c = GetParam();
    std::string value = "previous";
    EXPECT_EQ(tavor1::getParam(c.atStart, c.line, c.tag, value, c.invoiceTextMode), c.found) << c.line;
    // A tag that is not found leaves the caller's value as it was.
    EXPECT_EQ(value, c.found ? c.value : "previous") << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GetParamTest,
    testing::Values(ParamCase{"AtColumnOne", true, "SALE,N2,P150;", "SALE", false, true, "LE"},
                    ParamCase{"AnyCase", true, "sale,n2", "SALE", false, true, "le"},
                    ParamCase{"NotAfterABlank", true, " SALE,N2", "SALE", false, false, ""},
                    ParamCase{"LongerThanFiveNeverAtStart", true, "PRNT,:X", "PRNT,:", false, false, ""},
                    ParamCase{"PrintTextFromColumnSeven", true, "PRNT,:CIAO,H1;", "PRNT,", false, true, "CIAO"},
                    ParamCase{"ValueAfterTag", false, "sale,n2,p150", ",N", false, true, "2"},
                    ParamCase{"ValueEndsAtSemicolon", false, "SALE,N2,P150;", ",P", false, true, "150"},
                    ParamCase{"FirstOccurrenceCounts", false, "SALE,N1,N2", ",N", false, true, "1"},
                    ParamCase{"EmptyValueAtEnd", false, "SALE,N", ",N", false, true, ""},
                    ParamCase{"Missing", false, "SALE,N2", ",Q", false, false, ""},
                    ParamCase{"TextEndsAtComma", false, "PLUD,N1,P100,:PANE,BIANCO", ",:", false, true, "PANE"},
                    ParamCase{"StornoValueStartsAtLetter", false, "SALE,N1,S1;", ",S", false, true, "S1"},
                    ParamCase{"LongerStornoTag", false, "SALE,N1,S1;", ",S1", false, true, "1"},
                    ParamCase{"ReturnValueIsLetter", false, "SALE,N1,R;", ",R", false, true, "R"},
                    ParamCase{"PointFromColumnOne", false, "12.5,X", ".", false, true, "12.5"},
                    ParamCase{"BinaryLine", false, std::string("SA\0LE,N\xff\x01;", 10), ",N", false, true,
                              std::string("\xff\x01", 2)},
                    ParamCase{"CommasKeptUpToAttribute", false, "PRNT,:VIA ROMA, 5,H1;", ",:", true, true,
                              "VIA ROMA, 5"},
                    ParamCase{"ToTheEndLessOneSemicolon", false, "PRNT,:A,B;;", ",:", true, true, "A,B;"},
                    ParamCase{"OnlyOnPrintLines", false, "PLUD,:A,B;", ",:", true, true, "A"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RequestLanguage, TenderNumberMustEndAfterItsDigits)
{
    EXPECT_TRUE(startsWithTender("TEND,N1;", 1));
    EXPECT_TRUE(startsWithTender("tend,n3,V100", 3));
    EXPECT_TRUE(startsWithTender("TEND,N2", 2));
    EXPECT_FALSE(startsWithTender("TEND,N12,V100;", 1));
}

TEST(RequestLanguage, TellsNumbersFromOtherValues)
{
    for (const char* yes : {"1250", " 12 ", "-3", "2.5", "2,5"})
        EXPECT_TRUE(isNumeric(yes)) << yes;
    for (const char* no : {"", " ", "12a", "1.2.3", "-", "."})
        EXPECT_FALSE(isNumeric(no)) << no;
}

TEST(RequestLanguage, SplitsLinesOnEveryKindOfLineEnd)
{
    EXPECT_EQ(splitRequestLines("A\r\nB\nC\rD"), (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(splitRequestLines("A\r\n\r\nB\r\n"), (std::vector<std::string>{"A", "", "B"}));
    EXPECT_TRUE(splitRequestLines("").empty());
}

TEST(VatRateTable, FileRoundTripKeepsFourRatesAndTheExemptOne)
{
    test::TempDir dir("tavor1 iva \xC3\xA0-");
    dir.write("TVVALIVA.txt", "400\r\n500\r\n1000\r\n2200\r\n3000\r\n");
    VatRateTable table;
    table.loadVatRates(dir.path());
    EXPECT_EQ(table.rates(), (std::array<int, 5>{400, 500, 1000, 2200, 0}));
    for (const auto& [rate, letter] : {std::pair{400, "A"}, {500, "B"}, {1000, "C"}, {2200, "D"}, {0, "E"}})
        EXPECT_EQ(table.vatCodeFromRate(rate).letter, letter) << rate;
    EXPECT_EQ(table.vatCodeFromRate(2100).letter, "");
    EXPECT_EQ(table.vatCodeFromRate(2100).index, -1);

    table.setRate(1, 510);
    table.setRate(4, 99); // the exempt rate cannot be changed
    ASSERT_TRUE(table.saveVatRates(dir.path()));
    EXPECT_EQ(dir.read("TVVALIVA.txt"), "400\r\n510\r\n1000\r\n2200\r\n");
    VatRateTable again;
    again.loadVatRates(dir.path());
    EXPECT_EQ(again.rates(), (std::array<int, 5>{400, 510, 1000, 2200, 0}));
}

TEST(VatRateTable, BadFilesLeaveDefaultsOrSkipItems)
{
    test::TempDir dir;
    VatRateTable table;
    table.setRate(0, 1);
    table.loadVatRates(dir.path()); // no file: defaults again
    EXPECT_EQ(table.rate(0), 400);

    dir.write("TVVALIVA.txt", "abc\r\n 2 200 \r\n\"1000\",x,4a\r\n");
    table.loadVatRates(dir.path());
    EXPECT_EQ(table.rates(), (std::array<int, 5>{2200, 1000, 2200, 3600, 0}));

    dir.write("TVVALIVA.txt", std::string(3 << 20, '\xff') + "\n" + std::string(1000, '9') + "\n");
    table.loadVatRates(dir.path());
    EXPECT_EQ(table.rates(), VatRateTable::kDefaults);
}

// A line far longer than any field is cut in one pass, not part by part.
TEST(RequestLanguage, HugeLineNormalisesQuickly)
{
    const std::string huge = "PLUD,N1,P100,:" + std::string(100000, 'a') + "," + std::string(100000, ',');
    const auto start = std::chrono::steady_clock::now();
    const std::string out = normalizeRequestLine(huge);
    EXPECT_EQ(out, "PLUD,N1,P100,:" + std::string(30, 'A') + ";");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
} // namespace tavor1
