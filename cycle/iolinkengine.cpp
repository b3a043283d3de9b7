#include "iolinkengine.h"

IoLinkEngine::Received IoLinkEngine::receive(const std::uint8_t* data, std::size_t n, int want) {
    Received r;
    m_dropped += n - m_scanner.append(data, n);
    while (auto f = m_scanner.next()) {
        r.frame = true;
        if (m_lost) {
            m_lost = false;
            r.reconnected = true;
        }
        m_silence = 0;
        switch (ioproto::command(*f)) {
            case ioproto::kReadInputs:
                r.inputs = true;
                r.inputWord = ioproto::inputWord(*f);
                if (ioproto::outputEcho(*f) != (want & 0x3FF))
                    r.mismatch = true;
                break;
            case ioproto::kInfoLow:
            case ioproto::kInfoHigh:
                if (m_infoSlot < int(m_info.size()))
                    m_info[m_infoSlot++] = int(ioproto::infoValue(*f));
                break;
            default:
                break;
        }
    }
    return r;
}

void IoLinkEngine::silentPass() {
    if (m_silence <= kSilenceLimit)
        ++m_silence;
    if (m_silence > kSilenceLimit)
        m_lost = true;
}

ioproto::Request IoLinkEngine::nextPoll() {
    ++m_pollCounter;
    if (m_pollCounter == kInfoLowAt) {
        m_infoSlot = 0;
        return ioproto::encodeRequest(ioproto::kInfoLow, 0);
    }
    if (m_pollCounter >= kInfoHighAt) {
        m_pollCounter = 0;
        m_infoSlot = 8;
        return ioproto::encodeRequest(ioproto::kInfoHigh, 0);
    }
    return ioproto::encodeRequest(ioproto::kReadInputs, 0);
}
