#include "cameradrivers.h"

#include "camerasizes.h"
#include "platform.h"

#include <QDebug>
#include <QMutexLocker>
#include <cmath>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "globals.h"

namespace {

using camsdk::Handle;
using camsdk::kOk;

// 24-bit RGB to 32-bit RGBA with opaque alpha.
void RGB2RGBA(std::uint8_t* dst, const std::uint8_t* src, int w, int h) {
    cv::cvtColor(cv::Mat(h, w, CV_8UC3, const_cast<std::uint8_t*>(src)),
                 cv::Mat(h, w, CV_8UC4, dst), cv::COLOR_RGB2RGBA);
}

int roundInt(double v) {
    return static_cast<int>(std::lround(v));
}

// ---------------------------------------------------------------- Galaxy

// One opened Galaxy camera.
class GalaxyCamera final : public CameraHandle {
public:
    GalaxyCamera(camsdk::GalaxyApi& api, Handle h, const OpenContext& ctx)
        : m_api(api), m_h(h), m_sink(ctx.sink) {}
    ~GalaxyCamera() override { m_api.GXCloseDevice(m_h); }

    void applyExposure(const CameraSettings& s) override {
        if (s.autoExposure) {
            m_api.GXSetEnum(m_h, gx::kExposureAuto, 1);
        } else {
            m_api.GXSetEnum(m_h, gx::kExposureAuto, 0);
            setRanged(gx::kExposureTime, s.exposure, 100);
        }
        m_api.GXSetEnum(m_h, gx::kLightSource, s.autoShading ? 1 : 0);
    }
    void applyGain(const CameraSettings& s) override { setRanged(gx::kGain, s.gain, 64); }
    void applySharpness(const CameraSettings& s) override {
        setRanged(gx::kSharpness, s.sharpness, 100);
    }
    void applyContrast(const CameraSettings& s) override {
        QMutexLocker lock(&gFrameLock[m_sink->index()]);
        m_contrastFactor = galaxyContrastFactor(s.contrast);
    }
    void applyGamma(const CameraSettings& s) override { setRanged(gx::kGamma, s.gamma, 250); }
    void applyTriggerMode(const CameraSettings&, bool flag) override {
        if (flag)
            m_api.GXSendCommand(m_h, gx::kAcquisitionStop);
        m_api.GXSetEnum(m_h, gx::kAcquisitionMode, 2);
        m_api.GXSetEnum(m_h, gx::kTriggerMode, 0);
        if (flag)
            m_api.GXSendCommand(m_h, gx::kAcquisitionStart);
    }
    void start() override { m_api.GXSendCommand(m_h, gx::kAcquisitionStart); }
    void stop() override { m_api.GXSendCommand(m_h, gx::kAcquisitionStop); }
    void captureStep() override {
        camsdk::GalaxyApi::Frame frame;
        frame.buffer = &m_raw;
        if (m_api.GXGetImage(m_h, &frame, 100) != kOk || frame.status != 0)
            return;
        const std::size_t bytes = m_sink->frameBytes();
        if (m_raw.size() < bytes)
            return;
        int factor = 0;
        {
            QMutexLocker lock(&gFrameLock[m_sink->index()]);
            factor = m_contrastFactor;
        }
        m_work.resize(bytes);
        m_api.DxContrast(m_raw.data(), m_work.data(), bytes, factor);
        m_sink->publish(m_work.data());
    }

private:
    void setRanged(std::uint32_t feature, int v, int scale) {
        double min = 0, max = 0;
        if (m_api.GXGetFloatRange(m_h, feature, &min, &max) == kOk)
            m_api.GXSetFloat(m_h, feature, mapToRange(min, max, v, scale));
    }

    camsdk::GalaxyApi& m_api;
    Handle m_h;
    FrameSink* m_sink;
    int m_contrastFactor = 0;  // guarded by the frame lock
    std::vector<std::uint8_t> m_raw, m_work;
};

// ---------------------------------------------------------------- uEye

// One opened uEye camera.
class UEyeCamera final : public CameraHandle {
public:
    UEyeCamera(camsdk::UEyeApi& api, Handle h, const OpenContext& ctx)
        : m_api(api), m_h(h), m_sink(ctx.sink) {
        const int w = ctx.probe.imageW, ht = ctx.probe.imageH;
        m_imageW = w;
        m_imageH = ht;
        m_api.is_SetColorMode(m_h, 6);
        if (m_api.is_AllocImageMem(m_h, w, ht, 8, &m_mem, &m_memId) == kOk)
            m_api.is_SetImageMem(m_h, m_mem, m_memId);
        m_api.is_AOI(m_h, w, ht);
        double on = 1, none = 0;
        m_api.is_SetAutoParameter(m_h, 0x8800, &on, &none);
        m_api.is_SetAutoParameter(m_h, 0x8802, &on, &none);
        m_api.is_SetHardwareGamma(m_h, 1);
        m_api.is_PixelClock(m_h, 5);
    }
    ~UEyeCamera() override {
        if (m_mem)
            m_api.is_FreeImageMem(m_h, m_mem, m_memId);
        m_api.is_ExitCamera(m_h);
    }
    void applyExposure(const CameraSettings& s) override { m_api.is_Exposure(m_h, s.exposure); }
    void applyGain(const CameraSettings& s) override {
        m_api.is_SetHardwareGain(m_h, s.gain, s.gain, s.gain, s.gain);
    }
    void applyGamma(const CameraSettings& s) override { m_api.is_Gamma(m_h, s.gamma); }
    void applyFrameRate(const CameraSettings& s) override {
        m_api.is_PixelClock(m_h, s.captureSpeed);
    }
    QString serialNumber() override {
        std::string sn;
        return m_api.is_GetCameraInfo(m_h, &sn) == kOk ? QString::fromStdString(sn) : QString();
    }
    void start() override { m_api.is_CaptureVideo(m_h, 1); }
    void stop() override { m_api.is_StopLiveVideo(m_h, 0x4000); }
    void captureStep() override {
        // The image memory holds 8-bit gray; colour operation gets it as RGBA.
        const std::size_t pixels = static_cast<std::size_t>(m_imageW) * m_imageH;
        if (!m_mem || m_api.is_LockSeqBuf(m_h, m_mem) != kOk)
            return;
        if (m_last.size() != pixels || std::memcmp(m_last.data(), m_mem, pixels) != 0) {
            m_last.assign(m_mem, m_mem + pixels);
            if (m_sink->frameBytes() == pixels) {
                m_sink->publish(m_mem);
            } else if (m_sink->frameBytes() == pixels * 4) {
                m_rgba.resize(pixels * 4);
                cv::cvtColor(cv::Mat(m_imageH, m_imageW, CV_8UC1, m_mem),
                             cv::Mat(m_imageH, m_imageW, CV_8UC4, m_rgba.data()),
                             cv::COLOR_GRAY2RGBA);
                m_sink->publish(m_rgba.data());
            }
        }
        m_api.is_UnlockSeqBuf(m_h, m_mem);
    }

private:
    camsdk::UEyeApi& m_api;
    Handle m_h;
    FrameSink* m_sink;
    std::uint8_t* m_mem = nullptr;  // owned by the SDK, freed in the destructor
    int m_memId = 0;
    int m_imageW = 0, m_imageH = 0;
    std::vector<std::uint8_t> m_last, m_rgba;
};

// ---------------------------------------------------------------- MindVision

// One opened MindVision camera.
class MindCamera final : public CameraHandle {
public:
    MindCamera(camsdk::MindApi& api, Handle h, const OpenContext& ctx)
        : m_api(api), m_h(h), m_ctx(ctx) {
        m_api.CameraGetCapability(m_h, &m_cap);
        setUpImage();
        m_api.CameraSetFrameSpeed(m_h, 0);
        m_api.CameraSetConnectionStatusCallback(m_h, [cb = ctx.onDisconnect](int status) {
            if (status == 0 && cb)
                cb();
        });
        m_api.CameraCommonCall(m_h, "set_online_detect_interval(500)");
    }
    ~MindCamera() override {
        m_api.CameraSetConnectionStatusCallback(m_h, {});
        m_api.CameraUnInit(m_h);
    }
    void applyExposure(const CameraSettings& s) override {
        if (s.autoExposure) {
            m_api.CameraSetAeState(m_h, true);
        } else {
            m_api.CameraSetAeState(m_h, false);
            m_api.CameraSetExposureTime(m_h, s.exposure * 1000.0);
        }
        m_api.CameraCommonCall(m_h,
                               s.autoShading ? "set_awdr_enable(true)" : "set_awdr_enable(false)");
    }
    void applyGain(const CameraSettings& s) override {
        double min = 0, max = 0;
        if (m_api.CameraGetAeAnalogGainRange(m_h, &min, &max) == kOk)
            m_api.CameraSetAnalogGain(m_h, mapToRange(min, max, s.gain, 64));
    }
    void applySharpness(const CameraSettings& s) override {
        m_api.CameraSetSharpness(
            m_h, mapToRange(m_cap.sharpness.min, m_cap.sharpness.max, s.sharpness, 100));
    }
    void applyContrast(const CameraSettings& s) override {
        m_api.CameraSetContrast(
            m_h, mapToRange(m_cap.contrast.min, m_cap.contrast.max, s.contrast, 200));
    }
    void applyGamma(const CameraSettings& s) override {
        m_api.CameraSetGamma(m_h, mapToRange(m_cap.gamma.min, m_cap.gamma.max, s.gamma, 250));
    }
    void applyWhiteBalance(const CameraSettings& s) override {
        if (s.colorOperation)
            m_api.CameraSetOnceWB(m_h);
    }
    void applyTriggerMode(const CameraSettings& s, bool) override {
        m_api.CameraSetTriggerMode(m_h, s.externalTrigger ? 2 : 0);
    }
    void applyMirror(const CameraSettings& s) override {
        m_api.CameraSetMirror(m_h, 0, s.hMirror);
        m_api.CameraSetMirror(m_h, 1, s.vMirror);
    }
    void applyFrameRate(const CameraSettings& s) override {
        m_api.CameraSetFrameSpeed(m_h, s.captureSpeed + 1);
    }
    std::optional<CameraReadBack> restoreDefaults(const CameraSettings& s) override {
        m_api.CameraStop(m_h);
        m_api.CameraLoadParameter(m_h, 255);
        setUpImage();
        m_api.CameraSetAeState(m_h, s.autoExposure);
        m_api.CameraSetFrameSpeed(m_h, 0);
        CameraReadBack rb;
        double v = 0, min = 0, max = 0;
        if (m_api.CameraGetExposureTime(m_h, &v) == kOk)
            rb.exposure = roundInt(v / 1000);
        if (m_api.CameraGetAnalogGain(m_h, &v) == kOk &&
            m_api.CameraGetAeAnalogGainRange(m_h, &min, &max) == kOk && max > min)
            rb.gain = roundInt((v - min) / ((max - min) / 64));
        auto share = [&](const camsdk::MindApi::Range& r, double value, int scale) {
            return r.max > r.min ? roundInt((value - r.min) * scale / (r.max - r.min)) : 0;
        };
        if (m_api.CameraGetSharpness(m_h, &v) == kOk)
            rb.sharpness = share(m_cap.sharpness, v, 100);
        if (m_api.CameraGetContrast(m_h, &v) == kOk)
            rb.contrast = share(m_cap.contrast, v, 200);
        if (m_api.CameraGetGamma(m_h, &v) == kOk)
            rb.gamma = share(m_cap.gamma, v, 250);
        m_api.CameraPlay(m_h);
        return rb;
    }
    QString serialNumber() override {
        std::string sn;
        return m_api.CameraReadSN(m_h, &sn) == kOk ? QString::fromStdString(sn) : QString();
    }
    void start() override { m_api.CameraPlay(m_h); }
    void stop() override { m_api.CameraStop(m_h); }
    void captureStep() override {
        camsdk::MindApi::FrameHead head;
        const std::uint8_t* raw = nullptr;
        if (m_api.CameraGetImageBuffer(m_h, &head, &raw, 100) != kOk)
            return;
        const int w = m_ctx.probe.imageW, h = m_ctx.probe.imageH;
        m_work.resize(static_cast<std::size_t>(w) * h * 4);
        if (head.width == w && head.height == h &&
            m_api.CameraImageProcess(m_h, raw, m_work.data(), head) == kOk) {
            if (m_ctx.colorOperation) {
                m_rgba.resize(static_cast<std::size_t>(w) * h * 4);
                RGB2RGBA(m_rgba.data(), m_work.data(), w, h);
                m_ctx.sink->publish(m_rgba.data());
            } else {
                m_ctx.sink->publish(m_work.data());
            }
        }
        m_api.CameraReleaseImageBuffer(m_h, raw);
    }

private:
    void setUpImage() {
        const ProbeResult& p = m_ctx.probe;
        camsdk::MindApi::Resolution res;
        if (p.sensorW == 2592 && m_ctx.optimise) {
            res = {0, 0, 0, p.presetW, p.presetH};
        } else {
            const QSize off = centredOffset({p.sensorW, p.sensorH}, {p.imageW, p.imageH});
            res = {255, off.width(), off.height(), p.imageW, p.imageH};
        }
        m_api.CameraSetImageResolution(m_h, res);
        if (m_cap.mono) {
            m_api.CameraSetIspOutFormat(m_h, mvs::kMono8);
            m_api.CameraSetMonochrome(m_h, false);
            return;
        }
        m_api.CameraSetWbMode(m_h, false);
        const bool wide = m_cap.maxWidth == 2048;
        if (!m_ctx.colorOperation) {
            m_api.CameraSetIspOutFormat(m_h, mvs::kMono8);
            wide ? m_api.CameraSetMonochrome(m_h, true) : m_api.CameraSetMediaType(m_h, 1);
        } else {
            m_api.CameraSetIspOutFormat(m_h, mvs::kRGB8);
            wide ? m_api.CameraSetMonochrome(m_h, false) : m_api.CameraSetMediaType(m_h, 0);
        }
    }

    camsdk::MindApi& m_api;
    Handle m_h;
    OpenContext m_ctx;
    camsdk::MindApi::Capability m_cap;
    std::vector<std::uint8_t> m_work, m_rgba;
};

// ---------------------------------------------------------------- Hikvision

// One opened Hikvision camera; frames arrive through the SDK's callback.
class HikCamera final : public CameraHandle {
public:
    HikCamera(camsdk::HikApi& api, Handle h, camsdk::HikApi::DeviceInfo info,
              const OpenContext& ctx)
        : m_api(api), m_h(h), m_info(std::move(info)), m_ctx(ctx) {
        m_api.MV_CC_SetEnumValue(m_h, "UserSetSelector", 0);
        m_api.MV_CC_SetCommandValue(m_h, "UserSetLoad");
        m_api.MV_CC_SetBoolValue(m_h, "SharpnessEnable", true);
        m_api.MV_CC_SetBoolValue(m_h, "GammaEnable", true);
        m_api.MV_CC_SetIntValue(m_h, "GevHeartbeatTimeout", 500);
        m_api.MV_CC_RegisterImageCallBack(
            m_h, [this](const std::uint8_t* data, const camsdk::HikApi::FrameInfo& fi) {
                onImage(data, fi);
            });
        m_api.MV_CC_RegisterExceptionCallBack(m_h, [cb = ctx.onDisconnect](std::uint32_t code) {
            if (code == mvs::kExceptionDevDisconnect && cb)
                cb();
        });
        setPixelFormat();
    }
    ~HikCamera() override {
        m_api.MV_CC_StopGrabbing(m_h);
        m_api.MV_CC_RegisterImageCallBack(m_h, {});
        m_api.MV_CC_RegisterExceptionCallBack(m_h, {});
        m_api.MV_CC_CloseDevice(m_h);
        m_api.MV_CC_DestroyHandle(m_h);
    }
    void applyExposure(const CameraSettings& s) override {
        m_api.MV_CC_SetEnumValue(m_h, "ExposureMode", 0);
        m_api.MV_CC_SetEnumValue(m_h, "ExposureAuto", 0);
        m_api.MV_CC_SetFloatValue(m_h, "ExposureTime", s.exposure * 1000.0);
    }
    void applyGain(const CameraSettings& s) override {
        m_api.MV_CC_SetEnumValue(m_h, "GainAuto", 0);
        setRanged("Gain", s.gain, 64);
    }
    void applySharpness(const CameraSettings& s) override {
        setRanged("Sharpness", s.sharpness, 100);
    }
    void applyGamma(const CameraSettings& s) override { setRanged("Gamma", s.gamma, 250); }
    void applyWhiteBalance(const CameraSettings& s) override {
        if (s.colorOperation)
            m_api.MV_CC_SetBalanceWhiteAuto(m_h, 2);
    }
    void applyTriggerMode(const CameraSettings& s, bool) override {
        if (s.externalTrigger) {
            m_api.MV_CC_SetEnumValue(m_h, "TriggerMode", 1);
            m_api.MV_CC_SetEnumValue(m_h, "TriggerSource", 0);
        } else {
            m_api.MV_CC_SetEnumValue(m_h, "TriggerMode", 0);
        }
    }
    void applyFrameRate(const CameraSettings& s) override {
        m_api.MV_CC_SetBoolValue(m_h, "AcquisitionFrameRateEnable", true);
        m_api.MV_CC_SetFloatValue(m_h, "AcquisitionFrameRate",
                                  s.captureSpeed < 5 ? 20.0 : double(s.captureSpeed));
    }
    std::optional<CameraReadBack> restoreDefaults(const CameraSettings&) override {
        m_api.MV_CC_StopGrabbing(m_h);
        m_api.MV_CC_SetEnumValue(m_h, "UserSetSelector", 0);
        m_api.MV_CC_SetCommandValue(m_h, "UserSetLoad");
        setPixelFormat();
        m_api.MV_CC_StartGrabbing(m_h);
        CameraReadBack rb;
        camsdk::HikApi::FloatValue v;
        if (m_api.MV_CC_GetFloatValue(m_h, "ExposureTime", &v) == kOk)
            rb.exposure = roundInt(v.current / 1000);
        if (m_api.MV_CC_GetFloatValue(m_h, "Gain", &v) == kOk && v.max > v.min)
            rb.gain = roundInt((v.current - v.min) / ((v.max - v.min) / 64));
        if (m_api.MV_CC_GetFloatValue(m_h, "Sharpness", &v) == kOk && v.max > v.min)
            rb.sharpness = roundInt((v.current - v.min) * 100 / (v.max - v.min));
        if (m_api.MV_CC_GetFloatValue(m_h, "Gamma", &v) == kOk && v.max > v.min)
            rb.gamma = roundInt((v.current - v.min) * 250 / (v.max - v.min));
        return rb;
    }
    QString serialNumber() override {
        return m_info.gige ? QString::fromStdString(m_info.serial) : QString();
    }
    void start() override { m_api.MV_CC_StartGrabbing(m_h); }
    void stop() override { m_api.MV_CC_StopGrabbing(m_h); }

private:
    bool colour() const { return m_ctx.probe.colorSensor && m_ctx.colorOperation; }
    void setPixelFormat() {
        m_api.MV_CC_SetEnumValue(m_h, "PixelFormat", colour() ? mvs::kBayerRG8 : mvs::kMono8);
    }
    void setRanged(const char* key, int v, int scale) {
        camsdk::HikApi::FloatValue range;
        if (m_api.MV_CC_GetFloatValue(m_h, key, &range) == kOk)
            m_api.MV_CC_SetFloatValue(m_h, key, mapToRange(range.min, range.max, v, scale));
    }
    // SDK thread.
    void onImage(const std::uint8_t* data, const camsdk::HikApi::FrameInfo& fi) {
        const int w = m_ctx.probe.imageW, h = m_ctx.probe.imageH;
        const std::size_t pixels = static_cast<std::size_t>(w) * h;
        if (fi.width != w || fi.height != h)
            return;
        if (colour()) {
            m_work.resize(pixels * 3);
            m_rgba.resize(pixels * 4);
            if (m_api.MV_CC_ConvertPixelType(m_h, data, fi, m_work.data(), mvs::kRGB8) != kOk)
                return;
            RGB2RGBA(m_rgba.data(), m_work.data(), w, h);
            m_ctx.sink->publish(m_rgba.data());
        } else if (fi.bytes >= pixels) {
            m_ctx.sink->publish(data);
        }
    }

    camsdk::HikApi& m_api;
    Handle m_h;
    camsdk::HikApi::DeviceInfo m_info;
    OpenContext m_ctx;
    std::vector<std::uint8_t> m_work, m_rgba;  // SDK thread only
};

}  // namespace

// ---------------------------------------------------------------- families

std::optional<ProbeResult> GalaxyFamily::probe(bool optimise) {
    if (m_api.GXInitLib() != kOk)
        return std::nullopt;
    std::uint32_t n = 0;
    if (m_api.GXUpdateDeviceList(&n, 20) != kOk || n == 0) {
        qDebug() << "find 0 MerCamera ";
        return std::nullopt;
    }
    qDebug() << "find MerCamera count : " << n;
    Handle h = 0;
    if (int rc = m_api.GXOpenDeviceByIndex(1, &h); rc != kOk) {
        qDebug() << "Open MerCamera Error : " << rc;
        return std::nullopt;
    }
    std::int64_t w = 0, ht = 0;
    if (int rc = m_api.GXGetInt(h, gx::kWidth, &w); rc != kOk) {
        qDebug() << "Get MerCamera width Error : " << rc;
        m_api.GXCloseDevice(h);
        return std::nullopt;
    }
    if (int rc = m_api.GXGetInt(h, gx::kHeight, &ht); rc != kOk) {
        qDebug() << "Get MerCamera height Error : " << rc;
        m_api.GXCloseDevice(h);
        return std::nullopt;
    }
    m_api.GXCloseDevice(h);
    ProbeResult r;
    r.family = kFamilyGalaxy;
    r.count = static_cast<int>(n);
    r.sensorW = static_cast<int>(w);
    r.sensorH = static_cast<int>(ht);
    const QSize ws = workingSize(kFamilyGalaxy, {r.sensorW, r.sensorH}, optimise);
    r.imageW = ws.width();
    r.imageH = ws.height();
    return r;
}

int GalaxyFamily::countDevices() {
    std::uint32_t n = 0;
    return m_api.GXUpdateDeviceList(&n, 20) == kOk ? static_cast<int>(n) : 0;
}

std::unique_ptr<CameraHandle> GalaxyFamily::open(int position, const QString& serial,
                                                 const OpenContext& ctx) {
    Handle h = 0;
    const int rc = usesSerial(serial) ? m_api.GXOpenDevice(serial.toStdString(), &h)
                                      : m_api.GXOpenDeviceByIndex(position + 1, &h);
    if (rc != kOk)
        return nullptr;
    const ProbeResult& p = ctx.probe;
    m_api.GXSetInt(h, gx::kTLParamsLocked, 0);
    if (2 * p.imageW == p.sensorW) {
        for (auto f : {gx::kBinningH, gx::kBinningV, gx::kDecimationH, gx::kDecimationV})
            m_api.GXSetInt(h, f, 2);
        m_api.GXSetInt(h, gx::kOffsetX, 0);
        m_api.GXSetInt(h, gx::kOffsetY, 0);
    } else {
        const QSize off = centredOffset({p.sensorW, p.sensorH}, {p.imageW, p.imageH});
        m_api.GXSetInt(h, gx::kOffsetX, off.width());
        m_api.GXSetInt(h, gx::kOffsetY, off.height());
    }
    m_api.GXSetInt(h, gx::kWidth, p.imageW);
    m_api.GXSetInt(h, gx::kHeight, p.imageH);
    m_api.GXSetEnum(h, gx::kSharpnessMode, 1);
    m_api.GXSetBool(h, gx::kGammaEnable, true);
    return std::make_unique<GalaxyCamera>(m_api, h, ctx);
}

std::optional<ProbeResult> UEyeFamily::probe(bool) {
    m_api.CameraUSBDeviceInit();
    int n = 0;
    if (m_api.is_GetNumberOfCameras(&n) != kOk || n <= 0)
        return std::nullopt;
    Handle h = 0x8000;
    if (m_api.is_InitCamera(&h) != kOk)
        return std::nullopt;
    camsdk::UEyeApi::SensorInfo info;
    if (m_api.is_GetSensorInfo(h, &info) != kOk) {
        m_api.is_ExitCamera(h);
        return std::nullopt;
    }
    ProbeResult r;
    r.family = kFamilyUEye;
    r.sensorW = info.maxWidth;
    r.sensorH = info.maxHeight;
    r.colorSensor = info.color;
    r.imageW = 1280;
    r.imageH = 1024;
    m_clock.sleepMs(3000);
    m_api.is_GetNumberOfCameras(&r.count);
    m_api.is_ExitCamera(h);
    return r;
}

int UEyeFamily::countDevices() {
    int n = 0;
    return m_api.is_GetNumberOfCameras(&n) == kOk ? n : 0;
}

std::unique_ptr<CameraHandle> UEyeFamily::open(int position, const QString& serial,
                                               const OpenContext& ctx) {
    Handle h = 0;
    if (usesSerial(serial)) {
        const int n = countDevices();
        bool found = false;
        for (int id = 1; id <= n && !found; ++id) {
            Handle c = id | 0x8000;
            if (m_api.is_InitCamera(&c) != kOk)
                continue;
            std::string sn;
            if (m_api.is_GetCameraInfo(c, &sn) == kOk && QString::fromStdString(sn) == serial) {
                h = c;
                found = true;
            } else {
                m_api.is_ExitCamera(c);
            }
        }
        if (!found)
            return nullptr;
    } else {
        h = (position + 1) | 0x8000;
        if (m_api.is_InitCamera(&h) != kOk)
            return nullptr;
    }
    return std::make_unique<UEyeCamera>(m_api, h, ctx);
}

std::optional<ProbeResult> MindFamily::probe(bool optimise) {
    m_api.CameraSdkInit(0);
    std::vector<camsdk::MindApi::DeviceInfo> list;
    if (m_api.CameraEnumerateDevice(&list, 12) != kOk || list.empty())
        return std::nullopt;
    Handle h = 0;
    if (m_api.CameraInit(list.front(), -1, -1, &h) != kOk)
        return std::nullopt;
    camsdk::MindApi::Capability cap;
    m_api.CameraGetCapability(h, &cap);
    ProbeResult r;
    r.family = kFamilyMind;
    r.count = static_cast<int>(list.size());
    r.sensorW = cap.maxWidth;
    r.sensorH = cap.maxHeight;
    r.colorSensor = !cap.mono;
    r.presetW = cap.presetWidth;
    r.presetH = cap.presetHeight;
    const QSize ws =
        workingSize(kFamilyMind, {r.sensorW, r.sensorH}, optimise, {r.presetW, r.presetH});
    r.imageW = ws.width();
    r.imageH = ws.height();
    m_api.CameraUnInit(h);
    m_devices.clear();
    m_api.CameraEnumerateDevice(&m_devices, 12);
    return r;
}

int MindFamily::countDevices() {
    m_devices.clear();
    m_api.CameraEnumerateDevice(&m_devices, 12);
    return static_cast<int>(m_devices.size());
}

std::unique_ptr<CameraHandle> MindFamily::open(int position, const QString& serial,
                                               const OpenContext& ctx) {
    const camsdk::MindApi::DeviceInfo* dev = nullptr;
    const bool bySerial = usesSerial(serial);
    if (bySerial) {
        for (const auto& d : m_devices)
            if (QString::fromStdString(d.serial) == serial)
                dev = &d;
        if (!dev) {
            if (ctx.record)
                ctx.record(QStringLiteral("Mind Fail = %1").arg(serial));
            return nullptr;
        }
        if (ctx.record)
            ctx.record(QStringLiteral("Mind Open %1 = %2").arg(position + 1).arg(serial));
    } else {
        if (position >= static_cast<int>(m_devices.size()))
            return nullptr;
        dev = &m_devices[position];
    }
    Handle h = 0;
    if (int rc = m_api.CameraInit(*dev, -1, -1, &h); rc != kOk) {
        if (ctx.log)
            ctx.log(QStringLiteral("CameraInit %1 %2").arg(bySerial ? 1 : 2).arg(rc));
        return nullptr;
    }
    return std::make_unique<MindCamera>(m_api, h, ctx);
}

std::optional<ProbeResult> HikFamily::probe(bool) {
    std::vector<camsdk::HikApi::DeviceInfo> list;
    if (m_api.MV_CC_EnumDevices(&list) != kOk || list.empty())
        return std::nullopt;
    for (const auto& info : list) {
        Handle h = 0;
        if (m_api.MV_CC_CreateHandle(info, &h) != kOk)
            continue;
        if (m_api.MV_CC_OpenDevice(h, true) != kOk) {
            m_api.MV_CC_DestroyHandle(h);
            continue;
        }
        ProbeResult r;
        r.family = kFamilyHik;
        r.count = static_cast<int>(list.size());
        std::string model;
        m_api.MV_CC_GetStringValue(h, "DeviceModelName", &model);
        r.colorSensor = model.empty() || model.back() != 'M';
        std::int64_t v[4] = {};
        m_api.MV_CC_GetIntValue(h, "WidthMax", &v[0]);
        m_api.MV_CC_GetIntValue(h, "HeightMax", &v[1]);
        m_api.MV_CC_GetIntValue(h, "Width", &v[2]);
        m_api.MV_CC_GetIntValue(h, "Height", &v[3]);
        r.sensorW = static_cast<int>(v[0]);
        r.sensorH = static_cast<int>(v[1]);
        r.imageW = static_cast<int>(v[2]);
        r.imageH = static_cast<int>(v[3]);
        m_api.MV_CC_CloseDevice(h);
        m_api.MV_CC_DestroyHandle(h);
        return r;
    }
    return std::nullopt;
}

int HikFamily::countDevices() {
    std::vector<camsdk::HikApi::DeviceInfo> list;
    return m_api.MV_CC_EnumDevices(&list) == kOk ? static_cast<int>(list.size()) : 0;
}

std::unique_ptr<CameraHandle> HikFamily::open(int position, const QString& serial,
                                              const OpenContext& ctx) {
    std::vector<camsdk::HikApi::DeviceInfo> list;
    if (m_api.MV_CC_EnumDevices(&list) != kOk)
        return nullptr;
    const camsdk::HikApi::DeviceInfo* dev = nullptr;
    if (usesSerial(serial)) {
        for (const auto& d : list)
            if (d.gige && QString::fromStdString(d.serial) == serial)
                dev = &d;
    } else if (position < static_cast<int>(list.size())) {
        dev = &list[position];
    }
    if (!dev)
        return nullptr;
    Handle h = 0;
    if (m_api.MV_CC_CreateHandle(*dev, &h) != kOk)
        return nullptr;
    if (m_api.MV_CC_OpenDevice(h, true) != kOk) {
        m_api.MV_CC_DestroyHandle(h);
        return nullptr;
    }
    return std::make_unique<HikCamera>(m_api, h, *dev, ctx);
}

bool HikFamily::confirmLoss(int openedCount) {
    return countDevices() != openedCount;
}

int HikFamily::repairGigeAddresses() {
    std::vector<camsdk::HikApi::DeviceInfo> list;
    if (m_api.MV_CC_EnumDevices(&list) != kOk)
        return 0;
    int fine = 0;
    for (const auto& d : list) {
        if (!d.gige)
            continue;
        const std::uint32_t mask = d.hostMask ? d.hostMask : d.mask;
        if ((d.ip & mask) == (d.hostIp & mask)) {
            if (m_api.MV_CC_IsDeviceAccessible(d))
                ++fine;
            continue;
        }
        if (!m_ping)
            continue;
        const std::uint32_t net = d.hostIp & 0xFFFFFF00u;
        const int startByte = static_cast<int>(d.ip & 0xFF);
        std::vector<int> order;
        for (int b = std::max(startByte, 1); b <= 254; ++b)
            order.push_back(b);
        for (int b = std::min(startByte, 255) - 1; b >= 1; --b)
            order.push_back(b);
        std::optional<std::uint32_t> freeIp;
        for (int b : order) {
            const std::uint32_t ip = net | static_cast<std::uint32_t>(b);
            const QString text = QStringLiteral("%1.%2.%3.%4")
                                     .arg(ip >> 24)
                                     .arg((ip >> 16) & 0xFF)
                                     .arg((ip >> 8) & 0xFF)
                                     .arg(ip & 0xFF);
            const bool isFree =
                !m_ping(QStringLiteral("ping %1 -w 1").arg(text)).contains(QLatin1String("ttl"));
            qDebug().noquote()
                << QStringLiteral("nSetDeviceIp: %1, bFreeIp: %2\n").arg(text).arg(isFree ? 1 : 0);
            if (isFree) {
                freeIp = ip;
                break;
            }
        }
        if (!freeIp)
            continue;
        Handle h = 0;
        if (int rc = m_api.MV_CC_CreateHandle(d, &h); rc != kOk) {
            qDebug().noquote() << QString::asprintf("1 MV_CC_CreateHandle fail! nRet [%x]\n", rc);
            continue;
        }
        const int rc = m_api.MV_GIGE_ForceIpEx(h, *freeIp, d.hostMask, net | 254u);
        if (rc != kOk)
            qDebug().noquote() << QString::asprintf("1 MV_GIGE_ForceIpEx fail! nRet [%x]\n", rc);
        else
            ++fine;
        if (int rc2 = m_api.MV_CC_DestroyHandle(h); rc2 != kOk)
            qDebug().noquote() << QString::asprintf("1 MV_CC_DestroyHandle fail! nRet [%x]\n", rc2);
    }
    return static_cast<int>(list.size()) - fine;
}
