#include "support/ScriptedExchange.h"
#include "support/TempDir.h"

#include "link/DataDump.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

TEST(DataDump, WritesEveryTotalFromItsPlaceAndNeverAStaleReply)
{
    test::TempDir dir;
    test::ScriptedExchange register_;
    register_.answer("1004", {ExchangeResult::Accepted, "1004"
                                                        "0007"
                                                        "000010000"
                                                        "0002"
                                                        "000020050"
                                                        "0003"
                                                        "000000099"
                                                        "0001"
                                                        "000000500"
                                                        "000001000"
                                                        "000000300"
                                                        "000000200"
                                                        "000000000"});
    register_.answer("1104", {ExchangeResult::Accepted, "11040012"});
    const std::string file = dir.file("totali.txt");

    EXPECT_EQ(dumpRegisterData(register_, file, false), ExchangeResult::Accepted);
    EXPECT_EQ(dir.read("totali.txt"),
              "DataCode|DataDescription|Value|Index\r\n80|NUM.SCONTR.FISCALI|7\r\n1|TOT.SCONTR.FISCALI|100.00\r\n"
              "86|NUM.FATTURE|2\r\n15|TOT.FATTURE|200.50\r\n87|NUM.RICEVUTE FISC.|3\r\n16|TOT.RICEVUTE FISC.|0.99\r\n"
              "82|NUM.SCONTR.LETT.MF|1\r\n9|TOT.MAGGIORAZIONI|5.00\r\n7|TOT.SCONTI|10.00\r\n12|TOT.ANNULLI|3.00\r\n"
              "11|TOT.RESI|2.00\r\n28|TOT.CORR. NON PAG.|0.00\r\n18|TOT.LORDO GIORN.|95.00\r\n83|NUM.AZZ.FISC.|12\r\n");

    // Both queries fail: the totals are zero, not the last payload read, the
    // closings line is left out, and the failure goes back to the caller.
    register_.answer("1004", {ExchangeResult::SocketFailure, ""});
    register_.answer("1104", {ExchangeResult::NoReply, ""});
    EXPECT_EQ(dumpRegisterData(register_, file, false, ','), ExchangeResult::SocketFailure);
    const std::string text = dir.read("totali.txt");
    EXPECT_NE(text.find("1|TOT.SCONTR.FISCALI|0,00\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("NUM.AZZ.FISC."), std::string::npos);
    EXPECT_EQ(dumpRegisterData(register_, dir.file("no/such/folder/x.txt"), false), std::nullopt) << "not written";
}

} // namespace
} // namespace tavor1
