#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// The small interface every camera family is reached through. One
// CameraFamilyDriver per SDK family knows how to probe, count and open its
// cameras; a CameraHandle is one opened camera. The table of families is
// chosen in one place (camerabackends.h).

enum CameraFamilyCode {
    kFamilyNone = 0,
    kFamilyGalaxy = 4,
    kFamilyUEye = 5,
    kFamilyMind = 6,
    kFamilyHik = 7,
    kFamilyV4l2 = 9
};

// What the probe found.
struct ProbeResult {
    int family = kFamilyNone;
    int count = 0;
    int imageW = 0, imageH = 0;    // working size
    int sensorW = 0, sensorH = 0;  // largest size the camera reports
    bool colorSensor = false;
    int presetW = 0, presetH = 0;  // MindVision preset resolution
};

// The camera parameters of one position, taken from the live record or the
// edit copy of the system parameters.
struct CameraSettings {
    int exposure = 0, gain = 0, sharpness = 0, contrast = 0, gamma = 0;
    bool autoExposure = false, autoShading = false, externalTrigger = false;
    bool hMirror = false, vMirror = false, colorOperation = false;
    int captureSpeed = 0;
};

// Parameter values read back from a camera after restoring its defaults;
// unset fields keep their edited value.
struct CameraReadBack {
    std::optional<int> exposure, gain, sharpness, contrast, gamma;
};

// Where an opened camera delivers its frames: the frame buffer of its
// position, guarded by gFrameLock of that position.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual int index() const = 0;
    virtual std::size_t frameBytes() const = 0;
    // Copies frameBytes() bytes into the frame buffer and sets the ready flag.
    // Takes the frame lock itself unless the caller already holds it.
    virtual void publish(const std::uint8_t* data, bool lockHeld = false) = 0;
    // Clears the ready flag under the frame lock.
    virtual void clearReady() = 0;
};

// What opening a camera needs to know.
struct OpenContext {
    ProbeResult probe;
    bool optimise = true;
    bool colorOperation = false;
    FrameSink* sink = nullptr;
    std::function<void()> onDisconnect;          // SDK thread: only sets a flag
    std::function<void(const QString&)> record;  // operation record
    std::function<void(const QString&)> log;     // diagnostic log
};

// One opened camera.
class CameraHandle {
public:
    virtual ~CameraHandle() = default;
    virtual void applyExposure(const CameraSettings&) {}
    virtual void applyGain(const CameraSettings&) {}
    virtual void applySharpness(const CameraSettings&) {}
    virtual void applyContrast(const CameraSettings&) {}
    virtual void applyGamma(const CameraSettings&) {}
    virtual void applyWhiteBalance(const CameraSettings&) {}
    virtual void applyTriggerMode(const CameraSettings&, bool /*flag*/) {}
    virtual void applyMirror(const CameraSettings&) {}
    // Called with acquisition stopped.
    virtual void applyFrameRate(const CameraSettings&) {}
    virtual std::optional<CameraReadBack> restoreDefaults(const CameraSettings&) {
        return std::nullopt;
    }
    // Empty when the SDK does not report one.
    virtual QString serialNumber() { return {}; }
    // Video4Linux2: the description of the current filter graph, and a new
    // graph from a description (taken under the frame lock).
    virtual QString filterDescription() const { return {}; }
    virtual bool rebuildFilterGraph(const QString& /*description*/) { return false; }
    virtual void start() {}
    virtual void stop() {}
    // One pass of the capture loop: fetch at most one frame and publish it.
    // Waits at most 100 ms. Cameras that push frames do nothing here.
    virtual void captureStep() {}
};

// One SDK family.
class CameraFamilyDriver {
public:
    virtual ~CameraFamilyDriver() = default;
    virtual int family() const = 0;
    // Returns the family's probe result when it has at least one camera.
    virtual std::optional<ProbeResult> probe(bool optimise) = 0;
    // Counts the attached devices again (restart).
    virtual int countDevices() = 0;
    // Opens the camera of a position: by serial number when serial is longer
    // than 8 characters, else by index.
    virtual std::unique_ptr<CameraHandle> open(int position, const QString& serial,
                                               const OpenContext& ctx) = 0;
    // Whether a reported loss is real; Hikvision enumerates again.
    virtual bool confirmLoss(int /*openedCount*/) { return true; }
    // Run before counting on restart (Hikvision GigE address repair).
    virtual void prepareRestart() {}
};

// True when a stored serial number selects the device.
inline bool usesSerial(const QString& serial) {
    return serial.size() > 8;
}

// min + (max - min) * v / scale
inline double mapToRange(double min, double max, int v, int scale) {
    return min + (max - min) * v / scale;
}
