// The option files loader on arbitrary file contents: the input is cut into
// the four option files, which are then loaded as at start-up.
#include "FuzzSupport.h"
#include "platform/ByteFiles.h"
#include "settings/OptionFiles.h"
#include "settings/Options.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const char* const names[] = {"TVCHKCOM.TXT", "TVTIMER1.TXT", "TVCHKXXS.TXT", "TVCHKSCO.TXT"};
    const std::string& dir = tavor1::fuzz::scratchDirectory();
    const std::string_view text = tavor1::fuzz::asText(data, size);

    // Files are separated by a NUL byte; a missing part leaves its file absent.
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::string path = tavor1::joinPath(dir, names[i]);
        if (start > text.size()) {
            tavor1::removeFile(path);
            continue;
        }
        std::size_t end = text.find('\0', start);
        if (end == std::string_view::npos)
            end = text.size();
        tavor1::writeFileBytes(path, text.substr(start, end - start));
        start = end + 1;
    }

    tavor1::Options options;
    tavor1::loadOptionFiles(dir, options);
    if (options.timerIntervalMs <= 0 || options.cboToutConn < 0 || options.cboToutConn > 5)
        std::abort();

    // What was loaded saves and loads back to the same state.
    tavor1::Options again;
    tavor1::saveOptionFiles(dir, options);
    tavor1::loadOptionFiles(dir, again);
    if (tavor1::optionLines(again) != tavor1::optionLines(options))
        std::abort();
    return 0;
}
