#include "LinkTestSupport.h"

#include "protocol/Protocol.h"
#include "link/RegisterConnection.h"
#include "link/RegisterLink.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace tavor1 {
namespace {

using namespace std::string_literals;
using test::ScriptedRegister;

// A scripted register on a free loopback port, connected, with reply limits
// given by the test.
class Exchange : public ::testing::Test {
protected:
    void open(ExchangeTimings timings = {400, 400})
    {
        connection = std::make_unique<RegisterConnection>(trace, clock, reg.port(), test::fastConnection());
        connection->setRemoteIP("127.0.0.1");
        link = std::make_unique<RegisterLink>(*connection, trace, clock, timings);
        ASSERT_TRUE(connection->connectAndWait(100)) << connection->socket().errorString().toStdString();
        ASSERT_TRUE(test::waitUntil([&] { return reg.client() != nullptr; }));
        trace.lines.clear();
    }
    void SetUp() override { open(); }

    void replyWith(QByteArray bytes)
    {
        reg.onFrame = [bytes](const std::string&, const std::string&, QTcpSocket& client) { client.write(bytes); };
    }
    void echo()
    {
        reg.onFrame = [](const std::string& command, const std::string&, QTcpSocket& client) {
            client.write(ScriptedRegister::dataReply(command.substr(0, 4) + "00"));
        };
    }

    ScriptedRegister reg;
    test::RecordingTrace trace;
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    std::unique_ptr<RegisterConnection> connection;
    std::unique_ptr<RegisterLink> link;
};

TEST_F(Exchange, SendsTheFrameReadsThePayloadAndTracesBoth)
{
    replyWith("\x06\x02" "05011040012" "47\x03");
    link->setSequenceNumber(4);
    EXPECT_EQ(link->transmitCommand("1104"), ExchangeResult::Accepted);
    ASSERT_EQ(reg.frames.size(), 1u);
    EXPECT_EQ(reg.frames[0], "\x02" "0501104" "47" "\x03"s);
    EXPECT_EQ(link->replyData(), "11040012");
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"20240105_143012:  -->> \x02" "0501104" "47\x03"s,
                                                     "20240105_143012:  <-- \x06\x02" "05011040012" "47\x03"s}));
}

TEST_F(Exchange, JoinsALoneAckWithTheFrameThatFollowsAndAcknowledgesIt)
{
    reg.onFrame = [](const std::string&, const std::string&, QTcpSocket& client) {
        client.write(QByteArray(1, protocol::ACK));
        client.flush();
        QTimer::singleShot(100, &client, [&client] {
            client.write("\x02" "0001104");  // the frame comes in two pieces
            client.flush();
            QTimer::singleShot(30, &client, [&client] { client.write("0012" "47\x03"); });
        });
    };
    EXPECT_EQ(link->transmitCommand("1104"), ExchangeResult::Accepted);
    EXPECT_EQ(link->replyData(), "11040012");
    EXPECT_TRUE(test::waitUntil([&] { return reg.bareAcks == 1; }));
}

TEST_F(Exchange, NoUsableReplyNeverPassesOnThePreviousPayload)
{
    echo();
    ASSERT_EQ(link->transmitCommand("1009"), ExchangeResult::Accepted);
    replyWith(QByteArray(1, protocol::NAK));
    EXPECT_EQ(link->transmitCommand("1009"), ExchangeResult::NoReply);
    replyWith(QByteArray(1, protocol::ACK));  // and never the frame
    EXPECT_EQ(link->transmitCommand("1009"), ExchangeResult::NoReply);
    reg.onFrame = nullptr;
    QTimer::singleShot(20, [&] { link->setReplyTimedOut(); });  // the closing sequence's way out
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(link->transmitCommand("1009"), ExchangeResult::NoReply);
    EXPECT_LT(elapsed.elapsed(), 350);
    EXPECT_EQ(link->replyData(), "100900");
    EXPECT_EQ(reg.bareAcks, 0);
}

TEST_F(Exchange, RegisterErrorsSetTheCodeAndTheTrace)
{
    replyWith(ScriptedRegister::dataReply("3002ERR16"));
    EXPECT_EQ(link->transmitCommand("30021Penne"), ExchangeResult::PaperEnd);
    EXPECT_EQ(link->lastRegisterError(), "16");
    EXPECT_EQ(trace.lines.back(), "20240105_143012:  <-- " + ScriptedRegister::dataReply("3002ERR16").toStdString() + "|16");
    trace.lines.clear();
    replyWith(ScriptedRegister::dataReply("3002ERR21"));
    EXPECT_EQ(link->transmitCommand("30021Penne"), ExchangeResult::ReceiptOpen);
    EXPECT_EQ(trace.lines.size(), 1u) << "only the send line for a receipt already open";
}

TEST_F(Exchange, HostileRepliesNeverCrashOrGrowWithoutBound)
{
    echo();
    ASSERT_EQ(link->transmitCommand("1104"), ExchangeResult::Accepted);
    replyWith(QByteArray(1, protocol::ETX));
    EXPECT_EQ(link->transmitCommand("1104"), ExchangeResult::NoReply);
    EXPECT_EQ(link->replyData(), "110400") << "a reply too short to cut leaves the payload";
    replyWith(QByteArray(1 << 20, 'Z'));
    EXPECT_EQ(link->transmitCommand("1104"), ExchangeResult::NoReply);
    replyWith(QByteArray(1 << 20, 'Z') + '\x03');
    EXPECT_EQ(link->transmitCommand("1104"), ExchangeResult::NoReply);
    EXPECT_EQ(link->transmitCommand("3002" + std::string(300, 'A')), ExchangeResult::NoReply) << "too long to frame";
    echo();
    EXPECT_EQ(link->transmitCommand("1009"), ExchangeResult::Accepted) << "late garbage is not taken for a reply";
    EXPECT_EQ(link->replyData(), "100900");
}

TEST_F(Exchange, AnExchangeAskedForDuringAnotherIsRefusedAndLeavesItIntact)
{
    reg.onFrame = [](const std::string& command, const std::string&, QTcpSocket& client) {
        QTimer::singleShot(150, &client, [&client, command] {
            client.write(ScriptedRegister::dataReply(command.substr(0, 4) + "OK"));
        });
    };
    std::optional<ExchangeResult> nested;
    QTimer::singleShot(30, [&] {
        if (link->isBusy())
            nested = link->transmitCommand(protocol::msg::CancelLine);
    });
    EXPECT_EQ(link->transmitCommand("1104"), ExchangeResult::Accepted);
    EXPECT_EQ(nested, ExchangeResult::NoReply);
    EXPECT_EQ(link->replyData(), "1104OK");
    EXPECT_EQ(reg.frames.size(), 1u);
}

TEST_F(Exchange, ADroppedConnectionFailsFastUntilAConnectionWaitSucceeds)
{
    open(ExchangeTimings{20000, 20000});
    reg.onFrame = [](const std::string&, const std::string&, QTcpSocket& client) { client.close(); };
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(link->transmitCommand("1104"), ExchangeResult::SocketFailure);
    EXPECT_TRUE(connection->connectionLost());
    echo();
    EXPECT_EQ(link->transmitCommand("1009"), ExchangeResult::SocketFailure);
    EXPECT_EQ(link->transmitCommand("1009"), ExchangeResult::SocketFailure);
    EXPECT_LT(elapsed.elapsed(), 10000) << "no exchange waited out its 20 s limit";
    EXPECT_EQ(reg.frames.size(), 1u) << "nothing is sent on a closed connection";
    ASSERT_TRUE(connection->connectAndWait(100));
    EXPECT_EQ(link->transmitCommand("1009"), ExchangeResult::Accepted);
}

TEST_F(Exchange, AReplyThatCameBeforeTheCloseCounts)
{
    reg.onFrame = [](const std::string&, const std::string&, QTcpSocket& client) {
        client.write(ScriptedRegister::dataReply("3011OK"));
        client.flush();
        client.close();
    };
    EXPECT_EQ(link->transmitCommand("3011"), ExchangeResult::Accepted)
        << "the register took the closing; it must not be sent again";
    EXPECT_TRUE(test::waitUntil([&] { return connection->connectionLost(); }));
}

} // namespace
} // namespace tavor1
