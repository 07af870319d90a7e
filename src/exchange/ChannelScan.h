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
// scan: its FINESCO and SR_OUT are deleted, its TestReceiptPending and
// DumpPending cleared, and its number returned. CurrentChannel is left at the
// last channel that had SR_MATR (callers report errors on it). Returns 0 when
// no job waits.
int iVerifyStartTavor1(const ExchangeFiles& files, const Options& options, ChannelStates& channels,
                       int& CurrentChannel, const StartIdentification& startIdentification);

} // namespace tavor1
