#pragma once

#include "ioprotocol.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

// Timing of one simulated moulding cycle, in milliseconds.
struct CycleTimes {
    int close = 800, inject = 600, cool = 1200, open = 800, eject = 400;
    int dwell = 100;  // pause after "Open" and after "Back" before asking for the permission
};

// A simulated IO board with the moulding machine behind it: answers the board
// protocol, plays the cycle, obeys the monitor's prohibit and alarm outputs,
// and injects link faults on request. Time is passed in; no I/O happens here.
class BoardSim {
public:
    using Us = std::int64_t;  // microseconds on the caller's clock
    struct Write {
        Us due;
        std::vector<std::uint8_t> bytes;
    };

    struct Options {
        CycleTimes cycle;
        bool run = true;                // the machine cycles from the start
        int watchdogMs = 1000;          // 0: no watchdog
        std::array<int, 3> polarity{};  // outputs 0..2: 0 = active high, 1 = active low
        unsigned seed = 1;
    };

    BoardSim(Options opt, std::function<void(Us, const std::string&)> log);

    // Request bytes from the monitor.
    void receive(const std::uint8_t* data, std::size_t n, Us now);
    // Advances the machine and the watchdog to now.
    void tick(Us now);
    // A run-time command ("door open", "input 4 1", "silent on", ...). Returns
    // false with an explanation in *error when it is not understood.
    bool command(const std::string& line, Us now, std::string* error = nullptr);
    // Writes due by now, in order; removed from the queue.
    std::vector<Write> takeDue(Us now);

    int inputs() const { return m_inputs; }
    int outputs() const { return m_effective; }
    std::string status() const;

private:
    enum class Phase { Idle, Closing, Injecting, Cooling, Opening, WaitEject, Ejecting, WaitClose };

    bool active(int ch) const;  // effective output ch at its active level
    void setInput(int bit, bool on, Us now, const char* why);
    void applyOutputs(Us now, const char* why);
    void enter(Phase p, Us now);
    void reply(const ioproto::Reply& r, Us now);
    static const char* name(Phase p);

    Options m_opt;
    std::function<void(Us, const std::string&)> m_log;
    std::mt19937 m_rng;
    ioproto::RequestScanner m_scanner;
    std::vector<Write> m_queue;

    int m_inputs = 0b0110;  // safety door closed, ejector back
    int m_commanded = 0;    // last command-1 word
    int m_effective = -1;   // what the relays show (watchdog may override)
    Phase m_phase = Phase::Idle;
    Us m_phaseLeft = 0;  // microseconds left in a timed phase
    Us m_lastTick = -1;
    Us m_lastPoll = -1;
    bool m_watchdogSafe = false;
    bool m_stopped = false;
    std::string m_hold;

    bool m_silent = false;
    bool m_split = false;
    bool m_ignoreSet = false;
    int m_garbage = 0;
    int m_badSums = 0;
    std::uint32_t m_version = 0x00010203;
    std::uint32_t m_serial = 20240001;
};
