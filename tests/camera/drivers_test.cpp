// Camera families over the simulated SDK: probing, working sizes, opening,
// parameter mappings, serial numbers, loss and restart.
#include "camerasizes.h"
#include "camrig.h"
#include "globals.h"

#include <gtest/gtest.h>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

std::string gk(std::uint32_t f) {
    return SimCameraSdk::gxKey(f);
}

double mapped(const std::string& key, int v, int scale) {
    const auto [min, max] = SimCameraSdk::range(key);
    return min + (max - min) * v / scale;
}

// ------------------------------------------------------------ working sizes

struct SizeCase {
    int family;
    QSize sensor;
    bool optimise;
    QSize preset;
    QSize expected;
};

const SizeCase kSizes[] = {SizeCase{4, {1280, 1024}, true, {}, {1120, 840}},
                           SizeCase{4, {1280, 1024}, false, {}, {1280, 1024}},
                           SizeCase{4, {2048, 1536}, true, {}, {1600, 1200}},
                           SizeCase{4, {2048, 1536}, false, {}, {2048, 1536}},
                           SizeCase{4, {2592, 1944}, true, {}, {1296, 972}},
                           SizeCase{4, {2592, 1944}, false, {}, {1296, 972}},
                           SizeCase{4, {1920, 1200}, true, {}, {1920, 1200}},
                           SizeCase{6, {1280, 1024}, true, {}, {1120, 840}},
                           SizeCase{6, {2048, 1536}, true, {}, {1600, 1200}},
                           SizeCase{6, {2592, 1944}, true, {2560, 1920}, {2560, 1920}},
                           SizeCase{6, {2592, 1944}, false, {2560, 1920}, {2592, 1944}},
                           SizeCase{6, {3088, 2064}, true, {}, {2592, 1944}},
                           SizeCase{6, {3088, 2064}, false, {}, {3088, 2064}},
                           SizeCase{6, {1600, 1200}, true, {}, {1300, 1000}},
                           SizeCase{6, {1440, 1080}, true, {}, {1440, 1080}},
                           SizeCase{5, {2560, 1920}, true, {}, {1280, 1024}},
                           SizeCase{5, {752, 480}, false, {}, {1280, 1024}},
                           SizeCase{9, {640, 480}, true, {}, {960, 540}},
                           SizeCase{0, {}, true, {}, {1920, 1080}}};

TEST(WorkingSize, FollowsTheTableForEveryFamily) {
    for (const SizeCase& c : kSizes) {
        SCOPED_TRACE(::testing::Message() << "family " << c.family << " sensor " << c.sensor.width()
                                          << " optimise " << c.optimise);
        EXPECT_EQ(workingSize(c.family, c.sensor, c.optimise, c.preset), c.expected);
    }
}

// ------------------------------------------------------------ probing

struct ProbeCase {
    int family;
    QSize sensor;
    QSize current;  // Hikvision Width x Height
    QSize preset;
    bool prohibitOptimize;
    int cameras;
    QSize expected;
};

class Probe : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(Probe, SetsFamilyCountAndWorkingSize) {
    const ProbeCase& c = GetParam();
    std::vector<SimCameraConfig> cams;
    for (int i = 0; i < c.cameras; ++i) {
        auto s = simCam("SN-PROBE-000" + std::to_string(i), c.sensor.width(), c.sensor.height());
        s.currentW = c.current.width();
        s.currentH = c.current.height();
        s.presetW = c.preset.width();
        s.presetH = c.preset.height();
        cams.push_back(s);
    }
    CamRig rig(c.family, cams, /*withEmptyFamiliesFirst=*/c.family > kFamilyUEye);
    rig.live.prohibit_optimize = c.prohibitOptimize ? 1 : 0;
    rig.system.probeCameras();
    EXPECT_EQ(cameraFamily, c.family);
    EXPECT_EQ(cameraCount, c.cameras);
    EXPECT_EQ(QSize(rig.system.probe().imageW, rig.system.probe().imageH), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    AllFamilies, Probe,
    ::testing::Values(ProbeCase{4, {1280, 1024}, {}, {}, false, 2, {1120, 840}},
                      ProbeCase{4, {1280, 1024}, {}, {}, true, 2, {1280, 1024}},
                      ProbeCase{4, {2592, 1944}, {}, {}, false, 1, {1296, 972}},
                      ProbeCase{5, {2560, 1920}, {}, {}, false, 3, {1280, 1024}},
                      ProbeCase{6, {2048, 1536}, {}, {}, false, 2, {1600, 1200}},
                      ProbeCase{6, {2592, 1944}, {}, {2560, 1920}, false, 1, {2560, 1920}},
                      ProbeCase{6, {1600, 1200}, {}, {}, true, 1, {1600, 1200}},
                      ProbeCase{7, {2448, 2048}, {1600, 1200}, {}, false, 4, {1600, 1200}}));

TEST(ProbeOrder, WithoutAnyCameraRunsTwoDemonstrationCameras) {
    CamRig rig(kFamilyGalaxy, {}, true);
    rig.probeAndCreate(8);
    EXPECT_EQ(cameraFamily, 0);
    EXPECT_EQ(cameraCount, 2);
    EXPECT_EQ(QSize(rig.system.probe().imageW, rig.system.probe().imageH), QSize(1920, 1080));
    rig.openAll();
    EXPECT_TRUE(rig.devices[0]->present());
    EXPECT_TRUE(rig.devices[1]->present());
    EXPECT_FALSE(rig.devices[2]->present());
    EXPECT_EQ(rig.devices[0]->handle(), nullptr);
    EXPECT_EQ(rig.devices[0]->frameBytes(), 1920u * 1080u);
}

TEST(ProbeOrder, FirstFamilyThatAnswersWins) {
    // Galaxy and uEye see nothing; MindVision answers before Hikvision is asked.
    CamRig rig(kFamilyMind, {simCam("SN-MIND-00001")}, true);
    rig.system.probeCameras();
    EXPECT_EQ(cameraFamily, kFamilyMind);
}

TEST(ProbeOrder, RefusedFirstOpenMeansTheFamilyDidNotAnswer) {
    auto s = simCam("SN-GX-000001");
    s.refuseOpen = true;
    CamRig rig(kFamilyGalaxy, {s});
    rig.system.probeCameras();
    EXPECT_EQ(cameraFamily, 0);
}

TEST(ProbeOrder, HikvisionProbesTheFirstDeviceThatOpens) {
    auto busy = simCam("SN-HIK-00001", 1280, 1024);
    busy.refuseOpen = true;
    auto free = simCam("SN-HIK-00002", 2448, 2048);
    free.currentW = 2448;
    free.currentH = 2048;
    free.model = "MV-CA050-20GC";
    CamRig rig(kFamilyHik, {busy, free});
    rig.system.probeCameras();
    EXPECT_EQ(cameraFamily, kFamilyHik);
    EXPECT_EQ(cameraCount, 2);
    EXPECT_EQ(rig.system.probe().sensorW, 2448);
    EXPECT_TRUE(rig.system.probe().colorSensor);
}

TEST(ProbeOrder, WaitsSixSecondsAfterGigeRepair) {
    for (int repaired : {-1, 0, 2}) {
        CameraBackends b;
        b.repairGige = [repaired] { return repaired; };
        RecordingHost host;
        FakeClock clock(QDateTime(QDate(2026, 1, 1), QTime(8, 0)));
        const QDateTime start = clock.now();
        CameraSystem sys(std::move(b), host, clock);
        sys.probeCameras();
        EXPECT_EQ(start.msecsTo(clock.now()), repaired > 0 ? 6000 : 0) << repaired;
    }
}

TEST(ProbeOrder, UEyeWaitsThreeSecondsAndCountsAgain) {
    CamRig rig(kFamilyUEye, {simCam("SN-UEYE-0001"), simCam("SN-UEYE-0002")});
    const QDateTime start = rig.clock.now();
    rig.system.probeCameras();
    EXPECT_EQ(start.msecsTo(rig.clock.now()), 3000);
    EXPECT_EQ(cameraCount, 2);
}

// ------------------------------------------------------------ windows

TEST(CentredWindow, GalaxyCentresASmallerWorkingSize) {
    CamRig rig(kFamilyGalaxy, {simCam("SN-GX-000001", 2048, 1536)});
    rig.probeAndCreate(1);
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
    const auto st = rig.sdk->state(0);
    EXPECT_EQ(st.values.at(gk(gx::kOffsetX)), 224);
    EXPECT_EQ(st.values.at(gk(gx::kOffsetY)), 168);
    EXPECT_EQ(st.values.at(gk(gx::kWidth)), 1600);
    EXPECT_EQ(st.values.at(gk(gx::kHeight)), 1200);
    EXPECT_EQ(st.values.at(gk(gx::kTLParamsLocked)), 0);
    EXPECT_EQ(st.values.at(gk(gx::kSharpnessMode)), 1);
    EXPECT_EQ(st.values.at(gk(gx::kGammaEnable)), 1);
    EXPECT_EQ(st.values.count(gk(gx::kBinningH)), 0u);
}

TEST(CentredWindow, GalaxyHalvesAFiveMegapixelSensorByBinning) {
    CamRig rig(kFamilyGalaxy, {simCam("SN-GX-000001", 2592, 1944)});
    rig.probeAndCreate(1);
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
    const auto st = rig.sdk->state(0);
    for (auto f : {gx::kBinningH, gx::kBinningV, gx::kDecimationH, gx::kDecimationV})
        EXPECT_EQ(st.values.at(gk(f)), 2);
    EXPECT_EQ(st.values.at(gk(gx::kOffsetX)), 0);
    EXPECT_EQ(st.values.at(gk(gx::kOffsetY)), 0);
    EXPECT_EQ(st.values.at(gk(gx::kWidth)), 1296);
    EXPECT_EQ(st.values.at(gk(gx::kHeight)), 972);
}

TEST(CentredWindow, MindUsesCustomResolutionOrThePreset) {
    {
        CamRig rig(kFamilyMind, {simCam("SN-MIND-00001", 2048, 1536)});
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        const auto st = rig.sdk->state(0);
        EXPECT_EQ(st.values.at("resolution_index"), 255);
        EXPECT_EQ(st.values.at("resolution_x"), 224);
        EXPECT_EQ(st.values.at("resolution_y"), 168);
        EXPECT_EQ(st.values.at("resolution_w"), 1600);
        EXPECT_EQ(st.values.at("resolution_h"), 1200);
        EXPECT_EQ(st.values.at("isp_out_format"), mvs::kMono8);
        EXPECT_EQ(st.values.at("frame_speed"), 0);
        EXPECT_EQ(st.values.at("set_online_detect_interval(500)"), 1);
    }
    {
        auto s = simCam("SN-MIND-00001", 2592, 1944);
        s.presetW = 2560;
        s.presetH = 1920;
        CamRig rig(kFamilyMind, {s});
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        const auto st = rig.sdk->state(0);
        EXPECT_EQ(st.values.at("resolution_index"), 0);
        EXPECT_EQ(st.values.at("resolution_w"), 2560);
    }
}

TEST(CentredWindow, MindColourSetUpFollowsTheOperation) {
    struct Case {
        int sensorW;
        bool colourOp;
        std::uint32_t format;
        const char* key;
        double value;
    };
    for (const Case& c : {Case{2048, false, mvs::kMono8, "monochrome", 1},
                          Case{2048, true, mvs::kRGB8, "monochrome", 0},
                          Case{1280, false, mvs::kMono8, "media_type", 1},
                          Case{1280, true, mvs::kRGB8, "media_type", 0}}) {
        CamRig rig(kFamilyMind, {simCam("SN-MIND-00001", c.sensorW, 1024, true)});
        rig.live.enable_color_camera = c.colourOp;
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        const auto st = rig.sdk->state(0);
        EXPECT_EQ(st.values.at("wb_auto"), 0);
        EXPECT_EQ(st.values.at("isp_out_format"), c.format);
        EXPECT_EQ(st.values.at(c.key), c.value) << c.sensorW << c.colourOp;
    }
}

TEST(OpenSetUp, UEyeAndHikvisionConfigureAtOpening) {
    {
        CamRig rig(kFamilyUEye, {simCam("SN-UEYE-0001", 2560, 1920)});
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        const auto st = rig.sdk->state(0);
        EXPECT_EQ(st.values.at("colour_mode"), 6);
        EXPECT_EQ(st.values.at("aoi_width"), 1280);
        EXPECT_EQ(st.values.at("aoi_height"), 1024);
        EXPECT_EQ(st.values.at("auto_34816"), 1);  // 0x8800
        EXPECT_EQ(st.values.at("auto_34818"), 1);  // 0x8802
        EXPECT_EQ(st.values.at("hardware_gamma"), 1);
        EXPECT_EQ(st.values.at("pixel_clock"), 5);
    }
    for (bool colourOp : {false, true}) {
        CamRig rig(kFamilyHik, {simCam("SN-HIK-00001", 1280, 1024, true)});
        rig.live.enable_color_camera = colourOp;
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        const auto st = rig.sdk->state(0);
        EXPECT_EQ(st.values.at("UserSetSelector"), 0);
        EXPECT_EQ(st.values.at("UserSetLoad"), 1);
        EXPECT_EQ(st.values.at("SharpnessEnable"), 1);
        EXPECT_EQ(st.values.at("GammaEnable"), 1);
        EXPECT_EQ(st.values.at("GevHeartbeatTimeout"), 500);
        EXPECT_EQ(st.values.at("PixelFormat"), colourOp ? mvs::kBayerRG8 : mvs::kMono8);
    }
}

// ------------------------------------------------------------ value mappings

enum class Param { Exposure, Gain, Sharpness, Contrast, Gamma };

struct MapCase {
    int family;
    Param param;
    int value;
    std::string key;
    double expected;
};

void setParam(SystemParams& p, Param which, int v) {
    switch (which) {
        case Param::Exposure:
            p.expose_time[0] = v;
            break;
        case Param::Gain:
            p.adjust_plus[0] = v;
            break;
        case Param::Sharpness:
            p.sharp[0] = v;
            break;
        case Param::Contrast:
            p.contrast[0] = v;
            break;
        case Param::Gamma:
            p.gamma[0] = v;
            break;
    }
}

void applyParam(CameraSystem& s, CameraDevice& d, Param which) {
    switch (which) {
        case Param::Exposure:
            s.applyExposure(d);
            break;
        case Param::Gain:
            s.applyGain(d);
            break;
        case Param::Sharpness:
            s.applySharpness(d);
            break;
        case Param::Contrast:
            s.applyContrast(d);
            break;
        case Param::Gamma:
            s.applyGamma(d);
            break;
    }
}

void checkMapping(const MapCase& c) {
    SCOPED_TRACE(::testing::Message()
                 << "family " << c.family << " key " << c.key << " value " << c.value);
    CamRig rig(c.family, {simCam("SN-MAP-000001")});
    setParam(rig.live, c.param, c.value);
    rig.probeAndCreate(1);
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
    EXPECT_NEAR(rig.sdk->state(0).values.at(c.key), c.expected, 1e-6);
    // A different value, then the case's value again through the apply operation.
    setParam(rig.live, c.param, 0);
    applyParam(rig.system, *rig.devices[0], c.param);
    setParam(rig.live, c.param, c.value);
    applyParam(rig.system, *rig.devices[0], c.param);
    EXPECT_NEAR(rig.sdk->state(0).values.at(c.key), c.expected, 1e-6);
}

const MapCase kMappings[] = {
    MapCase{4, Param::Exposure, 50, gk(0x20000BC1), mapped(gk(0x20000BC1), 50, 100)},
    MapCase{4, Param::Gain, 32, gk(0x20001393), mapped(gk(0x20001393), 32, 64)},
    MapCase{4, Param::Gain, 64, gk(0x20001393), 24},
    MapCase{4, Param::Sharpness, 40, gk(0x2000178B), mapped(gk(0x2000178B), 40, 100)},
    MapCase{4, Param::Gamma, 100, gk(0x20001397), mapped(gk(0x20001397), 100, 250)},
    MapCase{5, Param::Exposure, 7, "exposure_ms", 7},
    MapCase{5, Param::Gain, 20, "gain_master", 20},
    MapCase{5, Param::Gain, 20, "gain_blue", 20},
    MapCase{5, Param::Gamma, 120, "gamma", 120},
    MapCase{6, Param::Exposure, 12, "exposure_us", 12000},
    MapCase{6, Param::Gain, 32, "analog_gain", mapped("analog_gain", 32, 64)},
    MapCase{6, Param::Sharpness, 30, "sharpness", mapped("sharpness", 30, 100)},
    MapCase{6, Param::Contrast, 150, "contrast", mapped("contrast", 150, 200)},
    MapCase{6, Param::Gamma, 100, "gamma", mapped("gamma", 100, 250)},
    MapCase{7, Param::Exposure, 9, "ExposureTime", 9000},
    MapCase{7, Param::Gain, 16, "Gain", mapped("Gain", 16, 64)},
    MapCase{7, Param::Sharpness, 70, "Sharpness", mapped("Sharpness", 70, 100)},
    MapCase{7, Param::Gamma, 125, "Gamma", mapped("Gamma", 125, 250)}};

class Mapping : public ::testing::TestWithParam<int> {};

TEST_P(Mapping, AtOpeningAndWhenApplied) {
    int checked = 0;
    for (const MapCase& c : kMappings) {
        if (c.family != GetParam())
            continue;
        checkMapping(c);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(AllFamilies, Mapping, ::testing::Values(4, 5, 6, 7));

struct FactorCase {
    int contrast, factor;
};
TEST(GalaxyContrast, FactorOfTheCaptureThread) {
    for (const FactorCase& c : {FactorCase{200, 100}, FactorCase{151, 100}, FactorCase{150, 100},
                                FactorCase{100, 50}, FactorCase{50, 0}, FactorCase{0, -50}})
        EXPECT_EQ(galaxyContrastFactor(c.contrast), c.factor) << c.contrast;
}

TEST(Exposure, AutomaticAndShadingSwitches) {
    {
        CamRig rig(kFamilyGalaxy, {simCam("SN-GX-000001")});
        rig.live.auto_exposure = 1;
        rig.live.auto_shading = 1;
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        const auto st = rig.sdk->state(0);
        EXPECT_EQ(st.values.at(gk(gx::kExposureAuto)), 1);
        EXPECT_EQ(st.values.count(gk(gx::kExposureTime)), 0u);
        EXPECT_EQ(st.values.at(gk(gx::kLightSource)), 1);
    }
    {
        CamRig rig(kFamilyMind, {simCam("SN-MIND-00001")});
        rig.live.auto_exposure = 1;
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        auto st = rig.sdk->state(0);
        EXPECT_EQ(st.values.at("ae_state"), 1);
        EXPECT_EQ(st.values.count("set_awdr_enable(false)"), 1u);
        rig.live.auto_exposure = 0;
        rig.live.auto_shading = 1;
        rig.system.applyExposure(*rig.devices[0]);
        st = rig.sdk->state(0);
        EXPECT_EQ(st.values.at("ae_state"), 0);
        EXPECT_EQ(st.values.count("set_awdr_enable(true)"), 1u);
    }
    {
        CamRig rig(kFamilyHik, {simCam("SN-HIK-00001")});
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        const auto st = rig.sdk->state(0);
        EXPECT_EQ(st.values.at("ExposureMode"), 0);
        EXPECT_EQ(st.values.at("ExposureAuto"), 0);
        EXPECT_EQ(st.values.at("GainAuto"), 0);
    }
}

TEST(EditCopy, UsedWhileTheParameterScreenIsOpen) {
    for (int family : {4, 5, 6, 7}) {
        CamRig rig(family, {simCam("SN-EDIT-00001")});
        rig.live.adjust_plus[0] = 8;
        rig.edit.adjust_plus[0] = 48;
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        const std::string key = family == 4   ? gk(gx::kGain)
                                : family == 5 ? "gain_master"
                                : family == 6 ? "analog_gain"
                                              : "Gain";
        const double scale = family == 5 ? 1 : 0;
        auto expect = [&](int g) { return scale ? g : mapped(key, g, 64); };
        EXPECT_NEAR(rig.sdk->state(0).values.at(key), expect(8), 1e-6) << family;
        rig.system.setParamScreenOpen(true);
        rig.system.applyGain(*rig.devices[0]);
        EXPECT_NEAR(rig.sdk->state(0).values.at(key), expect(48), 1e-6) << family;
        rig.system.setParamScreenOpen(false);
        rig.system.applyGain(*rig.devices[0]);
        EXPECT_NEAR(rig.sdk->state(0).values.at(key), expect(8), 1e-6) << family;
    }
}

TEST(WhiteBalance, OneShotInColourOperationOnly) {
    for (bool colourOp : {false, true}) {
        CamRig mind(kFamilyMind, {simCam("SN-MIND-00001", 1280, 1024, true)});
        mind.live.enable_color_camera = colourOp;
        mind.probeAndCreate(1);
        ASSERT_TRUE(mind.system.openCamera(*mind.devices[0]));
        EXPECT_EQ(mind.sdk->state(0).values.count("once_wb"), colourOp ? 1u : 0u);
        CamRig hik(kFamilyHik, {simCam("SN-HIK-00001", 1280, 1024, true)});
        hik.live.enable_color_camera = colourOp;
        hik.probeAndCreate(1);
        ASSERT_TRUE(hik.system.openCamera(*hik.devices[0]));
        EXPECT_EQ(hik.sdk->state(0).values.count("BalanceWhiteAuto"), colourOp ? 1u : 0u);
        if (colourOp) {
            EXPECT_EQ(hik.sdk->state(0).values.at("BalanceWhiteAuto"), 2);
        }
    }
}

TEST(TriggerMode, GalaxyStopsAndRestartsWithTheFlag) {
    CamRig rig(kFamilyGalaxy, {simCam("SN-GX-000001")});
    rig.probeAndCreate(1);
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
    const auto calls = rig.sdk->state(0).calls;
    auto at = [&](const std::string& c) {
        return std::find(calls.begin(), calls.end(), c) - calls.begin();
    };
    const auto stop = at(gk(gx::kAcquisitionStop) + "=1");
    const auto mode = at(gk(gx::kAcquisitionMode) + "=2");
    const auto trig = at(gk(gx::kTriggerMode) + "=0");
    const auto start = at(gk(gx::kAcquisitionStart) + "=1");
    EXPECT_LT(stop, mode);
    EXPECT_LT(mode, trig);
    EXPECT_LT(trig, start);
    EXPECT_LT(start, static_cast<long>(calls.size()));
    // Without the flag only the two enumerations are set.
    const std::size_t before = calls.size();
    gFrameReady[0] = 1;
    rig.system.applyTriggerMode(*rig.devices[0], false);
    const auto after = rig.sdk->state(0).calls;
    ASSERT_EQ(after.size(), before + 2);
    EXPECT_EQ(after[before], gk(gx::kAcquisitionMode) + "=2");
    EXPECT_EQ(after[before + 1], gk(gx::kTriggerMode) + "=0");
    EXPECT_EQ(gFrameReady[0], 0);
}

TEST(TriggerMode, ExternalTriggerOnMindAndHikvision) {
    for (int ext : {0, 1}) {
        CamRig mind(kFamilyMind, {simCam("SN-MIND-00001")});
        mind.live.external_trigger = ext;
        mind.probeAndCreate(1);
        ASSERT_TRUE(mind.system.openCamera(*mind.devices[0]));
        EXPECT_EQ(mind.sdk->state(0).values.at("trigger_mode"), ext ? 2 : 0);
        CamRig hik(kFamilyHik, {simCam("SN-HIK-00001")});
        hik.live.external_trigger = ext;
        hik.probeAndCreate(1);
        ASSERT_TRUE(hik.system.openCamera(*hik.devices[0]));
        EXPECT_EQ(hik.sdk->state(0).values.at("TriggerMode"), ext);
        EXPECT_EQ(hik.sdk->state(0).values.count("TriggerSource"), ext ? 1u : 0u);
    }
}

TEST(Mirror, MindVisionOnlyPerPosition) {
    CamRig rig(kFamilyMind, {simCam("SN-MIND-00001"), simCam("SN-MIND-00002")});
    rig.live.h_mirror[1] = 1;
    rig.live.v_mirror[0] = 1;
    rig.probeAndCreate(2);
    rig.openAll();
    EXPECT_EQ(rig.sdk->state(0).values.at("mirror_h"), 0);
    EXPECT_EQ(rig.sdk->state(0).values.at("mirror_v"), 1);
    EXPECT_EQ(rig.sdk->state(1).values.at("mirror_h"), 1);
    EXPECT_EQ(rig.sdk->state(1).values.at("mirror_v"), 0);
}

struct RateCase {
    int family, speed;
    std::string key;
    double expected;
};
class FrameRate : public ::testing::TestWithParam<RateCase> {};
TEST_P(FrameRate, AppliedToEveryCamera) {
    const RateCase& c = GetParam();
    CamRig rig(c.family, {simCam("SN-RATE-00001"), simCam("SN-RATE-00002")});
    rig.live.capture_speed = c.speed;
    rig.probeAndCreate(2);
    rig.openAll();
    rig.system.applyFrameRate();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(rig.sdk->state(i).values.at(c.key), c.expected);
}
INSTANTIATE_TEST_SUITE_P(Table, FrameRate,
                         ::testing::Values(RateCase{5, 12, "pixel_clock", 12},
                                           RateCase{6, 0, "frame_speed", 1},
                                           RateCase{6, 2, "frame_speed", 3},
                                           RateCase{7, 4, "AcquisitionFrameRate", 20},
                                           RateCase{7, 5, "AcquisitionFrameRate", 5},
                                           RateCase{7, 30, "AcquisitionFrameRate", 30}));

TEST(Defaults, MindAndHikvisionReadBackIntoTheEditCopy) {
    {
        CamRig rig(kFamilyMind, {simCam("SN-MIND-00001")});
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        rig.system.restoreCameraDefaults(*rig.devices[0]);
        EXPECT_EQ(rig.edit.expose_time[0], 20);
        EXPECT_EQ(rig.edit.adjust_plus[0], 32);
        EXPECT_EQ(rig.edit.sharp[0], 50);
        EXPECT_EQ(rig.edit.contrast[0], 100);
        EXPECT_EQ(rig.edit.gamma[0], 125);
        EXPECT_EQ(rig.sdk->state(0).values.at("load_parameter"), 255);
        EXPECT_TRUE(rig.sdk->state(0).grabbing);
    }
    {
        CamRig rig(kFamilyHik, {simCam("SN-HIK-00001")});
        rig.probeAndCreate(1);
        ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
        rig.system.restoreCameraDefaults(*rig.devices[0]);
        EXPECT_EQ(rig.edit.expose_time[0], 30);
        EXPECT_EQ(rig.edit.adjust_plus[0], 32);
        EXPECT_EQ(rig.edit.sharp[0], 25);
        EXPECT_EQ(rig.edit.gamma[0], 50);
        EXPECT_EQ(rig.edit.contrast[0], 0);  // not read back
    }
}

// ------------------------------------------------------------ serial numbers

class SerialOrder : public ::testing::TestWithParam<int> {};

TEST_P(SerialOrder, StoredSerialSelectsTheDeviceShortOnesAreIgnored) {
    const int family = GetParam();
    CamRig rig(family, {simCam("SN-AAAA-00001"), simCam("SN-BBBB-00002"), simCam("SN-CCCC-00003"),
                        simCam("SN-DDDD-00004")});
    rig.system.setSerialNumbers({"SN-CCCC-00003", "SN-AAAA-00001", "0", "12345678"});
    rig.probeAndCreate(4);
    // Position 0 opens the third device, position 1 the first.
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[0]));
    EXPECT_TRUE(rig.sdk->state(2).open);
    EXPECT_FALSE(rig.sdk->state(0).open);
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[1]));
    EXPECT_TRUE(rig.sdk->state(0).open);
    // An 8-character serial is ignored: position 3 opens the fourth device by index.
    ASSERT_TRUE(rig.system.openCamera(*rig.devices[3]));
    EXPECT_TRUE(rig.sdk->state(3).open);
    EXPECT_FALSE(rig.sdk->state(1).open);
}

TEST_P(SerialOrder, UnknownSerialLeavesThePositionNotPresent) {
    const int family = GetParam();
    CamRig rig(family, {simCam("SN-AAAA-00001")});
    rig.system.setSerialNumbers({"SN-GONE-99999"});
    rig.probeAndCreate(1);
    EXPECT_FALSE(rig.system.openCamera(*rig.devices[0]));
    EXPECT_FALSE(rig.devices[0]->present());
    if (family == kFamilyMind) {
        EXPECT_TRUE(rig.host.records.contains("Mind Fail = SN-GONE-99999"));
    }
}

INSTANTIATE_TEST_SUITE_P(AllFamilies, SerialOrder, ::testing::Values(4, 5, 6, 7));

TEST(SerialOrder, MindRecordsTheOpenBySerial) {
    CamRig rig(kFamilyMind, {simCam("SN-AAAA-00001"), simCam("SN-BBBB-00002")});
    rig.system.setSerialNumbers({"0", "SN-AAAA-00001"});
    rig.probeAndCreate(2);
    rig.openAll();
    EXPECT_TRUE(rig.host.records.contains("Mind Open 2 = SN-AAAA-00001"));
}

// An in-memory serial-number database with its eight rows.
class SnDb {
public:
    SnDb() {
        db = QSqlDatabase::addDatabase("QSQLITE", "camera_sn");
        db.setDatabaseName(":memory:");
        db.open();
        QSqlQuery q(db);
        q.exec("create table sysparam(name text, value text)");
        for (int c = 0; c < 8; ++c)
            q.exec(QString("insert into sysparam values('serialNB%1', 'old')").arg(c));
    }
    ~SnDb() {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("camera_sn");
    }
    QString value(int c) {
        QSqlQuery q(db);
        q.exec(QString("select value from sysparam where name='serialNB%1'").arg(c));
        return q.next() ? q.value(0).toString() : QString();
    }
    QSqlDatabase db;
};

struct SnCase {
    int family;
    bool gige;
    bool reportsSerial;
};
class SaveSerials : public ::testing::TestWithParam<SnCase> {};

TEST_P(SaveSerials, IntoThePositionsOfTheCameraOrder) {
    const SnCase& c = GetParam();
    auto a = simCam("SN-AAAA-00001"), b = simCam("SN-BBBB-00002");
    a.gige = b.gige = c.gige;
    CamRig rig(c.family, {a, b});
    rig.probeAndCreate(2);
    rig.openAll();
    rig.system.setCameraOrder({1, 0, 2, 3, 4, 5, 6, 7});
    SnDb sn;
    ASSERT_TRUE(rig.system.saveSerialNumbers(false, sn.db));
    EXPECT_EQ(sn.value(1), c.reportsSerial ? "SN-AAAA-00001" : "0");
    EXPECT_EQ(sn.value(0), c.reportsSerial ? "SN-BBBB-00002" : "0");
    for (int p = 2; p < 8; ++p)
        EXPECT_EQ(sn.value(p), "0");
    EXPECT_TRUE(rig.host.records.contains(
        QString("Save SN 2: %1").arg(c.reportsSerial ? "SN-AAAA-00001" : "0")));
    ASSERT_TRUE(rig.system.saveSerialNumbers(true, sn.db));
    EXPECT_EQ(sn.value(1), "0");
}

INSTANTIATE_TEST_SUITE_P(AllFamilies, SaveSerials,
                         ::testing::Values(SnCase{4, true, false}, SnCase{5, true, true},
                                           SnCase{6, true, true}, SnCase{7, true, true},
                                           SnCase{7, false, false}));

// ------------------------------------------------------------ loss and restart

class LossAndRestart : public ::testing::TestWithParam<int> {};

TEST_P(LossAndRestart, LosingOneClosesAllRestartOnlyWhenTheCountMatches) {
    const int family = GetParam();
    CamRig rig(family, {simCam("SN-AAAA-00001"), simCam("SN-BBBB-00002")});
    rig.probeAndCreate(2);
    rig.openAll();
    rig.startAll();
    ASSERT_TRUE(rig.devices[0]->grabbing());
    rig.sdk->disconnect(1);
    rig.system.handleCameraLost(1);
    EXPECT_TRUE(rig.system.cameraLost());
    EXPECT_FALSE(rig.devices[0]->present());
    EXPECT_FALSE(rig.devices[1]->present());
    EXPECT_FALSE(rig.sdk->state(0).open);
    EXPECT_EQ(rig.host.logs.value(0), "The 1th Camera Lost, 2");
    EXPECT_EQ(rig.host.prohibits, 1);
    EXPECT_EQ(rig.host.cleared.size(), 2);
    EXPECT_EQ(rig.host.warnings.value(0), tx(1236));
    // A second report while the loss is handled is ignored.
    rig.system.handleCameraLost(0);
    EXPECT_EQ(rig.system.lossCount(), 1);

    rig.system.tryCameraRestart();
    EXPECT_TRUE(rig.system.cameraLost());
    EXPECT_FALSE(rig.devices[0]->present());
    EXPECT_EQ(rig.host.reconnects, 0);

    rig.sdk->reconnect(1);
    rig.system.tryCameraRestart();
    EXPECT_FALSE(rig.system.cameraLost());
    EXPECT_TRUE(rig.devices[0]->present());
    EXPECT_TRUE(rig.devices[1]->present());
    EXPECT_TRUE(rig.devices[1]->grabbing());
    EXPECT_EQ(rig.host.reconnects, 1);
    EXPECT_EQ(rig.host.hides, 1);
    EXPECT_TRUE(rig.host.logs.contains("Camera Restart"));
    EXPECT_FALSE(rig.system.disconnected());
}

INSTANTIATE_TEST_SUITE_P(AllFamilies, LossAndRestart, ::testing::Values(4, 5, 6, 7));

TEST(LossAndRestart, CameraThatDoesNotOpenOnRestartIsLostAgain) {
    CamRig rig(kFamilyGalaxy, {simCam("SN-AAAA-00001"), simCam("SN-BBBB-00002")});
    rig.probeAndCreate(2);
    rig.openAll();
    rig.system.handleCameraLost(0);
    rig.sdk->setRefuseOpen(1, true);
    rig.system.tryCameraRestart();
    EXPECT_TRUE(rig.system.cameraLost());
    EXPECT_EQ(rig.system.lossCount(), 2);
    EXPECT_EQ(rig.host.logs.value(2), "The 2th Camera Lost, 2");
    EXPECT_FALSE(rig.devices[0]->present());
    rig.sdk->setRefuseOpen(1, false);
    rig.system.tryCameraRestart();
    EXPECT_FALSE(rig.system.cameraLost());
    EXPECT_TRUE(rig.devices[1]->present());
}

TEST(LossAndRestart, TipsBoxAndCycleStateThree) {
    CamRig rig(kFamilyGalaxy, {simCam("SN-AAAA-00001")});
    rig.live.camera_lost_tips = 1;
    rig.host.state = 3;
    rig.probeAndCreate(1);
    rig.openAll();
    rig.system.handleCameraLost(0);
    EXPECT_EQ(rig.host.lostBoxes, 1);
    EXPECT_TRUE(rig.host.warnings.isEmpty());
    EXPECT_EQ(rig.host.prohibits, 0);
}

TEST(LossAndRestart, HikvisionIgnoresALossWhileAllDevicesAreListed) {
    CamRig rig(kFamilyHik, {simCam("SN-AAAA-00001"), simCam("SN-BBBB-00002")});
    rig.probeAndCreate(2);
    rig.openAll();
    rig.system.handleCameraLost(0);
    EXPECT_FALSE(rig.system.cameraLost());
    EXPECT_TRUE(rig.devices[0]->present());
}

TEST(LossAndRestart, DemonstrationModeIgnoresLosses) {
    CamRig rig(kFamilyNone, {});
    rig.probeAndCreate(2);
    rig.openAll();
    rig.system.handleCameraLost(0);
    EXPECT_FALSE(rig.system.cameraLost());
    EXPECT_TRUE(rig.devices[0]->present());
}

TEST(LossAndRestart, SdkDisconnectCallbacksOnlySetTheFlag) {
    for (int family : {kFamilyMind, kFamilyHik}) {
        CamRig rig(family, {simCam("SN-AAAA-00001")});
        rig.probeAndCreate(1);
        rig.openAll();
        EXPECT_FALSE(rig.system.disconnected());
        rig.sdk->disconnect(0);
        EXPECT_TRUE(rig.system.disconnected()) << family;
        EXPECT_TRUE(rig.devices[0]->present());
        EXPECT_FALSE(rig.system.cameraLost());
    }
}

TEST(HikAddressRepair, ForeignSubnetGetsTheNextFreeAddressAboveItsOwn) {
    // Not through the simulated SDK's device list: a local double of the two
    // calls repair needs on top of it.
    class RepairSdk final : public camsdk::HikApi {
    public:
        int MV_CC_EnumDevices(std::vector<DeviceInfo>* l) override {
            DeviceInfo d;
            d.serial = "SN-HIK-REPAIR";
            d.ip = 0xA9FE0307;  // 169.254.3.7
            d.mask = 0xFFFF0000;
            d.hostIp = 0xC0A8010A;  // 192.168.1.10
            d.hostMask = 0xFFFFFF00;
            *l = {d};
            return 0;
        }
        int MV_CC_CreateHandle(const DeviceInfo&, camsdk::Handle* h) override {
            *h = 1;
            return 0;
        }
        int MV_GIGE_ForceIpEx(camsdk::Handle, std::uint32_t ip, std::uint32_t mask,
                              std::uint32_t gw) override {
            forced = {ip, mask, gw};
            return 0;
        }
        int MV_CC_DestroyHandle(camsdk::Handle) override { return 0; }
        bool MV_CC_IsDeviceAccessible(const DeviceInfo&) override { return true; }
        int MV_CC_OpenDevice(camsdk::Handle, bool) override { return -1; }
        int MV_CC_GetStringValue(camsdk::Handle, const std::string&, std::string*) override {
            return -1;
        }
        int MV_CC_GetIntValue(camsdk::Handle, const std::string&, std::int64_t*) override {
            return -1;
        }
        int MV_CC_SetEnumValue(camsdk::Handle, const std::string&, std::uint32_t) override {
            return -1;
        }
        int MV_CC_SetCommandValue(camsdk::Handle, const std::string&) override { return -1; }
        int MV_CC_SetBoolValue(camsdk::Handle, const std::string&, bool) override { return -1; }
        int MV_CC_SetIntValue(camsdk::Handle, const std::string&, std::int64_t) override {
            return -1;
        }
        int MV_CC_SetFloatValue(camsdk::Handle, const std::string&, double) override { return -1; }
        int MV_CC_GetFloatValue(camsdk::Handle, const std::string&, FloatValue*) override {
            return -1;
        }
        int MV_CC_SetBalanceWhiteAuto(camsdk::Handle, int) override { return -1; }
        int MV_CC_RegisterImageCallBack(camsdk::Handle, ImageCallback) override { return -1; }
        int MV_CC_RegisterExceptionCallBack(camsdk::Handle, ExceptionCallback) override {
            return -1;
        }
        int MV_CC_StartGrabbing(camsdk::Handle) override { return -1; }
        int MV_CC_StopGrabbing(camsdk::Handle) override { return -1; }
        int MV_CC_ConvertPixelType(camsdk::Handle, const std::uint8_t*, const FrameInfo&,
                                   std::uint8_t*, std::uint32_t) override {
            return -1;
        }
        int MV_CC_CloseDevice(camsdk::Handle) override { return -1; }
        std::array<std::uint32_t, 3> forced{};
    } sdk;
    QStringList pinged;
    HikFamily family(sdk, [&](const QString& cmd) {
        pinged << cmd;
        // .7 and .8 answer; .9 is free.
        return cmd.contains("192.168.1.7 ") || cmd.contains("192.168.1.8 ")
                   ? QString("64 bytes from x: icmp_seq=1 ttl=64")
                   : QString("1 packets transmitted, 0 received");
    });
    EXPECT_EQ(family.repairGigeAddresses(), 0);
    EXPECT_EQ(pinged.value(0), "ping 192.168.1.7 -w 1");
    EXPECT_EQ(pinged.size(), 3);
    EXPECT_EQ(sdk.forced[0], 0xC0A80109u);
    EXPECT_EQ(sdk.forced[1], 0xFFFFFF00u);
    EXPECT_EQ(sdk.forced[2], 0xC0A801FEu);
}

}  // namespace
