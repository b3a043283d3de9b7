#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "detect_support.h"
#include "inspect/detect/generatearea.h"
#include "mouldscene.h"

using namespace detect_test;

namespace {

const cv::Size kSize(320, 240);

// Noisy mid-gray texture: something to align on and to learn.
cv::Mat texture(cv::Size size, std::uint64_t seed) {
    cv::Mat f(size, CV_32F);
    cv::RNG rng(seed);
    rng.fill(f, cv::RNG::NORMAL, 0, 1);
    cv::GaussianBlur(f, f, cv::Size(0, 0), 2.0);
    cv::Mat out;
    f.convertTo(out, CV_8U, 60, 110);
    cv::rectangle(out, cv::Rect(100, 80, 90, 60), cv::Scalar(200), cv::FILLED);
    cv::circle(out, {230, 160}, 25, cv::Scalar(30), cv::FILLED);
    return out;
}

}  // namespace

TEST(DetectorSet, AlignmentOffCopiesTheFrameByteForByte) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    const cv::Mat ref = texture(kSize, 1);
    cam.libs[0]->storeTemplate(0, ref);
    cam.detectors->trainPositioning(0);
    EXPECT_FALSE(cam.detectors->positionValid(0));
    const cv::Mat moved = texture(kSize, 2);
    moved.copyTo(cam.detectors->currentImage());
    cam.detectors->alignImage(0);
    EXPECT_EQ(cv::norm(cam.detectors->alignedImage(), moved, cv::NORM_INF), 0.0);
}

TEST(DetectorSet, DetectionWithoutPositionRoiAlignsOnTheCentreHalf) {
    Camera cam(kSize);
    const cv::Mat ref = texture(kSize, 1);
    cam.libs[0]->storeTemplate(0, ref);
    cam.detectors->trainPositioning(0);
    ASSERT_TRUE(cam.detectors->positionValid(0));
    EXPECT_EQ(cam.detectors->referenceCentre(0), cv::Point(80 + 80, 60 + 60));
    EXPECT_EQ(cam.detectors->searchWindow(0), cv::Rect(40, 20, 240, 200));
    cv::Mat shifted;
    const cv::Mat m = (cv::Mat_<double>(2, 3) << 1, 0, 9, 0, 1, -6);
    cv::warpAffine(ref, shifted, m, kSize, cv::INTER_LINEAR, cv::BORDER_REFLECT101);
    cam.run(0, shifted);
    EXPECT_NEAR(cam.detectors->lastShift().x, 9, 0.5);
    EXPECT_NEAR(cam.detectors->lastShift().y, -6, 0.5);
    const cv::Rect inner(60, 40, 200, 160);
    cv::Mat d;
    cv::absdiff(cam.detectors->alignedImage()(inner), ref(inner), d);
    EXPECT_LT(cv::mean(d)[0], 3.0);
}

TEST(DetectorSet, RotatedFrameIsTurnedBack) {
    SystemParams p = allOn();
    p.angle = 5;
    Camera cam(kSize, p);
    const cv::Mat ref = texture(kSize, 1);
    cam.libs[0]->storeTemplate(0, ref);
    cam.detectors->trainPositioning(0);
    cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(150, 110), 2.0, 1.0);
    m.at<double>(0, 2) += 7;
    m.at<double>(1, 2) += 4;
    cv::Mat turned;
    cv::warpAffine(ref, turned, m, kSize, cv::INTER_LINEAR, cv::BORDER_REFLECT101);
    cam.run(0, turned);
    const cv::Rect inner(70, 50, 180, 140);
    cv::Mat d;
    cv::absdiff(cam.detectors->alignedImage()(inner), ref(inner), d);
    EXPECT_LT(cv::mean(d)[0], 4.0);
}

TEST(DetectorSet, SpotSelectsItsGrayBand) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    cv::Mat img(kSize, CV_8UC1, cv::Scalar(120));
    cv::rectangle(img, cv::Rect(50, 50, 10, 10), cv::Scalar(20), cv::FILLED);  // 100 px dark
    cv::rectangle(img, cv::Rect(80, 50, 5, 4), cv::Scalar(70), cv::FILLED);    // outside band
    // minWH 12800: low byte 0, second byte 50
    cam.add(0, rectRoi(FuncSpot, cv::Rect(40, 40, 60, 40), 12800, 80, 500));
    cam.detectors->trainRegions(0);
    cam.run(0, img);
    const RoiResult& r = cam.detectors->result(0, 0);
    EXPECT_EQ(r.value, 100);
    EXPECT_EQ(r.ok, 1);
    ASSERT_EQ(r.rectCount, 1);
    EXPECT_EQ(r.rects[0].x1, 50);
    EXPECT_EQ(r.rects[0].y2, 59);
    // value below the minimum area fails
    cam.rois.detections[0].rois[0].sensitivity = 101;
    cam.run(0, img);
    EXPECT_EQ(cam.detectors->result(0, 0).ok, 0);
    EXPECT_FALSE(cam.detectors->detectionOk(0));
}

TEST(DetectorSet, BlackAndWhiteAreaFindOnlyTheirPixels) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    cv::Mat img(kSize, CV_8UC1, cv::Scalar(120));
    cv::rectangle(img, cv::Rect(20, 20, 8, 8), cv::Scalar(10), cv::FILLED);    // 64 dark
    cv::rectangle(img, cv::Rect(120, 20, 6, 5), cv::Scalar(240), cv::FILLED);  // 30 bright
    cam.add(0, rectRoi(FuncBlackArea, cv::Rect(10, 10, 60, 60), 0, 50, 100));
    cam.add(0, rectRoi(FuncWhiteArea, cv::Rect(110, 10, 60, 60), 0, 200, 100));
    cam.add(0, rectRoi(FuncWhiteArea, cv::Rect(10, 10, 60, 60), 0, 200, 100));
    cam.detectors->trainRegions(0);
    cam.run(0, img);
    EXPECT_EQ(cam.detectors->result(0, 0).value, 64);
    EXPECT_EQ(cam.detectors->result(0, 1).value, 30);
    EXPECT_EQ(cam.detectors->result(0, 2).value, 0);
    EXPECT_TRUE(cam.detectors->detectionOk(0));
    cam.rois.detections[0].rois[0].area = 63;
    cam.run(0, img);
    EXPECT_EQ(cam.detectors->result(0, 0).ok, 0);
}

TEST(DetectorSet, WhiteSpotCountKeepsItsPackedRange) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    cam.add(0, rectRoi(FuncWhiteNumber, cv::Rect(10, 10, 300, 60), 3, 128, 327682));
    cam.detectors->trainRegions(0);
    for (int n = 1; n <= 6; ++n) {
        cv::Mat img(kSize, CV_8UC1, cv::Scalar(40));
        for (int i = 0; i < n; ++i)
            cv::circle(img, {30 + 45 * i, 40}, 6, cv::Scalar(230), cv::FILLED);
        cam.run(0, img);
        EXPECT_EQ(cam.detectors->result(0, 0).value, n);
        EXPECT_EQ(cam.detectors->result(0, 0).ok, (n >= 2 && n <= 5) ? 1 : 0) << n;
    }
}

TEST(DetectorSet, ManyBlobsGiveTheFullAreaButNinetyNineRectangles) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    cv::Mat img(kSize, CV_8UC1, cv::Scalar(200));
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x)
            cv::rectangle(img, cv::Rect(12 + 8 * x, 12 + 8 * y, 3, 3), cv::Scalar(0), cv::FILLED);
    cam.add(0, rectRoi(FuncBlackArea, cv::Rect(5, 5, 100, 100), 0, 50, 100000));
    cam.detectors->trainRegions(0);
    cam.run(0, img);
    EXPECT_EQ(cam.detectors->result(0, 0).value, 121 * 9);
    EXPECT_EQ(cam.detectors->result(0, 0).rectCount, 99);
}

TEST(DetectorSet, DefectWithNgImageNeedsTheMinimumArea) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    p.ng_image = 1;
    p.minimum_area = 100;
    p.minimum_size = 1;
    Camera cam(kSize, p);
    const cv::Mat ref = texture(kSize, 3);
    for (int s = 0; s < 3; ++s)
        cam.libs[0]->storeTemplate(s, ref);
    const cv::Rect R(0, 0, 320, 240);
    cam.add(0, rectRoi(FuncDefect, R, 1, 30, 0));
    cam.detectors->trainRegions(0);
    const cv::Size blobs[] = {{10, 10}, {100, 50}, {9, 11}};
    const int expectOk[] = {1, 1, 0};
    for (int i = 0; i < 3; ++i) {
        cv::Mat img = ref.clone();
        cv::Mat patch = img(cv::Rect(cv::Point(20, 170), blobs[i]));
        patch.setTo(0);  // far outside any learnt band
        cam.run(0, img);
        EXPECT_EQ(cam.detectors->result(0, 0).value, blobs[i].area()) << i;
        EXPECT_EQ(cam.detectors->result(0, 0).ok, expectOk[i]) << i;
    }
}

TEST(DetectorSet, DistMeasureFailsWhenOneOfTwoEdgesIsGone) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    cv::Mat ref(kSize, CV_8UC1, cv::Scalar(200));
    ref(cv::Rect(150, 0, 20, 240)).setTo(40);
    cam.libs[0]->storeTemplate(0, ref);
    cam.add(0, rectRoi(FuncDistance, cv::Rect(120, 100, 80, 20), 0, 35, 22));
    cam.detectors->trainRegions(0);
    const RoiResult& r = cam.detectors->result(0, 0);
    EXPECT_EQ(r.referenceCount, 2);
    EXPECT_NEAR(r.value, 20, 1);
    cam.run(0, ref);
    EXPECT_EQ(r.ok, 1);
    EXPECT_EQ(r.currentCount, 2);
    cv::Mat wider = ref.clone();
    wider(cv::Rect(170, 0, 4, 240)).setTo(40);
    cam.run(0, wider);
    EXPECT_EQ(r.ok, 0);
    EXPECT_NEAR(r.value, 24, 1);
    cv::Mat oneEdge = ref.clone();
    oneEdge(cv::Rect(170, 0, 150, 240)).setTo(40);
    cam.run(0, oneEdge);
    EXPECT_EQ(r.currentCount, 1);
    EXPECT_EQ(r.ok, 0);
}

TEST(DetectorSet, SimilarityWithoutTemplatesScoresZero) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    cam.add(0, rectRoi(FuncSimilarity, cv::Rect(50, 50, 100, 80), 0, 1, 0));
    cam.detectors->trainRegions(0);
    cam.run(0, texture(kSize, 1));
    EXPECT_EQ(cam.detectors->result(0, 0).value, 0);
    EXPECT_EQ(cam.detectors->result(0, 0).ok, 0);
}

TEST(DetectorSet, SimilarityScoresTheTaughtPartHigh) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    const cv::Mat ref = texture(kSize, 1);
    cam.libs[0]->storeTemplate(0, ref);
    cam.add(0, rectRoi(FuncSimilarity, cv::Rect(90, 70, 120, 90), 0, 60, 0));
    cam.detectors->trainRegions(0);
    cam.run(0, ref);
    EXPECT_GE(cam.detectors->result(0, 0).value, 90);
    EXPECT_EQ(cam.detectors->result(0, 0).ok, 1);
    cam.run(0, cv::Mat(kSize, CV_8UC1, cv::Scalar(128)));
    EXPECT_EQ(cam.detectors->result(0, 0).ok, 0);
    EXPECT_EQ(cam.detectors->result(0, 0).rectCount, 1);
}

TEST(DetectorSet, MissingMaskOrReferenceIsLoggedAndFails) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    std::vector<QString> lines;
    cam.detectors->setLogSink([&](const QString& l) { lines.push_back(l); });
    RoiEntry noMask = rectRoi(FuncBlackArea, cv::Rect(10, 10, 20, 20), 0, 50, 100);
    noMask.roiMask.release();
    cam.add(0, noMask);
    cam.detectors->trainRegions(0);
    cam.run(0, texture(kSize, 1));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "REG RUN ERROR = 0, 0, -1");
    EXPECT_FALSE(cam.detectors->detectionOk(0));
    EXPECT_EQ(cam.detectors->result(0, 0).ok, 1);

    lines.clear();
    cam.rois.detections[0].rois[0] = rectRoi(FuncBlackArea, cv::Rect(10, 10, 20, 20), 0, 50, 100);
    cam.ignore[0].release();
    cam.detectors->trainRegions(0);
    cam.run(0, texture(kSize, 1));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "REG RUN ERROR = 0, 0, -2");
}

TEST(DetectorSet, IgnorePointsAreNotJudgedAndIgnoreAreaTakesThem) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    cam.ignore[0](cv::Rect(20, 20, 10, 10)).setTo(255);
    cv::Mat img(kSize, CV_8UC1, cv::Scalar(120));
    img(cv::Rect(20, 20, 10, 10)).setTo(0);
    img(cv::Rect(50, 50, 4, 4)).setTo(0);
    cam.add(0, rectRoi(FuncIgnoreArea, cv::Rect(15, 15, 20, 20), 0, 0, 0));
    cam.add(0, rectRoi(FuncBlackArea, cv::Rect(10, 10, 60, 60), 0, 50, 100));
    cam.detectors->trainRegions(0);
    EXPECT_EQ(cv::countNonZero(cam.rois.detections[0].rois[0].roiMask), 100);
    cam.run(0, img);
    EXPECT_EQ(cam.detectors->result(0, 1).value, 16);
}

TEST(DetectorSet, DisabledFunctionDoesNoWork) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    p.enable_black_area = 0;
    Camera cam(kSize, p);
    cv::Mat img(kSize, CV_8UC1, cv::Scalar(0));
    cam.add(0, rectRoi(FuncBlackArea, cv::Rect(10, 10, 60, 60), 0, 50, 10));
    cam.detectors->trainRegions(0);
    cam.detectors->setCollectRecords(true);
    cam.run(0, img);
    EXPECT_EQ(cam.detectors->result(0, 0).value, 0);
    EXPECT_TRUE(cam.detectors->detectionOk(0));
    EXPECT_TRUE(cam.detectors->records().empty());
    EXPECT_EQ(cv::countNonZero(cam.detectors->alarmImage()), 0);
}

TEST(DetectorSet, RecordsFollowTheRegionsInOrder) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    cv::Mat img(kSize, CV_8UC1, cv::Scalar(120));
    img(cv::Rect(20, 20, 8, 8)).setTo(0);
    cam.add(0, rectRoi(FuncBlackArea, cv::Rect(100, 100, 60, 60), 0, 50, 10));   // passes
    cam.add(0, rectRoi(FuncBlackArea, cv::Rect(10, 10, 60, 60), 0, 50, 10));     // fails
    cam.add(0, rectRoi(FuncPosition, cv::Rect(10, 10, 60, 60), 10, 10, 10));     // no record
    cam.add(0, rectRoi(FuncWhiteArea, cv::Rect(100, 100, 60, 60), 0, 200, 10));  // passes
    cam.detectors->trainRegions(0);
    cam.run(0, img);
    EXPECT_TRUE(cam.detectors->records().empty());
    cam.detectors->setCollectRecords(true);
    cam.run(0, img);
    const std::vector<ResultRecord> rec = cam.detectors->takeRecords();
    ASSERT_EQ(rec.size(), 3u);
    EXPECT_EQ(rec[0], (ResultRecord{0, 0, 0, FuncBlackArea, 0, 0, 10, 1}));
    EXPECT_EQ(rec[1], (ResultRecord{0, 0, 1, FuncBlackArea, 64, 0, 10, 0}));
    EXPECT_EQ(rec[2], (ResultRecord{0, 0, 3, FuncWhiteArea, 0, 0, 10, 0}));
    cam.params.enable_network() = 0;
    cam.run(0, img);
    EXPECT_TRUE(cam.detectors->records().empty());
}

TEST(DetectorSet, ColourFramesAreJudgedOnHueOrGray) {
    SystemParams p = allOn();
    p.enable_gray_channel = 1;
    Camera cam(kSize, p, true);
    cv::Mat rgba(kSize, CV_8UC4, cv::Scalar(120, 120, 120, 255));
    rgba(cv::Rect(20, 20, 5, 5)).setTo(cv::Scalar(10, 10, 10, 255));
    cam.add(0, rectRoi(FuncBlackArea, cv::Rect(10, 10, 60, 60), 0, 50, 100));
    cam.detectors->trainPositioning(0);
    cam.detectors->trainRegions(0);
    cam.run(0, rgba);
    EXPECT_EQ(cam.detectors->conversionImage().type(), CV_8UC1);
    EXPECT_EQ(cam.detectors->result(0, 0).value, 25);
    EXPECT_EQ(cam.detectors->alignedImage().type(), CV_8UC4);
    cam.params.enable_gray_channel = 0;  // hue: gray pixels have hue 0, all black
    cam.run(0, rgba);
    EXPECT_EQ(cam.detectors->result(0, 0).value, 3600);
}

TEST(DetectorSet, PreviewWritesValuesButNoVerdict) {
    SystemParams p = allOn();
    p.enable_correct = -1;
    Camera cam(kSize, p);
    cv::Mat img(kSize, CV_8UC1, cv::Scalar(120));
    img(cv::Rect(20, 20, 8, 8)).setTo(0);
    CameraRoiSet edited;
    edited.detections[0].rois[0] = rectRoi(FuncBlackArea, cv::Rect(10, 10, 60, 60), 0, 50, 10);
    edited.detections[0].count = 1;
    cam.detectors->previewRoi(0, 0, edited, img);
    EXPECT_EQ(cam.detectors->result(0, 0).value, 64);
    EXPECT_EQ(cam.detectors->result(0, 0).ok, 1);
    EXPECT_EQ(cv::countNonZero(cam.detectors->alarmImage()), 64);
}

TEST(DetectorSet, ParallelCamerasGiveTheSingleThreadedRecords) {
    SystemParams p = allOn();
    std::vector<std::unique_ptr<Camera>> cams;
    for (int c = 0; c < 4; ++c) {
        cams.push_back(std::make_unique<Camera>(kSize, p));
        Camera& cam = *cams.back();
        const cv::Mat ref = texture(kSize, 1);
        cam.libs[0]->storeTemplate(0, ref);
        cam.add(0, rectRoi(FuncDefect, cv::Rect(60, 60, 100, 80), 3, 30, 3));
        cam.add(0, rectRoi(FuncBlackArea, cv::Rect(200, 120, 60, 60), 0, 50, 10));
        cam.detectors->trainPositioning(0);
        cam.detectors->trainRegions(0);
        cam.detectors->setCollectRecords(true);
        cv::Mat img = ref.clone();
        img(cv::Rect(70 + 5 * c, 70, 6, 6)).setTo(0);
        img.copyTo(cam.detectors->currentImage());
    }
    std::vector<DetectorSet*> sets;
    for (auto& c : cams)
        sets.push_back(c->detectors.get());
    std::vector<ResultRecord> single, parallel;
    runCameras(sets, 0, 1, &single);
    runCameras(sets, 0, 2, &parallel);
    ASSERT_EQ(single.size(), 8u);
    EXPECT_EQ(single, parallel);
}

TEST(GenerateArea, IdenticalReferencesCreateNothing) {
    SetViewGeometry(320, 240, 320, 240);
    const cv::Mat a = texture(kSize, 1);
    CameraRoiSet set;
    SystemParams p = allOn();
    EXPECT_FALSE(generateArea(set, 3, a, a, p).created);
    EXPECT_EQ(set.detections[3].count, 0);
}

TEST(GenerateArea, OneBrightPartGivesOnePolygonWithMargin) {
    SetViewGeometry(320, 240, 160, 120);  // view at half the image size
    cv::Mat mould(kSize, CV_8UC1, cv::Scalar(30));
    cv::Mat product = mould.clone();
    product(cv::Rect(140, 100, 40, 30)).setTo(200);
    CameraRoiSet set;
    SystemParams p = allOn();
    p.minimum_size = 4;
    p.minimum_area = 20;
    const GeneratedArea g = generateArea(set, 3, product, mould, p);
    ASSERT_TRUE(g.created);
    ASSERT_EQ(set.detections[3].count, 1);
    const RoiEntry& e = set.detections[3].rois[0];
    EXPECT_EQ(e.function, FuncDefect);
    EXPECT_EQ(e.shape, ShapePolygon);
    EXPECT_EQ(e.minWH, 4);
    EXPECT_EQ(e.area, 20);
    // the dilation adds about 25 px on every side
    EXPECT_LE(g.box.x, 140 - 20);
    EXPECT_GE(g.box.br().x, 180 + 20);
    EXPECT_LE(g.box.y, 100 - 20);
    EXPECT_GE(g.box.br().y, 130 + 20);
    const int expected = static_cast<int>(0.2 * (g.meanDiff * g.box.area() / g.differing));
    EXPECT_EQ(e.sensitivity, expected);
    EXPECT_EQ(g.differing, 1200);
    // vertices in view coordinates, image rectangle back in image pixels
    for (const cv::Point& v : e.points) {
        EXPECT_LE(v.x, 160);
        EXPECT_LE(v.y, 120);
    }
    EXPECT_NEAR(e.imageRect.x, g.box.x, 2);
    EXPECT_NEAR(e.imageRect.width, g.box.width, 3);
}

TEST(MouldScene, DrawsEveryFault) {
    mouldscene::SceneOptions o;
    o.size = {400, 300};
    const mouldscene::MouldScene scene(o);
    const cv::Mat good = scene.ideal(true);
    using F = mouldscene::Fault;
    for (F f : {F::ShortShot, F::Flash, F::WrongWay, F::GapChanged, F::MissingSpot, F::ExtraSpot}) {
        EXPECT_GT(cv::norm(scene.ideal(true, f), good, cv::NORM_L1), 0) << int(f);
    }
    EXPECT_GT(cv::norm(scene.ideal(false, F::PartLeft), scene.ideal(false), cv::NORM_L1), 0);
}
