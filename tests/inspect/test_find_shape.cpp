#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include <opencv2/imgproc.hpp>

#include "inspect/find_shape.h"
#include "inspect/image_ops.h"
#include "test_support.h"

namespace {

using inspect_test::AddNoise;
using inspect_test::Lighting;

// One located-part scenario: a crop of a source picture, the scene made by moving the picture,
// the disturbances applied, and the accuracy expected.
struct FindCase {
    const char* name;
    const char* source;  // "synthetic" or a scikit-image picture
    cv::Rect crop;
    double angleRange;
    cv::Point2d shift;
    double angle;
    double noise;
    double gain;
    double offset;
    double occluded;  // share of the crop covered by a flat plate
    int margin;       // search window around the crop; -1 = whole image
    double tolPx;
    double tolDeg;
};

void PrintTo(const FindCase& c, std::ostream* os) {
    *os << c.name;
}

cv::Mat Source(const std::string& name, std::string& why) {
    if (name == "synthetic") {
        return inspect_test::SyntheticPart({400, 400}, 7);
    }
    return inspect_test::SampleImage(name, why);
}

cv::Point2d Anchor(const cv::Rect& crop) {
    return {static_cast<double>(crop.x + crop.width / 2),
            static_cast<double>(crop.y + crop.height / 2)};
}

// Largest distance between the crop's corners placed with two poses.
double CornerError(const cv::Rect& crop, cv::Point2d shiftA, double angleA, cv::Point2d shiftB,
                   double angleB) {
    const cv::Point2d a = Anchor(crop);
    const cv::Matx23d ma = TransformMatrix(shiftA, a, angleA);
    const cv::Matx23d mb = TransformMatrix(shiftB, a, angleB);
    double worst = 0.0;
    for (const cv::Point2d c : {cv::Point2d(crop.x, crop.y), cv::Point2d(crop.br().x, crop.y),
                                cv::Point2d(crop.br()), cv::Point2d(crop.x, crop.br().y)}) {
        const cv::Vec3d h(c.x, c.y, 1.0);
        const cv::Vec2d pa = ma * h;
        const cv::Vec2d pb = mb * h;
        worst = std::max(worst, cv::norm(pa - pb));
    }
    return worst;
}

// The source moved and disturbed as the case says.
cv::Mat MakeScene(const cv::Mat& source, const FindCase& c) {
    cv::Mat scene = TransformImage(source, c.shift, Anchor(c.crop), c.angle);
    if (c.occluded > 0.0) {
        const cv::Matx23d m = TransformMatrix(c.shift, Anchor(c.crop), c.angle);
        const double x0 = c.crop.x + (1.0 - c.occluded) * c.crop.width;
        std::vector<cv::Point> poly;
        for (const cv::Point2d p : {cv::Point2d(x0, c.crop.y), cv::Point2d(c.crop.br().x, c.crop.y),
                                    cv::Point2d(c.crop.br()), cv::Point2d(x0, c.crop.br().y)}) {
            const cv::Vec2d q = m * cv::Vec3d(p.x, p.y, 1.0);
            poly.emplace_back(cvRound(q[0]), cvRound(q[1]));
        }
        cv::fillConvexPoly(scene, poly, cv::Scalar(200));
    }
    if (c.gain != 1.0 || c.offset != 0.0) {
        scene = Lighting(scene, c.gain, c.offset);
    }
    if (c.noise > 0.0) {
        scene = AddNoise(scene, c.noise, 11);
    }
    return scene;
}

cv::Rect Window(const FindCase& c, cv::Size size) {
    if (c.margin < 0) {
        return {0, 0, size.width, size.height};
    }
    const cv::Rect w(c.crop.x - c.margin, c.crop.y - c.margin, c.crop.width + 2 * c.margin,
                     c.crop.height + 2 * c.margin);
    return w & cv::Rect(0, 0, size.width, size.height);
}

class FindShapeScenes : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindShapeScenes, LocatesPartWithinTolerance) {
    const FindCase& c = GetParam();
    std::string why;
    const cv::Mat source = Source(c.source, why);
    if (source.empty()) {
        GTEST_SKIP() << "sample picture " << c.source << ": " << why;
    }
    const cv::Point2d ref = Anchor(c.crop);
    FindShape finder;
    ASSERT_TRUE(finder.CreateShape(source(c.crop), 0.0, 0, c.angleRange, ref.x, ref.y, false, 255,
                                   cv::Mat(), 50.0, 0));
    ASSERT_TRUE(finder.IsValid());

    const cv::Mat scene = MakeScene(source, c);
    const cv::Rect window = Window(c, scene.size());
    double x = 0, y = 0, score = 0, angle = 0;
    ASSERT_TRUE(finder.Find(scene(window), 0, x, y, score, angle)) << "score " << score;
    const cv::Point2d found(x - window.x, y - window.y);
    const double err = CornerError(c.crop, c.shift, c.angle, found, angle);
    EXPECT_LE(err, c.tolPx) << "shift " << found << " angle " << angle << " score " << score;
    EXPECT_NEAR(angle, c.angle, c.tolDeg) << "score " << score;

    // The rectangle form reports the same pose.
    double x2 = 0, y2 = 0, score2 = 0, angle2 = 0;
    ASSERT_TRUE(finder.Find(scene, window, 0, x2, y2, score2, angle2));
    EXPECT_DOUBLE_EQ(x2, x);
    EXPECT_DOUBLE_EQ(angle2, angle);

    // Asking for more than the part reaches finds nothing.
    EXPECT_FALSE(finder.Find(scene(window), std::min(score + 5.0, 100.0), x, y, score2, angle2));
}

// clang-format off
const FindCase kClean[] = {
    // name              source       crop                         range  shift            angle   noise gain offset occ  margin tol
    {"SyntheticSmall",   "synthetic", {120, 140, 160, 120},        10,  {7.3, -4.6},      6.2,    0, 1.0, 0, 0.0,  40, 0.3, 0.05},
    {"SyntheticWhole",   "synthetic", {150, 160, 100,  80},         5,  {-110.4, 95.6},   0.7,    0, 1.0, 0, 0.0,  -1, 0.3, 0.05},
    {"Brick",            "brick",     {176, 196, 160, 120},        10,  {-12.7, 9.25},   -8.4,    0, 1.0, 0, 0.0,  40, 0.3, 0.05},
    {"GravelFullTurn",   "gravel",    {176, 176, 160, 160},       180,  {5.5, 3.2},     137.5,    0, 1.0, 0, 0.0,  60, 0.3, 0.05},
    {"Coins",            "coins",     {130,  90, 130, 110},        30,  {3.4, -6.1},     21.3,    0, 1.0, 0, 0.0,  50, 0.3, 0.05},
    {"Grass",            "grass",     {176, 196, 160, 120},        10,  {2.2, 1.7},       4.1,    0, 1.0, 0, 0.0,  30, 0.3, 0.05},
    {"GravelSmallWhole", "gravel",    {224, 224,  64,  64},       180,  {-140.5, 97.25}, -123.4,  0, 1.0, 0, 0.0,  -1, 0.3, 0.05},
};
const FindCase kDisturbed[] = {
    {"SyntheticBright",  "synthetic", {120, 140, 160, 120},        10,  {-6.6, 3.1},     -7.7,    5, 1.3, 0,   0.2, 40, 0.5, 0.2},
    {"BrickDark",        "brick",     {176, 196, 160, 120},        10,  {8.25, -5.5},     3.3,    5, 0.7, 0,   0.2, 40, 0.5, 0.2},
    {"BrickOffset",      "brick",     {176, 196, 160, 120},        10,  {-3.3, 4.4},     -2.2,    5, 1.0, 35,  0.2, 40, 0.5, 0.2},
    {"GravelFullTurn",   "gravel",    {176, 176, 160, 160},       180,  {-4.4, 2.9},   -150.2,    5, 1.3, 0,   0.2, 60, 0.5, 0.2},
    {"CoinsDark",        "coins",     {130,  90, 130, 110},        30,  {-2.7, 5.3},     12.0,    5, 0.7, 0,   0.2, 50, 0.5, 0.2},
    {"GrassBright",      "grass",     {176, 196, 160, 120},        10,  {4.1, -2.6},     -5.5,    5, 1.3, -20, 0.2, 30, 0.5, 0.2},
    {"GravelSmallWhole", "gravel",    {224, 224,  64,  64},       180,  {120.5, -90.75},  66.6,   5, 0.7, 10,  0.2, -1, 0.5, 0.2},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Clean, FindShapeScenes, ::testing::ValuesIn(kClean),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Disturbed, FindShapeScenes, ::testing::ValuesIn(kDisturbed),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FindShape, UnrelatedSceneIsNotFound) {
    INSPECT_SAMPLE_OR_SKIP(brick, "brick");
    INSPECT_SAMPLE_OR_SKIP(grass, "grass");
    const cv::Rect crop(176, 196, 160, 120);
    FindShape finder;
    ASSERT_TRUE(
        finder.CreateShape(brick(crop), 0.0, 0, 180, 256, 256, false, 255, cv::Mat(), 50.0, 0));
    double x = 0, y = 0, score = 0, angle = 0;
    EXPECT_FALSE(finder.Find(grass, 0, x, y, score, angle)) << "score " << score;
    EXPECT_FALSE(
        finder.Find(cv::Mat(grass.size(), CV_8UC1, cv::Scalar(128)), 0, x, y, score, angle));
}

TEST(FindShape, MaskedPatternMatchesOnItsMaskOnly) {
    const cv::Mat part = inspect_test::SyntheticPart({320, 320}, 21);
    const cv::Mat other = inspect_test::SyntheticPart({320, 320}, 99);
    const cv::Rect crop(80, 80, 160, 160);
    cv::Mat mask = cv::Mat::zeros(crop.size(), CV_8UC1);
    cv::circle(mask, {80, 80}, 60, cv::Scalar(255), cv::FILLED);
    FindShape finder;
    ASSERT_TRUE(finder.CreateShape(part(crop), 0.0, 0, 10, 160, 160, false, 255, mask, 50.0, 0));

    // Inside the disc the part, around it something else: found precisely.
    const cv::Point2d shift(4.5, -3.25);
    cv::Mat disc = cv::Mat::zeros(part.size(), CV_8UC1);
    cv::circle(disc, {160, 160}, 60, cv::Scalar(255), cv::FILLED);
    cv::Mat scene = other.clone();
    part.copyTo(scene, disc);
    scene = TransformImage(scene, shift, {160, 160}, 5.0);
    double x = 0, y = 0, score = 0, angle = 0;
    ASSERT_TRUE(finder.Find(scene, 0, x, y, score, angle));
    EXPECT_LE(CornerError(crop, shift, 5.0, {x, y}, angle), 0.3);

    // The surroundings of the part without the disc: not found.
    cv::Mat decoy = part.clone();
    other.copyTo(decoy, disc);
    EXPECT_FALSE(finder.Find(decoy, 0, x, y, score, angle)) << "score " << score;
}

TEST(FindShape, ReversedContrastNeedsIgnorePolarity) {
    const cv::Mat part = inspect_test::SyntheticPart({300, 300}, 8);
    const cv::Rect crop(90, 90, 120, 120);
    cv::Mat negative;
    cv::bitwise_not(TransformImage(part, {3.5, -2.0}, {150, 150}, 4.0), negative);
    for (const bool ignore : {false, true}) {
        FindShape finder;
        ASSERT_TRUE(
            finder.CreateShape(part(crop), 0.0, 0, 10, 150, 150, ignore, 255, cv::Mat(), 60.0, 0));
        double x = 0, y = 0, score = 0, angle = 0;
        EXPECT_EQ(finder.Find(negative, 0, x, y, score, angle), ignore) << "score " << score;
        if (ignore) {
            EXPECT_LE(CornerError(crop, {3.5, -2.0}, 4.0, {x, y}, angle), 0.3);
        }
    }
}

TEST(FindShape, FlatCropGivesNoModel) {
    FindShape finder;
    EXPECT_FALSE(finder.CreateShape(cv::Mat(100, 100, CV_8UC1, cv::Scalar(90)), 0.0, 0, 10, 50, 50,
                                    false, 255, cv::Mat(), 50.0, 0));
    EXPECT_FALSE(finder.IsValid());
    double x = 0, y = 0, score = 0, angle = 0;
    EXPECT_FALSE(finder.Find(cv::Mat(200, 200, CV_8UC1, cv::Scalar(90)), 0, x, y, score, angle));

    ASSERT_TRUE(finder.CreateShape(inspect_test::SyntheticPart({100, 100}, 3), 0.0, 0, 0, 50, 50,
                                   false, 255, cv::Mat(), 50.0, 0));
    EXPECT_TRUE(finder.IsValid());
    finder.Clear();
    EXPECT_FALSE(finder.IsValid());
}

}  // namespace
