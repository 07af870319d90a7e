#include "link/FrameCodec.h"
#include "link/Protocol.h"

#include <gtest/gtest.h>

#include <string>

namespace tavor1 {
namespace {

using namespace std::string_literals;

TEST(FrameCodec, BuildsTheFrameOfTheStatusExample)
{
    // Sequence 05, station 0, command 1104: (48+53+48+49+49+48+52) % 100 = 47.
    EXPECT_EQ(FrameChecksum("0501104"), 47);
    EXPECT_EQ(BuildFrame(5, "1104"), "\x02" "0501104" "47" "\x03"s);
}

TEST(FrameCodec, ChecksumCountsBytesAboveTheAsciiRange)
{
    // 0xE0 (a-grave in Windows-1252) counts 224, not a negative char value.
    EXPECT_EQ(FrameChecksum("\xE0"), 24);
    EXPECT_EQ(BuildFrame(1, "3002\xE0").substr(1, 8), "0103002\xE0"s);
}

TEST(FrameCodec, SequenceRunsThroughNinetyEightValues)
{
    EXPECT_EQ(NextSequenceNumber(0), 1);
    EXPECT_EQ(NextSequenceNumber(96), 97);
    EXPECT_EQ(NextSequenceNumber(97), 0);
    int sequence = 0;
    for (int frame = 1; frame <= 98; ++frame)
        sequence = NextSequenceNumber(sequence);
    EXPECT_EQ(sequence, 0) << "the 98th frame after start-up carries 00";
    EXPECT_EQ(NextSequenceNumber(sequence), 1);
}

TEST(FrameCodec, RefusesABodyLongerThanTheRegisterTakes)
{
    // Body = 2 sequence digits + station + command.
    EXPECT_FALSE(BuildFrame(1, std::string(252, 'A')).empty());
    EXPECT_TRUE(BuildFrame(1, std::string(253, 'A')).empty());
}

TEST(FrameCodec, ReplyCompletion)
{
    EXPECT_TRUE(IsReplyComplete("\x15"));
    EXPECT_FALSE(IsReplyComplete("\x15\x15")) << "only a lone NAK ends the wait";
    EXPECT_TRUE(IsReplyComplete("\x06"));
    EXPECT_TRUE(IsReplyComplete("xx\x03"));
    EXPECT_FALSE(IsReplyComplete("\x02" "0501104"));
    EXPECT_FALSE(IsReplyComplete(""));
}

TEST(FrameCodec, CutsThePayloadByTheColonRule)
{
    EXPECT_EQ(CutReplyPayload("\x06\x02" "05011040012" "47\x03"), "11040012");
    // With a colon anywhere only two bytes go in front.
    EXPECT_EQ(CutReplyPayload("\x06\x02" "1013 Rel.: 4" "47\x03"), "1013 Rel.: 4");
    EXPECT_EQ(CutReplyPayload("\x06\x02" "00000" "\x03"), "");
    EXPECT_FALSE(CutReplyPayload("\x06\x02" "0001" "\x03").has_value());
    EXPECT_FALSE(CutReplyPayload(":\x03").has_value());
    EXPECT_FALSE(CutReplyPayload("\x03").has_value());
}

struct ErrorRow {
    const char* name;
    std::string code;
    std::int16_t result;
};

class RegisterErrorTable : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(RegisterErrorTable, MapsTheCodeWhereverERRStands)
{
    const ErrorRow& row = GetParam();
    const ReplyVerdict verdict = ClassifyPayload("3002", "3002 xxERR" + row.code);
    EXPECT_EQ(verdict.result, row.result);
    EXPECT_EQ(verdict.registerError, row.code);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, RegisterErrorTable,
    ::testing::Values(ErrorRow{"PrintBufferFull", "09", -2}, ErrorRow{"RtDocumentNotFound", "12", -31},
                      ErrorRow{"PaperEnd", "16", -4}, ErrorRow{"NoAnswer", "20", -8},
                      ErrorRow{"ReceiptOpen", "21", -7}, ErrorRow{"ReceiptOpen98", "98", -7},
                      ErrorRow{"NegativeTotal", "23", -10}, ErrorRow{"JournalExhausted", "30", -11},
                      ErrorRow{"JournalNearlyFull", "31", -12}, ErrorRow{"CoverOpen", "37", -5},
                      ErrorRow{"FiscalMemoryFull", "51", -3}, ErrorRow{"OwnText", "99", -99},
                      ErrorRow{"NegativeVat", "29", -29}, ErrorRow{"Other", "44", -1},
                      ErrorRow{"CutShort", "1", -1}),
    [](const auto& info) { return std::string(info.param.name); });

struct PayloadRow {
    const char* name;
    std::string command;
    std::string payload;
    std::int16_t result;
};

class PayloadVerdicts : public ::testing::TestWithParam<PayloadRow> {};

TEST_P(PayloadVerdicts, Classifies)
{
    const PayloadRow& row = GetParam();
    EXPECT_EQ(ClassifyPayload(row.command, row.payload).result, row.result) << row.payload;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PayloadVerdicts,
    ::testing::Values(PayloadRow{"Echo", "1104", "11040012", 0},
                      PayloadRow{"EchoOfSubCodedCommand", "30021Penne", "3002", 0},
                      PayloadRow{"OtherNumber", "3011", "3013", 1},
                      PayloadRow{"ShortPayload", "1104", "110", 1},
                      PayloadRow{"EmptyPayload", "1104", "", 1},
                      PayloadRow{"State7101Two", "710101", "71012", -30},
                      PayloadRow{"State7101Other", "710101", "71011", 0},
                      PayloadRow{"State7101NotAsked", "3011", "3011 71012", 0},
                      PayloadRow{"ErrAtTheVeryEnd", "3011", "3011ERR", -1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1
