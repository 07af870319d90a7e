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
#include <vector>

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
    return "31011" + department + "22" + pad("REPARTO " + std::to_string(std::stoi(department)), 22) +
           std::string(9 - amount.size(), '0') + amount;
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

const std::string kPaidInFull = "30041" + std::string(18, '0');

class RegisterSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(listening) << simulator.errorString().toStdString(); }

    // Sends the commands in turn; each step is "command -> the whole reply".
    void expectReplies(const std::vector<std::string>& steps)
    {
        for (const std::string& step : steps) {
            const std::size_t arrow = step.rfind(" -> ");
            ASSERT_NE(arrow, std::string::npos) << step;
            ASSERT_EQ(client.send(step.substr(0, arrow)), step.substr(arrow + 4)) << "to " << step.substr(0, arrow);
        }
    }

    // One receipt of one article, paid in cash, closed and ended.
    void sellOne(int cents)
    {
        expectReplies({saleCommand(cents) + " -> 3101", "300408CONTANTI000000000 -> " + kPaidInFull, "3011 -> 3011",
                       "3013 -> 3013"});
    }

    FixedClock clock{LocalDateTime{2026, 12, 5, 14, 30, 5}};
    RegisterSimulator simulator{RegisterConfig{}, clock};
    bool listening = simulator.listen(0);
    Client client{simulator.port()};
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
    // The driver's test receipt undercounts "STORNO" by one; it still prints.
    // "101101": a receipt is open.
    expectReplies({"1011 -> 101100", "3002109 2 X 2,50 -> 3002", "3002106 STORNO -> 3002",
                   saleCommand(500, "03") + " -> 3101", "1011 -> 101101"});
    // Subtotal at 42..50 before any payment, the last payment after it.
    EXPECT_EQ(client.send("1003").substr(41, 9), "000000500");
    // Paid in full, 15,00 change at 6..14, nothing due.
    EXPECT_EQ(client.send("300408CONTANTI000002000"), "30041000001500000000000");
    EXPECT_EQ(client.send("1003").substr(41, 9), "000002000");
    expectReplies({"3011 -> 3011", "301210906GRAZIE -> ERR03", "3012106GRAZIE -> 3012"});
    EXPECT_EQ(simulator.roll().documentCount(), 1);
    EXPECT_FALSE(simulator.roll().documents()[0].sealed) << "the trailer is still printing";
    ASSERT_EQ(client.send("3013"), "3013");
    EXPECT_TRUE(simulator.roll().documents()[0].sealed);

    const std::string totals = client.send("1004");
    ASSERT_EQ(totals.size(), 92u);
    EXPECT_EQ(totals.substr(4, 13), "0001000000500");
    EXPECT_EQ(client.send("1001"), "1001051226143005");

    sellOne(250);
    EXPECT_EQ(client.send("1004").substr(4, 4), "0002");
    EXPECT_EQ(client.send("1105"), "11050000000750");
    EXPECT_EQ(simulator.roll().fiscalNumbers(), (std::vector<std::string>{"0001-0001", "0001-0002"}));
}

TEST_F(RegisterSimulatorTest, RefusesWhatARealRegisterRefuses)
{
    // Nothing to close, a discount on nothing; then, in a receipt, a
    // non-fiscal document, a closing, a discount over the subtotal, an unknown
    // command.
    expectReplies({"3011 -> ERR02", "310130122" + pad("SCONTO", 22) + "000000100 -> ERR23",
                   saleCommand(300) + " -> 3101", "40011 -> ERR21", "2002 -> ERR21",
                   "3001322" + pad("SCONTO SBTL", 22) + "000000400 -> ERR23", "9999 -> ERR01"});
    EXPECT_EQ(simulator.model().subtotal(), 300) << "refused lines change nothing";

    // A return on its own department leaves that department negative: an
    // RT register refuses to close, and the cancellation line voids it.
    expectReplies({"310190204RESO000000100 -> 3101", "3011 -> ERR29",
                   std::string(protocol::msg::CancelLine) + " -> 3001", "1011 -> 101100"});
    EXPECT_EQ(simulator.roll().count(DocumentKind::CancelledReceipt), 1);
    EXPECT_TRUE(simulator.roll().fiscalNumbers().empty());
}

TEST_F(RegisterSimulatorTest, DailyClosingCountsAndZeroesTheDay)
{
    sellOne(1000);
    // The grand total "1105" is never reset.
    expectReplies({"2003 -> 2003", "1104 -> 11040000000000", "2002 -> 2002", "1104 -> 11040001051226",
                   "1004 -> 1004" + std::string(88, '0'), "1105 -> 11050000001000"});
    sellOne(100);
    EXPECT_EQ(simulator.roll().fiscalNumbers().back(), "0002-0001");
}

TEST_F(RegisterSimulatorTest, NonFiscalInvoiceAndReferencedDocuments)
{
    // "ERR02": no document to print on; "ERR98": no sale in a non-fiscal one.
    expectReplies({"4003105CIAO! -> ERR02", "40011 -> 4001", "4002 -> 4002", "1011 -> 101102",
                   saleCommand(100) + " -> ERR98", "4003120* ACQUISTO CON POS * -> 4003", "4004 -> 4004",
                   "400121000001500 -> 4001", "4003F19TOTALE FATTURE EURO000001500 -> 4003", "4006 -> 4006"});
    const std::string totals = client.send("1004");
    EXPECT_EQ(totals.substr(17, 4) + totals.substr(21, 9), "0001000001500") << "invoices at 18..30";
    EXPECT_EQ(totals.substr(43, 4), "0001") << "one non-fiscal document";

    // A return referring to an earlier receipt prints a return document; a
    // void of the register's own receipt needs no articles, and goes once.
    sellOne(800);
    expectReplies({"7101R00010001 -> 71010", saleCommand(800) + " -> 3101", "3011 -> 3011", "3013 -> 3013",
                   "7101A000100018 -> 71010", "3013 -> 3013", "7101A000100018 -> 71012"});
    const std::string after = client.send("1004");
    EXPECT_EQ(after.substr(4, 13), "0003000000800") << "sales only";
    EXPECT_EQ(after.substr(65, 9), "000000800") << "voids at 66..74";
    EXPECT_EQ(after.substr(74, 9), "000000800") << "returns at 75..83";
    EXPECT_EQ(simulator.roll().count(DocumentKind::ReturnReceipt), 1);
    EXPECT_EQ(simulator.roll().count(DocumentKind::VoidReceipt), 1);
    EXPECT_EQ(simulator.roll().fiscalNumbers(), (std::vector<std::string>{"0001-0001", "0001-0002", "0001-0003"}));
}

TEST_F(RegisterSimulatorTest, ErrorOnACommandOrOnTheNthFrame)
{
    // The fault lapses after two; refused commands are not carried out.
    simulator.failCommand("3101", err::JournalExhausted, 2);
    expectReplies({saleCommand(100) + " -> ERR30", saleCommand(100) + " -> ERR30", saleCommand(100) + " -> 3101"});
    EXPECT_EQ(simulator.model().subtotal(), 100);

    // A warning is given after the command has been carried out.
    simulator.failCommand("3101", err::JournalNearlyFull);
    EXPECT_EQ(client.send(saleCommand(100)), "ERR31");
    EXPECT_EQ(simulator.model().subtotal(), 200);

    simulator.failNthFrame(2, err::FiscalMemoryFull);
    expectReplies({"1009 -> 100900", "1009 -> ERR51", "1009 -> 100900"});

    Fault own;
    own.command = "3011";
    own.code = err::OwnError;
    own.text = "STAMPANTE: GUASTO";
    simulator.addFault(own);
    // No ':' in a reply.
    expectReplies({"3011 -> ERR99", "1015 -> 1015STAMPANTE. GUASTO"});
}

TEST_F(RegisterSimulatorTest, PaperEndLastsTheGivenPollsThenTheLineGoesThrough)
{
    ASSERT_EQ(client.send(saleCommand(100)), "3101");
    simulator.setPaperEnd(2);
    // The display "7007" needs no paper.
    expectReplies({saleCommand(200) + " -> ERR16", "7007" + std::string(40, ' ') + " -> 7007", "1009 -> 100901",
                   "1009 -> 100901", "1009 -> 100900", saleCommand(200) + " -> 3101"});
    EXPECT_EQ(simulator.model().subtotal(), 300);

    simulator.setCoverOpen(1);
    expectReplies({"3011 -> ERR37", "1009 -> 100902", "3011 -> 3011"});
}

// The faults on the wire, which the driver's link must ride out: a bad frame
// and a NAK are answered NAK and not carried out, silence answers nothing, and
// a lone ACK carries the command out and sends its reply frame later.
TEST_F(RegisterSimulatorTest, WireFaultsAnswerAsTheRegisterWould)
{
    const auto onSale = [](FaultMode mode, int delayMs = 0) {
        Fault fault;
        fault.mode = mode;
        fault.command = "3101";
        fault.delayMs = delayMs;
        return fault;
    };
    client.write(std::string(1, protocol::STX) + "01" + "0" + "1009" + "99" + protocol::ETX); // bad checksum
    EXPECT_EQ(client.awaitReply(), std::string(1, protocol::NAK));
    simulator.addFault(onSale(FaultMode::Nak));
    client.write(client.frame(saleCommand(100)));
    EXPECT_EQ(client.awaitReply(), std::string(1, protocol::NAK));
    simulator.addFault(onSale(FaultMode::Silence));
    client.write(client.frame(saleCommand(100)));
    EXPECT_EQ(client.awaitReply(300), "");
    EXPECT_EQ(simulator.model().subtotal(), 0) << "neither was carried out";

    simulator.addFault(onSale(FaultMode::LoneAck, 200));
    client.write(client.frame(saleCommand(100)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !client.pending().empty(); }, 5000));
    EXPECT_EQ(client.pending(), std::string(1, protocol::ACK)) << "the frame comes later";
    EXPECT_NE(client.awaitReply().find("3101"), std::string::npos);
    EXPECT_EQ(simulator.model().subtotal(), 100);
}

TEST_F(RegisterSimulatorTest, DropsTheConnectionAfterNFrames)
{
    simulator.dropConnectionAfter(2);
    expectReplies({"1009 -> 100900", "1009 -> 100900"});
    client.write(client.frame(saleCommand(100)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !client.connected(); }, 5000));
    EXPECT_EQ(simulator.model().documentState(), DocumentState::Idle);

    Client again(simulator.port());
    EXPECT_EQ(again.send("1009"), "100900") << "the register takes a new connection";
}

TEST_F(RegisterSimulatorTest, ARepeatedFrameIsAnsweredButNotPrintedTwice)
{
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
    sellOne(100);
    ASSERT_EQ(client.send("2003"), "2003");
    EXPECT_EQ(dir.read("roll.txt"), simulator.roll().text());
}

} // namespace
} // namespace tavor1::regsim
