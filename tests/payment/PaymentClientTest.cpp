#include "payment/PaymentClient.h"
#include "platform/Clock.h"
#include "settings/Options.h"
#include "simulators/payment/PaymentSimulator.h"
#include "support/EventLoop.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace tavor1 {
namespace {

using paysim::Outcome;
using paysim::PaymentSimulator;

constexpr int kTestReplyTimeoutMs = 1500;

class PaymentClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureCoreApplication();
        ASSERT_NE(simulator.start(0), 0);
        makeClient("http://127.0.0.1:" + std::to_string(simulator.port()));
    }

    void makeClient(const std::string& baseUrl)
    {
        PaymentServiceSettings settings;
        settings.baseUrl = baseUrl;
        settings.replyTimeoutMs = kTestReplyTimeoutMs;
        client = std::make_unique<PaymentClient>(network, options, dir.path(), messages, clock, settings);
    }

    // A request whose first line is the given one, followed by a sale.
    PaymentResult pay(const std::string& firstLine)
    {
        return client->requestCardPayment(dir.write("SR_DATI.001", firstLine + "\r\nSALE,N1,P1250\r\n"));
    }

    std::vector<std::string> logFiles() const
    {
        std::vector<std::string> names;
        const std::filesystem::path folder = dir.file("LOG-PAGAME-202612");
        if (std::filesystem::is_directory(folder))
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                names.push_back(entry.path().filename().string());
        return names;
    }

    test::TempDir dir;
    PaymentSimulator simulator;
    QNetworkAccessManager network;
    Options options;
    FixedClock clock{LocalDateTime{2026, 12, 5, 14, 30, 12}};
    test::RecordingMessages messages;
    std::unique_ptr<PaymentClient> client;
};

// --- The request's first line decides whether the service is called at all.

TEST_F(PaymentClientTest, OtherFirstLinesReturnZeroWithoutCallingTheService)
{
    // Request, then Comando and Importo as read: not a payment line, an empty file, a payment without
    // selector, with a zero amount, without an amount.
    const char* const rows[][3] = {{"SALE,N1,P100\r\nPAGA,V1250,P0\r\n", "", ""},
                                   {"", "", ""},
                                   {"PAGA,V1250\r\n", "PAGA", "1250"},
                                   {"PAGA,V0,P1\r\n", "PAGA", "0"},
                                   {"PAGA,P1\r\n", "PAGA", ""}};
    for (const auto& [request, comando, amountText] : rows) {
        SCOPED_TRACE(request);
        EXPECT_EQ(client->requestCardPayment(dir.write("SR_DATI.001", request)), PaymentResult::Ok);
        EXPECT_EQ(client->posData().Comando, comando);
        EXPECT_EQ(client->posData().Importo, amountText);
        EXPECT_TRUE(client->posData().TransactionResult.empty());
        EXPECT_FALSE(client->paymentApproved());
    }
    EXPECT_TRUE(simulator.requests().empty());
}

TEST_F(PaymentClientTest, MissingRequestFileIsReportedAndReturnsZero)
{
    EXPECT_EQ(client->requestCardPayment(dir.file("SR_DATI.009")), PaymentResult::Ok);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0].rfind("ERRORE-CHIAMATA-POS = ", 0), 0u) << messages.texts[0];
    EXPECT_TRUE(simulator.requests().empty());
}

TEST_F(PaymentClientTest, AnUnreadableAmountStopsTheJobInsteadOfPrintingUnpaid)
{
    for (const char* amount : {"12a", "99999999999"}) {
        const std::string request = dir.write("SR_DATI.001", std::string("PAGA,V") + amount + ",P0\r\n");
        EXPECT_EQ(client->requestCardPayment(request), PaymentResult::ServiceError) << amount;
    }
    EXPECT_EQ(messages.texts.size(), 2u);
    EXPECT_TRUE(simulator.requests().empty());
}

// --- The URL and the headers the service sees.

TEST_F(PaymentClientTest, EachCallIsAGetOnTheAmountAndSelectorWithTheFourHeadersInOrder)
{
    const char* const rows[][2] = {
        {"PAGA,V-500,P0", "-500"}, {"PAGA,V1250,P2", "1250/2"}, {"paga,p3x,v1250;", "1250/3"}};
    for (const auto& [firstLine, pathEnd] : rows) {
        pay(firstLine);
        ASSERT_FALSE(simulator.requests().empty());
        EXPECT_EQ(simulator.requests().back().method, "GET");
        EXPECT_EQ(simulator.requests().back().path, QByteArray("/WebKalidorWS/api/Payment/") + pathEnd) << firstLine;
    }
    EXPECT_EQ(simulator.requests().size(), 3u);
    std::string ours; // the four this client sets, in the order sent
    for (const auto& [name, value] : simulator.requests()[0].headers)
        for (const char* wanted : {"Accept", "Accept-Encoding", "Accept-Language", "Connection"})
            if (name.compare(wanted, Qt::CaseInsensitive) == 0)
                ours += std::string(wanted) + ": " + value.toStdString() + "\n";
    EXPECT_EQ(ours, "Accept: text/html, application/xhtml+xml, application/xml; q=0.9, */*; q=0.8\n"
                    "Accept-Encoding: gzip,deflate\nAccept-Language: it-IT, it; q=0.8, en-US; q=0.5, en; q=0.3\n"
                    "Connection: Keep-Alive\n");
}

// --- One row per outcome of the service.

struct OutcomeCase {
    const char* name;
    Outcome outcome;
    PaymentResult result;
    std::string esito;
    std::string transactionResult;
    bool logged = true; // with CheckLogPagamento ticked
    bool messaged = false; // the operator is shown an error
};

class PaymentOutcome : public PaymentClientTest, public ::testing::WithParamInterface<OutcomeCase> { };

TEST_P(PaymentOutcome, IsClassifiedAndLogged)
{
    const OutcomeCase& c = GetParam();
    options.CheckLogPagamento = true;
    simulator.setOutcome(c.outcome);

    EXPECT_EQ(pay("PAGA,V1250,P0"), c.result);
    const POSData& pos = client->posData();
    EXPECT_EQ(pos.Comando, "PAGA");
    EXPECT_EQ(pos.Importo, "1250");
    EXPECT_EQ(pos.Esito, c.esito);
    EXPECT_EQ(pos.TransactionResult, c.transactionResult);
    EXPECT_EQ(pos.DescrErr, c.result == PaymentResult::TimedOut ? "Timed out." : "");
    EXPECT_EQ(logFiles().size(), c.logged ? 1u : 0u);
    EXPECT_EQ(!messages.texts.empty(), c.messaged) << (messages.texts.empty() ? "" : messages.texts[0]);
    EXPECT_EQ(client->paymentApproved(), c.result == PaymentResult::Ok);
}

const std::string kCancelled = "TRANSAZIONE ANNULLATA";

INSTANTIATE_TEST_SUITE_P(
    Service, PaymentOutcome,
    ::testing::Values(
        OutcomeCase{"Approved", Outcome::Approved, PaymentResult::Ok, "00", "00"},
        OutcomeCase{"Declined", Outcome::Declined, PaymentResult::Declined, "05", "05"},
        OutcomeCase{"ErrorWithException", Outcome::Exception, PaymentResult::ServiceError, kCancelled, "KO", false},
        OutcomeCase{"ErrorWithMessageOnly", Outcome::ErrorMessage, PaymentResult::ServiceError, kCancelled, "KO"},
        OutcomeCase{"NotXml", Outcome::Garbage, PaymentResult::ServiceError, kCancelled, "KO"},
        OutcomeCase{"HugeBody", Outcome::Huge, PaymentResult::ServiceError, kCancelled, "KO", true, true},
        OutcomeCase{"ClosedWithoutReply", Outcome::Close, PaymentResult::ServiceError, kCancelled, "KO", true, true},
        OutcomeCase{"NeverAnswers", Outcome::Silent, PaymentResult::TimedOut, "", "", false, false}),
    [](const auto& info) { return info.param.name; });

TEST_F(PaymentClientTest, ApprovedReplyFillsEveryField)
{
    ASSERT_EQ(pay("PAGA,V1250,P0"), PaymentResult::Ok);
    const POSData& p = client->posData();
    EXPECT_EQ(
        test::joined({p.TerminalId, p.AcquirerId, p.TransactionType, p.KODescription, p.CardType, p.STAN, p.PAN,
                      p.AuthorizationCode, p.OperationNumber, p.DataTrs, p.DataOperazione, p.DescrErr, p.DescrErrAggi}),
        test::joined({"12345678", "00000000001", "PAGAMENTO", "", "VISA", "000123", "************1234", "A1B2C3",
                      "000045", "05/12/2026 14:30:12", "05/12/2026 14:30:12", "", ""}));
}

// The simulator's record of charges is what the soak counts a sale's charges
// by: only approvals are charges, each with its own number and amount.
TEST_F(PaymentClientTest, EachApprovalIsRecordedWithItsOwnTransactionNumber)
{
    ASSERT_EQ(pay("PAGA,V1250,P0"), PaymentResult::Ok);
    simulator.setOutcome(Outcome::Declined);
    EXPECT_NE(pay("PAGA,V300,P0"), PaymentResult::Ok);
    simulator.setOutcome(Outcome::Approved);
    ASSERT_EQ(pay("PAGA,V777,P2"), PaymentResult::Ok);
    EXPECT_EQ(client->posData().OperationNumber, "000046");

    std::string recorded; // number, amount, index of the request, authorization
    for (const paysim::Approval& a : simulator.approvals())
        recorded += std::to_string(a.transactionId) + " " + a.amount.toStdString() + " " + std::to_string(a.request) +
                    " " + a.authorization.toStdString() + "\n";
    EXPECT_EQ(recorded, "45 1250 0 A1B2C3\n46 777 2 A1B2C3\n");

    simulator.setDistinctAuthorizations(true);
    ASSERT_EQ(pay("PAGA,V100,P0"), PaymentResult::Ok);
    EXPECT_EQ(client->posData().AuthorizationCode, "A00047");
    EXPECT_EQ(simulator.approvals().back().authorization, "A00047");
}

TEST_F(PaymentClientTest, UnreachableServiceCarriesTheTransportText)
{
    // A port that was free a moment ago: nobody listens there.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    makeClient("http://127.0.0.1:" + std::to_string(closedPort));
    EXPECT_EQ(pay("PAGA,V1250,P0"), PaymentResult::Unreachable);
    EXPECT_EQ(client->posData().DescrErr, "A connection with the server could not be established");
    EXPECT_TRUE(client->posData().TransactionResult.empty());
    EXPECT_TRUE(messages.texts.empty());
}

TEST_F(PaymentClientTest, RedirectLoopEndsAfterABoundedNumberOfHops)
{
    simulator.setOutcome(Outcome::RedirectLoop);
    EXPECT_EQ(pay("PAGA,V1250,P0"), PaymentResult::ServiceError);
    EXPECT_EQ(simulator.requests().size(), static_cast<std::size_t>(PaymentServiceSettings{}.maxRedirects + 1));
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0].rfind("Errore 0: ", 0), 0u) << messages.texts[0];
    EXPECT_TRUE(messages.texts[0].ends_with(" in ModulePagame.Pagame:0.")) << messages.texts[0];
}

// --- The reply log.

TEST_F(PaymentClientTest, TerminalIdCannotLeadTheLogOutOfItsFolder)
{
    options.CheckLogPagamento = true;
    simulator.setTerminalId("../..\\evil:1");
    ASSERT_EQ(pay("PAGA,V1250,P0"), PaymentResult::Ok);
    EXPECT_EQ(logFiles(), std::vector<std::string>{"POSDATA-20261205143012-.._.._evil_1.txt"});
}

// With CheckLogPagamento clear the reply log is written only on demand, when
// the document fails; asked again, it is the same log.
TEST_F(PaymentClientTest, ReplyLogOnDemandIsWrittenOnceUnderTheTerminalsName)
{
    ASSERT_EQ(pay("PAGA,V1250,P0"), PaymentResult::Ok);
    EXPECT_TRUE(logFiles().empty()) << "the option is clear: no log during the payment";
    const std::string path = client->writeReplyLog();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(dir.read("LOG-PAGAME-202612/POSDATA-20261205143012-12345678.txt"),
              simulator.approvedBody().toStdString() + "\r\n");
    clock.set(LocalDateTime{2026, 12, 5, 14, 31, 0});
    EXPECT_EQ(client->writeReplyLog(), path);
    EXPECT_EQ(logFiles().size(), 1u);

    // A request without payment leaves nothing to log.
    pay("SALE,N1,P100");
    EXPECT_FALSE(client->paymentApproved());
    EXPECT_TRUE(client->writeReplyLog().empty());
}

} // namespace
} // namespace tavor1
