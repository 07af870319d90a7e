#pragma once

#include "exchange/ExchangeFiles.h"
#include "exchange/JobAnswer.h"
#include "platform/ByteFiles.h"

#include <array>
#include <optional>

namespace tavor1 {

// What the main window remembers about one channel between polls.
struct ChannelState {
    // The register identification of the channel is still to be done.
    bool dumpPending = true;
    // The test button asked for a test receipt on this channel.
    bool testReceiptPending = false;
    // The identity of a go signal whose job has run but which could not be
    // deleted. While that very file stays, the scan does not serve it again
    // (a second run would print the document twice) and tries the delete
    // once more at every poll. A go signal the host writes afresh has another
    // identity and is served. Cleared once the file is gone or replaced.
    std::optional<FileIdentity> servedGoSignal;
    // The answer of the channel's last job, while a file of it could not be
    // written. Retried at every poll; the channel serves no new job until it
    // is delivered.
    std::optional<JobAnswer> pendingAnswer;
};

using ChannelStates = std::array<ChannelState, kChannelCount>;

} // namespace tavor1
