#pragma once

#include "cameradriver.h"
#include "camerathread.h"

#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class Clock;
class QSqlDatabase;
struct SystemParams;
class CameraSystem;

namespace cv {
class Mat;
}

// What the camera layer asks of the rest of the monitor (the main window and
// the cycle). Every call comes from the GUI thread.
class CameraHost {
public:
    virtual ~CameraHost() = default;
    virtual void record(const QString& /*line*/) {}  // operation record
    virtual void log(const QString& /*line*/) {}     // diagnostic log
    virtual int cycleState() const { return 0; }
    virtual void prohibitMachine() {}  // output channel 0 active, outputs committed
    virtual void clearDetectionResult(int /*camera*/) {}
    virtual void showLostCameraBox() {}
    virtual void showWarning(const QString& /*text*/) {}
    virtual void hideLostBoxes() {}
    virtual void showReconnectBox() {}
};

// The families in probing order and the seams the probe uses; built in one
// place (camerabackends.h).
struct CameraBackends {
    std::vector<std::shared_ptr<void>> keepAlive;  // SDK objects the families refer to
    std::vector<std::unique_ptr<CameraFamilyDriver>> families;
    std::function<int()> repairGige;  // GigE address repair; empty: none
};

// The camera side of one camera position: SDK handle, capture thread and the
// frame buffer guarded by gFrameLock of its position. Owned by the camera
// object of that position.
class CameraDevice final : public FrameSink {
public:
    CameraDevice(CameraSystem& system, int index);
    ~CameraDevice() override;
    CameraDevice(const CameraDevice&) = delete;
    CameraDevice& operator=(const CameraDevice&) = delete;

    int index() const override { return m_index; }
    std::size_t frameBytes() const override { return m_frame.size(); }
    void publish(const std::uint8_t* data, bool lockHeld = false) override;
    void clearReady() override;

    // Copies the newest frame when one is ready and clears the flag.
    bool takeFrame(std::vector<std::uint8_t>& out);
    // Same into an 8-bit gray or RGBA image of the working size.
    bool takeFrame(cv::Mat& out);

    // Video4Linux2: replaces the filter graph under the frame lock.
    bool rebuildFilterGraph(const QString& description) {
        return m_handle && m_handle->rebuildFilterGraph(description);
    }

    bool present() const { return m_present; }
    bool grabbing() const { return m_thread && m_thread->running(); }
    CameraHandle* handle() { return m_handle.get(); }
    const CameraThread* thread() const { return m_thread.get(); }

private:
    friend class CameraSystem;
    CameraSystem& m_system;
    int m_index;
    bool m_colour = false;
    int m_w = 0, m_h = 0;
    std::vector<std::uint8_t> m_frame;  // guarded by gFrameLock[m_index]
    std::unique_ptr<CameraHandle> m_handle;
    std::unique_ptr<CameraThread> m_thread;
    bool m_present = false;
};

// Probing, opening, configuring, losing and restarting the cameras. Lives on
// the GUI thread; SDK threads only set the disconnection flag.
class CameraSystem {
public:
    CameraSystem(CameraBackends backends, CameraHost& host, Clock& clock);
    ~CameraSystem();

    // The live record and the edit copy of the parameter screens.
    void setParams(const SystemParams* live, SystemParams* edit);
    void setParamScreenOpen(bool open) { m_screenOpen = open; }
    void setSerialNumbers(const std::array<QString, 8>& serials) { m_serials = serials; }
    const std::array<QString, 8>& serialNumbers() const { return m_serials; }
    // Position assigned to each opened camera on the camera-order screen.
    void setCameraOrder(const std::array<int, 8>& order) { m_order = order; }
    // Start delay of the capture threads (300 ms on a panel).
    void setCaptureStartDelayMs(int ms) { m_startDelayMs = ms; }

    // Sets cameraFamily and cameraCount; the working size is probe().imageW x
    // imageH (the caller hands it to the vision library with SetViewGeometry).
    const ProbeResult& probeCameras();
    const ProbeResult& probe() const { return m_probe; }
    bool sizeOptimised() const;
    bool colourOperation() const;

    bool openCamera(CameraDevice& cam);
    void closeCamera(CameraDevice& cam);
    void startGrabbing(CameraDevice& cam);
    void stopGrabbing(CameraDevice& cam);

    void applyExposure(CameraDevice& cam);
    void applyGain(CameraDevice& cam);
    void applySharpness(CameraDevice& cam);
    void applyContrast(CameraDevice& cam);
    void applyGamma(CameraDevice& cam);
    void applyWhiteBalance(CameraDevice& cam);
    void applyTriggerMode(CameraDevice& cam, bool flag);
    void applyMirror(CameraDevice& cam);
    void applyFrameRate();
    void restoreCameraDefaults(CameraDevice& cam);

    // Writes the serial numbers of the opened cameras (or only "0"s) to SN.db.
    bool saveSerialNumbers(bool clearOnly, QSqlDatabase& snDb);

    void handleCameraLost(int camera);
    // Called periodically by the cycle while cameraLost() is set.
    void tryCameraRestart();
    bool cameraLost() const { return m_lost; }
    int lossCount() const { return m_lossCount; }
    // Set from SDK threads when a camera reports a disconnection.
    bool disconnected() const { return m_disconnected; }
    void clearDisconnected() { m_disconnected = false; }

    // The settings of a position from the record in effect.
    CameraSettings settingsFor(int camera) const;
    CameraDevice* device(int camera) const { return m_devices[camera]; }
    int openedCount() const;
    CameraFamilyDriver* activeFamily() const { return m_driver; }

private:
    friend class CameraDevice;
    const SystemParams& active() const;
    void attach(CameraDevice* d);
    void detach(CameraDevice* d);

    CameraBackends m_backends;
    CameraHost& m_host;
    Clock& m_clock;
    const SystemParams* m_live = nullptr;
    SystemParams* m_edit = nullptr;
    std::unique_ptr<SystemParams> m_defaults;
    bool m_screenOpen = false;
    ProbeResult m_probe;
    CameraFamilyDriver* m_driver = nullptr;
    std::array<QString, 8> m_serials{};
    std::array<int, 8> m_order{0, 1, 2, 3, 4, 5, 6, 7};
    std::array<CameraDevice*, 8> m_devices{};
    int m_startDelayMs = 300;
    bool m_lost = false;
    int m_openedAtLoss = 0;
    int m_lossCount = 0;
    std::atomic<bool> m_disconnected{false};
};
