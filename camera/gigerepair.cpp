#include "gigerepair.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QDebug>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

namespace {

constexpr std::uint16_t kGvcpPort = 3956;
constexpr std::size_t kMaxRecords = 250;
constexpr std::size_t kMaxCollected = 8000;

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : m_fd(std::exchange(o.m_fd, -1)) {}
    Fd& operator=(Fd&& o) noexcept {
        reset(std::exchange(o.m_fd, -1));
        return *this;
    }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

std::atomic<std::uint16_t> gForceIpRequest{0};

std::uint32_t readBe32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;  // stays in network byte order
}

sockaddr_in endpoint(std::uint32_t ipNet, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = ipNet;
    a.sin_port = htons(port);
    return a;
}

// Receives one datagram from any of the sockets within waitMs.
int receiveAny(const std::vector<int>& fds, std::uint8_t* buf, std::size_t size, int waitMs) {
    std::vector<pollfd> p;
    for (int fd : fds)
        if (fd >= 0)
            p.push_back({fd, POLLIN, 0});
    if (p.empty() || ::poll(p.data(), p.size(), waitMs) <= 0)
        return -1;
    for (const auto& e : p)
        if (e.revents & POLLIN)
            return static_cast<int>(::recv(e.fd, buf, size, 0));
    return -1;
}

// The sockets of one interface, and for discovery its receive thread and
// device list.
class GvcpWorker {
public:
    GvcpWorker(const GigeInterface& iface, std::string filter)
        : m_iface(iface), m_filter(std::move(filter)) {
        std::mt19937 rng(std::random_device{}());
        for (int attempt = 0; attempt < 1000; ++attempt) {
            const auto port = static_cast<std::uint16_t>(10001 + rng() % (65535 - 10001 + 1));
            Fd bcast(openSocket()), send(openSocket());
            if (!bcast.valid() || !send.valid())
                return;
            const sockaddr_in b = endpoint(INADDR_BROADCAST, port);
            const sockaddr_in s = endpoint(m_iface.ip, port);
            if (::bind(bcast.get(), reinterpret_cast<const sockaddr*>(&b), sizeof b) == 0 &&
                ::bind(send.get(), reinterpret_cast<const sockaddr*>(&s), sizeof s) == 0) {
                m_bcast = std::move(bcast);
                m_send = std::move(send);
                return;
            }
        }
    }
    ~GvcpWorker() { stop(); }

    bool ready() const { return m_send.valid(); }

    void start() {
        if (!ready())
            return;
        m_thread = std::thread([this] { receiveLoop(); });
    }
    void stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    void sendDiscovery() {
        {
            std::lock_guard lock(m_mutex);
            m_records.clear();
        }
        const std::uint16_t id = ++m_request;
        const std::uint8_t cmd[8] = {0x42,
                                     0x11,
                                     0x00,
                                     0x02,
                                     0x00,
                                     0x00,
                                     static_cast<std::uint8_t>(id >> 8),
                                     static_cast<std::uint8_t>(id)};
        send(cmd, sizeof cmd);
    }

    bool send(const std::uint8_t* data, std::size_t n) {
        if (!ready())
            return false;
        const sockaddr_in to = endpoint(INADDR_BROADCAST, kGvcpPort);
        return ::sendto(m_send.get(), data, n, 0, reinterpret_cast<const sockaddr*>(&to),
                        sizeof to) == static_cast<ssize_t>(n);
    }

    int receive(std::uint8_t* buf, std::size_t size, int waitMs) {
        return receiveAny({m_send.get(), m_bcast.get()}, buf, size, waitMs);
    }

    std::vector<std::vector<std::uint8_t>> records() {
        std::lock_guard lock(m_mutex);
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto& r : m_records)
            if (r.valid)
                out.push_back(r.bytes);
        return out;
    }

private:
    struct Record {
        std::vector<std::uint8_t> bytes;
        bool valid = true;
        std::int64_t stampMs = 0;
    };

    int openSocket() {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        // Broadcasts leave through this interface only (needs root; best effort).
        ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, m_iface.name.c_str(),
                     static_cast<socklen_t>(m_iface.name.size()));
        return fd;
    }

    void receiveLoop() {
        std::uint8_t buf[256];
        while (!m_stop) {
            const int n = receive(buf, sizeof buf, 200);
            if (n < 8 || buf[2] != 0x00 || buf[3] != 0x03)
                continue;
            std::vector<std::uint8_t> bytes(buf, buf + n);
            bytes.resize(256, 0);
            const std::string info(reinterpret_cast<const char*>(bytes.data() + 176), 48);
            if (info.compare(0, m_filter.size(), m_filter) != 0)
                continue;
            const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
            std::lock_guard lock(m_mutex);
            auto same = std::find_if(m_records.begin(), m_records.end(), [&](const Record& r) {
                return std::equal(r.bytes.begin() + 18, r.bytes.begin() + 24, bytes.begin() + 18) &&
                       std::equal(r.bytes.begin() + 44, r.bytes.begin() + 48, bytes.begin() + 44);
            });
            if (same != m_records.end())
                same->stampMs = now;
            else if (m_records.size() < kMaxRecords)
                m_records.push_back({std::move(bytes), true, now});
        }
    }

    GigeInterface m_iface;
    std::string m_filter;
    Fd m_bcast, m_send;
    std::uint16_t m_request = 0;
    std::recursive_mutex m_mutex;
    std::vector<Record> m_records;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace

MacAddress GigeDevice::mac() const {
    MacAddress m{};
    std::copy_n(ack.begin() + 18, 6, m.begin());
    return m;
}

std::uint32_t GigeDevice::ip() const {
    return readBe32(ack.data() + 44);
}

std::uint32_t GigeDevice::mask() const {
    return readBe32(ack.data() + 60);
}

std::string GigeDevice::manufacturerInfo() const {
    const char* p = reinterpret_cast<const char*>(ack.data() + 176);
    return std::string(p, strnlen(p, 48));
}

std::vector<GigeInterface> listGigeInterfaces() {
    std::vector<GigeInterface> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return out;
    Fd probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    for (ifaddrs* a = list; a && out.size() < 32; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !a->ifa_netmask)
            continue;
        GigeInterface i;
        i.name = std::string(a->ifa_name).substr(0, 255);
        i.ip = reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
        i.mask = reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr;
        const std::uint32_t host = ntohl(i.ip);
        const std::uint8_t first = host >> 24;
        if (first == 0 || first == 255 || host == INADDR_LOOPBACK || host == 0xE0000001u)
            continue;
        ifreq req{};
        std::strncpy(req.ifr_name, a->ifa_name, IFNAMSIZ - 1);
        if (probe.valid() && ::ioctl(probe.get(), SIOCGIFHWADDR, &req) == 0)
            std::memcpy(i.mac.data(), req.ifr_hwaddr.sa_data, 6);
        out.push_back(i);
    }
    ::freeifaddrs(list);
    return out;
}

std::vector<GigeDevice> discoverGigeDevices(const std::vector<GigeInterface>& ifaces,
                                            const GigeRepairOptions& opt) {
    std::vector<std::unique_ptr<GvcpWorker>> workers;
    for (const auto& i : ifaces) {
        workers.push_back(std::make_unique<GvcpWorker>(i, opt.filter));
        workers.back()->start();
    }
    for (auto& w : workers)
        w->sendDiscovery();
    std::this_thread::sleep_for(std::chrono::milliseconds(opt.discoveryWaitMs));
    std::vector<GigeDevice> out;
    for (std::size_t k = 0; k < workers.size(); ++k)
        for (auto& r : workers[k]->records())
            if (out.size() < kMaxCollected)
                out.push_back({std::move(r), static_cast<int>(k)});
    for (auto& w : workers)
        w->stop();
    return out;
}

bool gigeReachable(const GigeDevice& d, const GigeInterface& i) {
    return (d.ip() & d.mask()) == (i.ip & i.mask) && d.ip() != i.ip;
}

std::uint32_t gigeCandidate(const GigeInterface& i, const std::function<std::uint32_t()>& rnd) {
    for (int draw = 0; draw < 100; ++draw) {
        const std::uint32_t r = rnd();
        std::uint8_t host[4];
        for (int b = 0; b < 4; ++b)
            host[b] = static_cast<std::uint8_t>(((r >> (8 * b)) & 0xFF) % 245 + 10);
        std::uint32_t bytes;
        std::memcpy(&bytes, host, 4);
        const std::uint32_t c = (i.ip & i.mask) | (bytes & ~i.mask);
        if (c != i.ip)
            return c;
    }
    return 0;
}

bool gigeAddressTaken(const GigeInterface& i, const MacAddress& camera, std::uint32_t candidate,
                      int timeoutMs) {
    Fd fd(::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ARP)));
    const unsigned index = if_nametoindex(i.name.c_str());
    if (!fd.valid() || index == 0)
        return false;
    sockaddr_ll ll{};
    ll.sll_family = AF_PACKET;
    ll.sll_protocol = htons(ETH_P_ARP);
    ll.sll_ifindex = static_cast<int>(index);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&ll), sizeof ll) != 0)
        return false;
    // Answers go to the camera's address, not ours.
    packet_mreq mr{};
    mr.mr_ifindex = static_cast<int>(index);
    mr.mr_type = PACKET_MR_PROMISC;
    ::setsockopt(fd.get(), SOL_PACKET, PACKET_ADD_MEMBERSHIP, &mr, sizeof mr);

    std::uint8_t f[60] = {};
    std::memset(f, 0xFF, 6);
    std::memcpy(f + 6, camera.data(), 6);
    f[12] = 0x08, f[13] = 0x06;  // ARP
    f[14] = 0x00, f[15] = 0x01;  // Ethernet
    f[16] = 0x08, f[17] = 0x00;  // IPv4
    f[18] = 6, f[19] = 4;
    f[20] = 0x00, f[21] = 0x01;  // request
    std::memcpy(f + 22, camera.data(), 6);
    std::memcpy(f + 28, &i.ip, 4);
    std::memcpy(f + 38, &candidate, 4);
    sockaddr_ll to = ll;
    to.sll_halen = 6;
    std::memset(to.sll_addr, 0xFF, 6);
    if (::sendto(fd.get(), f, sizeof f, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) !=
        static_cast<ssize_t>(sizeof f))
        return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint8_t buf[1514];
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return false;
        pollfd p{fd.get(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        const ssize_t n = ::recv(fd.get(), buf, sizeof buf, 0);
        if (n < 42 || buf[12] != 0x08 || buf[13] != 0x06)
            continue;
        const bool reply = buf[20] == 0x00 && buf[21] == 0x02;
        if (reply && std::memcmp(buf + 32, camera.data(), 6) == 0 &&
            std::memcmp(buf + 28, &candidate, 4) == 0)
            return true;
    }
}

int gigeForceIp(const GigeInterface& i, const MacAddress& mac, std::uint32_t ip, std::uint32_t mask,
                std::uint32_t gateway, const GigeRepairOptions& opt) {
    GvcpWorker worker(i, opt.filter);
    if (!worker.ready())
        return -1;
    for (int sendNo = 0; sendNo < opt.forceSends; ++sendNo) {
        const std::uint16_t id = ++gForceIpRequest;
        std::uint8_t cmd[64] = {};
        cmd[0] = 0x42;
        cmd[1] = 0x11;
        cmd[2] = 0xF0, cmd[3] = 0x08;
        cmd[4] = 0x00, cmd[5] = 0x38;
        cmd[6] = static_cast<std::uint8_t>(id >> 8), cmd[7] = static_cast<std::uint8_t>(id);
        std::memcpy(cmd + 8, mac.data(), 6);
        std::memcpy(cmd + 14, &ip, 4);
        std::memcpy(cmd + 18, &mask, 4);
        std::memcpy(cmd + 22, &gateway, 4);
        cmd[26] = 0;
        cmd[27] = 1;
        worker.send(cmd, sizeof cmd);
        std::uint8_t buf[576];
        for (int poll = 0; poll < opt.forcePolls; ++poll) {
            const int n = worker.receive(buf, sizeof buf, opt.pollWaitMs);
            if (n >= 8 && buf[2] == 0xF0 && buf[3] == 0x09 && buf[6] == cmd[6] && buf[7] == cmd[7])
                return (buf[0] << 8) | buf[1];
            std::this_thread::sleep_for(std::chrono::milliseconds(opt.pollPauseMs));
        }
    }
    return -1;
}

int repairGigeCameras(const GigeRepairOptions& opt) {
    const auto ifaces = listGigeInterfaces();
    if (ifaces.empty())
        return -1;
    const auto devices = discoverGigeDevices(ifaces, opt);
    if (devices.empty())
        return 0;
    std::mt19937 rng(
        static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now().time_since_epoch())
                                       .count()));
    const std::function<std::uint32_t()> rnd =
        opt.random ? opt.random : std::function<std::uint32_t()>([&rng] { return rng(); });
    int repaired = 0;
    for (const auto& d : devices) {
        const GigeInterface& i = ifaces[d.iface];
        if (gigeReachable(d, i))
            continue;
        std::uint32_t chosen = 0;
        for (int attempt = 0; attempt < 5; ++attempt) {
            const std::uint32_t c = gigeCandidate(i, rnd);
            if (c == 0) {
                chosen = 0;
                break;
            }
            chosen = c;
            if (!gigeAddressTaken(i, d.mac(), c, opt.arpTimeoutMs))
                break;
        }
        if (chosen == 0)
            continue;
        const int status = gigeForceIp(i, d.mac(), chosen, i.mask, 0, opt);
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &chosen, text, sizeof text);
        qDebug() << "GigE force IP" << text << "on" << i.name.c_str() << "status" << status;
        if (status == 0)
            ++repaired;
    }
    return repaired;
}
