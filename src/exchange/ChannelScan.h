#pragma once

#include "exchange/ChannelState.h"
#include "exchange/ExchangeFiles.h"
#include "settings/Options.h"

#include <functional>

namespace tavor1 {

// Starts the register identification of a channel whose SR_MATR is missing.
// The callee decides whether it may run now (not during a job, another
// identification or the closing sequence).
using StartIdentification = std::function<void(int channel)>;

// The channel scan of every poll. Channels 1 to 4 in order: a channel is
// served only when enabled and its SR_MATR exists; a channel without SR_MATR
// gets an identification instead. The first channel with a go signal ends the
// scan: its FINESCO and SR_OUT are deleted, its testReceiptPending and
// dumpPending cleared, and its number returned. currentChannel is left at the
// last channel that had SR_MATR (callers report errors on it). Returns 0 when
// no job waits.
//
// A channel whose answer is still pending is not served. A go signal already
// served (ChannelState::servedGoSignal) is deleted once more, on every
// channel, enabled or not; while it stays it is skipped.
int scanForGoSignal(const ExchangeFiles& files, const Options& options, ChannelStates& channels, int& currentChannel,
                    const StartIdentification& startIdentification);

// Tries the delete of a go signal already served again. True while that same
// file is still there (the scan must skip it); false once it is gone or the
// host has written a new go signal in its place, and servedGoSignal is cleared.
bool goSignalAlreadyServed(const ExchangeFiles& files, ChannelState& state, int channel);

} // namespace tavor1
