// The line normaliser on arbitrary bytes: every width, every folding table.
#include "FuzzSupport.h"
#include "conversion/language/LineNormaliser.h"
#include "conversion/language/RequestLanguage.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int width = data[0] % 64;
    const std::string_view line = tavor1::fuzz::asText(data + 1, size - 1);
    // Request files are split into lines before they are normalised.
    if (line.find_first_of("\r\n") != std::string_view::npos)
        return 0;

    const std::string normalised = tavor1::normalizeRequestLine(line);
    const std::string parsed = tavor1::parseRequestLine(line, width);
    const std::string printed = tavor1::preparePrintLine(line, width);
    tavor1::foldCommandText(line);
    tavor1::foldPrintText(line);
    tavor1::upperCase1252(line);

    // A command line always leaves with its terminator (a ";" anywhere
    // counts, as the host may have written one); a print line gets one only
    // when it carries a text, and never carries a byte the register cannot
    // print. READ lines pass unchanged.
    const bool passesAsWritten = tavor1::startsWithWord(line, "READ") || tavor1::startsWithWord(line, "PRNT,");
    if (!normalised.empty() && normalised.find(';') == std::string::npos && !passesAsWritten)
        std::abort();
    if (!parsed.empty() && parsed.find(';') == std::string::npos)
        std::abort();
    if (line.size() > 6 && line.find(",:") != std::string_view::npos && printed.find(';') == std::string::npos)
        std::abort();
    for (const unsigned char c : printed) {
        if (c >= 129)
            std::abort();
    }
    return 0;
}
