#pragma once

#include "camerasdk.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Writes frame number n of a camera into dst (w x h, channels 1, 3 or 4).
using SimFrameSource =
    std::function<void(std::int64_t n, std::uint8_t* dst, int w, int h, int channels)>;

// One simulated camera.
struct SimCameraConfig {
    std::string serial;
    int sensorW = 1280, sensorH = 1024;
    bool color = false;
    std::string model = "SIM-CAM-M";  // Hikvision: colour unless it ends in "M"
    int currentW = 0, currentH = 0;   // Hikvision "Width"/"Height"; 0: sensor size
    int presetW = 0, presetH = 0;     // MindVision preset resolution
    bool gige = true;                 // Hikvision transport
    bool refuseOpen = false;
    std::int64_t disconnectAfterFrames = -1;  // -1: never
    double fps = 0;                           // 0: a frame whenever asked
    SimFrameSource source;                    // empty: a moving gradient
};

// A simulated SDK speaking all four vendor interfaces over one set of
// simulated cameras; records every value set so tests can check the mappings.
class SimCameraSdk final : public camsdk::GalaxyApi,
                           public camsdk::UEyeApi,
                           public camsdk::MindApi,
                           public camsdk::HikApi {
public:
    explicit SimCameraSdk(std::vector<SimCameraConfig> cameras);
    ~SimCameraSdk() override;

    // What a test may look at (a copy taken under the SDK's lock).
    struct DeviceState {
        SimCameraConfig config;
        bool connected = true;
        bool open = false;
        bool grabbing = false;
        int openCount = 0;
        std::int64_t frames = 0;
        int width = 0, height = 0;
        std::map<std::string, double> values;  // last value per feature key
        std::vector<std::string> calls;        // "key=value" in order
    };
    DeviceState state(int device) const;
    int deviceCount() const;  // connected devices
    void disconnect(int device);
    void reconnect(int device);
    void setRefuseOpen(int device, bool refuse);
    // Range a feature reports; keys as recorded in DeviceState::values.
    static std::pair<double, double> range(const std::string& key);
    static std::string gxKey(std::uint32_t feature);

    // Galaxy
    int GXInitLib() override { return camsdk::kOk; }
    int GXUpdateDeviceList(std::uint32_t* count, std::uint32_t timeoutMs) override;
    int GXOpenDeviceByIndex(std::uint32_t index1, camsdk::Handle* h) override;
    int GXOpenDevice(const std::string& serial, camsdk::Handle* h) override;
    int GXGetInt(camsdk::Handle h, std::uint32_t f, std::int64_t* v) override;
    int GXSetInt(camsdk::Handle h, std::uint32_t f, std::int64_t v) override;
    int GXSetEnum(camsdk::Handle h, std::uint32_t f, std::int64_t v) override;
    int GXSetBool(camsdk::Handle h, std::uint32_t f, bool v) override;
    int GXGetFloatRange(camsdk::Handle h, std::uint32_t f, double* min, double* max) override;
    int GXGetFloat(camsdk::Handle h, std::uint32_t f, double* v) override;
    int GXSetFloat(camsdk::Handle h, std::uint32_t f, double v) override;
    int GXSendCommand(camsdk::Handle h, std::uint32_t f) override;
    int GXGetImage(camsdk::Handle h, Frame* frame, std::uint32_t timeoutMs) override;
    int GXCloseDevice(camsdk::Handle h) override;
    void DxContrast(const std::uint8_t* in, std::uint8_t* out, std::size_t bytes,
                    int factor) override;

    // uEye
    int CameraUSBDeviceInit() override { return camsdk::kOk; }
    int is_GetNumberOfCameras(int* count) override;
    int is_InitCamera(camsdk::Handle* h) override;
    int is_GetSensorInfo(camsdk::Handle h, camsdk::UEyeApi::SensorInfo* info) override;
    int is_GetCameraInfo(camsdk::Handle h, std::string* serial) override;
    int is_GetColorDepth(camsdk::Handle h, int* bpp, int* mode) override;
    int is_SetColorMode(camsdk::Handle h, int mode) override;
    int is_AllocImageMem(camsdk::Handle h, int w, int ht, int bpp, std::uint8_t** mem,
                         int* id) override;
    int is_SetImageMem(camsdk::Handle h, std::uint8_t* mem, int id) override;
    int is_AOI(camsdk::Handle h, int w, int ht) override;
    int is_SetAutoParameter(camsdk::Handle h, int param, double* v1, double* v2) override;
    int is_SetHardwareGamma(camsdk::Handle h, int mode) override;
    int is_PixelClock(camsdk::Handle h, int mhz) override;
    int is_Exposure(camsdk::Handle h, double ms) override;
    int is_SetHardwareGain(camsdk::Handle h, int m, int r, int g, int b) override;
    int is_Gamma(camsdk::Handle h, int gamma) override;
    int is_CaptureVideo(camsdk::Handle h, int wait) override;
    int is_StopLiveVideo(camsdk::Handle h, int wait) override;
    int is_LockSeqBuf(camsdk::Handle h, std::uint8_t* mem) override;
    int is_UnlockSeqBuf(camsdk::Handle h, std::uint8_t* mem) override;
    int is_FreeImageMem(camsdk::Handle h, std::uint8_t* mem, int id) override;
    int is_ExitCamera(camsdk::Handle h) override;

    // MindVision
    int CameraSdkInit(int) override { return camsdk::kOk; }
    int CameraEnumerateDevice(std::vector<camsdk::MindApi::DeviceInfo>* list,
                              int maxCount) override;
    int CameraInit(const camsdk::MindApi::DeviceInfo& info, int, int, camsdk::Handle* h) override;
    int CameraGetCapability(camsdk::Handle h, Capability* cap) override;
    int CameraSetImageResolution(camsdk::Handle h, const Resolution& res) override;
    int CameraSetIspOutFormat(camsdk::Handle h, std::uint32_t format) override;
    int CameraSetMonochrome(camsdk::Handle h, bool on) override;
    int CameraSetMediaType(camsdk::Handle h, int type) override;
    int CameraSetWbMode(camsdk::Handle h, bool automatic) override;
    int CameraSetOnceWB(camsdk::Handle h) override;
    int CameraSetFrameSpeed(camsdk::Handle h, int speed) override;
    int CameraSetConnectionStatusCallback(camsdk::Handle h, std::function<void(int)> cb) override;
    int CameraCommonCall(camsdk::Handle h, const std::string& command) override;
    int CameraSetAeState(camsdk::Handle h, bool automatic) override;
    int CameraSetExposureTime(camsdk::Handle h, double us) override;
    int CameraGetExposureTime(camsdk::Handle h, double* us) override;
    int CameraGetAeAnalogGainRange(camsdk::Handle h, double* min, double* max) override;
    int CameraSetAnalogGain(camsdk::Handle h, double gain) override;
    int CameraGetAnalogGain(camsdk::Handle h, double* gain) override;
    int CameraSetSharpness(camsdk::Handle h, double v) override;
    int CameraGetSharpness(camsdk::Handle h, double* v) override;
    int CameraSetContrast(camsdk::Handle h, double v) override;
    int CameraGetContrast(camsdk::Handle h, double* v) override;
    int CameraSetGamma(camsdk::Handle h, double v) override;
    int CameraGetGamma(camsdk::Handle h, double* v) override;
    int CameraSetTriggerMode(camsdk::Handle h, int mode) override;
    int CameraSetMirror(camsdk::Handle h, int direction, bool on) override;
    int CameraLoadParameter(camsdk::Handle h, int team) override;
    int CameraReadSN(camsdk::Handle h, std::string* serial) override;
    int CameraPlay(camsdk::Handle h) override;
    int CameraStop(camsdk::Handle h) override;
    int CameraGetImageBuffer(camsdk::Handle h, FrameHead* head, const std::uint8_t** raw,
                             int timeoutMs) override;
    int CameraImageProcess(camsdk::Handle h, const std::uint8_t* raw, std::uint8_t* out,
                           const FrameHead& head) override;
    int CameraReleaseImageBuffer(camsdk::Handle, const std::uint8_t*) override {
        return camsdk::kOk;
    }
    int CameraUnInit(camsdk::Handle h) override;

    // Hikvision
    int MV_CC_EnumDevices(std::vector<camsdk::HikApi::DeviceInfo>* list) override;
    int MV_CC_CreateHandle(const camsdk::HikApi::DeviceInfo& info, camsdk::Handle* h) override;
    int MV_CC_OpenDevice(camsdk::Handle h, bool exclusive) override;
    int MV_CC_GetStringValue(camsdk::Handle h, const std::string& key, std::string* v) override;
    int MV_CC_GetIntValue(camsdk::Handle h, const std::string& key, std::int64_t* v) override;
    int MV_CC_SetEnumValue(camsdk::Handle h, const std::string& key, std::uint32_t v) override;
    int MV_CC_SetCommandValue(camsdk::Handle h, const std::string& key) override;
    int MV_CC_SetBoolValue(camsdk::Handle h, const std::string& key, bool v) override;
    int MV_CC_SetIntValue(camsdk::Handle h, const std::string& key, std::int64_t v) override;
    int MV_CC_SetFloatValue(camsdk::Handle h, const std::string& key, double v) override;
    int MV_CC_GetFloatValue(camsdk::Handle h, const std::string& key, FloatValue* v) override;
    int MV_CC_SetBalanceWhiteAuto(camsdk::Handle h, int mode) override;
    int MV_CC_RegisterImageCallBack(camsdk::Handle h, ImageCallback cb) override;
    int MV_CC_RegisterExceptionCallBack(camsdk::Handle h, ExceptionCallback cb) override;
    int MV_CC_StartGrabbing(camsdk::Handle h) override;
    int MV_CC_StopGrabbing(camsdk::Handle h) override;
    bool MV_CC_IsDeviceAccessible(const camsdk::HikApi::DeviceInfo& info) override;
    int MV_GIGE_ForceIpEx(camsdk::Handle h, std::uint32_t ip, std::uint32_t mask,
                          std::uint32_t gw) override;
    int MV_CC_ConvertPixelType(camsdk::Handle h, const std::uint8_t* src, const FrameInfo& info,
                               std::uint8_t* dst, std::uint32_t target) override;
    int MV_CC_CloseDevice(camsdk::Handle h) override;
    int MV_CC_DestroyHandle(camsdk::Handle h) override;

private:
    struct Device;
    Device* dev(camsdk::Handle h) const;  // nullptr unless open
    int set(camsdk::Handle h, const std::string& key, double v);
    int get(camsdk::Handle h, const std::string& key, double* v) const;
    int openIndex(int device, camsdk::Handle* h);
    int closeHandle(camsdk::Handle h);
    // Renders the next frame of d into buf; false when d cannot deliver.
    bool nextFrame(Device& d, std::vector<std::uint8_t>& buf, int channels,
                   std::vector<std::function<void()>>& after);
    void waitForFrame(Device& d, std::unique_lock<std::mutex>& lock, int timeoutMs);
    void hikLoop(int device);
    int connectedIndex(int nth) const;

    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<Device>> m_devices;
};
