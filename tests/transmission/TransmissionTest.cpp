// The command loop against a scripted register: reactions to every reply,
// the paper-end wait, the lost connection and its counter check, the cancel.

#include "ScriptedRegister.h"
#include "support/EventLoop.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

#include "exchange/ExchangeFiles.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "settings/Options.h"
#include "settings/RegisterFacts.h"
#include "transmission/Transmission.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <memory>

namespace tavor1 {
namespace {

using test::joined;
using test::ScriptedRegister;
using test::ScriptedReply;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using R = ExchangeResult;
using S = SendResult;

constexpr const char* kSale = "31011012201REPARTO 1             000001250";
constexpr const char* kAnnul = "3001818Annull.transazione000000000";
constexpr auto byName = [](const auto& info) { return std::string(info.param.name); };

// A reply for which the connection goes down when it is SocketFailure.
ScriptedReply replyOf(ExchangeResult result, bool executed = false)
{
    ScriptedReply reply{result};
    reply.drops = result == R::SocketFailure;
    reply.executed = executed;
    return reply;
}

class TransmissionTest : public ::testing::Test {
protected:
    TransmissionTest()
    {
        facts.serialNumber = "99MEX012345";
        facts.firmware = "08.06.02";
        services.convert = [this](const std::string&, int, ConversionResult& result) {
            if (convertFails)
                return 1;
            result = flags;
            std::string kb;
            for (const std::string& line : commandList)
                kb += line + "\r\n";
            if (writeKb)
                dir.write("KB.txt", kb);
            return 0;
        };
        services.readClosingCount = [] { return std::string("0122"); };
        services.readGrandTotal = [] { return std::string("GRTO,V0001234567;"); };
    }

    Transmission& tx()
    {
        if (!m_tx)
            m_tx = std::make_unique<Transmission>(reg, reg, options, facts, dir.path(), files, trace, messages,
                                                  clock, services, TransmissionTimings{0, 0, 3});
        return *m_tx;
    }

    SendResult send(bool testReceipt = false, const std::string& outPath = "SR_OUT.001")
    {
        SendJob job;
        job.channel = 1;
        job.outPath = dir.file(outPath);
        job.testReceiptMode = testReceipt;
        job.pos = &pos;
        return tx().sendRequest(dir.file("SR_DATI.001"), job);
    }

    // A paid receipt: sale, cash payment, closing, drawer.
    void paidReceipt()
    {
        commandList = {kSale, "300408CONTANTI000002000", "3011", "70081"};
        flags.paymentSeen = true;
    }

    test::TempDir dir;
    FixedClock clock{LocalDateTime{2026, 12, 5, 14, 30, 0}};
    ExchangeFiles files{dir.path(), clock};
    Options options;
    RegisterFacts facts;
    NullTraceSink trace;
    test::RecordingMessages messages;
    ScriptedRegister reg;
    TransmissionServices services;
    std::vector<std::string> commandList;
    ConversionResult flags;
    bool convertFails = false;
    bool writeKb = true;
    POSData pos;

private:
    std::unique_ptr<Transmission> m_tx;
};

// The payments without an amount show the running amount, the register's
// change is shown after the closing, and the summary goes to SR_OUT.
TEST_F(TransmissionTest, PaidReceiptGoesOutInOrderAndEndsTheDocument)
{
    paidReceipt();
    flags.paymentTypeUsed[PaymentCash] = true;
    flags.paymentTypeUsed[PaymentOther] = true;
    flags.otherPaymentName = "BANCOMAT";
    reg.script("3004", ScriptedReply{0, "3004 000000750"});
    ASSERT_EQ(send(), SendResult::Complete) << joined(reg.sent);
    EXPECT_THAT(reg.sent,
                ElementsAre("1004", "1104", "30161", commandList[0], commandList[1], "1003",
                            "7007CONTANTI" + std::string(25, ' ') + "\x7f 12,50",
                            "7007BANCOMAT" + std::string(25, ' ') + "\x7f 12,50", commandList[2], commandList[3],
                            "7007RESTO" + std::string(29, ' ') + "\x7f 7,50", "1001", "1004", "3013", "30160"));
    EXPECT_EQ(dir.read("SR_OUT.001"), "TIME,CASS. 1 14:30 CASSA   1 ,E,A1;\r\nDATE,05/12/26  SCONTR. N.0042,E,A1;\r\n"
                                      "Versione: 1.0.0.0\r\nFW: 08.06.02\r\nGTOT,V123456789;\r\n"
                                      "GRTO,V0001234567;\r\nNAZF,V0122;\r\n");
}

TEST_F(TransmissionTest, ClosingDataOfAReplyGoesToSrOutOnce)
{
    options.chbMatricola = true;
    commandList = {kSale, "300408CONTANTI000002000", "3011"};
    // The link gives 1 for this reply: it carries no echo of "3011".
    reg.script("3011", ScriptedReply{1, "05/12/2026 14:31    0043"});
    ASSERT_EQ(send(), SendResult::Complete);
    EXPECT_EQ(dir.read("SR_OUT.001"),
              "TIME,CASS. 1 14:31 CASSA   1 ,E,A1;\r\nDATE,05/12/26  SCONTR. N.0043,E,A1;\r\nMATR,99MEX012345;\r\n");
    EXPECT_EQ(reg.count("1001"), 0) << "the summary was already written";
}

// The paper-end wait goes on while the register answers with its status, and
// ends for a lost connection, the cancel button, or a register gone silent.
struct PaperEndCase {
    const char* name;
    ExchangeResult poll; // the register's answer to the status polls
    bool cancel; // the cancel button is pressed during the wait
    SendResult expected;
};

class PaperEndTest : public TransmissionTest, public ::testing::WithParamInterface<PaperEndCase> { };

TEST_P(PaperEndTest, EndsTheWait)
{
    const PaperEndCase& c = GetParam();
    paidReceipt();
    reg.script(kSale, ScriptedReply{-4, "ERR16", "16"});
    reg.script("1009", ScriptedReply{0, "100901"});
    for (int i = 0; i < 3; ++i)
        reg.script("1009", replyOf(c.poll));
    reg.onSend = [&](const std::string& command) {
        if (c.cancel && command == "1009")
            tx().onCancelClicked();
    };
    EXPECT_EQ(send(), c.expected) << joined(reg.sent);
    EXPECT_EQ(reg.count(commandList[0]), 1) << "the refused line is not sent again";
    EXPECT_EQ(reg.count(kAnnul), c.cancel ? 1 : 0) << "the cancel goes out only when pressed: " << joined(reg.sent);
}

INSTANTIATE_TEST_SUITE_P(Transmission, PaperEndTest,
                         ::testing::Values(PaperEndCase{"ConnectionLost", R::SocketFailure, false, S::ConnectionLost},
                                           PaperEndCase{"CancelButton", R::Accepted, true, S::CancelledByOperator},
                                           PaperEndCase{"RegisterSilent", R::NoReply, false, S::NoReply}),
                         byName);

// A lost connection is settled by the register's counters: only a document
// they show completed is reported done. When the register gave no counters
// before the document, it is asked whether a document is still open ("1011").
struct DropCase {
    const char* name;
    const char* dropOn;   // the command whose reply is lost
    bool executed;        // the register carried it out before the loss
    bool reconnects;
    const char* stateReply; // the answer to "1011"; null: the counters compare
    SendResult expected;
};

class ConnectionDropTest : public TransmissionTest, public ::testing::WithParamInterface<DropCase> { };

TEST_P(ConnectionDropTest, OnlyACompletedDocumentIsReportedDone)
{
    const DropCase& c = GetParam();
    paidReceipt();
    reg.reconnectWorks = c.reconnects;
    reg.dropOn(c.dropOn, c.executed);
    if (c.stateReply) {
        reg.script("1004", ScriptedReply{0, "1004"}); // before the document: no counter in the reply
        reg.script("1011", ScriptedReply{0, c.stateReply});
    }
    EXPECT_EQ(send(), c.expected) << joined(reg.sent);
    EXPECT_EQ(dir.read("SR_OUT.001").find("SCONTR. N.") != std::string::npos, c.expected == S::Complete)
        << "the summary is written after the counter check, for a completed document only";
    for (const std::string& line : commandList)
        EXPECT_LE(reg.count(line), 1) << line << " sent again: " << joined(reg.sent);
    EXPECT_EQ(reg.documentCommands().empty(), c.dropOn == std::string("1004")) << "lost before, none goes out";
}

INSTANTIATE_TEST_SUITE_P(
    Transmission, ConnectionDropTest,
    ::testing::Values(DropCase{"BeforeTheDocument", "1004", false, true, nullptr, S::ConnectionLost},
                      DropCase{"DuringTheSales", kSale, false, true, nullptr, S::ConnectionLost},
                      DropCase{"AtTheEndOfDocument", "3013", true, true, nullptr, S::Complete},
                      DropCase{"ReconnectFails", "3011", true, false, nullptr, S::ConnectionLost},
                      DropCase{"NoCountersClosedBeforeTheLoss", "3011", true, true, "101100", S::Complete},
                      DropCase{"NoCountersStillOpen", "3011", false, true, "101101", S::ConnectionLost},
                      DropCase{"NoCountersNorState", "3011", true, true, "1011", S::ConnectionLost},
                      // Nothing of the document was accepted: nothing open
                      // does not mean it was printed.
                      DropCase{"NoCountersLostOnTheFirstLine", kSale, false, true, "101100", S::ConnectionLost}),
    byName);

// The error 99 text is fetched from the register, and nothing of one
// document carries over into the next: not that text, not the paper-end
// notice, not a cancel. After a paper end the refused line goes out again.
TEST_F(TransmissionTest, EachDocumentStartsClean)
{
    paidReceipt();
    reg.script(kSale, ScriptedReply{-99, "ERR99", "99"});
    // The register's own text may hold "ERR" itself.
    reg.script("1015", ScriptedReply{-1, "1015ERRORE DI STAMPA", "OR"});
    ASSERT_EQ(send(), SendResult::RegisterOwnError);
    ASSERT_EQ(tx().registerErrorText(), "ERRORE DI STAMPA");

    reg.sent.clear();
    reg.script(kSale, ScriptedReply{-4, "ERR16", "16"});
    reg.script("1009", ScriptedReply{0, "100901"});
    EXPECT_EQ(send(), SendResult::Complete) << joined(reg.sent);
    EXPECT_EQ(reg.count(commandList[0]), 2) << joined(reg.sent);
    EXPECT_EQ(reg.count("1009"), 2);
    EXPECT_EQ(tx().registerErrorText(), "");
    EXPECT_EQ(dir.read("SR_ERR.001"), "E096: Fine carta scontrino, sostituire rotolo : ERRORE 16\r\n");
    EXPECT_FALSE(tx().transmissionRunning());

    std::filesystem::remove(dir.file("SR_ERR.001"));
    reg.script(kSale, ScriptedReply{-4, "ERR16", "16"});
    EXPECT_EQ(send(), SendResult::Complete);
    EXPECT_THAT(dir.read("SR_ERR.001"), HasSubstr("E096")) << "and the third's";
}

// What the document's result becomes for each answer the register gives a
// line: most stop the document; a journal warning lets it go on, and stays
// only when no later command is accepted. Once the register may have
// completed the receipt its counters tell whether it was printed, and a
// printed receipt is never reported failed (the host would print it again).
// A negative VAT at the closing, alone, annuls the receipt.
struct ReplyCase {
    const char* name;
    const char* command;
    ExchangeResult reply;
    bool executed; // the register carried the command out
    SendResult expected;
};

class RegisterReplyTest : public TransmissionTest, public ::testing::WithParamInterface<ReplyCase> { };

TEST_P(RegisterReplyTest, GivesTheDocumentsResult)
{
    const ReplyCase& c = GetParam();
    paidReceipt();
    reg.script(c.command, replyOf(c.reply, c.executed));
    EXPECT_EQ(send(), c.expected) << joined(reg.sent);
    EXPECT_EQ(reg.count(kAnnul), c.reply == R::NegativeVat ? 1 : 0) << joined(reg.sent);
    EXPECT_EQ(reg.count(c.command), 1) << "the answered line is not sent again: " << joined(reg.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Transmission, RegisterReplyTest,
    ::testing::Values(ReplyCase{"PrintBufferFull", kSale, R::PrintBufferFull, false, S::PrintBufferFull},
                      ReplyCase{"RtDocumentNotFound", kSale, R::RtDocumentNotFound, false, S::RtDocumentNotFound},
                      ReplyCase{"DocumentNotModifiable", kSale, R::DocumentNotModifiable, false, S::RtDocumentNotFound},
                      ReplyCase{"RegisterNoAnswer", kSale, R::NoAnswer, false, S::RegisterNoAnswer},
                      ReplyCase{"Unanswered", kSale, R::NoReply, false, S::NoReply},
                      ReplyCase{"ReceiptOpen", kSale, R::ReceiptOpen, false, S::ReceiptOpen},
                      ReplyCase{"NegativeTotal", "3011", R::NegativeTotal, false, S::NegativeTotal},
                      ReplyCase{"NegativeVat", "3011", R::NegativeVat, false, S::NegativeVat},
                      ReplyCase{"CoverOpen", kSale, R::CoverOpen, false, S::CoverOpen},
                      ReplyCase{"FiscalMemoryFull", kSale, R::FiscalMemoryFull, false, S::FiscalMemoryFull},
                      ReplyCase{"OtherError", kSale, R::OtherRegisterError, false, S::RegisterError},
                      ReplyCase{"JournalExhaustedAtTheEnd", "70081", R::JournalExhausted, false, S::JournalExhausted},
                      ReplyCase{"JournalNearlyFullAtTheEnd", "70081", R::JournalNearlyFull, false,
                                S::JournalNearlyFull},
                      ReplyCase{"JournalNearlyFullMidway", kSale, R::JournalNearlyFull, false, S::Complete},
                      // A code the register is not known to give goes on and
                      // stands for no other result when it comes last.
                      ReplyCase{"UnknownCode", "70081", codeFromNumber<R>(5), false, S::Complete},
                      ReplyCase{"DrawerRefused", "70081", R::CoverOpen, true, S::Complete},
                      ReplyCase{"ClosingReplyLost", "3011", R::NoReply, true, S::Complete},
                      ReplyCase{"ClosingNotCarriedOut", "3011", R::NoReply, false, S::NoReply}),
    byName);

// The SR_OUT summary's clock query goes wrong once after the receipt was
// printed (refused, unanswered, connection lost): it is asked again, and the
// host still finds the receipt's number.
TEST_F(TransmissionTest, SummaryQueryGoneWrongIsAskedAgain)
{
    paidReceipt();
    for (const ExchangeResult result : {R::ReceiptOpen, R::NoReply, R::SocketFailure}) {
        SCOPED_TRACE(codeText(result));
        reg.script("1001", replyOf(result));
        ASSERT_EQ(send(), SendResult::Complete) << joined(reg.sent);
        EXPECT_THAT(dir.read("SR_OUT.001"), HasSubstr("SCONTR. N.00" + std::to_string(reg.receiptNumber) + ",E,A1;"));
    }
}

TEST_F(TransmissionTest, CancelDuringTheDocumentIsCarriedOutBetweenExchangesUntilTheReceiptIsClosed)
{
    paidReceipt();
    std::string cancelOn = commandList[0];
    reg.onSend = [&](const std::string& c) {
        if (c == cancelOn)
            tx().onCancelClicked();
    };
    EXPECT_EQ(send(), SendResult::CancelledByOperator);
    EXPECT_THAT(reg.documentCommands(),
                ElementsAre("30161", commandList[0], "7007" + std::string(40, ' '), kAnnul, "3011", "3013", "30160"));

    reg.sent.clear();
    cancelOn = "3011";
    EXPECT_EQ(send(), SendResult::Complete);
    EXPECT_EQ(reg.count(kAnnul), 0) << "too late: the receipt is printed";
}

TEST_F(TransmissionTest, CancelOutsideADocumentConnectsAndWaitsForTheRunningExchange)
{
    reg.connected = false;
    tx().onCancelClicked();
    EXPECT_EQ(reg.reconnects, 1);
    EXPECT_THAT(reg.sent, ElementsAre("7007" + std::string(40, ' '), kAnnul, "3011", "3013"));

    reg.sent.clear();
    reg.busy = true;
    tx().onCancelClicked();
    EXPECT_TRUE(reg.sent.empty());
    reg.busy = false;
    EXPECT_TRUE(test::waitUntil([&] { return reg.sent.size() >= 4; }));
    EXPECT_EQ(reg.count(kAnnul), 1);
}

TEST_F(TransmissionTest, NothingIsSentWithoutACommandListOrAnSrOut)
{
    convertFails = true;
    EXPECT_EQ(send(), SendResult::ConversionFailed);
    convertFails = false;
    writeKb = false;
    EXPECT_EQ(send(), SendResult::ConversionFailed);

    writeKb = true;
    EXPECT_EQ(send(false, "no such folder/SR_OUT.001"), SendResult::OutputUnavailable);
    EXPECT_EQ(messages.texts.size(), 1u);
    EXPECT_TRUE(reg.sent.empty()) << joined(reg.sent);
}

TEST_F(TransmissionTest, ApprovedPaymentReachesSrOutEvenWhenTheDocumentFails)
{
    paidReceipt();
    pos.Comando = "PAGA";
    pos.Esito = "00";
    pos.TransactionResult = "00";
    reg.script(kSale, ScriptedReply{ExchangeResult::CoverOpen, "ERR37", "37"});
    EXPECT_EQ(send(), SendResult::CoverOpen);
    EXPECT_THAT(dir.read("SR_OUT.001"), HasSubstr("* ACQUISTO CON POS *\r\nCOMANDO : PAGA\r\nESITO : 00\r\n"));

    convertFails = true;
    EXPECT_EQ(send(), SendResult::ConversionFailed);
    EXPECT_THAT(dir.read("SR_OUT.001"), HasSubstr("* ACQUISTO CON POS *"));
}

TEST_F(TransmissionTest, TestReceiptIsSentAsItStands)
{
    dir.write("SR_DATI.001", "7007ARTICOLO\r\n310110122ARTICOLO 1            000000001\r\n3011\r\n3013\r\n");
    convertFails = true;
    EXPECT_EQ(send(true), SendResult::Complete) << "a test receipt is not converted";
    EXPECT_THAT(reg.documentCommands(), ElementsAre("30161", "7007ARTICOLO", "310110122ARTICOLO 1            000000001",
                                                    "3011", "3013", "30160"));
}

TEST_F(TransmissionTest, ReportsGetTheSummaryBeforeTheClosingAndNoEndOfReceipt)
{
    commandList = {"2002"};
    flags.functionSeen = true;
    EXPECT_EQ(send(), SendResult::Complete);
    EXPECT_THAT(reg.documentCommands(), ElementsAre("30161", "2002", "30160"));
    EXPECT_EQ(reg.sent[3], "1001") << "the summary reads the day before the closing resets it";
}

TEST_F(TransmissionTest, ReadLinesGoToTheDump)
{
    std::vector<std::string> dumped;
    services.dump = [&](const std::string& file) { dumped.push_back(file); };
    commandList = {"READ,1,TOTALI.TXT", "READ,7,X", "3003"};
    EXPECT_EQ(send(), SendResult::Complete);
    EXPECT_THAT(dumped, ElementsAre("TOTALI.TXT"));
    EXPECT_THAT(reg.documentCommands(), ElementsAre("30161", "READ,7,X", "3003", "30160"));
}

struct PercentCase {
    const char* name;
    const char* line;
    long long subtotal;
    const char* command;
};

class SubtotalPercentTest : public TransmissionTest, public ::testing::WithParamInterface<PercentCase> {};

TEST_P(SubtotalPercentTest, SendsTheAdjustmentOfTheRunningSubtotal)
{
    reg.subtotal = GetParam().subtotal;
    EXPECT_EQ(tx().subtotalPercent(GetParam().line), ExchangeResult::Accepted);
    EXPECT_THAT(reg.sent, ElementsAre("1003", GetParam().command));
}

// Amounts are rounded to whole cents, halves away from zero.
const PercentCase kPercentCases[] = {
    {"Discount", "DOST%10", 1250, "3001318SCONTO SBTL 10.00%000000125"},
    {"Markup", "MOST%5", 2000, "3001216MAGG. SBTL 5.00%000000100"},
    {"OwnDescription", "MOST%12.5,EXTRA, SERVIZIO", 1999, "3001222EXTRA. SERVIZIO 12.50%000000250"},
    {"ThirdDecimal", "DOST%33.333", 10000, "3001318SCONTO SBTL 33.33%000003333"},
};
INSTANTIATE_TEST_SUITE_P(Transmission, SubtotalPercentTest, ::testing::ValuesIn(kPercentCases), byName);

// Halves are rounded away from zero, and a percentage too large to compute
// gives no wrapped, small or negative amount.
TEST(PercentageAmountTest, RoundsHalvesAwayFromZeroAndNeverWraps)
{
    EXPECT_EQ(Transmission::percentageAmount(1250, "10,5"), 131) << "a decimal comma";
    EXPECT_EQ(Transmission::percentageAmount(-1001, "50"), -501);
    EXPECT_EQ(Transmission::percentageAmount(999999999, "99999999999999999"), std::numeric_limits<long long>::max());
}

} // namespace
} // namespace tavor1
