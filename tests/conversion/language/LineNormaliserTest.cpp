#include "conversion/language/LineNormaliser.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

std::string byte(int code) { return std::string(1, static_cast<char>(code)); }

std::string bytes(std::initializer_list<int> codes)
{
    std::string out;
    for (int code : codes)
        out += byte(code);
    return out;
}

// What both tables fold alike: Windows-1252 accented letters, and the DOS 850
// codes of é, à, ç, è, ì, ò, ù, £ (130..156), each folded wherever it stands.
TEST(FoldTables, FoldTheAccentedLettersOfBothCodePages)
{
    const std::string accented = bytes({128, 130, 133, 135, 138, 141, 149, 151, 156, 192, 193, 200, 201, 204, 205, 210,
                                        211, 217, 218, 224, 225, 232, 233, 236, 237, 242, 243, 245, 248, 249, 250});
    const std::string folded = "EeaceiouL"
                               "AAEEIIOOUU"
                               "aaeeiioo  uu";
    EXPECT_EQ(foldCommandText("x" + accented + "y" + accented), "x" + folded + "y" + folded);
    EXPECT_EQ(foldPrintText(accented + "x" + accented), folded + "x" + folded);
    // Each table's own rows.
    EXPECT_EQ(foldCommandText(bytes({136, 195, '&', 228, 196, 246, 214, 252, 220})), "eEeaeAEoeOEueUE");
    EXPECT_EQ(foldPrintText(bytes({176, 183})), ".A");
}

TEST(FoldTables, EachTableKeepsWhatOnlyTheOtherFolds)
{
    // The print table has no "&", no umlauts, no 136 or 195; tabs stay.
    for (int code : std::initializer_list<int>{'&', 228, 196, 246, 214, 252, 220, 136, 195, '\t'})
        EXPECT_EQ(foldPrintText(byte(code)), byte(code)) << code;
    // The command table has no 176 or 183; it drops tabs.
    EXPECT_EQ(foldCommandText(byte(176) + byte(183)), byte(176) + byte(183));
    EXPECT_EQ(foldCommandText("PA\tNE\t"), "PANE");
    // Characters of neither table pass through, NUL included.
    EXPECT_EQ(foldCommandText(std::string("a\0b", 3) + byte(255)), std::string("a\0b", 3) + byte(255));
}

TEST(FoldTables, CommandLinesAreUpperCasedBeforeFolding)
{
    // Upper-casing turns é into É and ü into Ü, which then fold to capitals;
    // "&" folds after upper-casing and so stays a small "e".
    EXPECT_EQ(parseRequestLine("PLUD,N1,:perch\xE9", 30), "PLUD,N1,:PERCHE;");
    EXPECT_EQ(parseRequestLine("PLUD,N1,:M\xFCller", 30), "PLUD,N1,:MUELLER;");
    EXPECT_EQ(parseRequestLine("PLUD,N1,:pane & vino", 30), "PLUD,N1,:PANE e VINO;");
    // The DOS 850 pound sign (156) is not turned into Windows' capital OE.
    EXPECT_EQ(parseRequestLine("PLUD,N1,:5 \x9C", 30), "PLUD,N1,:5 L;");
}

struct LineCase {
    const char* name;
    std::string line;
    int width;
    std::string expected;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

std::string caseName(const testing::TestParamInfo<LineCase>& info) { return info.param.name; }

class ParseRequestLineTest : public testing::TestWithParam<LineCase> { };
TEST_P(ParseRequestLineTest, Normalises)
{
    EXPECT_EQ(parseRequestLine(GetParam().line, GetParam().width), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseRequestLineTest,
    testing::Values(
        LineCase{"LowerCaseLine", "sale,n2,p150", 30, "SALE,N2,P150;"},
        LineCase{"BlankBeforeWordIsNoSale", " SALE,N2,P150", 30, " SAL,N2,P150;"},
        LineCase{"LongWordCut", "SUBTOTALE", 30, "SUBT;"}, LineCase{"EmptyLine", "", 30, ""},
        LineCase{"EmptyPartsVanish", "SALE,,N1,", 30, "SALE,N1;"},
        LineCase{"BlankPartVanishes", "SALE,  ,N1", 30, "SALE,N1;"},
        LineCase{"TerminatorKept", "CASH,V1000;", 30, "CASH,V1000;"},
        LineCase{"QuantityGetsThreeDecimals", "SALE,N3,P250,Q2.5", 30, "SALE,N3,P250,Q2.500;"},
        LineCase{"FurtherDecimalsCutNotRounded", "SALE,N1,P12.345,Q1.23456", 30, "SALE,N1,P12.34,Q1.234;"},
        LineCase{"WholeQuantityLosesPoint", "SALE,N1,P100,Q1.0", 30, "SALE,N1,P100,Q1;"},
        LineCase{"LeadingZerosGo", "SALE,N03,P0150", 30, "SALE,N3,P150;"},
        LineCase{"OnlyDigitsAndPointStay", "SALE,N1,P1a5-0", 30, "SALE,N1,P150;"},
        LineCase{"TooLargeToReadKeptAsWritten", "SALE,N1,P99999999999999999999999", 30,
                 "SALE,N1,P99999999999999999999999;"},
        LineCase{"EmptyValueIsOne", "SALE,Q,N1", 30, "SALE,Q1,N1;"},
        LineCase{"ReturnAndStornoStayBare", "SALE,N1,P100,R,S", 30, "SALE,N1,P100,R,S;"},
        LineCase{"CommaQuantityIsTwoParts", "SALE,N1,P100,Q2,5", 30, "SALE,N1,P100,Q2,51;"},
        LineCase{"PercentNotReRead", "DISC,%010.5", 30, "DISC,%010.5;"},
        LineCase{"PluCodeAsWritten", "PLUD,C[1],N2,P150", 30, "PLUD,C[1],N2,P150;"},
        LineCase{"IssuerAsWrittenDateDigits", "NDCR,N00010002,>vr1,D05-12-2026", 30, "NDCR,N00010002,>VR1,D05122026;"},
        LineCase{"VoidAsWritten", "DELD,N0001-0002,>nd,D05-12-2026", 30, "DELD,N0001-0002,>ND,D05-12-2026;"},
        LineCase{"TotaleNeverReachesTheReceipt", "PLUD,N1,P100,:Totale imponibile", 30,
                 "PLUD,N1,P100,:TOT.   IMPONIBILE;"},
        LineCase{"TextEndsAtComma", "PLUD,N1,P100,:PANE,BIANCO", 30, "PLUD,N1,P100,:PANE,B1;"},
        LineCase{"BareTextGetsABlank", "PLUD,N1,:", 30, "PLUD,N1,: ;"},
        LineCase{"SemicolonInsideText", "PLUD,N1,:A;B", 30, "PLUD,N1,:A;B"},
        LineCase{"ColonMakesAText", "READ,:C:\\DATI", 30, "READ,:C:\\DATI;"}),
    caseName);

class PrintLineTest : public testing::TestWithParam<LineCase> {};
TEST_P(PrintLineTest, Prepares)
{
    EXPECT_EQ(preparePrintLine(GetParam().line, GetParam().width), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    PrintLines, PrintLineTest,
    testing::Values(LineCase{"TextKeepsThirtyTwo", "PRNT,:" + std::string(40, 'x'), 32,
                             "PRNT,:" + std::string(32, 'x') + ";"},
                    LineCase{"EmptyTextGetsABlank", "PRNT,:;", 32, "PRNT,: ;"},
                    LineCase{"CaseAndCommasKept", "PRNT,:Caff\xE8, latte", 32, "PRNT,:Caffe, latte;"},
                    LineCase{"UnfoldedHighCharsMasked", "PRNT,:\xE4\xB0\xB7\x80\x81", 32, "PRNT,:..AE.;"},
                    LineCase{"LineWithoutTextUnchanged", "PRNT,H1,XYZ", 32, "PRNT,H1,XYZ"},
                    LineCase{"AttributeKept", "PRNT,:abc,H1;", 32, "PRNT,:abc,H1;"}),
    caseName);

class InvoicePrintLineTest : public testing::TestWithParam<LineCase> { };
TEST_P(InvoicePrintLineTest, NormalisesTheTextAsOne)
{
    EXPECT_EQ(normalizeInvoicePrintLine(GetParam().line, GetParam().width), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(InvoicePrintLines, InvoicePrintLineTest,
                         testing::Values(LineCase{"CommasStayText", "PRNT,:Via Roma, 5", 30, "PRNT,:VIA ROMA, 5;"},
                                         LineCase{"TextEndsAtAttribute", "prnt,:Via Roma, 5,h1;", 30,
                                                  "PRNT,:VIA ROMA, 5,H1;"},
                                         LineCase{"CutToTheWidthOfAnyLine", "PRNT,:" + std::string(40, 'a') + ";", 30,
                                                  "PRNT,:" + std::string(30, 'A') + ";"},
                                         LineCase{"FoldedAndTotaleKeptOff", "PRNT,:Totale caff\xE8 & t\xE8", 30,
                                                  "PRNT,:TOT.   CAFFE e TE;"}),
                         caseName);

TEST(NormalizeRequestLine, ChoosesTheNormalisationByCommandWord)
{
    EXPECT_EQ(normalizeRequestLine("read,N2,:c:\\x y,z"), "read,N2,:c:\\x y,z");
    EXPECT_EQ(normalizeRequestLine("prnt,:abc"), "prnt,:abc;");
    EXPECT_EQ(normalizeRequestLine("disp,n1,:" + std::string(45, 'd')), "DISP,N1,:" + std::string(40, 'D') + ";");
    EXPECT_EQ(normalizeRequestLine("PLUD,N1,:" + std::string(45, 'p')), "PLUD,N1,:" + std::string(30, 'P') + ";");
}

TEST(MaskHighChars, KeepsTheEuroSignAndMasksFrom129Up)
{
    EXPECT_EQ(maskHighChars("a\x80\x81\xFF"), "a\x80..");
}

} // namespace
} // namespace tavor1
