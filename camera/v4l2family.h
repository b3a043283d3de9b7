#pragma once

#include "cameradriver.h"

#include <QString>
#include <functional>
#include <map>
#include <string>

class CommandRunner;

// Where Video4Linux2 cameras are found. On the panel: input format
// "video4linux2", devices "/dev/video%1", 30 frames per second, and the
// number of "Camera" lines of the input-device list.
struct V4l2Config {
    QString inputFormat = QStringLiteral("video4linux2");
    QString devicePattern = QStringLiteral("/dev/video%1");
    std::map<std::string, std::string> options{{"framerate", "30"}};
    std::function<int()> countDevices;
    int maxDevices = 64;
    bool loop = false;  // file sources start again at their end
};

// Counts the lines containing "Camera" in a copy of the input-device list
// made with "cp -f /proc/bus/input/devices ." in workDir.
int countInputCameras(CommandRunner& commands, const QString& workDir);

// Video4Linux2 cameras through FFmpeg.
class V4l2Family final : public CameraFamilyDriver {
public:
    explicit V4l2Family(V4l2Config config) : m_config(std::move(config)) {}
    int family() const override { return kFamilyV4l2; }
    std::optional<ProbeResult> probe(bool optimise) override;
    int countDevices() override;
    std::unique_ptr<CameraHandle> open(int position, const QString& serial,
                                       const OpenContext& ctx) override;

private:
    V4l2Config m_config;
};
