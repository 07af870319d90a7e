#pragma once

#include "exchange/ExchangeFiles.h"

#include <array>

namespace tavor1 {

// What the main window remembers about one channel between polls.
struct ChannelState {
    // The register identification of the channel is still to be done.
    bool DumpPending = true;
    // The test button asked for a test receipt on this channel.
    bool TestReceiptPending = false;
    // The last job's SR_START could not be deleted. While that file stays,
    // the scan does not serve it again: the job has run, and running it a
    // second time would print the document twice. Set by whoever calls
    // SubKillStartFile and gets false; cleared by the scan once the file is gone.
    bool goSignalStuck = false;
};

using ChannelStates = std::array<ChannelState, kChannelCount>;

} // namespace tavor1
