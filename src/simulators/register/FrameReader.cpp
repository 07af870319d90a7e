#include "simulators/register/FrameReader.h"

#include "platform/NumberText.h"
#include "protocol/Protocol.h"

namespace tavor1::regsim {

int registerChecksum(std::string_view text)
{
    unsigned sum = 0;
    for (char c : text)
        sum += static_cast<unsigned char>(c);
    return static_cast<int>(sum % 100);
}

std::string buildReplyFrame(const ReceivedFrame& to, const std::string& payload)
{
    std::string body = to.sequence;
    body += to.station;
    body += payload;
    const int checksum = registerChecksum(body);
    std::string frame;
    frame.reserve(body.size() + 5);
    frame += protocol::ACK;
    frame += protocol::STX;
    frame += body;
    frame += zeroPad(checksum, 2);
    frame += protocol::ETX;
    return frame;
}

std::vector<ReceivedFrame> FrameReader::feed(std::string_view bytes)
{
    std::vector<ReceivedFrame> frames;
    for (char c : bytes) {
        if (c == protocol::STX) {
            // A new frame, whatever came before: resynchronise on it.
            m_state = State::InFrame;
            m_frame.clear();
            continue;
        }
        switch (m_state) {
        case State::Outside:
        case State::Overlong:
            break;
        case State::InFrame:
            if (c == protocol::ETX) {
                frames.push_back(parse());
                m_frame.clear();
                m_state = State::Outside;
            } else if (m_frame.size() + 2 >= kMaxFrameBytes) {
                // Not a frame the register could take: drop it, answer once,
                // and ignore everything until the next STX.
                m_frame.clear();
                m_frame.shrink_to_fit();
                m_state = State::Overlong;
                frames.push_back(ReceivedFrame{});
            } else {
                m_frame += c;
            }
            break;
        }
    }
    return frames;
}

ReceivedFrame FrameReader::parse() const
{
    ReceivedFrame frame;
    // sequence (2), station (1), checksum (2) at the least
    if (m_frame.size() < 5)
        return frame;
    const std::string_view body(m_frame.data(), m_frame.size() - 2);
    const std::string_view sum(m_frame.data() + m_frame.size() - 2, 2);
    if (body.size() > static_cast<std::size_t>(protocol::kMaxBodyLength))
        return frame;
    if (!IsDigits(body.substr(0, 2)) || !IsDigits(sum))
        return frame;
    if ((sum[0] - '0') * 10 + (sum[1] - '0') != registerChecksum(body))
        return frame;
    frame.valid = true;
    frame.sequence = std::string(body.substr(0, 2));
    frame.station = body[2];
    frame.command = std::string(body.substr(3));
    return frame;
}

} // namespace tavor1::regsim
