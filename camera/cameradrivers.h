#pragma once

#include "cameradriver.h"
#include "camerasdk.h"

#include <functional>
#include <vector>

class Clock;

// Galaxy feature codes the system passes (names as in the Galaxy SDK).
namespace gx {
constexpr std::uint32_t kWidth = 0x100003EE, kHeight = 0x100003EF;
constexpr std::uint32_t kOffsetX = 0x100003EC, kOffsetY = 0x100003ED;
constexpr std::uint32_t kBinningH = 0x100003F0, kBinningV = 0x100003F1;
constexpr std::uint32_t kDecimationH = 0x100003F2, kDecimationV = 0x100003F3;
constexpr std::uint32_t kTLParamsLocked = 0x10000BBB;
constexpr std::uint32_t kSharpnessMode = 0x3000178A, kGammaEnable = 0x40001395;
constexpr std::uint32_t kExposureAuto = 0x30000BC2, kExposureTime = 0x20000BC1;
constexpr std::uint32_t kLightSource = 0x300036B0;
constexpr std::uint32_t kGain = 0x20001393, kSharpness = 0x2000178B, kGamma = 0x20001397;
constexpr std::uint32_t kAcquisitionStart = 0x70000BB9, kAcquisitionStop = 0x70000BBA;
constexpr std::uint32_t kAcquisitionMode = 0x30000BB8, kTriggerMode = 0x30000BBD;
}  // namespace gx

// Hikvision pixel formats and events.
namespace mvs {
constexpr std::uint32_t kMono8 = 0x1080001, kBayerRG8 = 0x1080009, kRGB8 = 0x2180014;
constexpr std::uint32_t kExceptionDevDisconnect = 0x8001;
}  // namespace mvs

// Galaxy contrast factor of the capture thread for a contrast parameter.
inline int galaxyContrastFactor(int contrast) {
    return contrast > 150 ? 100 : contrast - 50;
}

// Daheng Galaxy cameras.
class GalaxyFamily final : public CameraFamilyDriver {
public:
    explicit GalaxyFamily(camsdk::GalaxyApi& api) : m_api(api) {}
    int family() const override { return kFamilyGalaxy; }
    std::optional<ProbeResult> probe(bool optimise) override;
    int countDevices() override;
    std::unique_ptr<CameraHandle> open(int position, const QString& serial,
                                       const OpenContext& ctx) override;

private:
    camsdk::GalaxyApi& m_api;
};

// IDS uEye cameras.
class UEyeFamily final : public CameraFamilyDriver {
public:
    UEyeFamily(camsdk::UEyeApi& api, Clock& clock) : m_api(api), m_clock(clock) {}
    int family() const override { return kFamilyUEye; }
    std::optional<ProbeResult> probe(bool optimise) override;
    int countDevices() override;
    std::unique_ptr<CameraHandle> open(int position, const QString& serial,
                                       const OpenContext& ctx) override;

private:
    camsdk::UEyeApi& m_api;
    Clock& m_clock;
};

// MindVision cameras.
class MindFamily final : public CameraFamilyDriver {
public:
    explicit MindFamily(camsdk::MindApi& api) : m_api(api) {}
    int family() const override { return kFamilyMind; }
    std::optional<ProbeResult> probe(bool optimise) override;
    int countDevices() override;
    std::unique_ptr<CameraHandle> open(int position, const QString& serial,
                                       const OpenContext& ctx) override;

private:
    camsdk::MindApi& m_api;
    std::vector<camsdk::MindApi::DeviceInfo> m_devices;  // enumeration kept for opening
};

// Hikvision MVS cameras.
class HikFamily final : public CameraFamilyDriver {
public:
    // ping runs "ping <address> -w 1" and returns its output (address repair).
    using PingFn = std::function<QString(const QString& command)>;
    HikFamily(camsdk::HikApi& api, PingFn ping = {}) : m_api(api), m_ping(std::move(ping)) {}
    int family() const override { return kFamilyHik; }
    std::optional<ProbeResult> probe(bool optimise) override;
    int countDevices() override;
    std::unique_ptr<CameraHandle> open(int position, const QString& serial,
                                       const OpenContext& ctx) override;
    bool confirmLoss(int openedCount) override;
    void prepareRestart() override { repairGigeAddresses(); }
    // Gives GigE devices outside their interface's subnet a free address in
    // its /24 network; returns the devices neither accessible nor repaired.
    int repairGigeAddresses();

private:
    camsdk::HikApi& m_api;
    PingFn m_ping;
};
