#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

// The IO board's serial protocol: 6-byte requests from the monitor, 8-byte
// replies from the board, both framed by 0x5F ... 0xF5 with a byte sum before
// the tail. No Qt and no I/O here, so the simulator, the tests and the fuzz
// driver share exactly the code the link runs.
namespace ioproto {

inline constexpr std::uint8_t kHead = 0x5F;
inline constexpr std::uint8_t kTail = 0xF5;
inline constexpr std::size_t kRequestSize = 6;
inline constexpr std::size_t kReplySize = 8;
inline constexpr std::size_t kBufferSize = 1024;

enum Command : std::uint8_t {
    kSetOutputs = 1,
    kReadInputs = 2,
    kInfoLow = 3,
    kInfoHigh = 4,
};

using Request = std::array<std::uint8_t, kRequestSize>;
using Reply = std::array<std::uint8_t, kReplySize>;

// Sum of the first n bytes, modulo 256.
inline std::uint8_t byteSum(const std::uint8_t* p, std::size_t n) {
    unsigned s = 0;
    for (std::size_t i = 0; i < n; ++i)
        s += p[i];
    return static_cast<std::uint8_t>(s & 0xFF);
}

// True when the N bytes at p form a frame: head, sum of bytes 0..N-3 at N-2, tail.
template <std::size_t N>
inline bool isFrame(const std::uint8_t* p) {
    return p[0] == kHead && p[N - 1] == kTail && p[N - 2] == byteSum(p, N - 2);
}

Request encodeRequest(std::uint8_t command, std::uint16_t value);
Reply encodeReply(std::uint8_t command, std::array<std::uint8_t, 4> data);
// Reply to command 2: the input word and the echo of the outputs, 10 bits each.
Reply encodeInputsReply(int inputWord, int outputEcho);
// Reply to commands 3 and 4: a 32-bit little-endian value.
Reply encodeInfoReply(std::uint8_t command, std::uint32_t value);

inline std::uint8_t command(const Reply& r) {
    return r[1];
}
inline int inputWord(const Reply& r) {
    return r[2] + 256 * (r[3] & 3);
}
inline int outputEcho(const Reply& r) {
    return r[4] + 256 * (r[5] & 3);
}
inline std::uint32_t infoValue(const Reply& r) {
    return std::uint32_t(r[2]) | std::uint32_t(r[3]) << 8 | std::uint32_t(r[4]) << 16 |
           std::uint32_t(r[5]) << 24;
}
inline std::uint16_t requestValue(const Request& q) {
    return std::uint16_t(q[2] | q[3] << 8);
}

// Byte-wise resynchronising frame scanner over a fixed receive buffer. Bytes
// beyond the buffer's capacity are dropped; a byte that does not start a good
// frame is skipped alone, so a frame with a bad sum resumes at its second byte.
template <std::size_t N>
class FrameScanner {
public:
    using Frame = std::array<std::uint8_t, N>;

    // Appends what fits; returns the number of bytes taken.
    std::size_t append(const std::uint8_t* data, std::size_t n) {
        const std::size_t room = kBufferSize - m_fill;
        const std::size_t take = n < room ? n : room;
        if (take > 0)
            std::memcpy(m_buf.data() + m_fill, data, take);
        m_fill += take;
        return take;
    }

    // The next good frame, or nothing once fewer than N bytes remain; the
    // leftover bytes are then moved to the start of the buffer.
    std::optional<Frame> next() {
        while (m_fill - m_pos >= N) {
            const std::uint8_t* p = m_buf.data() + m_pos;
            if (isFrame<N>(p)) {
                Frame f;
                std::memcpy(f.data(), p, N);
                m_pos += N;
                return f;
            }
            ++m_pos;
            ++m_skipped;
        }
        compact();
        return std::nullopt;
    }

    std::size_t pending() const { return m_fill - m_pos; }
    std::size_t skipped() const { return m_skipped; }
    void clear() { m_fill = m_pos = 0; }

private:
    void compact() {
        const std::size_t left = m_fill - m_pos;
        if (m_pos > 0 && left > 0)
            std::memmove(m_buf.data(), m_buf.data() + m_pos, left);
        m_fill = left;
        m_pos = 0;
    }

    std::array<std::uint8_t, kBufferSize> m_buf{};
    std::size_t m_fill = 0;
    std::size_t m_pos = 0;
    std::size_t m_skipped = 0;
};

using ReplyScanner = FrameScanner<kReplySize>;
using RequestScanner = FrameScanner<kRequestSize>;

}  // namespace ioproto
