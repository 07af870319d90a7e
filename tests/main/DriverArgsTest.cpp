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
    const auto p =
        parseDriverArgs({"--headless", "--data-dir", "/d", "--config-dir", "/c", "--register-ip", "192.168.1.50",
                         "--register-port", "9200", "--payment-url", "http://127.0.0.1:81", "--closing-pause", "10",
                         "--payment-timeout", "90", "--approval-reuse-minutes", "0"});
    ASSERT_EQ(p.error, "");
    EXPECT_TRUE(p.args.headless);
    EXPECT_EQ(*p.args.dataDir, "/d");
    EXPECT_EQ(*p.args.configDir, "/c");
    EXPECT_EQ(*p.args.registerIp, "192.168.1.50");
    EXPECT_EQ(*p.args.registerPort, 9200);
    EXPECT_EQ(*p.args.paymentUrl, "http://127.0.0.1:81");
    EXPECT_EQ(p.args.closingPauseMs, 10);
    EXPECT_EQ(p.args.paymentTimeoutSeconds, 90);
    EXPECT_EQ(p.args.approvalReuseMinutes, 0) << "0 turns the reuse of an approval off";
}

TEST(DriverArgs, MistakesAreNamed)
{
    const struct {
        std::vector<std::string> args;
        const char* errorPart;
    } mistakes[] = {
        {{"--frobnicate"}, "unknown option \"--frobnicate\""},
        {{"--headless", "frobnicate"}, "unknown option \"frobnicate\""},
        {{"--register-port", "70000"}, "--register-port"},
        {{"--closing-pause", "x"}, "--closing-pause"},
        {{"--register-ip", "192.168.1.300"}, "IPv4"},
        {{"--payment-timeout", "0"}, "--payment-timeout needs seconds"},
        {{"--payment-timeout", "5m"}, "\"5m\""},
        {{"--approval-reuse-minutes", "-1"}, "--approval-reuse-minutes"},
    };
    for (const auto& m : mistakes) {
        const std::string error = parseDriverArgs(m.args).error;
        EXPECT_NE(error.find(m.errorPart), std::string::npos) << m.args.back() << ": " << error;
    }
}

TEST(HeadlessLog, ALineCarriesItsLevelInWordsOrAsTheJournalsPriority)
{
    EXPECT_EQ(headlessLine(LogLevel::Error, "Registratore non raggiungibile", false),
              "tavor1: error: Registratore non raggiungibile\n");
    EXPECT_EQ(headlessLine(LogLevel::Info, "COM1 DUMP ESEGUITO", true), "<6>tavor1: COM1 DUMP ESEGUITO\n");
    // Windows-1252 text is shown as UTF-8.
    EXPECT_EQ(headlessLine(LogLevel::Warning, "citt\xe0", false), "tavor1: warning: citt\xc3\xa0\n");
}

TEST(DriverArgs, HelpListsTheOptionsItParses)
{
    EXPECT_NE(driverUsage().find("  --payment-timeout SECONDS"), std::string::npos) << driverUsage();
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
