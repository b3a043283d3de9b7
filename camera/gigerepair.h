#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// GigE Vision address repair at start-up: finds GigE Vision devices on every
// local IPv4 interface with GVCP (UDP 3956) and gives each device outside its
// interface's subnet a free address in that subnet (force-IP command).

using MacAddress = std::array<std::uint8_t, 6>;

// One usable local IPv4 interface. Addresses in network byte order.
struct GigeInterface {
    std::string name;
    MacAddress mac{};
    std::uint32_t ip = 0, mask = 0;
};

// One device that answered the discovery.
struct GigeDevice {
    std::vector<std::uint8_t> ack;  // the first 256 bytes of its DISCOVERY_ACK
    int iface = 0;                  // index into the interface table
    MacAddress mac() const;
    std::uint32_t ip() const;    // network byte order
    std::uint32_t mask() const;  // network byte order
    std::string manufacturerInfo() const;
};

// Timings and the candidate source; the defaults are those of the panel.
struct GigeRepairOptions {
    int discoveryWaitMs = 200;
    int arpTimeoutMs = 1000;
    int forceSends = 4;
    int forcePolls = 200;
    int pollWaitMs = 200;
    int pollPauseMs = 5;
    std::string filter = "F622";
    // Draws the next 32 random bits for a candidate; empty: seeded from the
    // monotonic clock.
    std::function<std::uint32_t()> random;
};

std::vector<GigeInterface> listGigeInterfaces();

// Discovery on every interface; each device listed once.
std::vector<GigeDevice> discoverGigeDevices(const std::vector<GigeInterface>& ifaces,
                                            const GigeRepairOptions& opt = {});

// True when the device's address is in its interface's subnet and is not the
// interface's own address.
bool gigeReachable(const GigeDevice& d, const GigeInterface& i);

// A candidate address: the network part of the interface and host bytes of
// 10..254 from rnd; never the interface's own address. 0 when none in 100 draws.
std::uint32_t gigeCandidate(const GigeInterface& i, const std::function<std::uint32_t()>& rnd);

// Sends one ARP probe for candidate as the camera would; true when someone
// answers that it holds the address.
bool gigeAddressTaken(const GigeInterface& i, const MacAddress& camera, std::uint32_t candidate,
                      int timeoutMs);

// The force-IP exchange; returns the answer's status, or -1 without an answer.
int gigeForceIp(const GigeInterface& i, const MacAddress& mac, std::uint32_t ip, std::uint32_t mask,
                std::uint32_t gateway, const GigeRepairOptions& opt = {});

// -1: no usable interface; otherwise the number of devices given a new address.
int repairGigeCameras(const GigeRepairOptions& opt = {});
