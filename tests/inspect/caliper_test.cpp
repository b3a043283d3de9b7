#include "inspect/caliper.h"

#include <gtest/gtest.h>

namespace {

TEST(Caliper, BoxFromRegionFollowsTheDirection) {
    const CaliperBox a = boxFromRoi(10, 20, 31, 11, 0);
    EXPECT_DOUBLE_EQ(a.centreX, 25);
    EXPECT_DOUBLE_EQ(a.centreY, 25);
    EXPECT_EQ(a.angle, 0);
    EXPECT_EQ(a.length, 31);
    EXPECT_EQ(a.width, 11);
    const CaliperBox b = boxFromRoi(10, 20, 31, 11, 1);
    EXPECT_EQ(b.angle, 90);
    EXPECT_EQ(b.length, 11);
    EXPECT_EQ(b.width, 31);
}

TEST(Caliper, NarrowStripFails) {
    const cv::Mat img(100, 100, CV_8UC1, cv::Scalar(128));
    CaliperBox box{50, 50, 0, 40, 0.5f};
    EXPECT_FALSE(measureEdges(img, box, 0).found);
    box.width = 10;
    box.length = 0.9f;
    EXPECT_FALSE(measureEdges(img, box, 0).found);
}

class DarkBar : public ::testing::TestWithParam<int> {};

// A dark bar on a bright ground gives an edge at each side of the bar, in
// either measuring direction.
TEST_P(DarkBar, GivesTwoEdgesAtItsSides) {
    const int direction = GetParam();
    cv::Mat img(200, 200, CV_8UC1, cv::Scalar(200));
    if (direction == 0)
        img(cv::Rect(80, 0, 30, 200)).setTo(40);  // bar x = 80..109
    else
        img(cv::Rect(0, 80, 200, 30)).setTo(40);
    const CaliperBox box = boxFromRoi(20, 20, 160, 160, direction);
    const CaliperResult r = measureEdges(img, box, 5);
    ASSERT_TRUE(r.found);
    ASSERT_GE(r.points.size(), 2u);
    const cv::Point2d first = r.points.front(), last = r.points.back();
    const double a = direction == 0 ? first.x : first.y;
    const double b = direction == 0 ? last.x : last.y;
    EXPECT_NEAR(a, 80, 1.5);
    EXPECT_NEAR(b, 110, 1.5);
    EXPECT_NEAR(b - a, 30, 1.5);
}

INSTANTIATE_TEST_SUITE_P(Directions, DarkBar, ::testing::Values(0, 1));

TEST(Caliper, ColourImagesAreMeasuredInGray) {
    cv::Mat img(100, 100, CV_8UC4, cv::Scalar(200, 200, 200, 255));
    img(cv::Rect(40, 0, 20, 100)).setTo(cv::Scalar(10, 10, 10, 255));
    const CaliperResult r = measureEdges(img, boxFromRoi(0, 40, 100, 20, 0), 5);
    ASSERT_TRUE(r.found);
    EXPECT_NEAR(r.points.front().x, 40, 1.5);
}

struct PeakCase {
    const char* name;
    std::vector<float> profile;
    int minStep;
    std::vector<int> peaks;
};

void PrintTo(const PeakCase& c, std::ostream* os) {
    *os << c.name;
}

class Peaks : public ::testing::TestWithParam<PeakCase> {};

TEST_P(Peaks, ScanFindsTheExpectedPositions) {
    EXPECT_EQ(caliperPeaks(GetParam().profile, GetParam().minStep), GetParam().peaks);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Peaks,
    ::testing::Values(
        PeakCase{"flat profile", std::vector<float>(30, 7.0f), 0, {}},
        PeakCase{"step below the minimum", {10, 10, 10, 10, 14, 14, 14, 14, 14, 14}, 5, {}},
        PeakCase{"one step", {10, 10, 10, 10, 10, 60, 60, 60, 60, 60, 60, 60}, 5, {5}},
        // the strongest step is the last sample: reported there
        PeakCase{
            "edge at the last sample", {10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 250}, 0, {11}},
        // trimming keeps the first peak and the latest one
        PeakCase{"three steps",
                 {0, 0, 0, 0, 0, 50, 50, 50, 50, 50, 50, 50, 0, 0,
                  0, 0, 0, 0, 0, 50, 50, 50, 50, 50, 50, 50, 50},
                 5,
                 {5, 19}}));

struct ScanCase {
    const char* name;
    std::vector<double> strength;
    std::vector<int> peaks;
};

void PrintTo(const ScanCase& c, std::ostream* os) {
    *os << c.name;
}

class Scan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(Scan, ForwardPeakScan) {
    EXPECT_EQ(scanPeaks(GetParam().strength), GetParam().peaks);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Scan,
    ::testing::Values(
        // a fall right after a sample at the threshold is no peak: no rise came first
        ScanCase{"peak right after the threshold", {0, 100, 50, 0}, {}},
        ScanCase{"rise then fall", {0, 10, 100, 50, 0}, {2}},
        ScanCase{"plateau after the threshold", {0, 100, 100, 100, 50, 0}, {2}},
        ScanCase{"rising plateau", {0, 10, 100, 100, 50, 0}, {2}},
        // the third peak replaces the second: first and most recent are kept
        ScanCase{"three peaks", {0, 10, 100, 50, 0, 10, 90, 5, 0, 10, 80, 5, 0}, {2, 10}},
        // a last-sample peak is added without trimming
        ScanCase{"two peaks and the last sample", {0, 10, 100, 5, 0, 10, 90, 5, 0, 95}, {2, 6, 9}},
        ScanCase{"nothing above the threshold", {0, 0, 0}, {}}));

}  // namespace
