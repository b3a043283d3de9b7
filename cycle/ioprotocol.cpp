#include "ioprotocol.h"

namespace ioproto {

Request encodeRequest(std::uint8_t command, std::uint16_t value) {
    Request q{kHead, command, std::uint8_t(value & 0xFF), std::uint8_t(value >> 8), 0, kTail};
    q[4] = byteSum(q.data(), 4);
    return q;
}

Reply encodeReply(std::uint8_t command, std::array<std::uint8_t, 4> data) {
    Reply r{kHead, command, data[0], data[1], data[2], data[3], 0, kTail};
    r[6] = byteSum(r.data(), 6);
    return r;
}

Reply encodeInputsReply(int inputWord, int outputEcho) {
    return encodeReply(kReadInputs,
                       {std::uint8_t(inputWord & 0xFF), std::uint8_t((inputWord >> 8) & 3),
                        std::uint8_t(outputEcho & 0xFF), std::uint8_t((outputEcho >> 8) & 3)});
}

Reply encodeInfoReply(std::uint8_t command, std::uint32_t value) {
    return encodeReply(command, {std::uint8_t(value), std::uint8_t(value >> 8),
                                 std::uint8_t(value >> 16), std::uint8_t(value >> 24)});
}

}  // namespace ioproto
