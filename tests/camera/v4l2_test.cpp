// The Video4Linux2 path through FFmpeg, tested on video files made here:
// decode, filter graph, conversion, centring, rebuilds and damaged input.
#include "camrig.h"
#include "ffmpegcapture.h"
#include "globals.h"
#include "v4l2family.h"
#include "videofile.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSize>
#include <QTemporaryDir>
#include <opencv2/core.hpp>
#include <random>

namespace {

void fillGray(AVFrame* f, int value) {
    for (int y = 0; y < f->height; ++y)
        std::memset(f->data[0] + y * f->linesize[0], value, f->width);
}

// A camera system whose only family is Video4Linux2 over files.
struct V4lRig {
    V4lRig(const QString& pattern, int devices, bool loop = true, QString format = {})
        : clock(QDateTime(QDate(2026, 1, 1), QTime(8, 0))),
          system(backends(pattern, devices, loop, format), host, clock) {
        system.setParams(&live, &edit);
        system.setCaptureStartDelayMs(0);
    }
    ~V4lRig() { devices.clear(); }
    static CameraBackends backends(const QString& pattern, int n, bool loop, QString format) {
        V4l2Config c;
        c.inputFormat = format;
        c.devicePattern = pattern;
        c.countDevices = [n] { return n; };
        c.maxDevices = 2;
        c.loop = loop;
        CameraBackends b;
        b.families.push_back(std::make_unique<V4l2Family>(c));
        return b;
    }
    CameraDevice& openFirst() {
        system.probeCameras();
        devices.push_back(std::make_unique<CameraDevice>(system, 0));
        system.openCamera(*devices[0]);
        return *devices[0];
    }
    FakeClock clock;
    RecordingHost host;
    SystemParams live, edit;
    CameraSystem system;
    std::vector<std::unique_ptr<CameraDevice>> devices;
};

struct TextCase {
    int contrast, gamma, sharpness;
    const char* description;
};
TEST(FilterText, SixDecimals) {
    for (const TextCase& c :
         {TextCase{140, 40, 0, "eq=contrast=0.800000:gamma=1.684000,unsharp=5:5:0.000000"},
          TextCase{150, 0, 100, "eq=contrast=1.000000:gamma=0.100000,unsharp=5:5:5.000000"},
          TextCase{0, 250, 30, "eq=contrast=-2.000000:gamma=10.000000,unsharp=5:5:1.500000"}})
        EXPECT_EQ(
            FilterTexts::fromParams(c.contrast, c.gamma, c.sharpness).description().toStdString(),
            c.description);
}

TEST(V4l2, InputCameraCountFromTheDeviceList) {
    QTemporaryDir dir;
    QFile f(dir.filePath("devices"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("N: Name=\"USB Camera\"\nN: Name=\"Keyboard\"\nN: Name=\"HD Camera\"\n");
    f.close();
    RecordingCommandRunner runner;
    EXPECT_EQ(countInputCameras(runner, dir.path()), 2);
    EXPECT_TRUE(runner.ran("cp -f /proc/bus/input/devices ."));
}

TEST(V4l2, ProbeWithoutADeviceFallsBackToDemonstration) {
    QTemporaryDir dir;
    {
        V4lRig rig(dir.filePath("video%1"), 1, false, "video4linux2");
        rig.system.probeCameras();
        EXPECT_EQ(cameraFamily, 0);
        EXPECT_EQ(cameraCount, 2);
    }
    {
        V4lRig rig(dir.filePath("video%1"), 0, false, "video4linux2");
        rig.system.probeCameras();
        EXPECT_EQ(cameraFamily, 0);
    }
}

TEST(V4l2, SmallFrameCentredOnBlackWorkingImage) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeVideo(dir.filePath("video0.nut").toStdString(), AV_CODEC_ID_RAWVIDEO, 640, 480,
                           AV_PIX_FMT_GRAY8, 10, [](int, AVFrame* f) { fillGray(f, 200); }));
    for (bool colour : {false, true}) {
        V4lRig rig(dir.filePath("video%1.nut"), 1);
        rig.live.enable_color_camera = colour;
        rig.live.contrast[0] = 150;
        rig.live.gamma[0] = 23;
        CameraDevice& cam = rig.openFirst();
        EXPECT_EQ(cameraFamily, kFamilyV4l2);
        EXPECT_EQ(QSize(rig.system.probe().imageW, rig.system.probe().imageH), QSize(960, 540));
        ASSERT_TRUE(cam.present());
        rig.system.startGrabbing(cam);
        cv::Mat img;
        ASSERT_TRUE(waitFor([&] { return cam.takeFrame(img); }));
        rig.system.stopGrabbing(cam);
        ASSERT_EQ(img.channels(), colour ? 4 : 1);
        cv::Mat gray;
        if (colour) {
            std::vector<cv::Mat> ch;
            cv::split(img, ch);
            EXPECT_EQ(cv::countNonZero(ch[0] != ch[1]), 0);
            EXPECT_EQ(ch[3].at<std::uint8_t>(270, 480), 255);
            gray = ch[0];
        } else {
            gray = img;
        }
        // Picture at (160, 30) .. (799, 509); black around it.
        EXPECT_EQ(gray.at<std::uint8_t>(0, 0), 0);
        EXPECT_EQ(gray.at<std::uint8_t>(29, 480), 0);
        EXPECT_EQ(gray.at<std::uint8_t>(270, 159), 0);
        EXPECT_EQ(gray.at<std::uint8_t>(270, 800), 0);
        EXPECT_EQ(gray.at<std::uint8_t>(510, 480), 0);
        EXPECT_NEAR(gray.at<std::uint8_t>(30, 160), 200, 3);
        EXPECT_NEAR(gray.at<std::uint8_t>(509, 799), 200, 3);
        EXPECT_EQ(cv::countNonZero(gray), 640 * 480);
    }
}

TEST(V4l2, LargerFrameGivesItsCentre) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeVideo(dir.filePath("video0.nut").toStdString(), AV_CODEC_ID_RAWVIDEO, 1280,
                           720, AV_PIX_FMT_GRAY8, 5, [](int, AVFrame* f) {
                               for (int y = 0; y < f->height; ++y)
                                   for (int x = 0; x < f->width; ++x)
                                       f->data[0][y * f->linesize[0] + x] = x / 5;
                           }));
    V4lRig rig(dir.filePath("video%1.nut"), 1);
    rig.live.contrast[0] = 150;
    rig.live.gamma[0] = 23;
    CameraDevice& cam = rig.openFirst();
    rig.system.startGrabbing(cam);
    cv::Mat img;
    ASSERT_TRUE(waitFor([&] { return cam.takeFrame(img); }));
    rig.system.stopGrabbing(cam);
    EXPECT_NEAR(img.at<std::uint8_t>(0, 0), 160 / 5, 3);
    EXPECT_NEAR(img.at<std::uint8_t>(539, 959), 1119 / 5, 3);
}

TEST(V4l2, ContrastChangeRebuildsTheGraphWithoutATornFrame) {
    QTemporaryDir dir;
    auto value = [](int n) { return 30 + (n * 53) % 200; };
    ASSERT_TRUE(writeVideo(dir.filePath("video0.nut").toStdString(), AV_CODEC_ID_RAWVIDEO, 640, 480,
                           AV_PIX_FMT_GRAY8, 60,
                           [&](int n, AVFrame* f) { fillGray(f, value(n)); }));
    V4lRig rig(dir.filePath("video%1.nut"), 1);
    rig.live.contrast[0] = 150;
    rig.live.gamma[0] = 23;
    rig.live.sharp[0] = 20;
    CameraDevice& cam = rig.openFirst();
    rig.system.startGrabbing(cam);
    const cv::Rect picture(160, 30, 640, 480);
    int frames = 0;
    cv::Mat img;
    for (int i = 0; i < 40; ++i) {
        rig.live.contrast[0] = 120 + (i % 5) * 10;
        rig.system.applyContrast(cam);
        ASSERT_TRUE(waitFor([&] { return cam.takeFrame(img); }));
        double lo = 0, hi = 0;
        cv::minMaxLoc(img(picture), &lo, &hi);
        EXPECT_EQ(lo, hi) << "torn frame after rebuild " << i;
        EXPECT_EQ(cv::countNonZero(img) <= 640 * 480, true);
        ++frames;
    }
    rig.system.stopGrabbing(cam);
    EXPECT_EQ(frames, 40);
    EXPECT_EQ(cam.handle()->filterDescription().toStdString(),
              "eq=contrast=1.200000:gamma=1.010800,unsharp=5:5:1.000000");
}

TEST(V4l2, RestoringDefaultsSetsTheFilterTextsAndTheEditCopy) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeVideo(dir.filePath("video0.nut").toStdString(), AV_CODEC_ID_RAWVIDEO, 320, 240,
                           AV_PIX_FMT_GRAY8, 2, [](int, AVFrame* f) { fillGray(f, 9); }));
    V4lRig rig(dir.filePath("video%1.nut"), 1);
    CameraDevice& cam = rig.openFirst();
    EXPECT_TRUE(cam.rebuildFilterGraph("eq=contrast=1.000000:gamma=1.000000,unsharp=5:5:0.000000"));
    rig.system.restoreCameraDefaults(cam);
    EXPECT_EQ(rig.edit.contrast[0], 140);
    EXPECT_EQ(rig.edit.gamma[0], 40);
    EXPECT_EQ(rig.edit.sharp[0], 0);
    EXPECT_EQ(cam.handle()->filterDescription().toStdString(),
              "eq=contrast=0.800000:gamma=1.684000,unsharp=5:5:0.000000");
}

// A compressed file, then damaged in its middle and cut short.
QString damagedVideo(const QTemporaryDir& dir, bool* ok) {
    const QString path = dir.filePath("video0.avi");
    *ok = writeVideo(path.toStdString(), AV_CODEC_ID_MPEG4, 320, 240, AV_PIX_FMT_YUV420P, 90,
                     [](int n, AVFrame* f) {
                         for (int y = 0; y < f->height; ++y)
                             for (int x = 0; x < f->width; ++x)
                                 f->data[0][y * f->linesize[0] + x] = (x + y + 5 * n) & 0xFF;
                         for (int p = 1; p < 3; ++p)
                             for (int y = 0; y < f->height / 2; ++y)
                                 std::memset(f->data[p] + y * f->linesize[p], 128, f->width / 2);
                     });
    if (!*ok)
        return {};
    QFile f(path);
    f.open(QIODevice::ReadWrite);
    QByteArray bytes = f.readAll();
    std::mt19937 rng(1234);
    const int from = bytes.size() / 5, to = bytes.size() * 3 / 5;
    for (int i = 0; i < 600; ++i)
        bytes[from + static_cast<int>(rng() % (to - from))] = static_cast<char>(rng());
    bytes.truncate(bytes.size() * 7 / 10);
    f.resize(0);
    f.write(bytes);
    return path;
}

TEST(V4l2, DamagedAndTruncatedStreamIsSkippedPacketByPacket) {
    QTemporaryDir dir;
    bool ok = false;
    const QString path = damagedVideo(dir, &ok);
    if (!ok)
        GTEST_SKIP() << "no MPEG-4 encoder in this FFmpeg build";
    FfmpegCapture cap;
    ASSERT_TRUE(cap.open(path, {}, {{"framerate", "30"}}));
    cap.rebuildFilterGraph(FilterTexts::fromParams(140, 40, 10).description());
    std::vector<std::uint8_t> out(960 * 540);
    int pictures = 0, steps = 0;
    QElapsedTimer t;
    t.start();
    while (steps < 5000 && t.elapsed() < 20000) {
        ++steps;
        const auto r = cap.step(out.data(), 960, 540, false);
        if (r == FfmpegCapture::Step::ReadError)
            break;
        pictures += r == FfmpegCapture::Step::Picture;
    }
    EXPECT_LT(steps, 5000);
    EXPECT_GT(pictures, 10);
    // At the end every further step only reports the read error.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(cap.step(out.data(), 960, 540, false), FfmpegCapture::Step::ReadError);
}

TEST(V4l2, CaptureThreadKeepsRunningOnADamagedStream) {
    QTemporaryDir dir;
    bool ok = false;
    damagedVideo(dir, &ok);
    if (!ok)
        GTEST_SKIP() << "no MPEG-4 encoder in this FFmpeg build";
    V4lRig rig(dir.filePath("video%1.avi"), 1, /*loop=*/false);
    CameraDevice& cam = rig.openFirst();
    ASSERT_TRUE(cam.present());
    rig.system.startGrabbing(cam);
    cv::Mat img;
    ASSERT_TRUE(waitFor([&] { return cam.takeFrame(img); }));
    // Past the end of the file the loop goes on pass after pass.
    ASSERT_TRUE(waitFor([&] { return cam.thread()->passes() > 120; }, 20000));
    const auto passes = cam.thread()->passes();
    ASSERT_TRUE(waitFor([&] { return cam.thread()->passes() > passes + 5; }));
    QElapsedTimer t;
    t.start();
    rig.system.stopGrabbing(cam);
    EXPECT_LT(t.elapsed(), 500);
}

}  // namespace
