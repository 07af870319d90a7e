#include "main/DataDirectory.h"
#include "main/DriverArgs.h"

#include <gtest/gtest.h>

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
