#include "paysim/PaySimOutcome.h"
#include "paysim/PaymentSimulator.h"
#include "support/EventLoop.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace tavor1::paysim {
namespace {

struct ParseCase {
    const char* name;
    const char* text;
    std::optional<Outcome> outcome;
    int delayMs;
};

class PaySimParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PaySimParse, ReadsTheCommandLineForm)
{
    const ParseCase& c = GetParam();
    const auto parsed = parseOutcome(c.text);
    ASSERT_EQ(parsed.has_value(), c.outcome.has_value());
    if (parsed) {
        EXPECT_EQ(parsed->outcome, *c.outcome);
        EXPECT_EQ(parsed->delayMs, c.delayMs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Results, PaySimParse,
    ::testing::Values(ParseCase{"Approved", "00", Outcome::Approved, 0},
                      ParseCase{"Declined", "05", Outcome::Declined, 0},
                      ParseCase{"Close", "close", Outcome::Close, 0},
                      ParseCase{"Slow", "slow:2500", Outcome::Slow, 2500},
                      ParseCase{"SlowWithoutDelay", "slow:", std::nullopt, 0},
                      ParseCase{"SlowNegative", "slow:-5", std::nullopt, 0},
                      ParseCase{"SlowTrailingText", "slow:10ms", std::nullopt, 0},
                      ParseCase{"OtherCode", "07", std::nullopt, 0}),
    [](const auto& info) { return info.param.name; });

class PaySimServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(simulator.start(0), 0);
        socket.connectToHost(QHostAddress::LocalHost, simulator.port());
        ASSERT_TRUE(socket.waitForConnected(5000)) << socket.errorString().toStdString();
    }

    // Sends one request and collects what comes back until the reply is
    // complete or the connection ends.
    QByteArray exchange(const QByteArray& path, const QByteArray& headers = {})
    {
        socket.write("GET " + path + " HTTP/1.1\r\nHost: localhost\r\n" + headers + "\r\n");
        QByteArray received;
        // The simulator lives on this thread: wait by running the event loop.
        QSignalSpy arrived(&socket, &QTcpSocket::readyRead);
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && socket.state() == QAbstractSocket::ConnectedState) {
            arrived.wait(100);
            received += socket.readAll();
            const qsizetype end = received.indexOf("\r\n\r\n");
            if (end >= 0) {
                const qsizetype lengthAt = received.indexOf("Content-Length: ");
                const qsizetype length = received.mid(lengthAt + 16, received.indexOf("\r\n", lengthAt) - lengthAt - 16).toLongLong();
                if (received.size() >= end + 4 + length)
                    break;
            }
        }
        return received;
    }

    PaymentSimulator simulator;
    QTcpSocket socket;
};

TEST_F(PaySimServer, RecordsPathAndHeadersInOrder)
{
    exchange("/WebKalidorWS/api/Payment/-500/2", "Zeta: 1\r\nAlpha: 2\r\n");
    ASSERT_EQ(simulator.requests().size(), 1u);
    const RecordedRequest& seen = simulator.requests()[0];
    EXPECT_EQ(seen.method, "GET");
    EXPECT_EQ(seen.path, "/WebKalidorWS/api/Payment/-500/2");
    QList<QByteArray> names;
    for (const auto& header : seen.headers)
        names.append(header.first.toLower());
    EXPECT_EQ(names, (QList<QByteArray>{"host", "zeta", "alpha"}));
}

TEST_F(PaySimServer, OutcomeCanChangeBetweenRequests)
{
    const QByteArray approved = exchange("/WebKalidorWS/api/Payment/100");
    EXPECT_TRUE(approved.startsWith("HTTP/1.1 200")) << approved.toStdString();
    EXPECT_TRUE(approved.endsWith(simulator.approvedBody()));

    simulator.setOutcome(Outcome::Exception);
    const QByteArray failed = exchange("/WebKalidorWS/api/Payment/100");
    EXPECT_TRUE(failed.startsWith("HTTP/1.1 500")) << failed.toStdString();
    EXPECT_TRUE(failed.endsWith(PaymentSimulator::exceptionBody()));

    simulator.setOutcome(Outcome::Slow, 50);
    const QByteArray late = exchange("/WebKalidorWS/api/Payment/100");
    EXPECT_TRUE(late.endsWith(simulator.approvedBody())) << late.toStdString();
    EXPECT_EQ(simulator.requests().size(), 3u);
}

TEST_F(PaySimServer, CloseEndsTheConnectionWithoutAReply)
{
    simulator.setOutcome(Outcome::Close);
    QSignalSpy closed(&socket, &QTcpSocket::disconnected);
    const QByteArray received = exchange("/WebKalidorWS/api/Payment/100");
    EXPECT_TRUE(received.isEmpty()) << received.toStdString();
    EXPECT_TRUE(closed.count() > 0 || closed.wait(5000));
}

} // namespace
} // namespace tavor1::paysim
