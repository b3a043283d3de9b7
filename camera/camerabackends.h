#pragma once

#include "camerasystem.h"

#include <memory>

class Clock;
class CommandRunner;
class MouldScene;

// Chooses the camera families of this process, in probing order - the one
// place that knows which devices exist:
// - on a panel: the vendor SDKs that are installed (none can be here), then
//   Video4Linux2, with the GigE address repair before probing;
// - in the simulation (working-directory file "simulation.ini", key
//   camera/simulated=true, never on a panel): two simulated Galaxy cameras
//   filming a moulding scene, whose machine phase the simulation sets;
// - anywhere else: no family, so the monitor runs its two demonstration
//   cameras and never touches the machine's network or devices.
struct CameraSetup {
    CameraBackends backends;
    std::shared_ptr<MouldScene> scene;  // simulation only
};
CameraSetup makeCameraSetup(Clock& clock, CommandRunner& commands,
                            const QString& workDir = QStringLiteral("."));

// True when this process runs the simulated cameras.
bool simulatedCamerasSelected(const QString& workDir);
