#pragma once

#include "gigerepair.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One simulated GigE Vision device of the responder.
struct GvcpSimDevice {
    MacAddress mac{};
    std::uint32_t ip = 0, mask = 0;  // network byte order
    std::string info = "F622";       // manufacturer-specific information
    int answers = 1;                 // DISCOVERY_ACKs sent per discovery
    int ignoreForceIp = 0;           // force-IP commands left unanswered first
    std::uint16_t forceStatus = 0;
};

// A GVCP device responder on UDP 3956 of the network namespace it is started
// in: answers discovery for its devices and takes force-IP commands. Like a
// camera outside the host's subnet it answers by broadcast when the command
// allows it (flag 0x10).
class GvcpResponder {
public:
    // device: the interface it serves (answers broadcast through it); empty: any.
    explicit GvcpResponder(std::vector<GvcpSimDevice> devices, std::string device = {})
        : m_devices(std::move(devices)), m_device(std::move(device)) {}
    ~GvcpResponder() { stop(); }
    GvcpResponder(const GvcpResponder&) = delete;
    GvcpResponder& operator=(const GvcpResponder&) = delete;

    // Binds 0.0.0.0:3956 in the calling thread's namespace and starts serving.
    bool start();
    void stop();

    struct ForceIp {
        MacAddress mac{};
        std::uint32_t ip = 0, mask = 0, gateway = 0;
    };
    std::vector<ForceIp> forceIps() const;
    int discoveries() const { return m_discoveries; }
    std::vector<GvcpSimDevice> devices() const;

    // The DISCOVERY_ACK of a device for a request id.
    static std::vector<std::uint8_t> discoveryAck(const GvcpSimDevice& d, std::uint16_t id);

private:
    void serve();

    mutable std::mutex m_mutex;
    std::vector<GvcpSimDevice> m_devices;
    std::string m_device;
    std::vector<ForceIp> m_forced;
    std::atomic<int> m_discoveries{0};
    std::atomic<bool> m_stop{false};
    int m_fd = -1;
    std::thread m_thread;
};
