// The key-sequence conversion on arbitrary streams, unbalanced quotes included.
#include "FuzzSupport.h"
#include "conversion/invoice/KeySequence.h"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::ostringstream target;
    tavor1::convertKeySequence(tavor1::fuzz::asText(data, size), target);
    tavor1::readFilePath(tavor1::fuzz::asText(data, size), tavor1::fuzz::scratchDirectory(), 1);
    return 0;
}
