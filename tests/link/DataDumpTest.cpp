#include "LinkTestSupport.h"
#include "support/TempDir.h"

#include "link/DataDump.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

// A "1004" payload: the number, then the counters and amounts at their places.
std::string dayTotals()
{
    return std::string("1004") + "0007" + "000010000" + "0002" + "000020050" + "0003" + "000000099" + "0001"
        + "000000500" + "000001000" + "000000300" + "000000200" + "000000000";
}

TEST(DataDump, WritesEveryTotalInOrder)
{
    test::TempDir dir;
    test::ScriptedExchange register_;
    register_.answers["1004"] = {0, dayTotals(), ""};
    register_.answers["1104"] = {0, "11040012", ""};
    const std::string file = dir.file("totali.txt");

    EXPECT_EQ(DumpDataEcr(register_, file, false), 0);
    EXPECT_EQ(dir.read("totali.txt"),
              "DataCode|DataDescription|Value|Index\r\n"
              "80|NUM.SCONTR.FISCALI|7\r\n"
              "1|TOT.SCONTR.FISCALI|100.00\r\n"
              "86|NUM.FATTURE|2\r\n"
              "15|TOT.FATTURE|200.50\r\n"
              "87|NUM.RICEVUTE FISC.|3\r\n"
              "16|TOT.RICEVUTE FISC.|0.99\r\n"
              "82|NUM.SCONTR.LETT.MF|1\r\n"
              "9|TOT.MAGGIORAZIONI|5.00\r\n"
              "7|TOT.SCONTI|10.00\r\n"
              "12|TOT.ANNULLI|3.00\r\n"
              "11|TOT.RESI|2.00\r\n"
              "28|TOT.CORR. NON PAG.|0.00\r\n"
              "18|TOT.LORDO GIORN.|95.00\r\n"
              "83|NUM.AZZ.FISC.|12\r\n");
}

TEST(DataDump, FailedQueriesNeverDumpAnEarlierReply)
{
    test::TempDir dir;
    test::ScriptedExchange register_;
    register_.answers["1004"] = {0, dayTotals(), ""};
    register_.answers["1104"] = {1, "", ""};
    const std::string file = dir.file("totali.txt");

    EXPECT_EQ(DumpDataEcr(register_, file, false, ','), 0);
    const std::string once = dir.read("totali.txt");
    EXPECT_NE(once.find("1|TOT.SCONTR.FISCALI|100,00\r\n"), std::string::npos);
    EXPECT_EQ(once.find("NUM.AZZ.FISC."), std::string::npos);

    // The totals query fails: its stale payload is not read; zero totals and
    // the failure's code go back to the caller.
    register_.answers["1004"] = {-20, "", ""};
    EXPECT_EQ(DumpDataEcr(register_, file, false), -20);
    const std::string zero = dir.read("totali.txt");
    EXPECT_NE(zero.find("1|TOT.SCONTR.FISCALI|0.00\r\n"), std::string::npos) << zero;

    EXPECT_EQ(DumpDataEcr(register_, dir.file("missing/folder/x.txt"), false), -1);
}

} // namespace
} // namespace tavor1
