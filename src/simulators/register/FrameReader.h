#pragma once

// Cuts the register's command frames (STX, sequence, station, command,
// checksum, ETX) out of a byte stream that may arrive in any pieces, holding
// at most one frame's worth of bytes. Bytes outside a frame (the driver's bare
// ACK, noise) are dropped; an STX inside a frame starts the frame afresh.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavor1::regsim {

struct ReceivedFrame {
    bool valid = false;     // false: answer NAK (bad checksum, bad digits, over-long)
    std::string sequence;   // two digits
    char station = '0';
    std::string command;
};

class FrameReader {
public:
    // Longest frame taken: STX, a 255-byte body, the checksum, ETX, with room
    // to spare. A longer run without ETX is dropped and answered once with NAK.
    static constexpr std::size_t kMaxFrameBytes = 512;

    std::vector<ReceivedFrame> feed(std::string_view bytes);
    std::size_t bufferedBytes() const { return m_frame.size(); }

private:
    enum class State { Outside, InFrame, Overlong };

    ReceivedFrame parse() const;

    State m_state = State::Outside;
    std::string m_frame; // bytes after STX
};

// Sum of the byte values of the text, modulo 100.
int registerChecksum(std::string_view text);

// ACK, then STX, sequence, station, payload, checksum, ETX.
std::string buildReplyFrame(const ReceivedFrame& to, const std::string& payload);

} // namespace tavor1::regsim
