#include "LinkTestSupport.h"

#include "link/Protocol.h"
#include "link/RegisterConnection.h"
#include "link/RegisterLink.h"
#include "platform/Clock.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace tavor1 {
namespace {

using namespace std::string_literals;
using test::ScriptedRegister;

constexpr char ACK = protocol::ACK;

// A register on a free loopback port, a connection to it and the exchange,
// with limits short enough that a time-out costs the test little.
class LinkFixture : public ::testing::Test {
protected:
    explicit LinkFixture(ExchangeTimings timings = {400, 400}) : m_timings(timings) {}

    void SetUp() override
    {
        ConnectionTimings fast;
        fast.closePollMs = 20;
        fast.restartPollMs = 20;
        fast.showClosingMs = 20;
        fast.connectPollMs = 20;
        fast.resetHoldMs = 50;
        connection = std::make_unique<RegisterConnection>(trace, clock, reg.port(), fast);
        connection->setRemoteIP("127.0.0.1");
        link = std::make_unique<RegisterLink>(*connection, trace, clock, m_timings);
        ASSERT_TRUE(connection->ConnectAndWait(100)) << connection->socket().errorString().toStdString();
        ASSERT_TRUE(test::waitUntil([&] { return reg.client() != nullptr; }));
        trace.lines.clear();
    }

    // The register answers every frame with a data reply echoing the command.
    void echoEverything()
    {
        reg.onFrame = [](const std::string& command, const std::string&, QTcpSocket& client) {
            client.write(ScriptedRegister::dataReply(command.substr(0, 4) + "00"));
        };
    }

    void replyWith(QByteArray bytes)
    {
        reg.onFrame = [bytes](const std::string&, const std::string&, QTcpSocket& client) { client.write(bytes); };
    }

    ScriptedRegister reg;
    test::RecordingTrace trace;
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    std::unique_ptr<RegisterConnection> connection;
    std::unique_ptr<RegisterLink> link;

private:
    ExchangeTimings m_timings;
};

using Exchange = LinkFixture;

TEST_F(Exchange, SendsTheFrameAndReadsTheEchoedPayload)
{
    replyWith("\x06\x02" "05011040012" "47\x03");
    link->setSequenceNumber(4);
    EXPECT_EQ(link->TrasmettiStringa("1104"), 0);
    ASSERT_EQ(reg.frames.size(), 1u);
    EXPECT_EQ(reg.frames[0], "\x02" "0501104" "47" "\x03"s);
    EXPECT_EQ(link->ReplyData(), "11040012");
    ASSERT_GE(trace.lines.size(), 2u);
    EXPECT_EQ(trace.lines[0], "20240105_143012:  -->> \x02" "0501104" "47\x03"s);
    EXPECT_EQ(trace.lines[1], "20240105_143012:  <-- \x06\x02" "05011040012" "47\x03"s);
    EXPECT_EQ(reg.bareAcks, 0) << "a reply that came whole is not acknowledged";
}

TEST_F(Exchange, SequenceWrapsAfterNinetySeven)
{
    echoEverything();
    link->setSequenceNumber(96);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(link->TrasmettiStringa("1009"), 0);
    ASSERT_EQ(reg.frames.size(), 3u);
    EXPECT_EQ(reg.frames[0].substr(1, 2), "97");
    EXPECT_EQ(reg.frames[1].substr(1, 2), "00");
    EXPECT_EQ(reg.frames[2].substr(1, 2), "01");
}

TEST_F(Exchange, JoinsALoneAckWithTheFrameThatFollowsAndAcknowledgesIt)
{
    reg.onFrame = [](const std::string&, const std::string&, QTcpSocket& client) {
        client.write(QByteArray(1, ACK));
        client.flush();
        QTimer::singleShot(100, &client, [&client] {
            // The frame itself arrives in two pieces.
            client.write("\x02" "0001104");
            client.flush();
            QTimer::singleShot(30, &client, [&client] { client.write("0012" "47\x03"); });
        });
    };
    EXPECT_EQ(link->TrasmettiStringa("1104"), 0);
    EXPECT_EQ(link->ReplyData(), "11040012");
    EXPECT_TRUE(test::waitUntil([&] { return reg.bareAcks == 1; })) << "one bare ACK is sent back";
}

TEST_F(Exchange, ALoneAckWithoutItsFrameGivesNoReply)
{
    echoEverything();
    ASSERT_EQ(link->TrasmettiStringa("1104"), 0);
    replyWith(QByteArray(1, ACK));
    EXPECT_EQ(link->TrasmettiStringa("1105"), 1);
    EXPECT_EQ(link->ReplyData(), "110400") << "the last real payload stays";
    EXPECT_EQ(reg.bareAcks, 0);
}

TEST_F(Exchange, NakAndSilenceGiveNoReply)
{
    echoEverything();
    ASSERT_EQ(link->TrasmettiStringa("1009"), 0);
    replyWith(QByteArray(1, protocol::NAK));
    EXPECT_EQ(link->TrasmettiStringa("1009"), 1);
    reg.onFrame = nullptr;
    EXPECT_EQ(link->TrasmettiStringa("1009"), 1) << "a time-out never passes on the previous echo";
    EXPECT_EQ(link->ReplyData(), "100900");
}

TEST_F(Exchange, RegisterErrorsSetTheCodeAndTheTrace)
{
    replyWith(ScriptedRegister::dataReply("3002ERR16"));
    EXPECT_EQ(link->TrasmettiStringa("30021Penne"), -4);
    EXPECT_EQ(link->LastRegisterError(), "16");
    EXPECT_EQ(trace.lines.back(), "20240105_143012:  <-- " + ScriptedRegister::dataReply("3002ERR16").toStdString() + "|16");

    trace.lines.clear();
    replyWith(ScriptedRegister::dataReply("3002ERR21"));
    EXPECT_EQ(link->TrasmettiStringa("30021Penne"), -7);
    EXPECT_EQ(trace.lines.size(), 1u) << "only the send line for a receipt already open";

    echoEverything();
    EXPECT_EQ(link->TrasmettiStringa("1009"), 0);
    EXPECT_EQ(link->LastRegisterError(), "") << "cleared by every exchange";
}

TEST_F(Exchange, HostileRepliesNeverCrashOrGrowWithoutBound)
{
    echoEverything();
    ASSERT_EQ(link->TrasmettiStringa("1104"), 0);

    replyWith(QByteArray(1, protocol::ETX));
    EXPECT_EQ(link->TrasmettiStringa("1104"), 1);
    EXPECT_EQ(link->ReplyData(), "110400") << "a reply too short to cut leaves the payload";

    replyWith(QByteArray("\x06\x02" "000" "1104\0\0:x" "00\x03", 17));
    EXPECT_EQ(link->TrasmettiStringa("1104"), 1) << "the colon rule cuts two bytes in front";

    // A megabyte without ETX: bounded buffer, the wait ends by its limit.
    replyWith(QByteArray(1 << 20, 'Z'));
    EXPECT_EQ(link->TrasmettiStringa("1104"), 1);

    // A megabyte and then an ETX: ends on the ETX, rejected as garbage.
    replyWith(QByteArray(1 << 20, 'Z') + '\x03');
    EXPECT_EQ(link->TrasmettiStringa("1104"), 1);

    // The link is still sound afterwards (late garbage is not taken for a reply).
    echoEverything();
    EXPECT_EQ(link->TrasmettiStringa("1009"), 0);
    EXPECT_EQ(link->ReplyData(), "100900");
}

TEST_F(Exchange, ACommandTooLongToFrameIsNotSent)
{
    EXPECT_EQ(link->TrasmettiStringa("3002" + std::string(300, 'A')), 1);
    test::waitUntil([] { return false; }, 50);  // give a stray frame the time to arrive
    EXPECT_TRUE(reg.frames.empty());
    EXPECT_NE(trace.lines.back().find(" ERRORE: "), std::string::npos);
}

TEST_F(Exchange, AnExchangeAskedForDuringAnotherIsRefusedAndLeavesItIntact)
{
    reg.onFrame = [](const std::string& command, const std::string&, QTcpSocket& client) {
        QTimer::singleShot(150, &client, [&client, command] {
            client.write(ScriptedRegister::dataReply(command.substr(0, 4) + "OK"));
        });
    };
    int nestedResult = 99;
    bool nestedBusy = false;
    // A "button" pressed while the job's exchange waits.
    QTimer::singleShot(30, [&] {
        nestedBusy = link->isBusy();
        nestedResult = link->TrasmettiStringa(protocol::msg::CancelLine);
    });
    EXPECT_EQ(link->TrasmettiStringa("1104"), 0);
    EXPECT_TRUE(nestedBusy);
    EXPECT_EQ(nestedResult, 1);
    EXPECT_EQ(link->ReplyData(), "1104OK");
    EXPECT_EQ(reg.frames.size(), 1u);
    EXPECT_FALSE(link->isBusy());
}

TEST_F(Exchange, ASetTimedOutEndsTheWaitAtOnce)
{
    QTimer::singleShot(50, [&] { link->setReplyTimedOut(); });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(link->TrasmettiStringa("1104"), 1);
    EXPECT_LT(elapsed.elapsed(), 350) << "ended before the 400 ms limit";
}

// A register that drops the connection: the exchange fails at once with -20,
// and so does every later one until a connection wait has seen it stand.
class DroppedConnection : public LinkFixture {
protected:
    DroppedConnection() : LinkFixture(ExchangeTimings{20000, 20000}) {}
};

TEST_F(DroppedConnection, FailsFastUntilAConnectionWaitSucceeds)
{
    reg.onFrame = [](const std::string&, const std::string&, QTcpSocket& client) { client.close(); };
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(link->TrasmettiStringa("1104"), -20);
    EXPECT_TRUE(connection->ConnectionLost());
    EXPECT_EQ(connection->State(), 0);

    echoEverything();
    EXPECT_EQ(link->TrasmettiStringa("1009"), -20);
    EXPECT_EQ(link->TrasmettiStringa("1009"), -20);
    EXPECT_LT(elapsed.elapsed(), 10000) << "no exchange waited out its 20 s limit";
    EXPECT_EQ(reg.frames.size(), 1u) << "nothing is sent on a closed connection";

    ASSERT_TRUE(connection->ConnectAndWait(100));
    EXPECT_FALSE(connection->ConnectionLost());
    EXPECT_EQ(link->TrasmettiStringa("1009"), 0);
}

TEST_F(DroppedConnection, AReplyThatCameBeforeTheCloseCounts)
{
    reg.onFrame = [](const std::string&, const std::string&, QTcpSocket& client) {
        client.write(ScriptedRegister::dataReply("3011OK"));
        client.flush();
        client.close();
    };
    EXPECT_EQ(link->TrasmettiStringa("3011"), 0) << "the register took the closing; it must not be sent again";
    EXPECT_TRUE(test::waitUntil([&] { return connection->ConnectionLost(); }));
    EXPECT_EQ(link->TrasmettiStringa("1009"), -20);
}

TEST(ExchangeWithoutConnection, FailsAtOnce)
{
    test::RecordingTrace trace;
    RegisterConnection connection(trace);
    RegisterLink link(connection, trace, SystemClock::instance(), ExchangeTimings{20000, 20000});
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(link.TrasmettiStringa("1009"), -20);
    EXPECT_LT(elapsed.elapsed(), 5000);
    ASSERT_EQ(trace.lines.size(), 3u);
    EXPECT_NE(trace.lines[1].find(" --> 101009"), std::string::npos) << trace.lines[1];
    EXPECT_NE(trace.lines[2].find("40006"), std::string::npos);
}

} // namespace
} // namespace tavor1
