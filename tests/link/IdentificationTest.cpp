#include "LinkTestSupport.h"
#include "support/TempDir.h"

#include "app/files/ExchangeFiles.h"
#include "link/RegisterIdentification.h"
#include "link/RegisterQueries.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

using Answer = test::ScriptedExchange::Answer;

class RecordingEvents final : public IdentificationEvents {
public:
    void identificationEnded(int channel, std::int16_t code) override
    {
        this->channel = channel;
        this->code = code;
        ++calls;
    }
    int channel = 0;
    std::int16_t code = 99;
    int calls = 0;
};

// "1511" payload of a telematic register: status letter, 11-character serial
// number, filler, and the RT status at character 26.
std::string rtIdentification(char status)
{
    std::string text = "S99MEY012345" + std::string(13, ' ') + status + "  ";
    return text;
}

class Identification : public ::testing::Test {
protected:
    Identification()
    {
        options.txtRemoteIP = "192.168.1.10";
        register_.answers["1008"] = {0, "100800SRV12345", ""};
        register_.answers["1511"] = {-1, "1511ERR01", "01"};
        register_.answers["1214"] = {0, "1214 12x", ""};
        register_.answers["1013"] = {0, "1013 01.02.03 Kube F", ""};
        register_.answers["1109"] = {0, "1109", ""};
    }

    std::int16_t identify()
    {
        RegisterIdentification identification(register_, facts, options, [this](int polls) {
            askedPolls = polls;
            return connects;
        }, files, ProgramVersion{2, 3, 17}, &events);
        return identification.Zefocx21_DoDumpConf(2);
    }

    test::TempDir dir;
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    ExchangeFiles files{dir.path(), clock};
    test::ScriptedExchange register_;
    RegisterFacts facts;
    Options options;
    RecordingEvents events;
    bool connects = true;
    int askedPolls = 0;
};

TEST_F(Identification, AnOlderRegisterKeepsTheEightCharacterForm)
{
    EXPECT_EQ(identify(), 0);
    EXPECT_EQ(askedPolls, 20);
    EXPECT_EQ(dir.read("SR_MATR.002"),
              "SRV12345\r\nDriverType: CustomEth\r\nVersione: 2.3.0.17\r\nFW: 01.02.03\r\n");
    EXPECT_FALSE(facts.RegisterIsRT);
    EXPECT_EQ(facts.serialNumber, "SRV12345");
    EXPECT_EQ(facts.modelCode, 12);
    EXPECT_EQ(facts.firmware, "01.02.03");
    EXPECT_EQ(register_.sent, (std::vector<std::string>{"1008", "1511", "1214", "1013", "1109"}));
    EXPECT_EQ(events.calls, 1);
    EXPECT_EQ(events.code, 0);
}

TEST_F(Identification, TheIdentificationWithoutItsNumberIsReadFromPositionSix)
{
    register_.answers["1008"] = {0, "10x0xABCDEFGHzz", ""};
    EXPECT_EQ(identify(), 0);
    EXPECT_EQ(facts.serialNumber, "ABCDEFGH");
}

TEST_F(Identification, ATelematicRegisterGivesTheRtForm)
{
    register_.answers["1511"] = {0, "1511" + rtIdentification('1'), ""};
    options.chbInversioneScontiSuReso = true;
    EXPECT_EQ(identify(), 0);
    EXPECT_EQ(dir.read("SR_MATR.002"),
              "99MEY012345\r\nStatus: RT\r\nDriverType: CustomEth\r\nVersione: 2.3.0.17\r\nFW: 01.02.03\r\n");
    EXPECT_TRUE(facts.RegisterIsRT);
    EXPECT_EQ(facts.serialNumber, "99MEY012345");
    EXPECT_TRUE(options.chbPagamentiEstesi);
    EXPECT_FALSE(options.chbInversioneScontiSuReso);
}

TEST_F(Identification, ATelematicRegisterStillInFiscalMemoryModeSaysMF)
{
    register_.answers["1511"] = {0, "1511" + rtIdentification('0'), ""};
    EXPECT_EQ(identify(), 0);
    EXPECT_EQ(dir.read("SR_MATR.002"),
              "99MEY012345\r\nStatus: MF\r\nDriverType: CustomEth\r\nVersione: 2.3.0.17\r\nFW: 01.02.03\r\n");
    EXPECT_FALSE(facts.RegisterIsRT);
    EXPECT_FALSE(options.chbPagamentiEstesi);
}

TEST_F(Identification, AFailureWritesSrErrAndConsumesTheGoSignal)
{
    dir.write("SR_START.002", "");
    register_.answers["1008"] = {-4, "1008ERR16", "16"};
    EXPECT_EQ(identify(), -4);
    EXPECT_FALSE(dir.exists("SR_MATR.002"));
    EXPECT_EQ(dir.read("SR_ERR.002"), "E096: Fine carta scontrino, sostituire rotolo : ERRORE 16\r\n");
    EXPECT_FALSE(dir.exists("SR_START.002"));
    EXPECT_FALSE(dir.exists("FINESCO.002"));
    EXPECT_EQ(register_.sent, (std::vector<std::string>{"1008"})) << "stops at the first failed command";
    EXPECT_EQ(events.code, -4);
}

TEST_F(Identification, NoAddressOrNoConnectionIsCodeMinusOne)
{
    options.txtRemoteIP = "";
    EXPECT_EQ(identify(), -1);
    EXPECT_TRUE(register_.sent.empty());
    options.txtRemoteIP = "192.168.1.10";
    connects = false;
    EXPECT_EQ(identify(), -1);
    EXPECT_EQ(dir.read("SR_ERR.002"), "Errore generico sull'Ecr, verificare sul manuale del registratore\r\n");
}

TEST_F(Identification, ASuccessRemovesAnEarlierErrorFile)
{
    dir.write("SR_ERR.002", "old\r\n");
    EXPECT_EQ(identify(), 0);
    EXPECT_FALSE(dir.exists("SR_ERR.002"));
}

struct FirmwareRow {
    const char* name;
    std::string payload;
    std::string firmware;
};

class FirmwareExpression : public ::testing::TestWithParam<FirmwareRow> {};

TEST_P(FirmwareExpression, ReadsTheVersion)
{
    EXPECT_EQ(FirmwareFromPayload(GetParam().payload), GetParam().firmware);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, FirmwareExpression,
    ::testing::Values(FirmwareRow{"SecondWord", "1013 01.02.03 Kube II", "01.02.03"},
                      FirmwareRow{"Rel", "1013 KUBE-F Rel. 4.5 ", "4.5"},
                      FirmwareRow{"NeitherForm", "1013 1.2.3 KUBE", ""},
                      FirmwareRow{"RelWithoutTrailingBlank", "1013 Rel. 4.5", ""},
                      FirmwareRow{"Empty", "", ""},
                      FirmwareRow{"Huge", "1013 01.02.03 " + std::string(100000, 'x'), ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Queries, GrandTotalAndClosingsNeedALongEnoughPayload)
{
    test::ScriptedExchange register_;
    test::RecordingTrace trace;
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    RegisterQueries queries(register_, trace, clock);

    register_.answers["1105"] = {0, "11050001234567", ""};
    register_.answers["1104"] = {0, "11040012xxxx", ""};
    EXPECT_EQ(queries.ReadGranTotale(), "GRTO,V0001234567;");
    EXPECT_EQ(trace.lines.back(), "20240105_143012:  --> GRTO,V0001234567;");
    EXPECT_EQ(queries.ReadNumeroAzzeramenti(), "0012");

    register_.answers["1105"] = {0, "1105000123456", ""};
    register_.answers["1104"] = {0, "11040012xxx", ""};
    EXPECT_EQ(queries.ReadGranTotale(), "");
    EXPECT_EQ(queries.ReadNumeroAzzeramenti(), "");

    register_.answers["1105"] = {1, "", ""};
    EXPECT_EQ(queries.ReadGranTotale(), "") << "a failed query never reads the old payload";
}

} // namespace
} // namespace tavor1
