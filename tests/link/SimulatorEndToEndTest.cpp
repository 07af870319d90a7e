#include "support/EventLoop.h"
#include "support/Recorders.h"
#include "support/SimulatorLink.h"
#include "support/TempDir.h"

#include "exchange/ExchangeFiles.h"
#include "link/RegisterIdentification.h"

#include <gtest/gtest.h>

namespace tavor1 {
namespace {

// The whole link against the register simulator on a free loopback port: a
// telematic register is named by its full serial and status.
TEST(AgainstSimulator, IdentifyingWritesSrMatrAndTheRegistersFacts)
{
    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    test::RecordingTrace trace;
    test::TempDir dir;
    ExchangeFiles files{dir.path(), clock};
    Options options;
    options.txtRemoteIP = "127.0.0.1";
    RegisterFacts facts;
    regsim::RegisterConfig config;
    config.serial = "99MEY012345";
    config.firmware = "08.06.02";
    config.modelCode = 7;
    test::SimulatorLink stack(trace, clock, config);
    RegisterIdentification identification(
        stack.link, facts, options, [&](int polls) { return stack.connection.connectAndWait(polls * 10); }, files,
        ProgramVersion{1, 0, 0});

    ASSERT_EQ(identification.identifyRegister(1), 0);
    EXPECT_EQ(dir.read("SR_MATR.001"),
              "99MEY012345\r\nStatus: RT\r\nDriverType: CustomEth\r\nVersione: 1.0.0.0\r\nFW: 08.06.02\r\n");
    EXPECT_TRUE(facts.registerIsRT);
    EXPECT_EQ(facts.modelCode, 7);
}

} // namespace
} // namespace tavor1
