#include "LinkTestSupport.h"
#include "support/TempDir.h"

#include "app/files/ExchangeFiles.h"
#include "link/RegisterConnection.h"
#include "link/RegisterIdentification.h"
#include "link/RegisterLink.h"
#include "regsim/RegisterSimulator.h"

#include <gtest/gtest.h>

#include <memory>

namespace tavor1 {
namespace {

// The whole link against the register simulator on a free loopback port.
class AgainstSimulator : public ::testing::Test {
protected:
    void start(regsim::RegisterConfig config)
    {
        simulator = std::make_unique<regsim::RegisterSimulator>(config, clock);
        ASSERT_TRUE(simulator->listen(0)) << simulator->errorString().toStdString();
        ConnectionTimings timings;
        timings.connectPollMs = 20;
        connection = std::make_unique<RegisterConnection>(trace, clock, simulator->port(), timings);
        link = std::make_unique<RegisterLink>(*connection, trace, clock, ExchangeTimings{3000, 3000});
        options.txtRemoteIP = "127.0.0.1";
        connection->setRemoteIP(options.txtRemoteIP);
    }

    std::int16_t identify()
    {
        RegisterIdentification identification(*link, facts, options, [this](int polls) {
            return connection->ConnectAndWait(polls * 10);
        }, files, ProgramVersion{1, 0, 0});
        return identification.Zefocx21_DoDumpConf(1);
    }

    FixedClock clock{LocalDateTime{2024, 1, 5, 14, 30, 12}};
    test::RecordingTrace trace;
    test::TempDir dir;
    ExchangeFiles files{dir.path(), clock};
    Options options;
    RegisterFacts facts;
    std::unique_ptr<regsim::RegisterSimulator> simulator;
    std::unique_ptr<RegisterConnection> connection;
    std::unique_ptr<RegisterLink> link;
};

TEST_F(AgainstSimulator, ATelematicRegisterIsIdentifiedAsRT)
{
    regsim::RegisterConfig config;
    config.rt = true;
    config.serial = "99MEY012345";
    config.modelCode = 7;
    config.firmware = "08.06.02";
    start(config);
    ASSERT_EQ(identify(), 0);
    EXPECT_EQ(dir.read("SR_MATR.001"),
              "99MEY012345\r\nStatus: RT\r\nDriverType: CustomEth\r\nVersione: 1.0.0.0\r\nFW: 08.06.02\r\n");
    EXPECT_TRUE(facts.RegisterIsRT);
    EXPECT_EQ(facts.modelCode, 7);
}

TEST_F(AgainstSimulator, AnOlderRegisterKeepsItsEightCharacters)
{
    regsim::RegisterConfig config;
    config.rt = false;
    config.serial = "SIM00042";
    config.firmware = "4.5";
    start(config);
    ASSERT_EQ(identify(), 0);
    EXPECT_EQ(dir.read("SR_MATR.001"), "SIM00042\r\nDriverType: CustomEth\r\nVersione: 1.0.0.0\r\nFW: 4.5\r\n");
    EXPECT_FALSE(facts.RegisterIsRT);
}

} // namespace
} // namespace tavor1
