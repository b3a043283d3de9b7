#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The four vendor SDKs as the camera layer sees them: only the calls it makes,
// with the arguments and results it relies on. Each installation binds one
// implementation per family (the vendor library through a thin shim, or the
// simulated SDK); the adapters in cameradrivers.cpp never see which.
// Every call returns 0 on success, as the vendor libraries do.

namespace camsdk {

using Handle = std::intptr_t;
constexpr int kOk = 0;
constexpr int kError = -1;
constexpr int kTimeout = -2;

// Daheng Galaxy: features are addressed by number.
class GalaxyApi {
public:
    virtual ~GalaxyApi() = default;
    struct Frame {
        int status = -1;  // 0: complete
        int width = 0, height = 0;
        std::vector<std::uint8_t>* buffer = nullptr;  // caller's buffer, resized by the SDK
    };
    virtual int GXInitLib() = 0;
    virtual int GXUpdateDeviceList(std::uint32_t* count, std::uint32_t timeoutMs) = 0;
    virtual int GXOpenDeviceByIndex(std::uint32_t index1, Handle* h) = 0;
    virtual int GXOpenDevice(const std::string& serial, Handle* h) = 0;
    virtual int GXGetInt(Handle h, std::uint32_t feature, std::int64_t* value) = 0;
    virtual int GXSetInt(Handle h, std::uint32_t feature, std::int64_t value) = 0;
    virtual int GXSetEnum(Handle h, std::uint32_t feature, std::int64_t value) = 0;
    virtual int GXSetBool(Handle h, std::uint32_t feature, bool value) = 0;
    virtual int GXGetFloatRange(Handle h, std::uint32_t feature, double* min, double* max) = 0;
    virtual int GXGetFloat(Handle h, std::uint32_t feature, double* value) = 0;
    virtual int GXSetFloat(Handle h, std::uint32_t feature, double value) = 0;
    virtual int GXSendCommand(Handle h, std::uint32_t feature) = 0;
    virtual int GXGetImage(Handle h, Frame* frame, std::uint32_t timeoutMs) = 0;
    virtual int GXCloseDevice(Handle h) = 0;
    // Image-processing companion library: contrast of an 8-bit image, factor -50..100.
    virtual void DxContrast(const std::uint8_t* in, std::uint8_t* out, std::size_t bytes,
                            int factor) = 0;
};

// IDS uEye.
class UEyeApi {
public:
    virtual ~UEyeApi() = default;
    struct SensorInfo {
        int maxWidth = 0, maxHeight = 0;
        bool color = false;
    };
    virtual int CameraUSBDeviceInit() = 0;
    virtual int is_GetNumberOfCameras(int* count) = 0;
    virtual int is_InitCamera(Handle* h) = 0;  // in: device id | 0x8000
    virtual int is_GetSensorInfo(Handle h, SensorInfo* info) = 0;
    virtual int is_GetCameraInfo(Handle h, std::string* serial) = 0;
    virtual int is_GetColorDepth(Handle h, int* bitsPerPixel, int* colorMode) = 0;
    virtual int is_SetColorMode(Handle h, int mode) = 0;
    virtual int is_AllocImageMem(Handle h, int width, int height, int bitsPerPixel,
                                 std::uint8_t** mem, int* id) = 0;
    virtual int is_SetImageMem(Handle h, std::uint8_t* mem, int id) = 0;
    virtual int is_AOI(Handle h, int width, int height) = 0;
    virtual int is_SetAutoParameter(Handle h, int param, double* v1, double* v2) = 0;
    virtual int is_SetHardwareGamma(Handle h, int mode) = 0;
    virtual int is_PixelClock(Handle h, int mhz) = 0;
    virtual int is_Exposure(Handle h, double ms) = 0;
    virtual int is_SetHardwareGain(Handle h, int master, int red, int green, int blue) = 0;
    virtual int is_Gamma(Handle h, int gamma) = 0;
    virtual int is_CaptureVideo(Handle h, int wait) = 0;
    virtual int is_StopLiveVideo(Handle h, int wait) = 0;
    // The image memory is written by the SDK while live; readers hold it locked.
    virtual int is_LockSeqBuf(Handle h, std::uint8_t* mem) = 0;
    virtual int is_UnlockSeqBuf(Handle h, std::uint8_t* mem) = 0;
    virtual int is_FreeImageMem(Handle h, std::uint8_t* mem, int id) = 0;
    virtual int is_ExitCamera(Handle h) = 0;
};

// MindVision.
class MindApi {
public:
    virtual ~MindApi() = default;
    struct DeviceInfo {
        std::string serial;
        std::string name;
    };
    struct Range {
        double min = 0, max = 0;
    };
    struct Capability {
        int maxWidth = 0, maxHeight = 0;
        bool mono = false;
        int presetWidth = 0, presetHeight = 0;  // first preset resolution
        Range analogGain, sharpness, contrast, gamma;
    };
    struct Resolution {
        int index = 0;  // 255: custom
        int offsetX = 0, offsetY = 0, width = 0, height = 0;
    };
    struct FrameHead {
        int width = 0, height = 0, channels = 1;
    };
    virtual int CameraSdkInit(int language) = 0;
    virtual int CameraEnumerateDevice(std::vector<DeviceInfo>* list, int maxCount) = 0;
    virtual int CameraInit(const DeviceInfo& info, int paramMode, int team, Handle* h) = 0;
    virtual int CameraGetCapability(Handle h, Capability* cap) = 0;
    virtual int CameraSetImageResolution(Handle h, const Resolution& res) = 0;
    virtual int CameraSetIspOutFormat(Handle h, std::uint32_t format) = 0;
    virtual int CameraSetMonochrome(Handle h, bool on) = 0;
    virtual int CameraSetMediaType(Handle h, int type) = 0;
    virtual int CameraSetWbMode(Handle h, bool automatic) = 0;
    virtual int CameraSetOnceWB(Handle h) = 0;
    virtual int CameraSetFrameSpeed(Handle h, int speed) = 0;
    virtual int CameraSetConnectionStatusCallback(Handle h, std::function<void(int)> cb) = 0;
    virtual int CameraCommonCall(Handle h, const std::string& command) = 0;
    virtual int CameraSetAeState(Handle h, bool automatic) = 0;
    virtual int CameraSetExposureTime(Handle h, double us) = 0;
    virtual int CameraGetExposureTime(Handle h, double* us) = 0;
    virtual int CameraGetAeAnalogGainRange(Handle h, double* min, double* max) = 0;
    virtual int CameraSetAnalogGain(Handle h, double gain) = 0;
    virtual int CameraGetAnalogGain(Handle h, double* gain) = 0;
    virtual int CameraSetSharpness(Handle h, double v) = 0;
    virtual int CameraGetSharpness(Handle h, double* v) = 0;
    virtual int CameraSetContrast(Handle h, double v) = 0;
    virtual int CameraGetContrast(Handle h, double* v) = 0;
    virtual int CameraSetGamma(Handle h, double v) = 0;
    virtual int CameraGetGamma(Handle h, double* v) = 0;
    virtual int CameraSetTriggerMode(Handle h, int mode) = 0;
    virtual int CameraSetMirror(Handle h, int direction, bool on) = 0;
    virtual int CameraLoadParameter(Handle h, int team) = 0;
    virtual int CameraReadSN(Handle h, std::string* serial) = 0;
    virtual int CameraPlay(Handle h) = 0;
    virtual int CameraStop(Handle h) = 0;
    virtual int CameraGetImageBuffer(Handle h, FrameHead* head, const std::uint8_t** raw,
                                     int timeoutMs) = 0;
    virtual int CameraImageProcess(Handle h, const std::uint8_t* raw, std::uint8_t* out,
                                   const FrameHead& head) = 0;
    virtual int CameraReleaseImageBuffer(Handle h, const std::uint8_t* raw) = 0;
    virtual int CameraUnInit(Handle h) = 0;
};

// Hikvision MVS: features are addressed by name.
class HikApi {
public:
    virtual ~HikApi() = default;
    struct DeviceInfo {
        bool gige = true;
        std::string serial;  // GigE serial number; USB devices report none here
        std::uint32_t ip = 0, mask = 0;
        std::uint32_t hostIp = 0, hostMask = 0;  // interface it was found on
    };
    struct FloatValue {
        double current = 0, min = 0, max = 0;
    };
    struct FrameInfo {
        int width = 0, height = 0;
        std::uint32_t pixelType = 0;
        std::size_t bytes = 0;
    };
    using ImageCallback = std::function<void(const std::uint8_t*, const FrameInfo&)>;
    using ExceptionCallback = std::function<void(std::uint32_t)>;
    virtual int MV_CC_EnumDevices(std::vector<DeviceInfo>* list) = 0;
    virtual int MV_CC_CreateHandle(const DeviceInfo& info, Handle* h) = 0;
    virtual int MV_CC_OpenDevice(Handle h, bool exclusive) = 0;
    virtual int MV_CC_GetStringValue(Handle h, const std::string& key, std::string* v) = 0;
    virtual int MV_CC_GetIntValue(Handle h, const std::string& key, std::int64_t* v) = 0;
    virtual int MV_CC_SetEnumValue(Handle h, const std::string& key, std::uint32_t v) = 0;
    virtual int MV_CC_SetCommandValue(Handle h, const std::string& key) = 0;
    virtual int MV_CC_SetBoolValue(Handle h, const std::string& key, bool v) = 0;
    virtual int MV_CC_SetIntValue(Handle h, const std::string& key, std::int64_t v) = 0;
    virtual int MV_CC_SetFloatValue(Handle h, const std::string& key, double v) = 0;
    virtual int MV_CC_GetFloatValue(Handle h, const std::string& key, FloatValue* v) = 0;
    virtual int MV_CC_SetBalanceWhiteAuto(Handle h, int mode) = 0;
    virtual int MV_CC_RegisterImageCallBack(Handle h, ImageCallback cb) = 0;
    virtual int MV_CC_RegisterExceptionCallBack(Handle h, ExceptionCallback cb) = 0;
    virtual int MV_CC_StartGrabbing(Handle h) = 0;
    virtual int MV_CC_StopGrabbing(Handle h) = 0;
    virtual bool MV_CC_IsDeviceAccessible(const DeviceInfo& info) = 0;
    virtual int MV_GIGE_ForceIpEx(Handle h, std::uint32_t ip, std::uint32_t mask,
                                  std::uint32_t gateway) = 0;
    virtual int MV_CC_ConvertPixelType(Handle h, const std::uint8_t* src, const FrameInfo& info,
                                       std::uint8_t* dst, std::uint32_t targetType) = 0;
    virtual int MV_CC_CloseDevice(Handle h) = 0;
    virtual int MV_CC_DestroyHandle(Handle h) = 0;
};

}  // namespace camsdk
