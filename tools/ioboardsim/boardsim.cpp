#include "boardsim.h"

#include <bitset>
#include <sstream>

namespace {

std::string bits(int word, int n) {
    std::string s;
    for (int b = n - 1; b >= 0; --b)
        s += (word >> b & 1) ? '1' : '0';
    return s;
}

}  // namespace

BoardSim::BoardSim(Options opt, std::function<void(Us, const std::string&)> log)
    : m_opt(opt), m_log(std::move(log)), m_rng(opt.seed) {}

const char* BoardSim::name(Phase p) {
    switch (p) {
        case Phase::Idle:
            return "idle";
        case Phase::Closing:
            return "closing";
        case Phase::Injecting:
            return "injecting";
        case Phase::Cooling:
            return "cooling";
        case Phase::Opening:
            return "opening";
        case Phase::WaitEject:
            return "wait-eject";
        case Phase::Ejecting:
            return "ejecting";
        case Phase::WaitClose:
            return "wait-close";
    }
    return "?";
}

bool BoardSim::active(int ch) const {
    const bool level = (m_effective >> ch & 1) != 0;
    return level != (m_opt.polarity[std::size_t(ch)] != 0);
}

void BoardSim::setInput(int bit, bool on, Us now, const char* why) {
    const int before = m_inputs;
    if (on)
        m_inputs |= 1 << bit;
    else
        m_inputs &= ~(1 << bit);
    if (m_inputs != before)
        m_log(now, "in " + std::to_string(m_inputs) + " " + bits(m_inputs, 10) + " " + why);
}

// The relays show the commanded word, except in the watchdog's safe state:
// clamping and ejection prohibited, alarm on.
void BoardSim::applyOutputs(Us now, const char* why) {
    int word = m_commanded;
    if (m_watchdogSafe) {
        for (int ch = 0; ch < 3; ++ch) {
            const bool level = m_opt.polarity[std::size_t(ch)] == 0;
            word = level ? word | 1 << ch : word & ~(1 << ch);
        }
    }
    if (word == m_effective)
        return;
    m_effective = word;
    m_log(now, "out " + std::to_string(word) + " " + bits(word, 9) + " " + why);
    const bool stop = active(2);
    if (stop != m_stopped) {
        m_stopped = stop;
        m_log(now, stop ? "stop alarm" : "resume");
    }
}

void BoardSim::enter(Phase p, Us now) {
    m_phase = p;
    m_hold.clear();
    const CycleTimes& c = m_opt.cycle;
    switch (p) {
        case Phase::Closing:
            m_phaseLeft = Us(c.close) * 1000;
            setInput(0, false, now, "closing");
            break;
        case Phase::Injecting:
            m_phaseLeft = Us(c.inject) * 1000;
            break;
        case Phase::Cooling:
            m_phaseLeft = Us(c.cool) * 1000;
            break;
        case Phase::Opening:
            m_phaseLeft = Us(c.open) * 1000;
            break;
        case Phase::Ejecting:
            m_phaseLeft = Us(c.eject) * 1000;
            setInput(2, false, now, "ejecting");
            break;
        case Phase::WaitEject:
        case Phase::WaitClose:
            m_phaseLeft = Us(c.dwell) * 1000;
            break;
        default:
            m_phaseLeft = 0;
            break;
    }
    m_log(now, std::string("machine ") + name(p));
}

void BoardSim::tick(Us now) {
    if (m_effective < 0)
        applyOutputs(now, "power-on");
    const Us dt = m_lastTick < 0 ? 0 : now - m_lastTick;
    m_lastTick = now;
    if (m_lastPoll < 0)
        m_lastPoll = now;

    if (m_opt.watchdogMs > 0 && !m_watchdogSafe && now - m_lastPoll > Us(m_opt.watchdogMs) * 1000) {
        m_watchdogSafe = true;
        m_log(now, "watchdog safe");
        applyOutputs(now, "watchdog");
    }

    if (m_phase == Phase::Idle && m_opt.run)
        enter(Phase::Closing, now);
    if (m_phase == Phase::Idle)
        return;

    const bool doorOpen = (m_inputs >> 1 & 1) == 0;
    auto hold = [&](const std::string& why) {
        if (m_hold != why) {
            m_hold = why;
            m_log(now, "hold " + why);
        }
    };
    if (m_stopped)
        return hold("alarm");
    if (doorOpen)
        return hold("door-open");

    if (m_phase == Phase::WaitEject || m_phase == Phase::WaitClose) {
        m_phaseLeft -= dt;
        if (m_phaseLeft > 0)
            return;
    }
    switch (m_phase) {
        case Phase::WaitEject:
            if (active(1))
                return hold("eject-prohibited");
            enter(Phase::Ejecting, now);
            return;
        case Phase::WaitClose:
            if (active(0))
                return hold("clamp-prohibited");
            if (!m_opt.run) {
                m_phase = Phase::Idle;
                m_log(now, "machine idle");
                return;
            }
            enter(Phase::Closing, now);
            return;
        default:
            break;
    }
    m_hold.clear();
    m_phaseLeft -= dt;
    if (m_phaseLeft > 0)
        return;
    switch (m_phase) {
        case Phase::Closing:
            enter(Phase::Injecting, now);
            break;
        case Phase::Injecting:
            enter(Phase::Cooling, now);
            break;
        case Phase::Cooling:
            enter(Phase::Opening, now);
            break;
        case Phase::Opening:
            setInput(0, true, now, "mould-open");
            enter(Phase::WaitEject, now);
            break;
        case Phase::Ejecting:
            setInput(2, true, now, "ejector-back");
            enter(Phase::WaitClose, now);
            break;
        default:
            break;
    }
}

void BoardSim::reply(const ioproto::Reply& r, Us now) {
    if (m_silent)
        return;
    std::vector<std::uint8_t> bytes;
    for (; m_garbage > 0; --m_garbage)
        bytes.push_back(std::uint8_t(m_rng()));
    const std::size_t at = bytes.size();
    bytes.insert(bytes.end(), r.begin(), r.end());
    if (m_badSums > 0) {
        --m_badSums;
        bytes[at + 6] = std::uint8_t(bytes[at + 6] + 1);
    }
    if (m_split) {
        const std::size_t cut = at + 3;
        m_queue.push_back({now, {bytes.begin(), bytes.begin() + long(cut)}});
        m_queue.push_back({now + 2000, {bytes.begin() + long(cut), bytes.end()}});
    } else {
        m_queue.push_back({now, std::move(bytes)});
    }
}

void BoardSim::receive(const std::uint8_t* data, std::size_t n, Us now) {
    while (n > 0) {
        const std::size_t took = m_scanner.append(data, n);
        data += took;
        n -= took;
        while (auto q = m_scanner.next()) {
            m_lastPoll = now;
            if (m_watchdogSafe) {
                m_watchdogSafe = false;
                m_log(now, "watchdog released");
                applyOutputs(now, "polled");
            }
            const int value = ioproto::requestValue(*q) & 0x3FF;
            switch ((*q)[1]) {
                case ioproto::kSetOutputs:
                    if (m_ignoreSet) {
                        m_log(now, "set " + std::to_string(value) + " ignored");
                    } else {
                        m_commanded = value;
                        applyOutputs(now, "set");
                    }
                    break;
                case ioproto::kReadInputs:
                    reply(ioproto::encodeInputsReply(m_inputs, m_commanded), now);
                    break;
                case ioproto::kInfoLow:
                    reply(ioproto::encodeInfoReply(3, m_version), now);
                    break;
                case ioproto::kInfoHigh:
                    reply(ioproto::encodeInfoReply(4, m_serial), now);
                    break;
                default:
                    break;
            }
        }
        if (took == 0)
            m_scanner.clear();
    }
}

std::vector<BoardSim::Write> BoardSim::takeDue(Us now) {
    std::vector<Write> due;
    std::size_t i = 0;
    while (i < m_queue.size() && m_queue[i].due <= now)
        ++i;
    due.assign(std::make_move_iterator(m_queue.begin()),
               std::make_move_iterator(m_queue.begin() + long(i)));
    m_queue.erase(m_queue.begin(), m_queue.begin() + long(i));
    return due;
}

std::string BoardSim::status() const {
    std::ostringstream s;
    s << "status phase=" << name(m_phase) << " in=" << m_inputs << " out=" << m_effective
      << " watchdog=" << (m_watchdogSafe ? "safe" : "ok") << " silent=" << m_silent
      << " split=" << m_split << " ignore=" << m_ignoreSet;
    return s.str();
}

bool BoardSim::command(const std::string& line, Us now, std::string* error) {
    std::istringstream in(line);
    std::string cmd, arg;
    in >> cmd;
    if (cmd.empty() || cmd[0] == '#')
        return true;
    auto onOff = [&](bool& flag) {
        in >> arg;
        if (arg != "on" && arg != "off")
            return false;
        flag = arg == "on";
        m_log(now, cmd + " " + arg);
        return true;
    };
    bool ok = false;
    if (cmd == "door") {
        in >> arg;
        if (arg == "open" || arg == "close") {
            m_log(now, "door " + arg);
            setInput(1, arg == "close", now, "door");
            ok = true;
        }
    } else if (cmd == "input") {
        int bit = -1, v = -1;
        in >> bit >> v;
        if (bit >= 0 && bit < 10 && (v == 0 || v == 1)) {
            setInput(bit, v == 1, now, "command");
            ok = true;
        }
    } else if (cmd == "silent") {
        ok = onOff(m_silent);
    } else if (cmd == "split") {
        ok = onOff(m_split);
    } else if (cmd == "ignore") {
        ok = onOff(m_ignoreSet);
    } else if (cmd == "garbage" || cmd == "badsum") {
        int n = -1;
        in >> n;
        if (n >= 0 && n <= 4096) {
            (cmd == "garbage" ? m_garbage : m_badSums) = n;
            m_log(now, cmd + " " + std::to_string(n));
            ok = true;
        }
    } else if (cmd == "machine") {
        in >> arg;
        if (arg == "run" || arg == "idle") {
            m_opt.run = arg == "run";
            m_log(now, "machine " + arg + " requested");
            ok = true;
        }
    } else if (cmd == "watchdog") {
        int ms = -1;
        in >> ms;
        if (ms >= 0) {
            m_opt.watchdogMs = ms;
            ok = true;
        }
    } else if (cmd == "status") {
        m_log(now, status());
        ok = true;
    }
    if (!ok && error)
        *error = "unknown or malformed command: " + line;
    return ok;
}
