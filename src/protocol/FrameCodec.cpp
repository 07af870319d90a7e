#include "protocol/FrameCodec.h"

#include "platform/NumberText.h"
#include "protocol/Protocol.h"

namespace tavor1 {

int frameChecksum(std::string_view body)
{
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    return static_cast<int>(sum % 100);
}

int nextSequenceNumber(int current)
{
    const int next = (current + 1) % protocol::kSequenceModulus;
    return next < 0 ? next + protocol::kSequenceModulus : next;
}

std::string frameBody(int sequence, std::string_view command)
{
    // Sequence numbers stay below 98 and checksums below 100: two digits each.
    std::string body = zeroPad(sequence % 100, 2);
    body += protocol::kStationId;
    body += command;
    return body;
}

std::string buildFrame(int sequence, std::string_view command)
{
    const std::string body = frameBody(sequence, command);
    if (body.size() > static_cast<std::size_t>(protocol::kMaxBodyLength))
        return {};
    std::string frame;
    frame.reserve(body.size() + 4);
    frame += protocol::STX;
    frame += body;
    frame += zeroPad(frameChecksum(body), 2);
    frame += protocol::ETX;
    return frame;
}

bool isReplyComplete(std::string_view received)
{
    if (received.size() == 1 && received[0] == protocol::NAK)
        return true;
    return received.find(protocol::ETX) != std::string_view::npos
        || received.find(protocol::ACK) != std::string_view::npos;
}

std::optional<std::string> cutReplyPayload(std::string_view reply)
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

ExchangeResult resultForRegisterError(std::string_view code)
{
    struct Row {
        std::string_view code;
        ExchangeResult result;
    };
    static constexpr Row rows[] = {
        {"09", ExchangeResult::PrintBufferFull},   {"12", ExchangeResult::RtDocumentNotFound},
        {"16", ExchangeResult::PaperEnd},          {"20", ExchangeResult::NoAnswer},
        {"21", ExchangeResult::ReceiptOpen},       {"98", ExchangeResult::ReceiptOpen},
        {"23", ExchangeResult::NegativeTotal},     {"30", ExchangeResult::JournalExhausted},
        {"31", ExchangeResult::JournalNearlyFull}, {"37", ExchangeResult::CoverOpen},
        {"51", ExchangeResult::FiscalMemoryFull},  {"99", ExchangeResult::RegisterOwnError},
        {"29", ExchangeResult::NegativeVat},
    };
    for (const Row& row : rows)
        if (row.code == code)
            return row.result;
    return ExchangeResult::OtherRegisterError;
}

ReplyVerdict classifyPayload(std::string_view command, std::string_view payload)
{
    ReplyVerdict verdict;
    const std::string_view number = protocol::msg::Function7101;
    const std::size_t at7101 = payload.find(number);
    if (at7101 != std::string_view::npos && command.find(number) != std::string_view::npos
        && at7101 + 4 < payload.size() && payload[at7101 + 4] == protocol::k7101NotModifiable) {
        verdict.result = ExchangeResult::DocumentNotModifiable;
        return verdict;
    }
    const std::size_t atErr = payload.find(protocol::kErrorMarker);
    if (atErr != std::string_view::npos) {
        // A code cut short by the end of the payload is kept as it stands.
        verdict.registerError = std::string(payload.substr(atErr + 3, 2));
        verdict.result = resultForRegisterError(verdict.registerError);
        return verdict;
    }
    const bool echoes = payload.size() >= 4 && command.size() >= 4 && payload.substr(0, 4) == command.substr(0, 4);
    verdict.result = echoes ? ExchangeResult::Accepted : ExchangeResult::NoReply;
    return verdict;
}

} // namespace tavor1
