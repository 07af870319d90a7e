#include "protocol/FrameCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace tavor1 {
namespace {

using namespace std::string_literals;

TEST(FrameCodec, BuildsFramesWithTheirChecksum)
{
    // (48+53+48+49+49+48+52) % 100 = 47.
    EXPECT_EQ(BuildFrame(5, "1104"), "\x02" "0501104" "47" "\x03"s);
    // 0xE0 (a-grave) counts 224, not a negative char value.
    EXPECT_EQ(FrameChecksum("\xE0"), 24);
    EXPECT_FALSE(BuildFrame(1, std::string(252, 'A')).empty());
    EXPECT_TRUE(BuildFrame(1, std::string(253, 'A')).empty()) << "a body over 255 bytes is never framed";
}

TEST(FrameCodec, SequenceRunsThroughNinetyEightValues)
{
    int sequence = 0;
    for (int frame = 1; frame <= 98; ++frame)
        sequence = NextSequenceNumber(sequence);
    EXPECT_EQ(sequence, 0) << "the 98th frame after start-up carries 00";
    EXPECT_EQ(NextSequenceNumber(sequence), 1);
    EXPECT_EQ(NextSequenceNumber(96), 97);
}

TEST(FrameCodec, CutsThePayloadByTheColonRule)
{
    EXPECT_EQ(CutReplyPayload("\x06\x02" "05011040012" "47\x03"), "11040012");
    EXPECT_EQ(CutReplyPayload("\x06\x02" "1013 Rel.: 4" "47\x03"), "1013 Rel.: 4");
    EXPECT_FALSE(CutReplyPayload("\x06\x02" "0001" "\x03").has_value());
    EXPECT_FALSE(CutReplyPayload(":\x03").has_value());
}

struct PayloadRow {
    const char* name;
    std::string command;
    std::string payload;
    std::int16_t result;
    std::string registerError;
};

class ReplyTable : public ::testing::TestWithParam<PayloadRow> {};

TEST_P(ReplyTable, Classifies)
{
    const PayloadRow& row = GetParam();
    const ReplyVerdict verdict = ClassifyPayload(row.command, row.payload);
    EXPECT_EQ(verdict.result, row.result) << row.payload;
    EXPECT_EQ(verdict.registerError, row.registerError);
}

PayloadRow err(const char* name, const char* code, std::int16_t result)
{
    return {name, "3002", std::string("3002 xxERR") + code, result, code};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReplyTable,
    ::testing::Values(PayloadRow{"Echo", "1104", "11040012", 0, ""}, PayloadRow{"OtherNumber", "3011", "3013", 1, ""},
                      PayloadRow{"ShortPayload", "1104", "110", 1, ""},
                      PayloadRow{"State7101Two", "710101", "71012", -30, ""},
                      PayloadRow{"State7101NotAsked", "3011", "3011 71012", 0, ""},
                      err("Err09", "09", -2), err("Err12", "12", -31), err("Err16", "16", -4), err("Err20", "20", -8),
                      err("Err21", "21", -7), err("Err98", "98", -7), err("Err23", "23", -10), err("Err30", "30", -11),
                      err("Err31", "31", -12), err("Err37", "37", -5), err("Err51", "51", -3), err("Err99", "99", -99),
                      err("Err29", "29", -29), err("ErrOther", "44", -1), err("ErrCutShort", "1", -1)),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1
