#pragma once

#include "ioprotocol.h"

#include <array>
#include <cstddef>
#include <cstdint>

// The IO thread's bookkeeping for one poll pass, free of ports and threads:
// parses what the board sent, keeps the silence counter and the link-lost
// flag, decides whether the outputs must be sent again and which poll follows.
class IoLinkEngine {
public:
    static constexpr int kSilenceLimit = 1000;  // empty passes tolerated before the link is lost
    static constexpr int kInfoLowAt = 200;      // poll counter value that sends command 3
    static constexpr int kInfoHighAt = 210;     // ... command 4, then the counter restarts

    struct Received {
        bool frame = false;        // at least one good frame
        bool inputs = false;       // a command-2 reply was seen; inputWord is valid
        int inputWord = 0;         // input word of the last command-2 reply
        bool mismatch = false;     // an echo differed from the wanted outputs
        bool reconnected = false;  // the link was lost and a good frame ended it
    };

    // Bytes that arrived, checked against want, the output word the board must show.
    Received receive(const std::uint8_t* data, std::size_t n, int want);
    // A pass in which no byte arrived.
    void silentPass();
    // The poll request that closes a pass (command 2, with 3 and 4 on their schedule).
    ioproto::Request nextPoll();

    bool lost() const { return m_lost; }
    int silence() const { return m_silence; }
    int info(int slot) const { return slot >= 0 && slot < 16 ? m_info[slot] : 0; }
    std::size_t droppedBytes() const { return m_dropped; }

private:
    ioproto::ReplyScanner m_scanner;
    std::array<int, 16> m_info{};
    int m_infoSlot = 0;
    int m_pollCounter = 0;
    int m_silence = 0;
    bool m_lost = false;
    std::size_t m_dropped = 0;
};
