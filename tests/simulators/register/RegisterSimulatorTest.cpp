// The simulated register seen from the wire: receipts, totals, the document
// rules and the counted faults, through a plain QTcpSocket on 127.0.0.1. The
// NAK, silence and late-frame faults are exercised through the driver in
// tests/transmission.

#include "simulators/register/RegisterSimulator.h"
#include "protocol/FrameCodec.h"
#include "protocol/Protocol.h"
#include "simulators/register/FaultModes.h"
#include "simulators/register/FrameReader.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tavor1::regsim {
namespace {

std::string pad(std::string text, std::size_t width)
{
    text.resize(width, ' ');
    return text;
}

std::string saleCommand(int cents, const std::string& department = "01")
{
    std::string amount = std::to_string(cents);
    return "31011" + department + "22" + pad("REPARTO " + std::to_string(std::stoi(department)), 22)
        + std::string(9 - amount.size(), '0') + amount;
}

// A driver in miniature, on the driver's own frame codec: frames commands
// with a running sequence number and collects what comes back.
class Client {
public:
    explicit Client(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.waitForConnected(5000);
    }

    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

    std::string frame(const std::string& command)
    {
        m_sequence = nextSequenceNumber(m_sequence);
        return buildFrame(m_sequence, command);
    }

    void write(const std::string& bytes)
    {
        m_socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        m_socket.flush();
    }

    // Everything received until a frame's ETX or a lone NAK.
    std::string awaitReply(int timeoutMs = 5000)
    {
        (void)QTest::qWaitFor(
            [&] {
                return pending() == std::string(1, protocol::NAK) ||
                       m_received.find(protocol::ETX) != std::string::npos;
            },
            timeoutMs);
        std::string reply = m_received;
        m_received.clear();
        return reply;
    }

    // The payload of the reply to command.
    std::string send(const std::string& command)
    {
        write(frame(command));
        const std::string reply = awaitReply();
        const std::optional<std::string> payload = cutReplyPayload(reply);
        if (reply.size() < 2 || reply[0] != protocol::ACK || reply[1] != protocol::STX || !payload)
            return "<no frame: " + reply + ">";
        return *payload;
    }

    const std::string& pending()
    {
        const QByteArray bytes = m_socket.readAll();
        m_received.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return m_received;
    }

private:
    QTcpSocket m_socket;
    int m_sequence = 0;
    std::string m_received;
};

class RegisterSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(simulator.listen(0)) << simulator.errorString().toStdString();
    }

    // One receipt of one article, paid in cash, closed and ended.
    void sellOne(Client& client, int cents)
    {
        ASSERT_EQ(client.send(saleCommand(cents)), "3101");
        ASSERT_EQ(client.send("300408CONTANTI000000000").substr(0, 5), "30041");
        ASSERT_EQ(client.send("3011"), "3011");
        ASSERT_EQ(client.send("3013"), "3013");
    }

    FixedClock clock{LocalDateTime{2026, 12, 5, 14, 30, 5}};
    RegisterSimulator simulator{RegisterConfig{}, clock};
};

TEST(FrameReaderTest, HoldsAtMostOneFrameOfBytes)
{
    FrameReader reader;
    const std::string flood(1 << 20, 'x');
    const auto frames = reader.feed(std::string(1, protocol::STX) + flood);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].valid);
    EXPECT_LE(reader.bufferedBytes(), FrameReader::kMaxFrameBytes);
    // A body over 255 characters is refused even when its checksum is right.
    const std::string body = "010" + std::string(253, '1');
    const int sum = registerChecksum(body);
    const auto overlong = reader.feed(std::string(1, protocol::STX) + body + std::to_string(sum / 10)
                                      + std::to_string(sum % 10) + protocol::ETX);
    ASSERT_EQ(overlong.size(), 1u);
    EXPECT_FALSE(overlong[0].valid);
}

TEST_F(RegisterSimulatorTest, ReceiptFlowNumbersEachReceiptOnce)
{
    Client client(simulator.port());
    EXPECT_EQ(client.send("1011"), "101100");
    ASSERT_EQ(client.send("3002109 2 X 2,50"), "3002");
    // The driver's test receipt undercounts this text by one; it still prints.
    ASSERT_EQ(client.send("3002106 STORNO"), "3002");
    ASSERT_EQ(client.send(saleCommand(500, "03")), "3101");
    EXPECT_EQ(client.send("1011"), "101101") << "a receipt is open";
    // Subtotal at 42..50 before any payment.
    EXPECT_EQ(client.send("1003").substr(41, 9), "000000500");

    const std::string payment = client.send("300408CONTANTI000002000");
    EXPECT_EQ(payment.substr(0, 5), "30041");
    EXPECT_EQ(payment.substr(5, 9), "000001500") << "change at 6..14";
    EXPECT_EQ(client.send("1003").substr(41, 9), "000002000") << "last payment at 42..50";
    ASSERT_EQ(client.send("3011"), "3011");
    ASSERT_EQ(client.send("301210906GRAZIE"), "ERR03");
    ASSERT_EQ(client.send("3012106GRAZIE"), "3012");
    EXPECT_EQ(simulator.roll().documentCount(), 1);
    EXPECT_FALSE(simulator.roll().documents()[0].sealed) << "the trailer is still printing";
    ASSERT_EQ(client.send("3013"), "3013");
    EXPECT_TRUE(simulator.roll().documents()[0].sealed);

    const std::string totals = client.send("1004");
    ASSERT_EQ(totals.size(), 92u);
    EXPECT_EQ(totals.substr(4, 4), "0001");
    EXPECT_EQ(totals.substr(8, 9), "000000500");
    EXPECT_EQ(client.send("1001"), "1001051226143005");

    sellOne(client, 250);
    EXPECT_EQ(client.send("1004").substr(4, 4), "0002");
    EXPECT_EQ(client.send("1105"), "11050000000750");
    EXPECT_EQ(simulator.roll().fiscalNumbers(), (std::vector<std::string>{"0001-0001", "0001-0002"}));
}

TEST_F(RegisterSimulatorTest, RefusesWhatARealRegisterRefuses)
{
    Client client(simulator.port());
    EXPECT_EQ(client.send("3011"), "ERR02") << "nothing to close";
    EXPECT_EQ(client.send("310130122" + pad("SCONTO", 22) + "000000100"), "ERR23") << "discount on nothing";
    ASSERT_EQ(client.send(saleCommand(300)), "3101");
    EXPECT_EQ(client.send("40011"), "ERR21");
    EXPECT_EQ(client.send("2002"), "ERR21");
    EXPECT_EQ(client.send("3001322" + pad("SCONTO SBTL", 22) + "000000400"), "ERR23");
    EXPECT_EQ(client.send("9999"), "ERR01");
    EXPECT_EQ(simulator.model().subtotal(), 300) << "refused lines change nothing";

    // A return on its own department leaves that department negative: an
    // RT register refuses to close, and the cancellation line voids it.
    ASSERT_EQ(client.send("310190204RESO000000100"), "3101");
    EXPECT_EQ(client.send("3011"), "ERR29");
    ASSERT_EQ(client.send(protocol::msg::CancelLine), "3001");
    EXPECT_EQ(client.send("1011"), "101100");
    EXPECT_EQ(simulator.roll().count(DocumentKind::CancelledReceipt), 1);
    EXPECT_TRUE(simulator.roll().fiscalNumbers().empty());
}

TEST_F(RegisterSimulatorTest, DailyClosingCountsAndZeroesTheDay)
{
    Client client(simulator.port());
    sellOne(client, 1000);
    ASSERT_EQ(client.send("2003"), "2003");
    EXPECT_EQ(client.send("1104"), "11040000000000");
    ASSERT_EQ(client.send("2002"), "2002");
    EXPECT_EQ(client.send("1104"), "11040001051226");
    const std::string totals = client.send("1004");
    EXPECT_EQ(totals, "1004" + std::string(88, '0'));
    EXPECT_EQ(client.send("1105"), "11050000001000") << "the grand total is never reset";
    sellOne(client, 100);
    EXPECT_EQ(simulator.roll().fiscalNumbers().back(), "0002-0001");
}

TEST_F(RegisterSimulatorTest, NonFiscalInvoiceAndReferencedDocuments)
{
    Client client(simulator.port());
    EXPECT_EQ(client.send("4003105CIAO!"), "ERR02") << "no document to print on";
    ASSERT_EQ(client.send("40011"), "4001");
    ASSERT_EQ(client.send("4002"), "4002");
    EXPECT_EQ(client.send("1011"), "101102");
    EXPECT_EQ(client.send(saleCommand(100)), "ERR98");
    ASSERT_EQ(client.send("4003120* ACQUISTO CON POS *"), "4003");
    ASSERT_EQ(client.send("4004"), "4004");

    ASSERT_EQ(client.send("400121000001500"), "4001");
    ASSERT_EQ(client.send("4003F19TOTALE FATTURE EURO000001500"), "4003");
    ASSERT_EQ(client.send("4006"), "4006");
    const std::string totals = client.send("1004");
    EXPECT_EQ(totals.substr(17, 4) + totals.substr(21, 9), "0001000001500") << "invoices at 18..30";
    EXPECT_EQ(totals.substr(43, 4), "0001") << "one non-fiscal document";

    // A return referring to an earlier receipt prints a return document.
    sellOne(client, 800);
    ASSERT_EQ(client.send("7101R00010001"), "71010");
    ASSERT_EQ(client.send(saleCommand(800)), "3101");
    ASSERT_EQ(client.send("3011"), "3011");
    ASSERT_EQ(client.send("3013"), "3013");
    // A void of the register's own receipt needs no articles.
    ASSERT_EQ(client.send("7101A000100018"), "71010");
    ASSERT_EQ(client.send("3013"), "3013");
    EXPECT_EQ(client.send("7101A000100018"), "71012") << "voided once only";
    const std::string after = client.send("1004");
    EXPECT_EQ(after.substr(4, 4), "0003");
    EXPECT_EQ(after.substr(8, 9), "000000800") << "sales only";
    EXPECT_EQ(after.substr(65, 9), "000000800") << "voids at 66..74";
    EXPECT_EQ(after.substr(74, 9), "000000800") << "returns at 75..83";
    EXPECT_EQ(simulator.roll().count(DocumentKind::ReturnReceipt), 1);
    EXPECT_EQ(simulator.roll().count(DocumentKind::VoidReceipt), 1);
    EXPECT_EQ(simulator.roll().fiscalNumbers(), (std::vector<std::string>{"0001-0001", "0001-0002", "0001-0003"}));
}

TEST_F(RegisterSimulatorTest, ErrorOnACommandOrOnTheNthFrame)
{
    Client client(simulator.port());
    simulator.failCommand("3101", err::JournalExhausted, 2);
    EXPECT_EQ(client.send(saleCommand(100)), "ERR30");
    EXPECT_EQ(client.send(saleCommand(100)), "ERR30");
    EXPECT_EQ(client.send(saleCommand(100)), "3101") << "the fault lapses after two";
    EXPECT_EQ(simulator.model().subtotal(), 100) << "refused commands are not carried out";

    // A warning is given after the command has been carried out.
    simulator.failCommand("3101", err::JournalNearlyFull);
    EXPECT_EQ(client.send(saleCommand(100)), "ERR31");
    EXPECT_EQ(simulator.model().subtotal(), 200);

    simulator.failNthFrame(2, err::FiscalMemoryFull);
    EXPECT_EQ(client.send("1009"), "100900");
    EXPECT_EQ(client.send("1009"), "ERR51");
    EXPECT_EQ(client.send("1009"), "100900");

    Fault own;
    own.command = "3011";
    own.code = err::OwnError;
    own.text = "STAMPANTE: GUASTO";
    simulator.addFault(own);
    EXPECT_EQ(client.send("3011"), "ERR99");
    EXPECT_EQ(client.send("1015"), "1015STAMPANTE. GUASTO") << "no ':' in a reply";
}

TEST_F(RegisterSimulatorTest, PaperEndLastsTheGivenPollsThenTheLineGoesThrough)
{
    Client client(simulator.port());
    ASSERT_EQ(client.send(saleCommand(100)), "3101");
    simulator.setPaperEnd(2);
    EXPECT_EQ(client.send(saleCommand(200)), "ERR16");
    EXPECT_EQ(client.send("7007" + std::string(40, ' ')), "7007") << "the display needs no paper";
    EXPECT_EQ(client.send("1009"), "100901");
    EXPECT_EQ(client.send("1009"), "100901");
    EXPECT_EQ(client.send("1009"), "100900");
    EXPECT_EQ(client.send(saleCommand(200)), "3101");
    EXPECT_EQ(simulator.model().subtotal(), 300);

    simulator.setCoverOpen(1);
    EXPECT_EQ(client.send("3011"), "ERR37");
    EXPECT_EQ(client.send("1009"), "100902");
    EXPECT_EQ(client.send("3011"), "3011");
}

TEST_F(RegisterSimulatorTest, DropsTheConnectionAfterNFrames)
{
    Client client(simulator.port());
    simulator.dropConnectionAfter(2);
    EXPECT_EQ(client.send("1009"), "100900");
    EXPECT_EQ(client.send("1009"), "100900");
    client.write(client.frame(saleCommand(100)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !client.connected(); }, 5000));
    EXPECT_EQ(simulator.model().documentState(), DocumentState::Idle);

    Client again(simulator.port());
    EXPECT_EQ(again.send("1009"), "100900") << "the register takes a new connection";
}

TEST_F(RegisterSimulatorTest, ARepeatedFrameIsAnsweredButNotPrintedTwice)
{
    Client client(simulator.port());
    const std::string sale = client.frame(saleCommand(100));
    client.write(sale);
    const std::string first = client.awaitReply();
    client.write(sale);
    EXPECT_EQ(client.awaitReply(), first);
    EXPECT_EQ(simulator.model().subtotal(), 100);
}

TEST_F(RegisterSimulatorTest, RollFileGetsEveryFinishedDocument)
{
    test::TempDir dir;
    simulator.setRollFile(dir.file("roll.txt"));
    Client client(simulator.port());
    sellOne(client, 100);
    ASSERT_EQ(client.send("2003"), "2003");
    const std::string roll = dir.read("roll.txt");
    EXPECT_EQ(roll, simulator.roll().text());
}

} // namespace
} // namespace tavor1::regsim
