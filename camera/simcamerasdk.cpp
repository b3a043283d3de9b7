#include "simcamerasdk.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

using camsdk::Handle;
using camsdk::kError;
using camsdk::kOk;
using camsdk::kTimeout;
using Clk = std::chrono::steady_clock;

// The state of one simulated camera, guarded by the SDK mutex.
struct SimCameraSdk::Device {
    SimCameraConfig config;
    bool connected = true, open = false, grabbing = false;
    int openCount = 0;
    std::int64_t frames = 0;
    int width = 0, height = 0;
    int mindChannels = 1;
    std::map<std::string, double> values;
    std::vector<std::string> calls;
    Clk::time_point nextDue = Clk::now();
    std::vector<std::uint8_t> buf;
    std::map<int, std::vector<std::uint8_t>> ueyeMem;
    int nextMemId = 1;
    std::uint8_t* activeMem = nullptr;
    std::function<void(int)> mindCb;
    camsdk::HikApi::ImageCallback hikImage;
    camsdk::HikApi::ExceptionCallback hikException;
    std::thread hikThread;
    bool hikStop = false;
    std::condition_variable cv;
};

namespace {

void gradient(std::int64_t n, std::uint8_t* dst, int w, int h, int ch) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < ch; ++c)
                *dst++ = static_cast<std::uint8_t>(x + y + n * 3 + c * 40);
}

// The values a default parameter set loads.
const std::map<std::string, double>& defaultValues() {
    static const std::map<std::string, double> v{
        {"exposure_us", 20000}, {"analog_gain", 88}, {"sharpness", 50},
        {"contrast", 100},      {"gamma", 500},      {"ExposureTime", 30000},
        {"Gain", 8.5},          {"Sharpness", 25},   {"Gamma", 0.8}};
    return v;
}

}  // namespace

SimCameraSdk::SimCameraSdk(std::vector<SimCameraConfig> cameras) {
    for (auto& config : cameras) {
        auto d = std::make_unique<Device>();
        d->config = std::move(config);
        if (!d->config.source)
            d->config.source = gradient;
        d->width = d->config.sensorW;
        d->height = d->config.sensorH;
        m_devices.push_back(std::move(d));
    }
}

SimCameraSdk::~SimCameraSdk() {
    for (auto& d : m_devices) {
        {
            std::lock_guard lock(m_mutex);
            d->hikStop = true;
        }
        d->cv.notify_all();
        if (d->hikThread.joinable())
            d->hikThread.join();
    }
}

std::pair<double, double> SimCameraSdk::range(const std::string& key) {
    static const std::map<std::string, std::pair<double, double>> r{
        {gxKey(0x20000BC1), {20, 1000000}},
        {gxKey(0x20001393), {0, 24}},
        {gxKey(0x2000178B), {0, 3}},
        {gxKey(0x20001397), {0.1, 4}},
        {"analog_gain", {16, 160}},
        {"sharpness", {0, 100}},
        {"contrast", {0, 200}},
        {"gamma", {0, 1000}},
        {"Gain", {0, 17}},
        {"Sharpness", {0, 100}},
        {"Gamma", {0, 4}},
        {"ExposureTime", {15, 9999999}},
        {"AcquisitionFrameRate", {0.1, 100}}};
    const auto it = r.find(key);
    return it == r.end() ? std::pair<double, double>{0, 100} : it->second;
}

std::string SimCameraSdk::gxKey(std::uint32_t feature) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", feature);
    return text;
}

SimCameraSdk::DeviceState SimCameraSdk::state(int i) const {
    std::lock_guard lock(m_mutex);
    const Device& d = *m_devices.at(i);
    return {d.config, d.connected, d.open,   d.grabbing, d.openCount,
            d.frames, d.width,     d.height, d.values,   d.calls};
}

int SimCameraSdk::deviceCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_devices.begin(), m_devices.end(),
                                          [](const auto& d) { return d->connected; }));
}

void SimCameraSdk::disconnect(int i) {
    std::function<void(int)> mind;
    camsdk::HikApi::ExceptionCallback hik;
    {
        std::lock_guard lock(m_mutex);
        Device& d = *m_devices.at(i);
        if (!d.connected)
            return;
        d.connected = false;
        if (d.open) {
            mind = d.mindCb;
            hik = d.hikException;
        }
    }
    if (mind)
        mind(0);
    if (hik)
        hik(0x8001);
}

void SimCameraSdk::reconnect(int i) {
    std::lock_guard lock(m_mutex);
    Device& d = *m_devices.at(i);
    d.connected = true;
    d.config.disconnectAfterFrames = -1;
}

void SimCameraSdk::setRefuseOpen(int i, bool refuse) {
    std::lock_guard lock(m_mutex);
    m_devices.at(i)->config.refuseOpen = refuse;
}

int SimCameraSdk::connectedIndex(int nth) const {
    for (std::size_t i = 0; i < m_devices.size(); ++i)
        if (m_devices[i]->connected && nth-- == 0)
            return static_cast<int>(i);
    return -1;
}

SimCameraSdk::Device* SimCameraSdk::dev(Handle h) const {
    const auto i = static_cast<std::size_t>(h - 1);
    if (h < 1 || i >= m_devices.size() || !m_devices[i]->open)
        return nullptr;
    return m_devices[i].get();
}

int SimCameraSdk::set(Handle h, const std::string& key, double v) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d || !d->connected)
        return kError;
    d->values[key] = v;
    char text[64];
    std::snprintf(text, sizeof text, "=%g", v);
    d->calls.push_back(key + text);
    return kOk;
}

int SimCameraSdk::get(Handle h, const std::string& key, double* v) const {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    const auto it = d->values.find(key);
    *v = it == d->values.end() ? range(key).first : it->second;
    return kOk;
}

int SimCameraSdk::openIndex(int i, Handle* h) {
    std::lock_guard lock(m_mutex);
    if (i < 0 || i >= static_cast<int>(m_devices.size()))
        return kError;
    Device& d = *m_devices[i];
    if (!d.connected || d.config.refuseOpen || d.open)
        return kError;
    d.open = true;
    d.hikStop = false;
    ++d.openCount;
    d.width = d.config.currentW ? d.config.currentW : d.config.sensorW;
    d.height = d.config.currentH ? d.config.currentH : d.config.sensorH;
    *h = i + 1;
    return kOk;
}

int SimCameraSdk::closeHandle(Handle h) {
    std::thread joinMe;
    {
        std::lock_guard lock(m_mutex);
        Device* d = dev(h);
        if (!d)
            return kError;
        d->open = false;
        d->grabbing = false;
        d->hikStop = true;
        d->mindCb = {};
        d->hikImage = {};
        d->hikException = {};
        joinMe = std::move(d->hikThread);
        d->cv.notify_all();
    }
    if (joinMe.joinable())
        joinMe.join();
    return kOk;
}

bool SimCameraSdk::nextFrame(Device& d, std::vector<std::uint8_t>& buf, int channels,
                             std::vector<std::function<void()>>& after) {
    if (!d.connected || !d.grabbing)
        return false;
    buf.resize(static_cast<std::size_t>(d.width) * d.height * channels);
    d.config.source(d.frames, buf.data(), d.width, d.height, channels);
    ++d.frames;
    if (d.config.disconnectAfterFrames >= 0 && d.frames >= d.config.disconnectAfterFrames) {
        d.connected = false;
        if (auto cb = d.mindCb)
            after.push_back([cb] { cb(0); });
        if (auto cb = d.hikException)
            after.push_back([cb] { cb(0x8001); });
    }
    return true;
}

void SimCameraSdk::waitForFrame(Device& d, std::unique_lock<std::mutex>& lock, int timeoutMs) {
    if (d.config.fps <= 0)
        return;
    const auto deadline = Clk::now() + std::chrono::milliseconds(timeoutMs);
    d.cv.wait_until(lock, std::min(deadline, d.nextDue), [&] { return d.hikStop; });
    d.nextDue = std::max(d.nextDue, Clk::now() - std::chrono::milliseconds(100)) +
                std::chrono::microseconds(static_cast<std::int64_t>(1e6 / d.config.fps));
}

// ---------------------------------------------------------------- Galaxy

int SimCameraSdk::GXUpdateDeviceList(std::uint32_t* count, std::uint32_t) {
    *count = static_cast<std::uint32_t>(deviceCount());
    return kOk;
}

int SimCameraSdk::GXOpenDeviceByIndex(std::uint32_t index1, Handle* h) {
    int i = -1;
    {
        std::lock_guard lock(m_mutex);
        i = connectedIndex(static_cast<int>(index1) - 1);
    }
    return openIndex(i, h);
}

int SimCameraSdk::GXOpenDevice(const std::string& serial, Handle* h) {
    int i = -1;
    {
        std::lock_guard lock(m_mutex);
        for (std::size_t k = 0; k < m_devices.size(); ++k)
            if (m_devices[k]->config.serial == serial && m_devices[k]->connected)
                i = static_cast<int>(k);
    }
    return openIndex(i, h);
}

int SimCameraSdk::GXGetInt(Handle h, std::uint32_t f, std::int64_t* v) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    if (f == 0x100003EE)
        *v = d->config.sensorW;
    else if (f == 0x100003EF)
        *v = d->config.sensorH;
    else
        *v = static_cast<std::int64_t>(d->values[gxKey(f)]);
    return kOk;
}

int SimCameraSdk::GXSetInt(Handle h, std::uint32_t f, std::int64_t v) {
    if (int rc = set(h, gxKey(f), static_cast<double>(v)); rc != kOk)
        return rc;
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (f == 0x100003EE)
        d->width = static_cast<int>(v);
    if (f == 0x100003EF)
        d->height = static_cast<int>(v);
    return kOk;
}

int SimCameraSdk::GXSetEnum(Handle h, std::uint32_t f, std::int64_t v) {
    return set(h, gxKey(f), static_cast<double>(v));
}

int SimCameraSdk::GXSetBool(Handle h, std::uint32_t f, bool v) {
    return set(h, gxKey(f), v ? 1 : 0);
}

int SimCameraSdk::GXGetFloatRange(Handle h, std::uint32_t f, double* min, double* max) {
    std::lock_guard lock(m_mutex);
    if (!dev(h))
        return kError;
    std::tie(*min, *max) = range(gxKey(f));
    return kOk;
}

int SimCameraSdk::GXGetFloat(Handle h, std::uint32_t f, double* v) {
    return get(h, gxKey(f), v);
}

int SimCameraSdk::GXSetFloat(Handle h, std::uint32_t f, double v) {
    return set(h, gxKey(f), v);
}

int SimCameraSdk::GXSendCommand(Handle h, std::uint32_t f) {
    if (int rc = set(h, gxKey(f), 1); rc != kOk)
        return rc;
    std::lock_guard lock(m_mutex);
    if (f == 0x70000BB9)
        dev(h)->grabbing = true;
    if (f == 0x70000BBA)
        dev(h)->grabbing = false;
    return kOk;
}

int SimCameraSdk::GXGetImage(Handle h, Frame* frame, std::uint32_t timeoutMs) {
    std::vector<std::function<void()>> after;
    int rc = kTimeout;
    {
        std::unique_lock lock(m_mutex);
        Device* d = dev(h);
        if (!d)
            return kError;
        waitForFrame(*d, lock, static_cast<int>(timeoutMs));
        if (nextFrame(*d, *frame->buffer, d->config.color ? 4 : 1, after)) {
            frame->status = 0;
            frame->width = d->width;
            frame->height = d->height;
            rc = kOk;
        }
    }
    for (auto& f : after)
        f();
    return rc;
}

int SimCameraSdk::GXCloseDevice(Handle h) {
    return closeHandle(h);
}

void SimCameraSdk::DxContrast(const std::uint8_t* in, std::uint8_t* out, std::size_t bytes,
                              int factor) {
    for (std::size_t i = 0; i < bytes; ++i) {
        const int v = ((in[i] - 128) * (100 + factor)) / 100 + 128;
        out[i] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
    }
}

// ---------------------------------------------------------------- uEye

int SimCameraSdk::is_GetNumberOfCameras(int* count) {
    *count = deviceCount();
    return kOk;
}

int SimCameraSdk::is_InitCamera(Handle* h) {
    int i = -1;
    {
        std::lock_guard lock(m_mutex);
        const int id = static_cast<int>(*h & ~0x8000);
        if (id == 0) {  // the first camera not in use
            for (std::size_t k = 0; k < m_devices.size() && i < 0; ++k)
                if (m_devices[k]->connected && !m_devices[k]->open)
                    i = static_cast<int>(k);
        } else {
            i = connectedIndex(id - 1);
        }
    }
    return openIndex(i, h);
}

int SimCameraSdk::is_GetSensorInfo(Handle h, camsdk::UEyeApi::SensorInfo* info) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    *info = {d->config.sensorW, d->config.sensorH, d->config.color};
    return kOk;
}

int SimCameraSdk::is_GetCameraInfo(Handle h, std::string* serial) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    *serial = d->config.serial;
    return kOk;
}

int SimCameraSdk::is_GetColorDepth(Handle h, int* bpp, int* mode) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    *bpp = d->config.color ? 32 : 8;
    *mode = d->config.color ? 0 : 6;
    return kOk;
}

int SimCameraSdk::is_SetColorMode(Handle h, int mode) {
    return set(h, "colour_mode", mode);
}

int SimCameraSdk::is_AllocImageMem(Handle h, int w, int ht, int bpp, std::uint8_t** mem, int* id) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    *id = d->nextMemId++;
    auto& m = d->ueyeMem[*id];
    m.assign(static_cast<std::size_t>(w) * ht * (bpp / 8), 0);
    *mem = m.data();
    d->width = w;
    d->height = ht;
    return kOk;
}

int SimCameraSdk::is_SetImageMem(Handle h, std::uint8_t* mem, int) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    d->activeMem = mem;
    return kOk;
}

int SimCameraSdk::is_AOI(Handle h, int w, int ht) {
    set(h, "aoi_width", w);
    return set(h, "aoi_height", ht);
}

int SimCameraSdk::is_SetAutoParameter(Handle h, int param, double* v1, double*) {
    return set(h, "auto_" + std::to_string(param), *v1);
}

int SimCameraSdk::is_SetHardwareGamma(Handle h, int mode) {
    return set(h, "hardware_gamma", mode);
}

int SimCameraSdk::is_PixelClock(Handle h, int mhz) {
    return set(h, "pixel_clock", mhz);
}

int SimCameraSdk::is_Exposure(Handle h, double ms) {
    return set(h, "exposure_ms", ms);
}

int SimCameraSdk::is_SetHardwareGain(Handle h, int m, int r, int g, int b) {
    set(h, "gain_master", m);
    set(h, "gain_red", r);
    set(h, "gain_green", g);
    return set(h, "gain_blue", b);
}

int SimCameraSdk::is_Gamma(Handle h, int gamma) {
    return set(h, "gamma", gamma);
}

int SimCameraSdk::is_CaptureVideo(Handle h, int) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d || !d->connected)
        return kError;
    d->grabbing = true;
    return kOk;
}

int SimCameraSdk::is_StopLiveVideo(Handle h, int) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    d->grabbing = false;
    return kOk;
}

int SimCameraSdk::is_LockSeqBuf(Handle h, std::uint8_t* mem) {
    std::vector<std::function<void()>> after;
    {
        std::unique_lock lock(m_mutex);
        Device* d = dev(h);
        if (!d || mem != d->activeMem)
            return kError;
        waitForFrame(*d, lock, 100);
        std::vector<std::uint8_t> frame;
        if (nextFrame(*d, frame, 1, after)) {
            for (auto& [id, m] : d->ueyeMem)
                if (m.data() == mem)
                    std::copy_n(frame.begin(), std::min(frame.size(), m.size()), m.begin());
        }
    }
    for (auto& f : after)
        f();
    return kOk;
}

int SimCameraSdk::is_UnlockSeqBuf(Handle, std::uint8_t*) {
    return kOk;
}

int SimCameraSdk::is_FreeImageMem(Handle h, std::uint8_t*, int id) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    d->ueyeMem.erase(id);
    d->activeMem = nullptr;
    return kOk;
}

int SimCameraSdk::is_ExitCamera(Handle h) {
    return closeHandle(h);
}

// ---------------------------------------------------------------- MindVision

int SimCameraSdk::CameraEnumerateDevice(std::vector<camsdk::MindApi::DeviceInfo>* list,
                                        int maxCount) {
    std::lock_guard lock(m_mutex);
    list->clear();
    for (const auto& d : m_devices)
        if (d->connected && static_cast<int>(list->size()) < maxCount)
            list->push_back({d->config.serial, d->config.model});
    return kOk;
}

int SimCameraSdk::CameraInit(const camsdk::MindApi::DeviceInfo& info, int, int, Handle* h) {
    int i = -1;
    {
        std::lock_guard lock(m_mutex);
        for (std::size_t k = 0; k < m_devices.size(); ++k)
            if (m_devices[k]->config.serial == info.serial)
                i = static_cast<int>(k);
    }
    return openIndex(i, h);
}

int SimCameraSdk::CameraGetCapability(Handle h, Capability* cap) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    cap->maxWidth = d->config.sensorW;
    cap->maxHeight = d->config.sensorH;
    cap->mono = !d->config.color;
    cap->presetWidth = d->config.presetW;
    cap->presetHeight = d->config.presetH;
    auto r = [](const char* k) {
        const auto p = range(k);
        return camsdk::MindApi::Range{p.first, p.second};
    };
    cap->analogGain = r("analog_gain");
    cap->sharpness = r("sharpness");
    cap->contrast = r("contrast");
    cap->gamma = r("gamma");
    return kOk;
}

int SimCameraSdk::CameraSetImageResolution(Handle h, const Resolution& res) {
    set(h, "resolution_index", res.index);
    set(h, "resolution_x", res.offsetX);
    set(h, "resolution_y", res.offsetY);
    set(h, "resolution_w", res.width);
    if (int rc = set(h, "resolution_h", res.height); rc != kOk)
        return rc;
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    d->width = res.width;
    d->height = res.height;
    return kOk;
}

int SimCameraSdk::CameraSetIspOutFormat(Handle h, std::uint32_t format) {
    if (int rc = set(h, "isp_out_format", format); rc != kOk)
        return rc;
    std::lock_guard lock(m_mutex);
    dev(h)->mindChannels = format == 0x2180014 ? 3 : 1;
    return kOk;
}

int SimCameraSdk::CameraSetMonochrome(Handle h, bool on) {
    return set(h, "monochrome", on);
}
int SimCameraSdk::CameraSetMediaType(Handle h, int type) {
    return set(h, "media_type", type);
}
int SimCameraSdk::CameraSetWbMode(Handle h, bool automatic) {
    return set(h, "wb_auto", automatic);
}
int SimCameraSdk::CameraSetOnceWB(Handle h) {
    return set(h, "once_wb", 1);
}
int SimCameraSdk::CameraSetFrameSpeed(Handle h, int speed) {
    return set(h, "frame_speed", speed);
}

int SimCameraSdk::CameraSetConnectionStatusCallback(Handle h, std::function<void(int)> cb) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(h);
    if (!d)
        return kError;
    d->mindCb = std::move(cb);
    return kOk;
}

int SimCameraSdk::CameraCommonCall(Handle h, const std::string& command) {
    return set(h, command, 1);
}
int SimCameraSdk::CameraSetAeState(Handle h, bool automatic) {
    return set(h, "ae_state", automatic);
}
int SimCameraSdk::CameraSetExposureTime(Handle h, double us) {
    return set(h, "exposure_us", us);
}
int SimCameraSdk::CameraGetExposureTime(Handle h, double* us) {
    return get(h, "exposure_us", us);
}
int SimCameraSdk::CameraGetAeAnalogGainRange(Handle h, double* min, double* max) {
    std::lock_guard lock(m_mutex);
    if (!dev(h))
        return kError;
    std::tie(*min, *max) = range("analog_gain");
    return kOk;
}
int SimCameraSdk::CameraSetAnalogGain(Handle h, double gain) {
    return set(h, "analog_gain", gain);
}
int SimCameraSdk::CameraGetAnalogGain(Handle h, double* gain) {
    return get(h, "analog_gain", gain);
}
int SimCameraSdk::CameraSetSharpness(Handle h, double v) {
    return set(h, "sharpness", v);
}
int SimCameraSdk::CameraGetSharpness(Handle h, double* v) {
    return get(h, "sharpness", v);
}
int SimCameraSdk::CameraSetContrast(Handle h, double v) {
    return set(h, "contrast", v);
}
int SimCameraSdk::CameraGetContrast(Handle h, double* v) {
    return get(h, "contrast", v);
}
int SimCameraSdk::CameraSetGamma(Handle h, double v) {
    return set(h, "gamma", v);
}
int SimCameraSdk::CameraGetGamma(Handle h, double* v) {
    return get(h, "gamma", v);
}
int SimCameraSdk::CameraSetTriggerMode(Handle h, int mode) {
    return set(h, "trigger_mode", mode);
}
int SimCameraSdk::CameraSetMirror(Handle h, int direction, bool on) {
    return set(h, direction == 0 ? "mirror_h" : "mirror_v", on);
}

int SimCameraSdk::CameraLoadParameter(Handle h, int team) {
    if (int rc = set(h, "load_parameter", team); rc != kOk)
        return rc;
    std::lock_guard lock(m_mutex);
    for (const auto& [k, v] : defaultValues())
        dev(h)->values[k] = v;
    return kOk;
}

int SimCameraSdk::CameraReadSN(Handle h, std::string* serial) {
    return is_GetCameraInfo(h, serial);
}

int SimCameraSdk::CameraPlay(Handle h) {
    return is_CaptureVideo(h, 0);
}
int SimCameraSdk::CameraStop(Handle h) {
    return is_StopLiveVideo(h, 0);
}

int SimCameraSdk::CameraGetImageBuffer(Handle h, FrameHead* head, const std::uint8_t** raw,
                                       int timeoutMs) {
    std::vector<std::function<void()>> after;
    int rc = kTimeout;
    {
        std::unique_lock lock(m_mutex);
        Device* d = dev(h);
        if (!d)
            return kError;
        waitForFrame(*d, lock, timeoutMs);
        if (nextFrame(*d, d->buf, d->mindChannels, after)) {
            *head = {d->width, d->height, d->mindChannels};
            *raw = d->buf.data();
            rc = kOk;
        }
    }
    for (auto& f : after)
        f();
    return rc;
}

int SimCameraSdk::CameraImageProcess(Handle h, const std::uint8_t* raw, std::uint8_t* out,
                                     const FrameHead& head) {
    std::lock_guard lock(m_mutex);
    if (!dev(h))
        return kError;
    std::memcpy(out, raw, static_cast<std::size_t>(head.width) * head.height * head.channels);
    return kOk;
}

int SimCameraSdk::CameraUnInit(Handle h) {
    return closeHandle(h);
}

// ---------------------------------------------------------------- Hikvision

int SimCameraSdk::MV_CC_EnumDevices(std::vector<camsdk::HikApi::DeviceInfo>* list) {
    std::lock_guard lock(m_mutex);
    list->clear();
    for (const auto& d : m_devices)
        if (d->connected) {
            camsdk::HikApi::DeviceInfo info;
            info.gige = d->config.gige;
            info.serial = d->config.gige ? d->config.serial : std::string();
            list->push_back(info);
        }
    return kOk;
}

int SimCameraSdk::MV_CC_CreateHandle(const camsdk::HikApi::DeviceInfo& info, Handle* h) {
    std::lock_guard lock(m_mutex);
    // The handle names the device; opening happens in MV_CC_OpenDevice.
    for (std::size_t k = 0; k < m_devices.size(); ++k) {
        const auto& d = *m_devices[k];
        if (d.connected &&
            (info.serial.empty() ? !d.config.gige && !d.open : d.config.serial == info.serial)) {
            *h = -static_cast<Handle>(k + 1);
            return kOk;
        }
    }
    return kError;
}

int SimCameraSdk::MV_CC_OpenDevice(Handle h, bool) {
    if (h >= 0)
        return kError;
    const int i = static_cast<int>(-h - 1);
    Handle opened = 0;
    return openIndex(i, &opened);
}

namespace {
Handle openHandle(Handle h) {
    return h < 0 ? -h : h;
}
}  // namespace

int SimCameraSdk::MV_CC_GetStringValue(Handle h, const std::string& key, std::string* v) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(openHandle(h));
    if (!d)
        return kError;
    if (key != "DeviceModelName")
        return kError;
    *v = d->config.model;
    return kOk;
}

int SimCameraSdk::MV_CC_GetIntValue(Handle h, const std::string& key, std::int64_t* v) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(openHandle(h));
    if (!d)
        return kError;
    if (key == "WidthMax")
        *v = d->config.sensorW;
    else if (key == "HeightMax")
        *v = d->config.sensorH;
    else if (key == "Width")
        *v = d->width;
    else if (key == "Height")
        *v = d->height;
    else
        *v = static_cast<std::int64_t>(d->values[key]);
    return kOk;
}

int SimCameraSdk::MV_CC_SetEnumValue(Handle h, const std::string& key, std::uint32_t v) {
    return set(openHandle(h), key, v);
}

int SimCameraSdk::MV_CC_SetCommandValue(Handle h, const std::string& key) {
    if (int rc = set(openHandle(h), key, 1); rc != kOk)
        return rc;
    if (key == "UserSetLoad") {
        std::lock_guard lock(m_mutex);
        for (const auto& [k, v] : defaultValues())
            dev(openHandle(h))->values[k] = v;
    }
    return kOk;
}

int SimCameraSdk::MV_CC_SetBoolValue(Handle h, const std::string& key, bool v) {
    return set(openHandle(h), key, v);
}

int SimCameraSdk::MV_CC_SetIntValue(Handle h, const std::string& key, std::int64_t v) {
    return set(openHandle(h), key, static_cast<double>(v));
}

int SimCameraSdk::MV_CC_SetFloatValue(Handle h, const std::string& key, double v) {
    return set(openHandle(h), key, v);
}

int SimCameraSdk::MV_CC_GetFloatValue(Handle h, const std::string& key, FloatValue* v) {
    double cur = 0;
    if (int rc = get(openHandle(h), key, &cur); rc != kOk)
        return rc;
    const auto r = range(key);
    *v = {cur, r.first, r.second};
    return kOk;
}

int SimCameraSdk::MV_CC_SetBalanceWhiteAuto(Handle h, int mode) {
    return set(openHandle(h), "BalanceWhiteAuto", mode);
}

int SimCameraSdk::MV_CC_RegisterImageCallBack(Handle h, ImageCallback cb) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(openHandle(h));
    if (!d)
        return kError;
    d->hikImage = std::move(cb);
    return kOk;
}

int SimCameraSdk::MV_CC_RegisterExceptionCallBack(Handle h, ExceptionCallback cb) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(openHandle(h));
    if (!d)
        return kError;
    d->hikException = std::move(cb);
    return kOk;
}

int SimCameraSdk::MV_CC_StartGrabbing(Handle h) {
    std::lock_guard lock(m_mutex);
    Device* d = dev(openHandle(h));
    if (!d || !d->connected)
        return kError;
    if (d->grabbing)
        return kOk;
    d->grabbing = true;
    d->hikStop = false;
    const int i = static_cast<int>(openHandle(h) - 1);
    d->hikThread = std::thread([this, i] { hikLoop(i); });
    return kOk;
}

int SimCameraSdk::MV_CC_StopGrabbing(Handle h) {
    std::thread joinMe;
    {
        std::lock_guard lock(m_mutex);
        Device* d = dev(openHandle(h));
        if (!d)
            return kError;
        d->grabbing = false;
        d->hikStop = true;
        joinMe = std::move(d->hikThread);
        d->cv.notify_all();
    }
    if (joinMe.joinable())
        joinMe.join();
    return kOk;
}

void SimCameraSdk::hikLoop(int i) {
    std::vector<std::uint8_t> frame;
    while (true) {
        std::vector<std::function<void()>> after;
        camsdk::HikApi::ImageCallback cb;
        camsdk::HikApi::FrameInfo info;
        {
            std::unique_lock lock(m_mutex);
            Device& d = *m_devices[i];
            const double fps = d.config.fps > 0 ? d.config.fps : 50;
            d.cv.wait_for(lock, std::chrono::microseconds(static_cast<std::int64_t>(1e6 / fps)),
                          [&] { return d.hikStop; });
            if (d.hikStop)
                return;
            if (nextFrame(d, frame, 1, after)) {
                cb = d.hikImage;
                const auto pf = d.values.find("PixelFormat");
                info = {d.width, d.height,
                        pf == d.values.end() ? 0x1080001u : static_cast<std::uint32_t>(pf->second),
                        frame.size()};
            }
        }
        if (cb)
            cb(frame.data(), info);
        for (auto& f : after)
            f();
    }
}

bool SimCameraSdk::MV_CC_IsDeviceAccessible(const camsdk::HikApi::DeviceInfo& info) {
    std::lock_guard lock(m_mutex);
    for (const auto& d : m_devices)
        if (d->config.serial == info.serial)
            return d->connected && !d->open;
    return false;
}

int SimCameraSdk::MV_GIGE_ForceIpEx(Handle h, std::uint32_t ip, std::uint32_t mask,
                                    std::uint32_t gw) {
    std::lock_guard lock(m_mutex);
    const auto i = static_cast<std::size_t>((h < 0 ? -h : h) - 1);
    if (i >= m_devices.size())
        return kError;
    auto& v = m_devices[i]->values;
    v["ForceIp"] = ip;
    v["ForceMask"] = mask;
    v["ForceGateway"] = gw;
    return kOk;
}

int SimCameraSdk::MV_CC_ConvertPixelType(Handle h, const std::uint8_t* src, const FrameInfo& info,
                                         std::uint8_t* dst, std::uint32_t target) {
    if (target != 0x2180014 || h == 0)
        return kError;
    const std::size_t n = static_cast<std::size_t>(info.width) * info.height;
    for (std::size_t k = 0; k < n; ++k)
        dst[3 * k] = dst[3 * k + 1] = dst[3 * k + 2] = src[k];
    return kOk;
}

int SimCameraSdk::MV_CC_CloseDevice(Handle h) {
    return closeHandle(openHandle(h));
}

int SimCameraSdk::MV_CC_DestroyHandle(Handle) {
    return kOk;
}
