#include "LinkTestSupport.h"

#include "link/ConnectionCause.h"
#include "link/RegisterConnection.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

TEST(Connection, ARefusedConnectionReportsItsErrorAndGivesUp)
{
    QTcpServer closed;  // a loopback port on which nobody listens
    closed.listen(QHostAddress::LocalHost, 0);
    const std::uint16_t port = closed.serverPort();
    closed.close();
    test::RecordingTrace trace;
    RegisterConnection connection(trace, SystemClock::instance(), port, test::fastConnection());
    connection.setRemoteIP("127.0.0.1");
    QSignalSpy status(&connection, &RegisterConnection::statusText);

    EXPECT_FALSE(connection.connectAndWait(11));
    EXPECT_EQ(connection.state(), 0);
    EXPECT_TRUE(connection.socketFault());
    ASSERT_GE(status.count(), 1);
    EXPECT_TRUE(status.first().at(0).toString().startsWith("WS_Error n.10061 - "));
}

// The technician reads how long the driver waited, in whole seconds, rounded up.
TEST(Connection, ASilentAddressIsNamedByTheSecondsWaited)
{
    EXPECT_EQ(noAnswerCause(1500), "nessuna risposta entro 2 s");
    EXPECT_EQ(noAnswerCause(20000), "nessuna risposta entro 20 s");
}

TEST(Connection, TheResetLeavesTheConnectionClosedAndTheLampRed)
{
    test::ScriptedRegister reg;
    test::RecordingTrace trace;
    RegisterConnection connection(trace, SystemClock::instance(), reg.port(), test::fastConnection());
    connection.setRemoteIP("127.0.0.1");
    QSignalSpy lamp(&connection, &RegisterConnection::lampChanged);
    ASSERT_TRUE(connection.connectAndWait(100));
    EXPECT_TRUE(lamp.last().at(0).toBool());

    connection.resetConnection();
    EXPECT_EQ(connection.state(), 0);
    EXPECT_FALSE(lamp.last().at(0).toBool());
}

} // namespace
} // namespace tavor1
