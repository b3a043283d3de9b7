#pragma once

#include "cameradrivers.h"
#include "camerasystem.h"
#include "platform.h"
#include "simcamerasdk.h"
#include "systemparams.h"

#include <QStringList>
#include <chrono>
#include <functional>
#include <thread>

// Waits for a condition with a bounded timeout, polling every few milliseconds.
inline bool waitFor(const std::function<bool()>& cond, int timeoutMs = 5000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Records what the camera layer asks of the monitor.
class RecordingHost final : public CameraHost {
public:
    void record(const QString& s) override { records << s; }
    void log(const QString& s) override { logs << s; }
    int cycleState() const override { return state; }
    void prohibitMachine() override { ++prohibits; }
    void clearDetectionResult(int c) override { cleared << QString::number(c); }
    void showLostCameraBox() override { ++lostBoxes; }
    void showWarning(const QString& t) override { warnings << t; }
    void hideLostBoxes() override { ++hides; }
    void showReconnectBox() override { ++reconnects; }
    QStringList records, logs, cleared, warnings;
    int state = 0, prohibits = 0, lostBoxes = 0, hides = 0, reconnects = 0;
};

// A camera system over one simulated SDK that answers as the given family.
struct CamRig {
    explicit CamRig(int family, std::vector<SimCameraConfig> cams,
                    bool withEmptyFamiliesFirst = false)
        : sdk(std::make_shared<SimCameraSdk>(std::move(cams))),
          clock(QDateTime(QDate(2026, 1, 1), QTime(8, 0))),
          system(makeBackends(family, withEmptyFamiliesFirst), host, clock) {
        system.setParams(&live, &edit);
        system.setCaptureStartDelayMs(0);
    }
    ~CamRig() { devices.clear(); }

    CameraBackends makeBackends(int family, bool emptyFirst) {
        CameraBackends b;
        b.keepAlive.push_back(sdk);
        if (emptyFirst) {
            empty = std::make_shared<SimCameraSdk>(std::vector<SimCameraConfig>{});
            b.keepAlive.push_back(empty);
            b.families.push_back(std::make_unique<GalaxyFamily>(*empty));
            b.families.push_back(std::make_unique<UEyeFamily>(*empty, clock));
        }
        switch (family) {
            case kFamilyGalaxy:
                b.families.push_back(std::make_unique<GalaxyFamily>(*sdk));
                break;
            case kFamilyUEye:
                b.families.push_back(std::make_unique<UEyeFamily>(*sdk, clock));
                break;
            case kFamilyMind:
                b.families.push_back(std::make_unique<MindFamily>(*sdk));
                break;
            case kFamilyHik:
                b.families.push_back(std::make_unique<HikFamily>(*sdk));
                break;
            default:
                break;
        }
        return b;
    }

    // Probes and creates the camera objects of every position.
    void probeAndCreate(int positions = 8) {
        system.probeCameras();
        for (int c = 0; c < positions; ++c)
            devices.push_back(std::make_unique<CameraDevice>(system, c));
    }
    void openAll() {
        for (auto& d : devices)
            system.openCamera(*d);
    }
    void startAll() {
        for (auto& d : devices)
            system.startGrabbing(*d);
    }

    std::shared_ptr<SimCameraSdk> sdk, empty;
    FakeClock clock;
    RecordingHost host;
    SystemParams live, edit;
    CameraSystem system;
    std::vector<std::unique_ptr<CameraDevice>> devices;
};

inline SimCameraConfig simCam(std::string serial, int w = 1280, int h = 1024, bool color = false) {
    SimCameraConfig s;
    s.serial = std::move(serial);
    s.sensorW = w;
    s.sensorH = h;
    s.color = color;
    s.model = color ? "MV-CA013-20GC" : "MV-CA013-20GM";
    return s;
}
