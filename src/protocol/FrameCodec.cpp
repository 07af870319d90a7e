#include "protocol/FrameCodec.h"

#include "platform/NumberText.h"
#include "protocol/Protocol.h"

namespace tavor1 {

int FrameChecksum(std::string_view body)
{
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    return static_cast<int>(sum % 100);
}

int NextSequenceNumber(int current)
{
    const int next = (current + 1) % protocol::kSequenceModulus;
    return next < 0 ? next + protocol::kSequenceModulus : next;
}

std::string FrameBody(int sequence, std::string_view command)
{
    // Sequence numbers stay below 98 and checksums below 100: two digits each.
    std::string body = ZeroPad(sequence % 100, 2);
    body += protocol::kStationId;
    body += command;
    return body;
}

std::string BuildFrame(int sequence, std::string_view command)
{
    const std::string body = FrameBody(sequence, command);
    if (body.size() > static_cast<std::size_t>(protocol::kMaxBodyLength))
        return {};
    std::string frame;
    frame.reserve(body.size() + 4);
    frame += protocol::STX;
    frame += body;
    frame += ZeroPad(FrameChecksum(body), 2);
    frame += protocol::ETX;
    return frame;
}

bool IsReplyComplete(std::string_view received)
{
    if (received.size() == 1 && received[0] == protocol::NAK)
        return true;
    return received.find(protocol::ETX) != std::string_view::npos
        || received.find(protocol::ACK) != std::string_view::npos;
}

std::optional<std::string> CutReplyPayload(std::string_view reply)
{
    if (reply.find(':') != std::string_view::npos) {
        if (reply.size() < 5)
            return std::nullopt;
        return std::string(reply.substr(2, reply.size() - 5));
    }
    if (reply.size() < 8)
        return std::nullopt;
    return std::string(reply.substr(5, reply.size() - 8));
}

std::int16_t ResultForRegisterError(std::string_view code)
{
    struct Row {
        std::string_view code;
        std::int16_t result;
    };
    static constexpr Row rows[] = {
        {"09", protocol::result::PrintBufferFull},
        {"12", protocol::result::RtDocumentNotFound},
        {"16", protocol::result::PaperEnd},
        {"20", protocol::result::NoAnswer},
        {"21", protocol::result::ReceiptOpen},
        {"98", protocol::result::ReceiptOpen},
        {"23", protocol::result::NegativeTotal},
        {"30", protocol::result::JournalExhausted},
        {"31", protocol::result::JournalNearlyFull},
        {"37", protocol::result::CoverOpen},
        {"51", protocol::result::FiscalMemoryFull},
        {"99", protocol::result::RegisterOwnError},
        {"29", protocol::result::NegativeVat},
    };
    for (const Row& row : rows)
        if (row.code == code)
            return row.result;
    return protocol::result::OtherRegisterError;
}

ReplyVerdict ClassifyPayload(std::string_view command, std::string_view payload)
{
    ReplyVerdict verdict;
    const std::string_view number = protocol::msg::Function7101;
    const std::size_t at7101 = payload.find(number);
    if (at7101 != std::string_view::npos && command.find(number) != std::string_view::npos
        && at7101 + 4 < payload.size() && payload[at7101 + 4] == protocol::k7101NotModifiable) {
        verdict.result = protocol::result::DocumentNotModifiable;
        return verdict;
    }
    const std::size_t atErr = payload.find(protocol::kErrorMarker);
    if (atErr != std::string_view::npos) {
        // A code cut short by the end of the payload is kept as it stands.
        verdict.registerError = std::string(payload.substr(atErr + 3, 2));
        verdict.result = ResultForRegisterError(verdict.registerError);
        return verdict;
    }
    const bool echoes = payload.size() >= 4 && command.size() >= 4 && payload.substr(0, 4) == command.substr(0, 4);
    verdict.result = echoes ? protocol::result::Accepted : protocol::result::NoReply;
    return verdict;
}

} // namespace tavor1
