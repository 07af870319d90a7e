#include "protocol/FrameCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace tavor1 {
namespace {

using namespace std::string_literals;

TEST(FrameCodec, BuildsFramesWithTheirChecksum)
{
    // (48+53+48+49+49+48+52) % 100 = 47.
    EXPECT_EQ(buildFrame(5, "1104"), "\x02"s + "0501104" + "47\x03");
    // 0xE0 (a-grave) counts 224, not a negative char value.
    EXPECT_EQ(frameChecksum("\xE0"), 24);
    EXPECT_FALSE(buildFrame(1, std::string(252, 'A')).empty());
    EXPECT_TRUE(buildFrame(1, std::string(253, 'A')).empty()) << "a body over 255 bytes is never framed";
}

TEST(FrameCodec, SequenceRunsThroughNinetyEightValues)
{
    int sequence = 0;
    for (int frame = 1; frame <= 98; ++frame)
        sequence = nextSequenceNumber(sequence);
    EXPECT_EQ(sequence, 0) << "the 98th frame after start-up carries 00";
    EXPECT_EQ(nextSequenceNumber(sequence), 1);
    EXPECT_EQ(nextSequenceNumber(96), 97);
}

TEST(FrameCodec, CutsThePayloadByTheColonRule)
{
    EXPECT_EQ(cutReplyPayload("\x06\x02"s + "05011040012" + "47\x03"), "11040012");
    EXPECT_EQ(cutReplyPayload("\x06\x02"s + "1013 Rel.: 4" + "47\x03"), "1013 Rel.: 4");
    EXPECT_FALSE(cutReplyPayload("\x06\x02"s + "0001" + "\x03").has_value());
    EXPECT_FALSE(cutReplyPayload(":\x03").has_value());
}

struct PayloadRow {
    const char* name;
    std::string command;
    std::string payload;
    ExchangeResult result;
    std::string registerError;
};

class ReplyTable : public ::testing::TestWithParam<PayloadRow> {};

TEST_P(ReplyTable, Classifies)
{
    const PayloadRow& row = GetParam();
    const ReplyVerdict verdict = classifyPayload(row.command, row.payload);
    EXPECT_EQ(verdict.result, row.result) << row.payload;
    EXPECT_EQ(verdict.registerError, row.registerError);
}

PayloadRow err(const char* name, const char* code, ExchangeResult result)
{
    return {name, "3002", std::string("3002 xxERR") + code, result, code};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReplyTable,
    ::testing::Values(
        PayloadRow{"Echo", "1104", "11040012", ExchangeResult::Accepted, ""},
        PayloadRow{"OtherNumber", "3011", "3013", ExchangeResult::NoReply, ""},
        PayloadRow{"ShortPayload", "1104", "110", ExchangeResult::NoReply, ""},
        PayloadRow{"State7101Two", "710101", "71012", ExchangeResult::DocumentNotModifiable, ""},
        PayloadRow{"State7101NotAsked", "3011", "3011 71012", ExchangeResult::Accepted, ""},
        err("Err09", "09", ExchangeResult::PrintBufferFull), err("Err12", "12", ExchangeResult::RtDocumentNotFound),
        err("Err16", "16", ExchangeResult::PaperEnd), err("Err20", "20", ExchangeResult::NoAnswer),
        err("Err21", "21", ExchangeResult::ReceiptOpen), err("Err98", "98", ExchangeResult::ReceiptOpen),
        err("Err23", "23", ExchangeResult::NegativeTotal), err("Err30", "30", ExchangeResult::JournalExhausted),
        err("Err31", "31", ExchangeResult::JournalNearlyFull), err("Err37", "37", ExchangeResult::CoverOpen),
        err("Err51", "51", ExchangeResult::FiscalMemoryFull), err("Err99", "99", ExchangeResult::RegisterOwnError),
        err("Err29", "29", ExchangeResult::NegativeVat), err("ErrOther", "44", ExchangeResult::OtherRegisterError),
        err("ErrCutShort", "1", ExchangeResult::OtherRegisterError)),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1
