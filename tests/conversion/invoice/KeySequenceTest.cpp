#include "conversion/invoice/KeySequence.h"
#include "platform/ByteFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tavor1 {
namespace {

struct StreamCase {
    const char* name;
    std::string stream;
    std::string lines; // the expected request lines, CR LF after each
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class KeyStreamTest : public testing::TestWithParam<StreamCase> {};

TEST_P(KeyStreamTest, WritesTheRequestLines)
{
    std::ostringstream out;
    convertKeySequence(GetParam().stream, out);
    EXPECT_EQ(out.str(), GetParam().lines) << GetParam().stream;
}

std::string streamName(const testing::TestParamInfo<StreamCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyStreamTest,
    testing::Values(
        StreamCase{"QuantityPriceDepartment", "3*150H1R", "SALE,N1,N1,Q3,P150;\r\n"},
        StreamCase{"QuantityOneNotWritten", "1*150H1R", "SALE,N1,N1,P150;\r\n"},
        StreamCase{"TextMakesAPluSale", "\"LATTE\"150H2R", "PLUD,C[1],N2,:LATTE,P150;\r\n"},
        StreamCase{"CommaInTextBecomesPoint", "\"A,B\"1R", "PLUD,C[1],N1,:A.B;\r\n"},
        StreamCase{"ReturnModifier", "9M150H1R", "SALE,N1,N1,P150,R;\r\n"},
        StreamCase{"CancelModifier", "0M150H1R", "SALE,N1,N1,P150,S;\r\n"},
        StreamCase{"DecimalQuantityAndBlanks", "1.5 * 200 H 3 R", "SALE,N3,N3,Q1.5,P200;\r\n"},
        StreamCase{"PluByCode", "2*123P", "PLUI,N123,Q2;\r\n"},
        StreamCase{"StateResetsAfterEachLine", "2*100H1R1R", "SALE,N1,N1,Q2,P100;\r\nSALE,N1,N1;\r\n"},
        StreamCase{"Cash", "1000H1T", "CASH,V1000;\r\n"}, StreamCase{"Cheque", "1000H2T", "CHEQ,V1000;\r\n"},
        StreamCase{"CardWithoutNumber", "1000H3T", "CARD,V1000;\r\n"},
        StreamCase{"OtherTender", "1000H5T", "TEND,N5,V1000;\r\n"},
        StreamCase{"TenderWithoutNumberDoesNothing", "1000HT", ""},
        StreamCase{"NoTenderLeavesPricesAsPrices", "0T150H7P", "PLUI,N7,P150;\r\n"},
        StreamCase{"Credit", "500H12M", "CRED;\r\n"}, StreamCase{"PercentDiscount", "10*1M", "DISC,%10;\r\n"},
        StreamCase{"SubtotalPercentDiscount", "10*2M", "SUBT;\r\nDOST,%10;\r\n"},
        StreamCase{"Recount", "13M", "RECO;\r\n"},
        StreamCase{"SubtotalPercentSurcharge", "5*6M", "SUBT;\r\nMOST,%5;\r\n"},
        StreamCase{"ValueDiscount", "50H3M", "COUP,V50;\r\n"},
        StreamCase{"SubtotalValueDiscount", "50H4M", "SUBT;\r\nCOST,V50;\r\n"},
        StreamCase{"SurchargeWithText", "\"EXTRA\"50H7M", "ADDI,:EXTRA,V50;\r\n"},
        StreamCase{"SubtotalAtOnce", "3*1=50H1R", "SUBT;\r\nSALE,N1,N1,Q3,P150;\r\n"},
        StreamCase{"SingleKeys", "ajJKcxyz",
                   "OPEN;\r\nOPNF;\r\nCLNF;\r\nCLEA;\r\nREGK;\r\nXKEY;\r\nMGRK;\r\nZKEY;\r\n"},
        StreamCase{"KeysAreCaseSensitive", "A", ""}, StreamCase{"PrintText", "\"GRAZIE\"@", "PRNT,:GRAZIE;\r\n"},
        StreamCase{"DisplayText", "\"CIAO\">", "DISP,N1,C2,:CIAO;\r\n"}, StreamCase{"Operator", "7O", "OPER,C7;\r\n"},
        StreamCase{"Function", "25F", "FUNC,N25;\r\n"}, StreamCase{"ClearLine", "12#", "CLER,C12;\r\n"},
        StreamCase{"TestBarcodes", "1Z2Z3Z4Z",
                   "BARC,T1,H0,1234567890123;\r\nBARC,T2,H0,1234567890123;\r\n"
                   "BARC,T4,H0,1234567890123;\"          ' CODE 39;\r\n"
                   "BARC,T4,H0,1234567890123;\"            ' CODE 128;\r\n"},
        StreamCase{"UnbalancedQuoteSwallowsTheRest", "\"OPEN a 1R", ""},
        StreamCase{"PendingKeysAtTheEndWriteNothing", "150H3*", ""}),
    streamName);

TEST(KeySequenceFile, JoinsLinesAndReplacesTheTarget)
{
    test::TempDir dir;
    const std::string source = dir.write("SR_DATI.001", "3*15\r\n0H1R\r\n1000H1T\r\n");
    const std::string target = dir.write("tempSL.txt", "stale\r\n");
    ASSERT_TRUE(convertKeySequenceFile(source, target));
    EXPECT_EQ(dir.read("tempSL.txt"), "SALE,N1,N1,Q3,P150;\r\nCASH,V1000;\r\n");
}

TEST(KeySequenceFile, MissingOrEmptySourceFailsAndLeavesNoWorkFile)
{
    test::TempDir dir;
    EXPECT_FALSE(convertKeySequenceFile(dir.file("SR_DATI.001"), dir.file("tempSL.txt")));
    dir.write("SR_DATI.002", "");
    EXPECT_FALSE(convertKeySequenceFile(dir.file("SR_DATI.002"), dir.file("tempSL.txt")));
    EXPECT_FALSE(dir.exists("tempSL.txt"));
}

TEST(KeySequenceFile, LargeNoiseConvertsInBoundedOutput)
{
    test::TempDir dir;
    std::string noise;
    for (int i = 0; i < 2'000'000; ++i)
        noise += static_cast<char>((i * 131) % 256);
    const std::string source = dir.write("SR_DATI.003", noise);
    ASSERT_TRUE(convertKeySequenceFile(source, dir.file("tempSL.txt")));
    const auto written = readFileBytes(dir.file("tempSL.txt"));
    ASSERT_TRUE(written.has_value());
    EXPECT_LT(written->size(), 8 * noise.size());
}

struct PathCase {
    const char* name;
    std::string line;
    int channel;
    std::string expected;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class ReadFilePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(ReadFilePathTest, Resolves)
{
    EXPECT_EQ(readFilePath(GetParam().line, "/dati", GetParam().channel), GetParam().expected);
}

// A name in the data directory, with the platform's separator.
std::string inDati(const char* name)
{
    return joinPath("/dati", name);
}

INSTANTIATE_TEST_SUITE_P(
    ReadLines, ReadFilePathTest,
    testing::Values(PathCase{"NoText", "READ,N2;", 1, inDati("DataReceived.txt")},
                    PathCase{"BlankText", "READ,:   ;", 1, inDati("DataReceived.txt")},
                    PathCase{"FolderWithoutExtension", "READ,:C:\\DATI\\OUT;", 1, "C:\\DATI\\OUT.001"},
                    PathCase{"FolderWithExtension", "READ,:C:\\DATI\\OUT.TXT;", 3, "C:\\DATI\\OUT.TXT"},
                    PathCase{"QuotedWithoutExtension", "READ,:\"C:\\DATI\\OUT\";", 2, "C:\\DATI\\OUT.002"},
                    PathCase{"BareNameWithoutExtension", "READ,:RISP", 4, inDati("RISP.004")},
                    PathCase{"PosixFolder", "READ,:/srv/out", 1, "/srv/out.001"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1
