#include "gvcpresponder.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstring>

std::vector<std::uint8_t> GvcpResponder::discoveryAck(const GvcpSimDevice& d, std::uint16_t id) {
    std::vector<std::uint8_t> a(256, 0);
    a[2] = 0x00, a[3] = 0x03;  // DISCOVERY_ACK
    a[4] = 0x00, a[5] = 0xF8;  // payload length
    a[6] = static_cast<std::uint8_t>(id >> 8), a[7] = static_cast<std::uint8_t>(id);
    a[8 + 1] = 2;  // version 2.0
    std::memcpy(a.data() + 18, d.mac.data(), 6);
    std::memcpy(a.data() + 44, &d.ip, 4);
    std::memcpy(a.data() + 60, &d.mask, 4);
    std::memcpy(a.data() + 176, d.info.data(), std::min<std::size_t>(d.info.size(), 48));
    return a;
}

bool GvcpResponder::start() {
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    const int on = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (!m_device.empty())
        ::setsockopt(m_fd, SOL_SOCKET, SO_BINDTODEVICE, m_device.c_str(),
                     static_cast<socklen_t>(m_device.size()));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(3956);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_stop = false;
    m_thread = std::thread([this] { serve(); });
    return true;
}

void GvcpResponder::stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::vector<GvcpResponder::ForceIp> GvcpResponder::forceIps() const {
    std::lock_guard lock(m_mutex);
    return m_forced;
}

std::vector<GvcpSimDevice> GvcpResponder::devices() const {
    std::lock_guard lock(m_mutex);
    return m_devices;
}

void GvcpResponder::serve() {
    std::uint8_t buf[1500];
    while (!m_stop) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n =
            ::recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 8 || buf[0] != 0x42)
            continue;
        const std::uint16_t id = static_cast<std::uint16_t>((buf[6] << 8) | buf[7]);
        std::vector<std::vector<std::uint8_t>> replies;
        if (buf[2] == 0x00 && buf[3] == 0x02) {
            ++m_discoveries;
            std::lock_guard lock(m_mutex);
            for (const auto& d : m_devices)
                for (int k = 0; k < d.answers; ++k)
                    replies.push_back(discoveryAck(d, id));
        } else if (buf[2] == 0xF0 && buf[3] == 0x08 && n >= 64) {
            std::lock_guard lock(m_mutex);
            for (auto& d : m_devices) {
                if (std::memcmp(buf + 8, d.mac.data(), 6) != 0)
                    continue;
                ForceIp f;
                f.mac = d.mac;
                std::memcpy(&f.ip, buf + 14, 4);
                std::memcpy(&f.mask, buf + 18, 4);
                std::memcpy(&f.gateway, buf + 22, 4);
                m_forced.push_back(f);
                if (d.ignoreForceIp > 0) {
                    --d.ignoreForceIp;
                    continue;
                }
                if (d.forceStatus == 0) {
                    d.ip = f.ip;
                    d.mask = f.mask;
                }
                if (buf[1] & 0x01) {
                    std::vector<std::uint8_t> ack(8, 0);
                    ack[0] = static_cast<std::uint8_t>(d.forceStatus >> 8);
                    ack[1] = static_cast<std::uint8_t>(d.forceStatus);
                    ack[2] = 0xF0, ack[3] = 0x09;
                    ack[6] = buf[6], ack[7] = buf[7];
                    replies.push_back(ack);
                }
            }
        }
        sockaddr_in to = from;
        if (buf[1] & 0x10)
            to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        for (const auto& r : replies)
            ::sendto(m_fd, r.data(), r.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to);
    }
}
