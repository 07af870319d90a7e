#include "support/Recorders.h"
#include "support/ScriptedExchange.h"
#include "support/TempDir.h"

#include "exchange/ExchangeFiles.h"
#include "link/RegisterIdentification.h"
#include "link/RegisterQueries.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

// The identification over a scripted exchange; the SR_MATR forms of real
// replies are checked against the simulator.
class Identification : public ::testing::Test {
protected:
    Identification()
    {
        options.txtRemoteIP = "192.168.1.10";
        register_.answer("1008", {ExchangeResult::Accepted, "100800SRV12345"});
        register_.answer("1511", {ExchangeResult::OtherRegisterError, "1511ERR01", "01"});
        register_.answer("1013", {ExchangeResult::Accepted, "1013 01.02.03 Kube F"});
    }
    std::int16_t identify()
    {
        RegisterIdentification identification(register_, facts, options, [this](int) { return connects; }, files,
                                              ProgramVersion{2, 3, 17});
        return identification.identifyRegister(2);
    }

    test::TempDir dir;
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    ExchangeFiles files{dir.path(), clock};
    test::ScriptedExchange register_;
    RegisterFacts facts;
    Options options;
    bool connects = true;
};

TEST_F(Identification, AnOlderRegisterHasNoStatusLineAndATelematicStatusOfZeroSaysMF)
{
    EXPECT_EQ(identify(), 0);
    EXPECT_EQ(dir.read("SR_MATR.002"), "SRV12345\r\nDriverType: CustomEth\r\nVersione: 2.3.0.17\r\nFW: 01.02.03\r\n");

    register_.answer("1511", {ExchangeResult::Accepted, "1511S99MEY012345" + std::string(13, ' ') + "0"});
    EXPECT_EQ(identify(), 0);
    EXPECT_EQ(dir.read("SR_MATR.002"),
              "99MEY012345\r\nStatus: MF\r\nDriverType: CustomEth\r\nVersione: 2.3.0.17\r\nFW: 01.02.03\r\n");
    EXPECT_FALSE(facts.registerIsRT);
}

TEST_F(Identification, AFailureWritesSrErrAndConsumesTheGoSignal)
{
    dir.write("SR_START.002", "");
    register_.answer("1008", {ExchangeResult::PaperEnd, "1008ERR16", "16"});
    EXPECT_EQ(identify(), -4);
    EXPECT_FALSE(dir.exists("SR_MATR.002"));
    EXPECT_EQ(dir.read("SR_ERR.002"), "E096: Fine carta scontrino, sostituire rotolo : ERRORE 16\r\n");
    EXPECT_FALSE(dir.exists("SR_START.002"));
    EXPECT_FALSE(dir.exists("FINESCO.002"));
    EXPECT_EQ(register_.sent, (std::vector<std::string>{"1008"})) << "stops at the first failed command";

    options.txtRemoteIP = "";
    EXPECT_EQ(identify(), -1);
    EXPECT_EQ(dir.read("SR_ERR.002"), "Errore generico sull'Ecr, verificare sul manuale del registratore\r\n");
    EXPECT_EQ(register_.sent.size(), 1u);
}

struct FirmwareRow {
    const char* name;
    std::string payload;
    std::string firmware;
};

class FirmwareExpression : public ::testing::TestWithParam<FirmwareRow> {};

TEST_P(FirmwareExpression, ReadsTheVersion)
{
    EXPECT_EQ(firmwareFromPayload(GetParam().payload), GetParam().firmware);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, FirmwareExpression,
    ::testing::Values(FirmwareRow{"SecondWord", "1013 01.02.03 Kube II", "01.02.03"},
                      FirmwareRow{"Rel", "1013 KUBE-F Rel. 4.5 ", "4.5"},
                      FirmwareRow{"NeitherForm", "1013 1.2.3 KUBE", ""},
                      FirmwareRow{"Huge", "1013 01.02.03 " + std::string(100000, 'x'), ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Queries, GrandTotalAndClosingsNeedALongEnoughPayload)
{
    test::ScriptedExchange register_;
    test::RecordingTrace trace;
    RegisterQueries queries(register_, trace);
    register_.answer("1105", {ExchangeResult::Accepted, "11050001234567"});
    register_.answer("1104", {ExchangeResult::Accepted, "11040012xxxx"});
    EXPECT_EQ(queries.readGrandTotal(), "GRTO,V0001234567;");
    EXPECT_EQ(queries.readClosingCount(), "0012");
    register_.answer("1105", {ExchangeResult::Accepted, "1105000123456"});
    register_.answer("1104", {ExchangeResult::NoReply, ""});
    EXPECT_EQ(queries.readGrandTotal(), "");
    EXPECT_EQ(queries.readClosingCount(), "") << "a failed query never reads the old payload";
}

} // namespace
} // namespace tavor1
