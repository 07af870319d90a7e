#include "exchange/ChannelScan.h"

namespace tavor1 {

int scanForGoSignal(const ExchangeFiles& files, const Options& options, ChannelStates& channels, int& currentChannel,
                    const StartIdentification& startIdentification)
{
    for (int n = 1; n <= kChannelCount; ++n) {
        ChannelState& state = channels[n - 1];
        const bool served = state.servedGoSignal && goSignalAlreadyServed(files, state, n);
        if (!options.channelEnabled[n - 1])
            continue;
        // Without SR_MATR the host has not been told the register is ready:
        // never serve its go signal, identify the register first.
        if (!files.exists(ExchangeFile::SR_MATR, n)) {
            if (startIdentification)
                startIdentification(n);
            continue;
        }
        currentChannel = n;
        if (served || state.pendingAnswer || !files.exists(ExchangeFile::SR_START, n))
            continue;
        files.deleteIfExists(exchangeFileName(ExchangeFile::FINESCO, n));
        if (files.exists(ExchangeFile::SR_OUT, n))
            files.deleteOutFile(n);
        state.testReceiptPending = false;
        state.dumpPending = false;
        return n;
    }
    return 0;
}

bool goSignalAlreadyServed(const ExchangeFiles& files, ChannelState& state, int channel)
{
    if (!state.servedGoSignal)
        return false;
    const std::optional<FileIdentity> now = fileIdentity(files.path(ExchangeFile::SR_START, channel));
    if (now != state.servedGoSignal) {
        state.servedGoSignal.reset();
        return false;
    }
    std::error_code ec;
    if (!files.removeQuietly(ExchangeFile::SR_START, channel, ec))
        return true;
    state.servedGoSignal.reset();
    files.log("SR_START " + std::to_string(channel) + " cancellato al nuovo tentativo");
    return false;
}

} // namespace tavor1
