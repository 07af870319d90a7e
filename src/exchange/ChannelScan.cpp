#include "exchange/ChannelScan.h"

namespace tavor1 {

int iVerifyStartTavor1(const ExchangeFiles& files, const Options& options, ChannelStates& channels,
                       int& CurrentChannel, const StartIdentification& startIdentification)
{
    for (int n = 1; n <= kChannelCount; ++n) {
        if (!options.channelEnabled[n - 1])
            continue;
        // Without SR_MATR the host has not been told the register is ready:
        // never serve its go signal, identify the register first.
        if (!files.exists(ExchangeFile::SR_MATR, n)) {
            if (startIdentification)
                startIdentification(n);
            continue;
        }
        CurrentChannel = n;
        ChannelState& state = channels[n - 1];
        if (!files.exists(ExchangeFile::SR_START, n)) {
            state.goSignalStuck = false;
            continue;
        }
        if (state.goSignalStuck)
            continue;
        files.VerifyExistenceAndKill(exchangeFileName(ExchangeFile::FINESCO, n));
        if (files.exists(ExchangeFile::SR_OUT, n))
            files.SubKillFileOut(n);
        state.TestReceiptPending = false;
        state.DumpPending = false;
        return n;
    }
    return 0;
}

} // namespace tavor1
