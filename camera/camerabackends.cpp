#include "camerabackends.h"

#include "cameradrivers.h"
#include "gigerepair.h"
#include "mouldscene.h"
#include "platform.h"
#include "simcamerasdk.h"
#include "v4l2family.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

CameraSetup simulatedSetup() {
    CameraSetup s;
    s.scene = std::make_shared<MouldScene>();
    std::vector<SimCameraConfig> cams;
    for (int c = 0; c < 2; ++c) {
        SimCameraConfig cfg;
        cfg.serial = "SIM-MOULD-000" + std::to_string(c + 1);
        cfg.sensorW = 2048;  // worked at 1600 x 1200
        cfg.sensorH = 1536;
        cfg.fps = 25;
        cfg.source = s.scene->source();
        cams.push_back(cfg);
    }
    auto sdk = std::make_shared<SimCameraSdk>(std::move(cams));
    s.backends.keepAlive.push_back(s.scene);  // the SDK's frame source draws it
    s.backends.keepAlive.push_back(sdk);
    s.backends.families.push_back(std::make_unique<GalaxyFamily>(*sdk));
    return s;
}

}  // namespace

bool simulatedCamerasSelected(const QString& workDir) {
    const QString path = QDir(workDir).filePath(QStringLiteral("simulation.ini"));
    if (Platform::isPanel() || !QFileInfo::exists(path))
        return false;
    QSettings ini(path, QSettings::IniFormat);
    return ini.value(QStringLiteral("camera/simulated"), false).toBool();
}

CameraSetup makeCameraSetup(Clock& clock, CommandRunner& commands, const QString& workDir) {
    (void)clock;  // the vendor families that wait (uEye) take it once installed
    if (simulatedCamerasSelected(workDir))
        return simulatedSetup();
    CameraSetup s;
    if (!Platform::isPanel())
        return s;
    // Vendor SDK shims (Galaxy, uEye, MindVision, Hikvision) are added here,
    // in that order, when their libraries are installed on the panel.
    V4l2Config v4l2;
    v4l2.countDevices = [&commands, workDir] { return countInputCameras(commands, workDir); };
    s.backends.families.push_back(std::make_unique<V4l2Family>(v4l2));
    s.backends.repairGige = [] { return repairGigeCameras(); };
    return s;
}
