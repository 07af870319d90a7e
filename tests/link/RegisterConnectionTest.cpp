#include "LinkTestSupport.h"

#include "link/RegisterConnection.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

ConnectionTimings fastTimings()
{
    ConnectionTimings t;
    t.closePollMs = 20;
    t.restartPollMs = 20;
    t.showClosingMs = 20;
    t.connectPollMs = 20;
    t.resetHoldMs = 50;
    return t;
}

// A loopback port on which nobody listens.
std::uint16_t closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const std::uint16_t port = server.serverPort();
    server.close();
    return port;
}

TEST(Connection, ARefusedConnectionReportsItsErrorAndGivesUpAfterItsPolls)
{
    test::RecordingTrace trace;
    RegisterConnection connection(trace, SystemClock::instance(), closedPort(), fastTimings());
    connection.setRemoteIP("127.0.0.1");
    QSignalSpy status(&connection, &RegisterConnection::statusText);
    QSignalSpy lamp(&connection, &RegisterConnection::lampChanged);

    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(connection.ConnectAndWait(11));
    EXPECT_GE(elapsed.elapsed(), 11 * 20 - 40) << "every poll is waited out";
    EXPECT_EQ(connection.State(), 0);
    EXPECT_TRUE(connection.SocketFault());
    EXPECT_FALSE(connection.ConnectionLost());
    ASSERT_GE(status.count(), 1);
    EXPECT_TRUE(status.first().at(0).toString().startsWith("WS_Error n.10061 - "));
    ASSERT_GE(lamp.count(), 1);
    EXPECT_FALSE(lamp.last().at(0).toBool()) << "red after the close";
}

TEST(Connection, WithoutAnAddressNothingIsTried)
{
    test::RecordingTrace trace;
    RegisterConnection connection(trace, SystemClock::instance(), closedPort(), fastTimings());
    EXPECT_FALSE(connection.ConnectAndWait(3));
    EXPECT_FALSE(connection.SocketFault());
}

TEST(Connection, ConnectsShowsTheLampAndTheResetLeavesItClosed)
{
    test::ScriptedRegister reg;
    test::RecordingTrace trace;
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    RegisterConnection connection(trace, clock, reg.port(), fastTimings());
    connection.setRemoteIP("127.0.0.1");
    QSignalSpy lamp(&connection, &RegisterConnection::lampChanged);

    ASSERT_TRUE(connection.ConnectAndWait(100));
    EXPECT_EQ(connection.State(), 7);
    ASSERT_EQ(lamp.count(), 1);
    EXPECT_TRUE(lamp.first().at(0).toBool());
    EXPECT_EQ(trace.lines.back(), "20240105_143012:  --> Connection OK");

    QSignalSpy caption(&connection, &RegisterConnection::resetCaption);
    connection.resetConnection();
    EXPECT_EQ(connection.State(), 0);
    EXPECT_FALSE(lamp.last().at(0).toBool());
    ASSERT_EQ(caption.count(), 1);
    EXPECT_EQ(caption.first().at(0).toString(), "In Chiusura ...");
}

TEST(Connection, AResetDuringTheConnectionWaitEndsIt)
{
    test::RecordingTrace trace;
    RegisterConnection connection(trace, SystemClock::instance(), closedPort(), fastTimings());
    connection.setRemoteIP("127.0.0.1");
    connection.setResetRequested(true);
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(connection.ConnectAndWait(1000));
    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_FALSE(connection.ResetRequested()) << "cleared by the wait it ended";
}

} // namespace
} // namespace tavor1
