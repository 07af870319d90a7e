// The SR_OUT summary against a scripted register, compared with whole files.

#include "support/ScriptedExchange.h"

#include "payment/SrOutFile.h"
#include "platform/Sinks.h"
#include "settings/Options.h"
#include "settings/RegisterFacts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tavor1 {
namespace {

using test::ScriptedReply;

class SrOut : public ::testing::Test {
protected:
    SrOut()
    {
        facts.serialNumber = "99MEX012345";
        facts.firmware = "08.06.02";
        ctx.link = &reg;
        ctx.options = &options;
        ctx.facts = &facts;
        ctx.pos = &pos;
        ctx.version = ProgramVersion{2, 1, 23};
        ctx.readClosingCount = [] { return std::string("0041"); };
        ctx.readGrandTotal = [] { return std::string("GRTO,V0001234567;"); };
    }

    test::ScriptedExchange reg;
    Options options;
    RegisterFacts facts;
    POSData pos;
    SrOutContext ctx;
    std::string out;
};

struct SrOutCase {
    const char* name;
    bool rt, matricola, noTotals, payment, shortTotals;
    std::string expected;
};

class SrOutGoldenTest : public SrOut, public ::testing::WithParamInterface<SrOutCase> { };

TEST_P(SrOutGoldenTest, WritesTheSummary)
{
    const SrOutCase& c = GetParam();
    if (c.shortTotals)
        reg.script("1004", ScriptedReply{ExchangeResult::Accepted, "10040042000001000"});
    options.chbMatricola = c.matricola;
    options.chbDisabTotalizzatori = c.noTotals;
    facts.registerIsRT = c.rt;
    // An approved payment, its fields in the order the block shows them.
    if (c.payment)
        pos = POSData{"PAGA", "1250", "00", "05/12/2026",       "", "", "12345678",  "", "", "00",
                      "",     "",     "",   "************1234", "", "", "05/12/2026"};
    EXPECT_TRUE(writeSrOutFile(out, ctx));
    EXPECT_EQ(out, c.expected);
}

constexpr const char* kPaymentBlock =
    " \r\n* ACQUISTO CON POS *\r\nCOMANDO : PAGA\r\nESITO : 00\r\nIMPORTO EUR 1250\r\nDATA  : 05/12/2026\r\n"
    "DESCR. ERR       : \r\nDESCR. ERR AGGI. : \r\nTerminalId : 12345678\r\nAcquirerId : \r\nTransactionType : \r\n"
    "TransactionResult : 00\r\nKODescription : \r\nCardType : \r\nSTAN : \r\n PAN : ************1234\r\n"
    "AuthorizationCode : \r\nOperationNumber : \r\nDataTrs : 05/12/2026\r\n";

const std::string kHead = "TIME,CASS. 1 14:30 CASSA   1 ,E,A1;\r\n";
const std::string kTail = "Versione: 2.1.0.23\r\nFW: 08.06.02\r\n";
const std::string kTotals = "GTOT,V123456789;\r\nGRTO,V0001234567;\r\nNAZF,V0041;\r\n";
const std::string kMatr = "MATR,99MEX012345;\r\n";
const std::string kNotRt = kHead + "DATE,05/12/26  SCONTR. N.0041,E,A1;\r\n" + kTail;

const SrOutCase kSrOutCases[] = {
    {"RtWithSerial", true, true, false, false, false,
     kHead + "DATE,05/12/26  SCONTR. N.0042-0041,E,A1;\r\n" + kTail + kTotals + kMatr},
    {"TotalsDisabled", false, true, true, false, false, kNotRt + kMatr},
    {"CardPayment", false, true, false, true, false, kNotRt + kTotals + kPaymentBlock + kMatr},
    {"ShortDayTotals", false, false, false, false, true,
     kHead + "DATE,05/12/26,E,A1;\r\n" + kTail + "GTOT,V1000;\r\nGRTO,V0001234567;\r\nNAZF,V0041;\r\n"},
};
INSTANTIATE_TEST_SUITE_P(SrOut, SrOutGoldenTest, ::testing::ValuesIn(kSrOutCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SrOut, RefusedClockLeavesTheFileEmpty)
{
    reg.script("1001", ScriptedReply{ExchangeResult::OtherRegisterError, "ERR01", "01"});
    EXPECT_FALSE(writeSrOutFile(out, ctx));
    reg.script("1001", ScriptedReply{ExchangeResult::Accepted, "1234"});
    EXPECT_FALSE(writeSrOutFile(out, ctx)) << "a reply shorter than 14 characters";
    reg.script("1001", ScriptedReply{ExchangeResult::Accepted, "99999999999999"});
    EXPECT_TRUE(writeSrOutFile(out, ctx)) << "14 characters without the number";
    EXPECT_EQ(out, "");

    reg.script("1004", ScriptedReply{ExchangeResult::OtherRegisterError, "ERR01", "01"});
    EXPECT_TRUE(writeSrOutFile(out, ctx));
    EXPECT_EQ(out, "TIME,CASS. 1 14:30 CASSA   1 ,E,A1;\r\n") << "a refused 1004 leaves the TIME line only";
}

} // namespace
} // namespace tavor1
