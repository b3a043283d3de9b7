// The simulated cameras of the machine simulation: selection by
// "simulation.ini" and a moulding scene that follows the machine phase.
#include "camerabackends.h"
#include "camrig.h"
#include "globals.h"
#include "mouldscene.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <opencv2/core.hpp>

namespace {

double meanOf(const cv::Mat& img, const cv::Rect& r) {
    return cv::mean(img(r))[0];
}

cv::Mat renderGray(MouldScene& s, int w = 800, int h = 600) {
    cv::Mat img(h, w, CV_8UC1);
    s.render(0, img.data, w, h, 1);
    return img;
}

int filledCavities(const cv::Mat& img) {
    int n = 0;
    for (const auto& c : MouldScene::cavities(img.cols, img.rows))
        n += meanOf(img, c) > 120;
    return n;
}

TEST(MouldScene, PartsWhileOpenEmptyAfterEjection) {
    MouldScene scene(0.0);
    EXPECT_EQ(filledCavities(renderGray(scene)), 0);  // closed
    scene.setMachinePhase(MachinePhase::Open);
    EXPECT_EQ(filledCavities(renderGray(scene)), 4);
    scene.setMachinePhase(MachinePhase::Ejected);
    EXPECT_EQ(filledCavities(renderGray(scene)), 0);
    scene.setMachinePhase(MachinePhase::Closed);
    EXPECT_EQ(scene.cycles(), 1u);
}

TEST(MouldScene, PlantedFaultsShowInTheirCycleOnly) {
    MouldScene scene(0.0);
    scene.plantFault(MouldFault::PartLeftInCavity);
    scene.setMachinePhase(MachinePhase::Open);
    scene.setMachinePhase(MachinePhase::Ejected);
    EXPECT_EQ(filledCavities(renderGray(scene)), 1);
    scene.setMachinePhase(MachinePhase::Closed);
    scene.setMachinePhase(MachinePhase::Open);
    scene.setMachinePhase(MachinePhase::Ejected);
    EXPECT_EQ(filledCavities(renderGray(scene)), 0);

    scene.plantFault(MouldFault::ShortShot);
    scene.setMachinePhase(MachinePhase::Closed);
    scene.setMachinePhase(MachinePhase::Open);
    const cv::Mat img = renderGray(scene);
    int full = 0, partial = 0;
    for (const auto& c : MouldScene::cavities(img.cols, img.rows)) {
        const double m = meanOf(img, c);
        full += m > 130;
        partial += m > 80 && m <= 120;
    }
    EXPECT_EQ(full, 3);
    EXPECT_EQ(partial, 1);
}

TEST(MouldScene, RandomFaultsAreOccasional) {
    MouldScene scene(0.1, 42);
    int faults = 0;
    for (int i = 0; i < 400; ++i) {
        scene.setMachinePhase(MachinePhase::Open);
        faults += scene.currentFault() != MouldFault::None;
        scene.setMachinePhase(MachinePhase::Ejected);
        scene.setMachinePhase(MachinePhase::Closed);
    }
    EXPECT_GT(faults, 15);
    EXPECT_LT(faults, 80);
}

TEST(SimulatedCameras, SelectedOnlyBySimulationIni) {
    QTemporaryDir dir;
    RecordingCommandRunner commands;
    FakeClock clock(QDateTime(QDate(2026, 1, 1), QTime(8, 0)));
    EXPECT_FALSE(simulatedCamerasSelected(dir.path()));
    {
        QSettings ini(dir.filePath("simulation.ini"), QSettings::IniFormat);
        ini.setValue("camera/simulated", false);
    }
    EXPECT_FALSE(simulatedCamerasSelected(dir.path()));
    auto plain = makeCameraSetup(clock, commands, dir.path());
    EXPECT_TRUE(plain.backends.families.empty());  // no panel here: demonstration
    EXPECT_FALSE(plain.backends.repairGige);
    {
        QSettings ini(dir.filePath("simulation.ini"), QSettings::IniFormat);
        ini.setValue("camera/simulated", true);
    }
    EXPECT_TRUE(simulatedCamerasSelected(dir.path()));
    EXPECT_TRUE(commands.commands().isEmpty());
}

TEST(SimulatedCameras, FramesFollowTheMachinePhaseAtARealisticRate) {
    QTemporaryDir dir;
    {
        QSettings ini(dir.filePath("simulation.ini"), QSettings::IniFormat);
        ini.setValue("camera/simulated", true);
    }
    RecordingCommandRunner commands;
    FakeClock clock(QDateTime(QDate(2026, 1, 1), QTime(8, 0)));
    auto setup = makeCameraSetup(clock, commands, dir.path());
    ASSERT_TRUE(setup.scene);
    auto scene = setup.scene;
    RecordingHost host;
    SystemParams live;
    live.contrast = {50, 50};  // contrast factor 0: the scene as drawn
    CameraSystem system(std::move(setup.backends), host, clock);
    system.setParams(&live, nullptr);
    system.setCaptureStartDelayMs(0);
    system.probeCameras();
    EXPECT_EQ(cameraFamily, kFamilyGalaxy);
    EXPECT_EQ(cameraCount, 2);
    EXPECT_EQ(system.probe().imageW, 1600);
    EXPECT_EQ(system.probe().imageH, 1200);
    CameraDevice cam0(system, 0), cam1(system, 1);
    ASSERT_TRUE(system.openCamera(cam0));
    ASSERT_TRUE(system.openCamera(cam1));
    system.startGrabbing(cam0);
    system.startGrabbing(cam1);
    cv::Mat img;
    scene->setMachinePhase(MachinePhase::Open);
    ASSERT_TRUE(waitFor([&] { return cam0.takeFrame(img) && filledCavities(img) == 4; }));
    scene->setMachinePhase(MachinePhase::Ejected);
    ASSERT_TRUE(waitFor([&] { return cam1.takeFrame(img) && filledCavities(img) == 0; }));
    // About 25 frames per second.
    QElapsedTimer t;
    t.start();
    int frames = 0;
    while (t.elapsed() < 800)
        frames += waitFor([&] { return cam0.takeFrame(img); }, 200);
    EXPECT_GE(frames, 12);
    EXPECT_LE(frames, 26);
    system.stopGrabbing(cam0);
    system.stopGrabbing(cam1);
}

}  // namespace
