#include "link/RegisterQueries.h"

#include "protocol/Protocol.h"

#include <regex>

namespace tavor1 {

RegisterQueries::RegisterQueries(RegisterExchange& exchange, TraceSink& trace, const Clock& clock)
    : m_exchange(exchange), m_trace(trace), m_clock(clock)
{
}

std::string RegisterQueries::readGrandTotal()
{
    if (m_exchange.transmitCommand(protocol::msg::GrandTotal) != ExchangeResult::Accepted)
        return {};
    const std::string& payload = m_exchange.replyData();
    if (payload.size() < 14)
        return {};
    std::string line = "GRTO,V" + mid(payload, 5, 10) + ";";
    if (m_trace.isTracing())
        m_trace.writeLine(traceTimestamp(m_clock) + " --> " + line);
    return line;
}

std::string RegisterQueries::readClosingCount()
{
    if (m_exchange.transmitCommand(protocol::msg::FiscalClosings) != ExchangeResult::Accepted)
        return {};
    const std::string& payload = m_exchange.replyData();
    if (payload.size() < 12)
        return {};
    return mid(payload, 5, 4);
}

std::string firmwareFromPayload(std::string_view payload)
{
    // A firmware text is a line of a few dozen characters. The regex engine
    // recurses per character, so anything far longer is not looked at.
    constexpr std::size_t kLongestFirmwareReply = 512;
    if (payload.size() > kLongestFirmwareReply)
        return {};
    static const std::regex pattern(R"(^[^\s]*\s+(\d{2}\.\d{2}\.\d{2})\s+.*$|^.*Rel\.\s+(.*)\s+$)");
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_match(payload.begin(), payload.end(), match, pattern))
        return {};
    if (match[1].matched && match[1].length() > 0)
        return match[1].str();
    return match[2].matched ? match[2].str() : std::string();
}

} // namespace tavor1
