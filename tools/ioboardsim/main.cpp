// ioboardsim: the IO board and its moulding machine on a pseudo-terminal.
// The first stdout line is the terminal's path; the monitor opens it as its
// serial device. Commands arrive on stdin, one per line; every input and output
// change is logged with a millisecond time stamp.

#include "boardsim.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Us = BoardSim::Us;

Us nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void usage() {
    std::fputs(
        "usage: ioboardsim [options]\n"
        "  --idle                machine does not cycle until 'machine run'\n"
        "  --cycle C,I,K,O,E     close, inject, cool, open, eject times in ms\n"
        "  --dwell MS            pause after Open and after Back before the permission counts\n"
        "  --watchdog MS         safe state after MS without a poll (default 1000, 0 = off)\n"
        "  --polarity A,B,C      polarity of outputs Clmp, Thim, Alrm (1 = active low)\n"
        "  --script FILE         lines '<ms> <command>' run at ms after start\n"
        "  --log FILE            log to FILE instead of stdout\n"
        "  --monotonic           time stamps on the system's monotonic clock (ms.us)\n"
        "  --seed N              seed of the garbage bytes\n"
        "commands on stdin: door open|close, input BIT 0|1, silent on|off, split on|off,\n"
        "  ignore on|off, garbage N, badsum N, machine run|idle, watchdog MS, status, quit\n",
        stderr);
}

bool parseList(const char* s, std::vector<int>& out) {
    std::stringstream in(s);
    std::string item;
    out.clear();
    while (std::getline(in, item, ','))
        out.push_back(std::atoi(item.c_str()));
    return !out.empty();
}

}  // namespace

int main(int argc, char** argv) {
    BoardSim::Options opt;
    std::string scriptPath, logPath;
    bool monotonic = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        std::vector<int> list;
        if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else if (a == "--idle") {
            opt.run = false;
        } else if (a == "--monotonic") {
            monotonic = true;
        } else if (a == "--cycle" && v && parseList(v, list) && list.size() == 5) {
            opt.cycle = {list[0], list[1], list[2], list[3], list[4], opt.cycle.dwell};
            ++i;
        } else if (a == "--dwell" && v) {
            opt.cycle.dwell = std::atoi(v);
            ++i;
        } else if (a == "--polarity" && v && parseList(v, list) && list.size() == 3) {
            opt.polarity = {list[0], list[1], list[2]};
            ++i;
        } else if (a == "--watchdog" && v) {
            opt.watchdogMs = std::atoi(v);
            ++i;
        } else if (a == "--seed" && v) {
            opt.seed = unsigned(std::strtoul(v, nullptr, 10));
            ++i;
        } else if (a == "--script" && v) {
            scriptPath = v;
            ++i;
        } else if (a == "--log" && v) {
            logPath = v;
            ++i;
        } else {
            usage();
            return 2;
        }
    }

    std::vector<std::pair<Us, std::string>> script;
    if (!scriptPath.empty()) {
        std::ifstream f(scriptPath);
        if (!f) {
            std::fprintf(stderr, "ioboardsim: cannot read %s\n", scriptPath.c_str());
            return 1;
        }
        std::string line;
        while (std::getline(f, line)) {
            std::istringstream in(line);
            long ms;
            if (line.empty() || line[0] == '#' || !(in >> ms))
                continue;
            std::string rest;
            std::getline(in, rest);
            script.emplace_back(Us(ms) * 1000, rest);
        }
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("ioboardsim: pseudo-terminal");
        return 1;
    }
    const std::string slavePath = ptsname(master);
    // Keep a slave descriptor open so the master never sees a hang-up while the
    // monitor reconnects, and start the line raw.
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("%s\n", slavePath.c_str());
    std::FILE* logFile = stdout;
    if (!logPath.empty()) {
        logFile = std::fopen(logPath.c_str(), "w");
        if (!logFile) {
            std::perror("ioboardsim: log");
            return 1;
        }
        std::setvbuf(logFile, nullptr, _IOLBF, 0);
    }

    const Us start = nowUs();
    auto log = [&](Us t, const std::string& text) {
        if (monotonic)
            std::fprintf(logFile, "%lld.%03lld %s\n", (long long)(t / 1000), (long long)(t % 1000),
                         text.c_str());
        else
            std::fprintf(logFile, "%lld %s\n", (long long)((t - start) / 1000), text.c_str());
    };
    BoardSim sim(opt, log);

    std::string stdinBuf;
    bool stdinOpen = true;
    std::size_t nextScript = 0;
    std::vector<std::uint8_t> rx(1024);
    for (;;) {
        pollfd fds[2] = {{master, POLLIN, 0}, {0, POLLIN, 0}};
        const int nfds = stdinOpen ? 2 : 1;
        if (poll(fds, nfds_t(nfds), 1) < 0 && errno != EINTR)
            break;
        Us now = nowUs();
        if (fds[0].revents & POLLIN) {
            const ssize_t n = read(master, rx.data(), rx.size());
            if (n > 0)
                sim.receive(rx.data(), std::size_t(n), now);
        }
        if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
            char buf[512];
            const ssize_t n = read(0, buf, sizeof buf);
            if (n <= 0) {
                stdinOpen = false;
            } else {
                stdinBuf.append(buf, std::size_t(n));
                for (std::size_t eol; (eol = stdinBuf.find('\n')) != std::string::npos;) {
                    std::string line = stdinBuf.substr(0, eol);
                    stdinBuf.erase(0, eol + 1);
                    if (!line.empty() && line.back() == '\r')
                        line.pop_back();
                    if (line == "quit")
                        return 0;
                    std::string error;
                    if (!sim.command(line, now, &error))
                        log(now, "error " + error);
                }
            }
        }
        while (nextScript < script.size() && start + script[nextScript].first <= now) {
            std::string error;
            if (!sim.command(script[nextScript].second, now, &error))
                log(now, "error " + error);
            ++nextScript;
        }
        sim.tick(now);
        for (auto& w : sim.takeDue(now)) {
            std::size_t off = 0;
            while (off < w.bytes.size()) {
                const ssize_t n = write(master, w.bytes.data() + off, w.bytes.size() - off);
                if (n > 0)
                    off += std::size_t(n);
                else if (errno != EAGAIN && errno != EINTR)
                    break;
            }
        }
    }
    return 0;
}
