// Stand-alone driver of the scanner's fuzz entry where libFuzzer is not used:
// seeded random and mutated buffers for a bounded time.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "ioprotocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    double seconds = 3;
    unsigned seed = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seed"))
            seed = unsigned(std::strtoul(argv[i + 1], nullptr, 10));
    }
    std::mt19937 rng(seed);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    long runs = 0;
    std::vector<std::uint8_t> buf;
    while (std::chrono::steady_clock::now() < end) {
        for (int k = 0; k < 200; ++k, ++runs) {
            buf.clear();
            const std::size_t len = rng() % 3000;
            while (buf.size() < len) {
                switch (rng() % 4) {
                    case 0: {  // a good frame
                        const auto r =
                            ioproto::encodeInputsReply(int(rng() & 0x3FF), int(rng() & 0x3FF));
                        buf.insert(buf.end(), r.begin(), r.end());
                        break;
                    }
                    case 1: {  // a frame with one byte flipped
                        auto r = ioproto::encodeInfoReply(std::uint8_t(3 + rng() % 2), rng());
                        r[rng() % r.size()] ^= std::uint8_t(1u << (rng() % 8));
                        buf.insert(buf.end(), r.begin(), r.end());
                        break;
                    }
                    case 2:  // frame-like bytes
                        buf.push_back(rng() % 2 ? ioproto::kHead : ioproto::kTail);
                        break;
                    default:
                        buf.push_back(std::uint8_t(rng()));
                }
            }
            buf.resize(len);
            LLVMFuzzerTestOneInput(buf.data(), buf.size());
        }
    }
    std::printf("ioscan_fuzz: %ld inputs, seed %u\n", runs, seed);
    return 0;
}
