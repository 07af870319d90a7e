// The reply side of the framed exchange: completion, payload cut and
// classification of arbitrary reply bytes against a command.
#include "FuzzSupport.h"
#include "protocol/FrameCodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte says how long the command is; the rest is the reply.
    const std::size_t commandLength = std::min<std::size_t>(data[0] % 16, size - 1);
    const std::string_view command = tavor1::fuzz::asText(data + 1, commandLength);
    const std::string_view reply = tavor1::fuzz::asText(data + 1 + commandLength, size - 1 - commandLength);

    tavor1::isReplyComplete(reply);
    const auto payload = tavor1::cutReplyPayload(reply);
    if (payload && payload->size() > reply.size())
        std::abort();
    const auto verdict = tavor1::classifyPayload(command, payload.value_or(std::string(reply)));
    if (tavor1::codeNumber(verdict.result) > 1)
        std::abort();
    if (!verdict.registerError.empty() && verdict.registerError.size() > 2)
        std::abort();

    const std::string frame = tavor1::buildFrame(data[0] % 98, reply);
    if (!frame.empty() && (frame.front() != 0x02 || frame.back() != 0x03))
        std::abort();
    return 0;
}
