// The simulator's command line: faults spelt out as the usage text promises.

#include "simulators/register/SimulatorOptions.h"

#include <gtest/gtest.h>

namespace tavor1::regsim {
namespace {

TEST(SimulatorOptionsTest, ReadsRegisterAndFaults)
{
    SimulatorOptions options;
    std::string error;
    ASSERT_TRUE(parseSimulatorOptions(
        {"--port",  "0",          "--mf",     "--serial",    "CK123456",   "--model",      "2",       "--firmware",
         "Rel 7",   "--latency",  "20",       "--roll",      "/tmp/r.txt", "--fail",       "3011:23", "--fail",
         "*:31:-1", "--fail-nth", "5:51",     "--paper-end", "3",          "--cover-open", "1",       "--nak",
         "1009:2",  "--lone-ack", "3101:250", "--silence",   "1004",       "--drop-after", "4"},
        options, error))
        << error;
    EXPECT_FALSE(options.config.rt);
    ASSERT_EQ(options.faults.size(), 7u);
    EXPECT_EQ(options.faults[0].command, "3011");
    EXPECT_EQ(options.faults[0].code, "23");
    EXPECT_EQ(options.faults[1].command, "") << "* is every command";
    EXPECT_EQ(options.faults[1].times, -1);
    EXPECT_EQ(options.faults[2].nthFrame, 5);
    EXPECT_EQ(options.faults[3].mode, FaultMode::Nak);
    EXPECT_EQ(options.faults[3].times, 2);
    EXPECT_EQ(options.faults[4].delayMs, 250);
    EXPECT_EQ(options.faults[5].mode, FaultMode::Silence);
    EXPECT_EQ(options.faults[6].nthFrame, 5) << "dropped on the frame after the fourth";
}

struct BadArguments {
    const char* name;
    std::vector<std::string> args;
};

class SimulatorBadOptionsTest : public ::testing::TestWithParam<BadArguments> {};

TEST_P(SimulatorBadOptionsTest, RefusedWithAReason)
{
    SimulatorOptions options;
    std::string error;
    EXPECT_FALSE(parseSimulatorOptions(GetParam().args, options, error));
    EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, SimulatorBadOptionsTest,
                         ::testing::Values(BadArguments{"PortTooHigh", {"--port", "70000"}},
                                           BadArguments{"PortNotANumber", {"--port", "9100x"}},
                                           BadArguments{"CodeOfThreeCharacters", {"--fail", "3011:123"}},
                                           BadArguments{"FailWithoutCode", {"--fail", "3011"}},
                                           BadArguments{"ZeroTimes", {"--nak", "1009:0"}},
                                           BadArguments{"NthFrameZero", {"--fail-nth", "0:16"}},
                                           BadArguments{"NegativeDelay", {"--lone-ack", "3101:-5"}}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1::regsim
