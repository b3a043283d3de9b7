// GigE address repair over real sockets: the code under test runs in one
// network namespace, a GVCP responder in another, joined by a veth pair.
// Nothing is sent outside these namespaces.
#include "gigerepair.h"
#include "gvcpresponder.h"
#include "netns.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <QProcess>

namespace {

std::uint32_t addr(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

std::string text(std::uint32_t a) {
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}

const MacAddress kCameraMac{0x00, 0x21, 0x49, 0x0a, 0x0b, 0x01};
const MacAddress kOtherMac{0x00, 0x21, 0x49, 0x0a, 0x0b, 0x02};

GvcpSimDevice camera(const char* ip, const char* mask, std::string info = "F622-SIM",
                     MacAddress mac = kCameraMac) {
    GvcpSimDevice d;
    d.mac = mac;
    d.ip = addr(ip);
    d.mask = addr(mask);
    d.info = std::move(info);
    return d;
}

// Host namespace with 192.168.1.10/24 on a veth whose peer, in the camera
// namespace, holds 169.254.3.7/16 and the taken address 192.168.1.50/24.
class GigeNet : public ::testing::Test {
protected:
    void SetUp() override {
        const QString reason = NetnsGuard::unavailableReason();
        if (!reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
        host = ns.add("h");
        cam = ns.add("c");
        ASSERT_FALSE(host.empty());
        ASSERT_FALSE(cam.empty());
        const QString h = QString::fromStdString(host), c = QString::fromStdString(cam);
        ASSERT_TRUE(
            ns.ip(QString("-n %1 link add gvh type veth peer name gvc netns %2").arg(h, c)));
        ASSERT_TRUE(ns.ip(QString("-n %1 addr add 192.168.1.10/24 dev gvh").arg(h)));
        ASSERT_TRUE(ns.ip(QString("-n %1 addr add 169.254.3.7/16 dev gvc").arg(c)));
        ASSERT_TRUE(ns.ip(QString("-n %1 addr add 192.168.1.50/24 dev gvc").arg(c)));
        ASSERT_TRUE(ns.ip(QString("-n %1 link set gvh up").arg(h)));
        ASSERT_TRUE(ns.ip(QString("-n %1 link set gvc up").arg(c)));
    }
    void TearDown() override {
        if (responder)
            responder->stop();
    }
    void serve(std::vector<GvcpSimDevice> devices) {
        responder = std::make_unique<GvcpResponder>(std::move(devices), "gvc");
        bool started = false;
        ASSERT_TRUE(NetnsGuard::runIn(cam, [&] { started = responder->start(); }));
        ASSERT_TRUE(started);
    }
    int repair(GigeRepairOptions opt) {
        int result = -2;
        EXPECT_TRUE(NetnsGuard::runIn(host, [&] { result = repairGigeCameras(opt); }));
        return result;
    }
    static GigeRepairOptions quick() {
        // Discovery waits longer than on the panel: these machines are loaded
        // and run under sanitizers.
        GigeRepairOptions o;
        o.discoveryWaitMs = 1000;
        o.forcePolls = 10;
        o.pollWaitMs = 50;
        return o;
    }

    NetnsGuard ns;
    std::string host, cam;
    std::unique_ptr<GvcpResponder> responder;
};

TEST_F(GigeNet, InterfaceTableHasTheVethButNotLoopback) {
    std::vector<GigeInterface> ifaces;
    NetnsGuard::runIn(host, [&] { ifaces = listGigeInterfaces(); });
    ASSERT_EQ(ifaces.size(), 1u);
    EXPECT_EQ(ifaces[0].name, "gvh");
    EXPECT_EQ(text(ifaces[0].ip), "192.168.1.10");
    EXPECT_EQ(text(ifaces[0].mask), "255.255.255.0");
    EXPECT_NE(ifaces[0].mac, MacAddress{});
}

TEST_F(GigeNet, CameraOnAForeignSubnetGetsAFreeAddressInTheInterfaceSubnet) {
    serve({camera("169.254.3.7", "255.255.0.0")});
    EXPECT_EQ(repair(quick()), 1);
    const auto forced = responder->forceIps();
    ASSERT_EQ(forced.size(), 1u);
    EXPECT_EQ(forced[0].mac, kCameraMac);
    const std::uint32_t ip = ntohl(forced[0].ip);
    EXPECT_EQ(ip >> 8, 0xC0A801u);  // 192.168.1.x
    EXPECT_GE(ip & 0xFF, 11u);
    EXPECT_LE(ip & 0xFF, 254u);
    EXPECT_EQ(text(forced[0].mask), "255.255.255.0");
    EXPECT_EQ(forced[0].gateway, 0u);
    EXPECT_EQ(responder->discoveries(), 1);
}

TEST_F(GigeNet, TakenAddressIsSkipped) {
    serve({camera("169.254.3.7", "255.255.0.0")});
    bool takenSeen = false, freeSeen = true;
    NetnsGuard::runIn(host, [&] {
        const auto i = listGigeInterfaces().at(0);
        takenSeen = gigeAddressTaken(i, kCameraMac, addr("192.168.1.50"), 1000);
        freeSeen = gigeAddressTaken(i, kCameraMac, addr("192.168.1.60"), 300);
    });
    EXPECT_TRUE(takenSeen);
    EXPECT_FALSE(freeSeen);
    // Candidates .50 (taken), then .60: host byte = (random byte mod 245) + 10.
    std::vector<std::uint32_t> draws{40u << 24, 50u << 24};
    std::size_t next = 0;
    auto opt = quick();
    opt.random = [&] { return draws[std::min(next++, draws.size() - 1)]; };
    EXPECT_EQ(repair(opt), 1);
    ASSERT_EQ(responder->forceIps().size(), 1u);
    EXPECT_EQ(text(responder->forceIps()[0].ip), "192.168.1.60");
}

TEST_F(GigeNet, InterfaceAddressIsNeverACandidate) {
    GigeInterface i;
    i.ip = addr("192.168.1.10");
    i.mask = addr("255.255.255.0");
    std::vector<std::uint32_t> draws{0u, 0u, 7u << 24};  // .10, .10, then .17
    std::size_t next = 0;
    EXPECT_EQ(text(gigeCandidate(i, [&] { return draws[std::min(next++, draws.size() - 1)]; })),
              "192.168.1.17");
    EXPECT_EQ(gigeCandidate(i, [] { return 0u; }), 0u);  // 100 draws of .10: failed
}

TEST_F(GigeNet, DeviceWithoutF622IsNeverTouched) {
    serve({camera("169.254.3.7", "255.255.0.0"),
           camera("169.254.3.8", "255.255.0.0", "ACME-CAM", kOtherMac)});
    EXPECT_EQ(repair(quick()), 1);
    for (const auto& f : responder->forceIps())
        EXPECT_EQ(f.mac, kCameraMac);
}

TEST_F(GigeNet, DeviceAnsweringTwiceIsListedOnce) {
    auto d = camera("169.254.3.7", "255.255.0.0");
    d.answers = 2;
    serve({d});
    std::vector<GigeDevice> found;
    NetnsGuard::runIn(host, [&] { found = discoverGigeDevices(listGigeInterfaces(), quick()); });
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].mac(), kCameraMac);
    EXPECT_EQ(text(found[0].ip()), "169.254.3.7");
    EXPECT_EQ(found[0].manufacturerInfo(), "F622-SIM");
    EXPECT_EQ(repair(quick()), 1);
    EXPECT_EQ(responder->forceIps().size(), 1u);
}

TEST_F(GigeNet, ReachableDeviceIsLeftAlone) {
    serve({camera("192.168.1.20", "255.255.255.0")});
    EXPECT_EQ(repair(quick()), 0);
    EXPECT_TRUE(responder->forceIps().empty());
}

TEST_F(GigeNet, DeviceHoldingTheInterfaceAddressIsRepaired) {
    serve({camera("192.168.1.10", "255.255.255.0")});
    EXPECT_EQ(repair(quick()), 1);
}

TEST_F(GigeNet, ForceIpIsSentAgainUntilAnswered) {
    auto d = camera("169.254.3.7", "255.255.0.0");
    d.ignoreForceIp = 2;
    serve({d});
    EXPECT_EQ(repair(quick()), 1);
    EXPECT_EQ(responder->forceIps().size(), 3u);
}

TEST_F(GigeNet, ForceIpGivesUpAfterFourSendsOrAFailedStatus) {
    auto silent = camera("169.254.3.7", "255.255.0.0");
    silent.ignoreForceIp = 100;
    auto refusing = camera("169.254.3.8", "255.255.0.0", "F622-SIM", kOtherMac);
    refusing.forceStatus = 0x8006;
    serve({silent, refusing});
    auto opt = quick();
    opt.forcePolls = 3;
    EXPECT_EQ(repair(opt), 0);
    EXPECT_EQ(responder->devices()[1].ip, addr("169.254.3.8"));
    int silentSends = 0;
    for (const auto& f : responder->forceIps())
        silentSends += f.mac == kCameraMac;
    EXPECT_EQ(silentSends, 4);
}

TEST_F(GigeNet, NoDeviceAnswersGivesZero) {
    EXPECT_EQ(repair(quick()), 0);
}

#ifdef MM_GVCPRESPONDER
TEST_F(GigeNet, ResponderToolInTheCameraNamespace) {
    QProcess tool;
    tool.start("ip", {"netns", "exec", QString::fromStdString(cam), MM_GVCPRESPONDER, "--device",
                      "gvc", "00:21:49:0a:0b:09", "169.254.3.9/16"});
    ASSERT_TRUE(tool.waitForStarted(5000));
    QByteArray out;
    auto saw = [&](const char* text) {
        for (int i = 0; i < 50 && !out.contains(text); ++i)
            if (tool.waitForReadyRead(100))
                out += tool.readAllStandardOutput();
        return out.contains(text);
    };
    ASSERT_TRUE(saw("serving 1 device(s)")) << out.toStdString();
    EXPECT_EQ(repair(quick()), 1);
    EXPECT_TRUE(saw("force IP 192.168.1.")) << out.toStdString();
    tool.terminate();
    EXPECT_TRUE(tool.waitForFinished(5000));
}
#endif

TEST(GigeLoopback, LoopbackOnlyHostReturnsMinusOne) {
    const QString reason = NetnsGuard::unavailableReason();
    if (!reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    NetnsGuard ns;
    const std::string lo = ns.add("l");
    ASSERT_FALSE(lo.empty());
    int result = 0;
    std::size_t ifaces = 99;
    ASSERT_TRUE(NetnsGuard::runIn(lo, [&] {
        ifaces = listGigeInterfaces().size();
        result = repairGigeCameras();
    }));
    EXPECT_EQ(ifaces, 0u);
    EXPECT_EQ(result, -1);
}

}  // namespace
