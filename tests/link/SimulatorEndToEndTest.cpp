#include "support/EventLoop.h"
#include "support/Recorders.h"
#include "support/SimulatorLink.h"
#include "support/TempDir.h"

#include "exchange/ExchangeFiles.h"
#include "link/RegisterIdentification.h"

#include <gtest/gtest.h>

#include <memory>

namespace tavor1 {
namespace {

// The whole link against the register simulator on a free loopback port.
class AgainstSimulator : public ::testing::Test {
protected:
    void start(regsim::RegisterConfig config)
    {
        stack = std::make_unique<test::SimulatorLink>(trace, clock, config);
        options.txtRemoteIP = "127.0.0.1";
    }

    std::int16_t identify()
    {
        RegisterIdentification identification(
            stack->link, facts, options, [this](int polls) { return stack->connection.connectAndWait(polls * 10); },
            files, ProgramVersion{1, 0, 0});
        return identification.identifyRegister(1);
    }

    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    test::RecordingTrace trace;
    test::TempDir dir;
    ExchangeFiles files{dir.path(), clock};
    Options options;
    RegisterFacts facts;
    std::unique_ptr<test::SimulatorLink> stack;
};

struct IdentifiedRegister {
    const char* name;
    bool rt;
    const char* serial;
    const char* firmware;
    int modelCode;
    std::string srMatr;
};

class IdentifyingTheSimulator : public AgainstSimulator, public ::testing::WithParamInterface<IdentifiedRegister> {};

// An RT register is named by its full serial and status; an older one keeps
// the eight characters of its identification and has no status line.
TEST_P(IdentifyingTheSimulator, WritesSrMatrAndTheRegistersFacts)
{
    const IdentifiedRegister& c = GetParam();
    regsim::RegisterConfig config;
    config.rt = c.rt;
    config.serial = c.serial;
    config.firmware = c.firmware;
    config.modelCode = c.modelCode;
    start(config);
    ASSERT_EQ(identify(), 0);
    EXPECT_EQ(dir.read("SR_MATR.001"), c.srMatr);
    EXPECT_EQ(facts.registerIsRT, c.rt);
    if (c.rt) {
        EXPECT_EQ(facts.modelCode, c.modelCode);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Registers, IdentifyingTheSimulator,
    ::testing::Values(
        IdentifiedRegister{"Telematic", true, "99MEY012345", "08.06.02", 7,
                           "99MEY012345\r\nStatus: RT\r\nDriverType: CustomEth\r\nVersione: 1.0.0.0\r\nFW: 08.06.02\r\n"},
        IdentifiedRegister{"Older", false, "SIM00042", "4.5", 4,
                           "SIM00042\r\nDriverType: CustomEth\r\nVersione: 1.0.0.0\r\nFW: 4.5\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavor1
