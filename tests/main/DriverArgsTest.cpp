#include "main/DriverArgs.h"
#include "main/DataDirectory.h"
#include "main/StderrMessageSink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavor1 {
namespace {

TEST(DriverArgs, TheHeadlessCommandLine)
{
    const auto p = parseDriverArgs({"--headless", "--data-dir", "/d", "--config-dir", "/c", "--register-port",
                                    "9200", "--payment-url", "http://127.0.0.1:81", "--closing-pause", "10"});
    ASSERT_EQ(p.error, "");
    EXPECT_TRUE(p.args.headless);
    EXPECT_EQ(*p.args.dataDir, "/d");
    EXPECT_EQ(*p.args.configDir, "/c");
    EXPECT_EQ(*p.args.registerPort, 9200);
    EXPECT_EQ(*p.args.paymentUrl, "http://127.0.0.1:81");
    EXPECT_EQ(p.args.closingPauseMs, 10);
    EXPECT_FALSE(p.args.simulate);
}

TEST(DriverArgs, MistakesAreNamed)
{
    EXPECT_NE(parseDriverArgs({"--register-port", "70000"}).error.find("--register-port"), std::string::npos);
    EXPECT_NE(parseDriverArgs({"--data-dir"}).error.find("needs a value"), std::string::npos);
    EXPECT_NE(parseDriverArgs({"--frobnicate"}).error.find("--frobnicate"), std::string::npos);
    EXPECT_NE(parseDriverArgs({"--closing-pause", "x"}).error, "");
    EXPECT_NE(parseDriverArgs({"--register-ip", "192.168.1.300"}).error.find("IPv4"), std::string::npos);
}

TEST(DriverArgs, TheRegistersAddressForOneRun)
{
    const auto p = parseDriverArgs({"--headless", "--register-ip", "192.168.1.50"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(*p.args.registerIp, "192.168.1.50");
}

TEST(HeadlessLog, ALineCarriesItsLevelInWordsOrAsTheJournalsPriority)
{
    EXPECT_EQ(
        headlessLine(LogLevel::Error, "Registratore 10.0.0.9:9100 non raggiungibile: connessione rifiutata", false),
        "tavor1: error: Registratore 10.0.0.9:9100 non raggiungibile: connessione rifiutata\n");
    EXPECT_EQ(headlessLine(LogLevel::Info, "COM1 DUMP ESEGUITO", true), "<6>tavor1: COM1 DUMP ESEGUITO\n");
    // Windows-1252 text is shown as UTF-8.
    EXPECT_EQ(headlessLine(LogLevel::Warning, "citt\xe0", false), "tavor1: warning: citt\xc3\xa0\n");
}

struct PaymentOptionRow {
    const char* name;
    std::vector<std::string> argv;
    int timeoutSeconds;
    int reuseMinutes;
    const char* error; // a part of the error text, empty when accepted
};

class PaymentOptions : public ::testing::TestWithParam<PaymentOptionRow> { };

TEST_P(PaymentOptions, AreReadOrRefusedByName)
{
    const PaymentOptionRow& row = GetParam();
    const ParsedArgs p = parseDriverArgs(row.argv);
    if (*row.error) {
        EXPECT_NE(p.error.find(row.error), std::string::npos) << p.error;
        return;
    }
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.args.paymentTimeoutSeconds, row.timeoutSeconds);
    EXPECT_EQ(p.args.approvalReuseMinutes, row.reuseMinutes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PaymentOptions,
    ::testing::Values(
        PaymentOptionRow{"defaults", {"--headless"}, 300, 15, ""},
        PaymentOptionRow{"timeout", {"--payment-timeout", "90"}, 90, 15, ""},
        PaymentOptionRow{"reuseOff", {"--approval-reuse-minutes", "0"}, 300, 0, ""},
        PaymentOptionRow{"reuseLonger", {"--headless", "--approval-reuse-minutes", "30"}, 300, 30, ""},
        PaymentOptionRow{"timeoutZero", {"--payment-timeout", "0"}, 0, 0, "--payment-timeout needs seconds"},
        PaymentOptionRow{"timeoutNotANumber", {"--payment-timeout", "5m"}, 0, 0, "\"5m\""},
        PaymentOptionRow{"reuseNegative", {"--approval-reuse-minutes", "-1"}, 0, 0, "--approval-reuse-minutes"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DriverArgs, HelpListsThePaymentOptions)
{
    const std::string usage = driverUsage();
    EXPECT_NE(usage.find("--payment-timeout SECONDS"), std::string::npos) << usage;
    EXPECT_NE(usage.find("--approval-reuse-minutes N"), std::string::npos) << usage;
}

TEST(DataDirectory, CommandLineWinsOverTheRegistryWhichWinsOverTheProgramFolder)
{
    EXPECT_EQ(settleDataDir("/prog", "/reg/", std::string("/cli/")), "/cli");
    EXPECT_EQ(settleDataDir("/prog", "/reg\\", std::nullopt), "/reg");
    EXPECT_EQ(settleDataDir("/prog", "", std::nullopt), "/prog");
    EXPECT_EQ(missingDataDirText("/x"), "/x : DIR NON ESISTENTE");
}

} // namespace
} // namespace tavor1
