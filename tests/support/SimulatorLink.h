#pragma once

// The register simulator on a free loopback port and the connection and link
// the driver talks to it through, built as the driver builds them. Header
// only: the test programs that include it link the link and the simulator.

#include "link/RegisterConnection.h"
#include "link/RegisterLink.h"
#include "simulators/register/RegisterSimulator.h"

#include <gtest/gtest.h>

namespace tavor1::test {

struct SimulatorLink {
    SimulatorLink(TraceSink& trace, const Clock& clock, regsim::RegisterConfig config = {},
                  ExchangeTimings timings = {3000, 3000})
        : sim(std::move(config), clock)
        , connection(trace, clock, listening(sim), quickConnect())
        , link(connection, trace, clock, timings)
    {
        connection.setRemoteIP("127.0.0.1");
    }

    regsim::RegisterSimulator sim;
    RegisterConnection connection;
    RegisterLink link;

private:
    static std::uint16_t listening(regsim::RegisterSimulator& sim)
    {
        EXPECT_TRUE(sim.listen(0)) << sim.errorString().toStdString();
        return sim.port();
    }
    // The connection is checked every 20 ms instead of every second.
    static ConnectionTimings quickConnect()
    {
        ConnectionTimings t;
        t.connectPollMs = 20;
        return t;
    }
};

} // namespace tavor1::test
