// gvcpresponder [--device IFACE] [--info TEXT] MAC IP/PREFIX [MAC IP/PREFIX ...]
// Answers GVCP discovery (UDP 3956) for the listed devices and takes their
// force-IP commands until interrupted. Run it inside a network namespace.
#include "gvcpresponder.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

volatile std::sig_atomic_t gStop = 0;

bool parseMac(const char* text, MacAddress& mac) {
    unsigned v[6];
    if (std::sscanf(text, "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        mac[i] = static_cast<std::uint8_t>(v[i]);
    return true;
}

bool parseAddress(const std::string& text, std::uint32_t& ip, std::uint32_t& mask) {
    const auto slash = text.find('/');
    in_addr a{};
    if (inet_pton(AF_INET, text.substr(0, slash).c_str(), &a) != 1)
        return false;
    ip = a.s_addr;
    const int prefix = slash == std::string::npos ? 24 : std::stoi(text.substr(slash + 1));
    mask = htonl(prefix == 0 ? 0u : ~0u << (32 - prefix));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string device, info = "F622";
    std::vector<GvcpSimDevice> devices;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--device") && i + 1 < argc) {
            device = argv[++i];
        } else if (!std::strcmp(argv[i], "--info") && i + 1 < argc) {
            info = argv[++i];
        } else if (i + 1 < argc) {
            GvcpSimDevice d;
            d.info = info;
            if (!parseMac(argv[i], d.mac) || !parseAddress(argv[i + 1], d.ip, d.mask)) {
                std::fprintf(stderr, "bad device: %s %s\n", argv[i], argv[i + 1]);
                return 2;
            }
            devices.push_back(d);
            ++i;
        } else {
            std::fprintf(stderr,
                         "usage: gvcpresponder [--device IFACE] [--info TEXT] MAC IP/PREFIX ...\n");
            return 2;
        }
    }
    if (devices.empty()) {
        std::fprintf(stderr, "no device given\n");
        return 2;
    }
    std::signal(SIGINT, [](int) { gStop = 1; });
    std::signal(SIGTERM, [](int) { gStop = 1; });
    GvcpResponder responder(devices, device);
    if (!responder.start()) {
        std::perror("bind UDP 3956");
        return 1;
    }
    std::printf("serving %zu device(s)\n", devices.size());
    std::fflush(stdout);
    std::size_t reported = 0;
    while (!gStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto forced = responder.forceIps();
        for (; reported < forced.size(); ++reported) {
            char ip[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &forced[reported].ip, ip, sizeof ip);
            std::printf("force IP %s\n", ip);
            std::fflush(stdout);
        }
    }
    return 0;
}
