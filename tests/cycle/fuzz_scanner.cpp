// Fuzz entry for the frame scanners (replies on the monitor's side, requests on
// the board's): whatever arrives, a scanner stays inside its buffer and every
// frame it accepts carries a correct sum, head and tail.

#include "ioprotocol.h"

#include <array>
#include <cstdlib>

namespace {

// Checked independently of the scanner's own test.
template <std::size_t N>
bool wellFormed(const std::array<std::uint8_t, N>& f) {
    unsigned sum = 0;
    for (std::size_t i = 0; i + 2 < N; ++i)
        sum += f[i];
    return f[0] == 0x5F && f[N - 1] == 0xF5 && f[N - 2] == (sum & 0xFFu);
}

template <std::size_t N>
void scan(const std::uint8_t* data, std::size_t size) {
    ioproto::FrameScanner<N> s;
    // The first byte picks the read sizes, as a serial port delivers bytes in pieces.
    const std::size_t chunk = size > 0 ? std::size_t(data[0] % 16) + 1 : 1;
    for (std::size_t off = 0; off < size; off += chunk) {
        const std::size_t n = size - off < chunk ? size - off : chunk;
        s.append(data + off, n);
        while (auto f = s.next()) {
            if (!wellFormed<N>(*f))
                std::abort();
        }
        if (s.pending() >= N)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    scan<ioproto::kReplySize>(data, size);
    scan<ioproto::kRequestSize>(data, size);
    return 0;
}
