#pragma once

#include "exchange/ChannelState.h"

namespace tavor1 {

// The job flags of the main window, shared by the job cycle, the job steps
// and the window.
struct DriverState {
    // Per channel: dumpPending, testReceiptPending and the stuck go signal.
    ChannelStates channels{};
    // The channel whose request the test button wrote (1..4), 0 when none.
    // Only that channel's next job is sent as raw register commands.
    int testReceiptChannel = 0;
    // The running job's request holds register commands sent as they stand.
    bool testReceiptMode = false;
    // A job, or a register identification, is under way: no poll or other
    // job starts, and the closing sequence leaves the exchange files alone.
    bool jobRunning = false;
    bool dumpRunning = false;
    // The main window is on screen; while it is not, the job cycle leaves
    // the window's status boxes alone.
    bool windowShown = false;
    // Set by the closing sequence: no new identification or job starts.
    bool closing = false;
};

} // namespace tavor1
