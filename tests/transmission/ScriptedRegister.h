#pragma once

// The scripted register with the connection controls the transmission uses.

#include "support/ScriptedExchange.h"
#include "transmission/Transmission.h"

namespace tavor1::test {

class ScriptedRegister final : public ScriptedExchange, public LinkControl {
public:
    bool connectAndWait() override
    {
        ++reconnects;
        if (reconnectWorks)
            connected = true;
        return reconnectWorks;
    }
    bool isConnected() const override { return connected; }
    bool isBusy() const override { return busy; }

    bool reconnectWorks = true;
    bool busy = false;
    int reconnects = 0;
};

} // namespace tavor1::test
