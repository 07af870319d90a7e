// convertRequestFile on arbitrary request bytes: the whole converter,
// key-sequence and invoice pre-conversions included.
#include "FuzzSupport.h"
#include "conversion/receipt/ReceiptConverter.h"
#include "platform/ByteFiles.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::string& dir = tavor1::fuzz::scratchDirectory();
    const std::uint8_t flags = data[0];

    tavor1::ConversionContext ctx;
    ctx.dataDir = dir;
    ctx.channel = 1 + flags % 4;
    ctx.facts.registerIsRT = flags & 0x04;
    ctx.facts.serialNumber = (flags & 0x08) ? "99MEY012345" : "";
    ctx.options.chbConvXonXoff = flags & 0x10;
    ctx.options.OptNonFiscal = !(flags & 0x20);
    ctx.options.chbPagamentiEstesi = flags & 0x40;
    ctx.options.chbInversioneScontiSuReso = flags & 0x80;

    const std::string request = tavor1::joinPath(dir, "SR_DATI.001");
    tavor1::writeFileBytes(request, tavor1::fuzz::asText(data + 1, size - 1));

    tavor1::ConversionResult result;
    const int code = tavor1::convertRequestFile(request, ctx, result);
    if (code != 0 && code != 1)
        std::abort();
    if (code == 0) {
        // Every command fits a frame.
        for (const auto& command : result.commands) {
            if (command.size() > 252)
                std::abort();
        }
    }
    return 0;
}
