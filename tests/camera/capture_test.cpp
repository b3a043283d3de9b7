// Capture threads: frames published under the frame lock, the Galaxy contrast
// per frame, Hikvision frames by callback, newest frame only.
#include "camrig.h"
#include "globals.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <opencv2/core.hpp>

namespace {

SimFrameSource constant(int value) {
    return [value](std::int64_t, std::uint8_t* d, int w, int h, int ch) {
        std::fill_n(d, static_cast<std::size_t>(w) * h * ch, static_cast<std::uint8_t>(value));
    };
}

SimFrameSource frameNumber() {
    return [](std::int64_t n, std::uint8_t* d, int w, int h, int ch) {
        std::fill_n(d, static_cast<std::size_t>(w) * h * ch, static_cast<std::uint8_t>(n));
    };
}

bool uniform(const std::vector<std::uint8_t>& f, int value) {
    return !f.empty() &&
           std::all_of(f.begin(), f.end(), [value](std::uint8_t v) { return v == value; });
}

// Takes frames until one satisfies pred or the timeout passes.
bool takeUntil(CameraDevice& d, const std::function<bool(const std::vector<std::uint8_t>&)>& pred,
               int timeoutMs = 5000) {
    std::vector<std::uint8_t> f;
    return waitFor([&] { return d.takeFrame(f) && pred(f); }, timeoutMs);
}

TEST(CaptureThread, GalaxyAppliesTheContrastFactorToEveryFrame) {
    auto cam = simCam("SN-GX-000001", 640, 480);
    cam.source = constant(100);
    CamRig rig(kFamilyGalaxy, {cam});
    rig.live.contrast[0] = 100;  // factor 50
    rig.probeAndCreate(1);
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
    rig.system.startGrabbing(*rig.devices[0]);
    EXPECT_EQ(rig.devices[0]->thread()->priority(), QThread::TimeCriticalPriority);
    // (100 - 128) * 150 / 100 + 128
    EXPECT_TRUE(takeUntil(*rig.devices[0], [](auto& f) { return uniform(f, 86); }));
    rig.live.contrast[0] = 0;  // factor -50
    rig.system.applyContrast(*rig.devices[0]);
    EXPECT_TRUE(takeUntil(*rig.devices[0], [](auto& f) { return uniform(f, 114); }));
    rig.system.stopGrabbing(*rig.devices[0]);
    EXPECT_FALSE(rig.devices[0]->grabbing());
    EXPECT_FALSE(rig.sdk->state(0).grabbing);
}

TEST(CaptureThread, ConsumerSeesOnlyTheNewestFrameAndTheFlagStaysUntilTaken) {
    auto cam = simCam("SN-GX-000001", 320, 240);
    cam.source = frameNumber();
    CamRig rig(kFamilyGalaxy, {cam});
    rig.live.contrast[0] = 50;  // factor 0: frames pass unchanged
    rig.probeAndCreate(1);
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
    rig.system.startGrabbing(*rig.devices[0]);
    ASSERT_TRUE(waitFor([&] { return rig.sdk->state(0).frames >= 5; }));
    rig.system.stopGrabbing(*rig.devices[0]);
    const auto frames = rig.sdk->state(0).frames;
    {
        QMutexLocker lock(&gFrameLock[0]);
        EXPECT_EQ(gFrameReady[0], 1);
    }
    std::vector<std::uint8_t> f;
    ASSERT_TRUE(rig.devices[0]->takeFrame(f));
    EXPECT_TRUE(uniform(f, static_cast<std::uint8_t>(frames - 1)));
    EXPECT_EQ(gFrameReady[0], 0);
    EXPECT_FALSE(rig.devices[0]->takeFrame(f));
}

TEST(CaptureThread, HikvisionFramesArriveByCallback) {
    for (bool colourOp : {false, true}) {
        auto cam = simCam("SN-HIK-00001", 320, 240, true);
        cam.source = constant(77);
        cam.fps = 100;
        CamRig rig(kFamilyHik, {cam});
        rig.live.enable_color_camera = colourOp;
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        rig.system.startGrabbing(*rig.devices[0]);
        cv::Mat img;
        ASSERT_TRUE(waitFor([&] { return rig.devices[0]->takeFrame(img); }));
        EXPECT_EQ(img.channels(), colourOp ? 4 : 1);
        EXPECT_EQ(img.cols, 320);
        EXPECT_EQ(img.rows, 240);
        if (colourOp) {
            const cv::Vec4b px = img.at<cv::Vec4b>(10, 10);
            EXPECT_EQ(px[0], 77);
            EXPECT_EQ(px[1], 77);
            EXPECT_EQ(px[2], 77);
        } else {
            EXPECT_EQ(img.at<std::uint8_t>(10, 10), 77);
        }
        rig.system.stopGrabbing(*rig.devices[0]);
    }
}

TEST(CaptureThread, MindVisionAndUEyeFramesArePublished) {
    for (int family : {kFamilyMind, kFamilyUEye}) {
        auto cam = simCam("SN-CAP-000001", 1280, 1024, true);
        cam.source = frameNumber();
        CamRig rig(family, {cam});
        rig.live.enable_color_camera = 1;
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        rig.system.startGrabbing(*rig.devices[0]);
        cv::Mat img;
        ASSERT_TRUE(waitFor([&] { return rig.devices[0]->takeFrame(img); })) << family;
        if (family == kFamilyMind) {
            ASSERT_EQ(img.channels(), 4);
            EXPECT_EQ(img.cols, 1120);
            const cv::Vec4b px = img.at<cv::Vec4b>(0, 0);
            EXPECT_EQ(px[0], px[1]);
        } else {
            ASSERT_EQ(img.channels(), 4);  // the 8-bit image memory as RGBA
            EXPECT_EQ(img.cols, 1280);
            const cv::Vec4b px = img.at<cv::Vec4b>(5, 5);
            EXPECT_EQ(px[0], px[2]);
            EXPECT_EQ(px[3], 255);
        }
        rig.system.stopGrabbing(*rig.devices[0]);
    }
}

TEST(CaptureThread, DisconnectAfterSomeFramesStopsDeliveryAndSetsTheFlag) {
    auto cam = simCam("SN-MIND-00001", 640, 480);
    cam.disconnectAfterFrames = 3;
    CamRig rig(kFamilyMind, {cam});
    rig.probeAndCreate(1);
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
    rig.system.startGrabbing(*rig.devices[0]);
    ASSERT_TRUE(waitFor([&] { return rig.system.disconnected(); }));
    EXPECT_EQ(rig.sdk->state(0).frames, 3);
    EXPECT_EQ(rig.sdk->deviceCount(), 0);
    // The cycle reacts on the GUI thread.
    rig.system.handleCameraLost(0);
    EXPECT_TRUE(rig.system.cameraLost());
    EXPECT_FALSE(rig.devices[0]->grabbing());
}

TEST(CaptureThread, StoppingEndsTheLoopPromptly) {
    auto cam = simCam("SN-GX-000001", 640, 480);
    cam.fps = 5;  // grabs wait up to 100 ms
    CamRig rig(kFamilyGalaxy, {cam});
    rig.system.setCaptureStartDelayMs(300);
    rig.probeAndCreate(1);
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
    rig.system.startGrabbing(*rig.devices[0]);
    QElapsedTimer t;
    t.start();
    rig.system.stopGrabbing(*rig.devices[0]);
    EXPECT_LT(t.elapsed(), 250);
}

}  // namespace
