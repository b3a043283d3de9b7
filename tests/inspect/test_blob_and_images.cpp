#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include <opencv2/imgproc.hpp>

#include "inspect/blob.h"
#include "inspect/image_ops.h"
#include "inspect/vision_globals.h"

namespace {

TEST(Blobs, EightConnectedRegionsWithAreaAndBox) {
    cv::Mat img = cv::Mat::zeros(60, 80, CV_8UC1);
    img(cv::Rect(5, 5, 10, 10)).setTo(255);   // touches the next square only at a corner
    img(cv::Rect(15, 15, 4, 4)).setTo(17);    // any non-zero value is foreground
    img(cv::Rect(50, 30, 20, 5)).setTo(255);  // separate bar
    img.at<uchar>(55, 2) = 1;                 // single pixel
    const CBlobResult blobs(img);
    ASSERT_EQ(blobs.GetNumBlobs(), 3);
    EXPECT_EQ(blobs.GetBlob(0).Area(), 116.0);
    EXPECT_EQ(blobs.GetBlob(0).GetBoundingBox(), cv::Rect(5, 5, 14, 14));
    EXPECT_EQ(blobs.GetBlob(1).Area(), 100.0);
    EXPECT_EQ(blobs.GetBlob(1).GetBoundingBox(), cv::Rect(50, 30, 20, 5));
    EXPECT_EQ(blobs.GetBlob(2).GetBoundingBox(), cv::Rect(2, 55, 1, 1));

    // A mask hides the bar; another background value turns the picture inside out.
    cv::Mat mask(img.size(), CV_8UC1, cv::Scalar(255));
    mask(cv::Rect(40, 20, 40, 30)).setTo(0);
    EXPECT_EQ(CBlobResult(img, mask).GetNumBlobs(), 2);
    const CBlobResult inverse(img, cv::Mat(), 255);
    ASSERT_EQ(inverse.GetNumBlobs(), 1);
    EXPECT_EQ(inverse.GetBlob(0).Area(), 80.0 * 60 - 200.0);
    EXPECT_EQ(CBlobResult(cv::Mat::zeros(10, 10, CV_8UC1)).GetNumBlobs(), 0);
}

TEST(ImageOps, MoveShiftsContentAndClearsUncovered) {
    cv::Mat img = cv::Mat::zeros(40, 50, CV_8UC1);
    img.at<uchar>(10, 20) = 200;
    const cv::Mat moved = MoveImage(img, 7, -4);
    EXPECT_EQ(moved.at<uchar>(6, 27), 200);
    EXPECT_EQ(cv::countNonZero(moved), 1);
    const cv::Mat half = MoveImage(img, 0.5, 0);
    EXPECT_EQ(half.at<uchar>(10, 20), 100);
    EXPECT_EQ(half.at<uchar>(10, 21), 100);
    const cv::Mat gone = MoveImage(img, 60, 0);
    EXPECT_EQ(cv::countNonZero(gone), 0);
}

TEST(ImageOps, TransformRotatesAboutCentreThenShifts) {
    cv::Mat img = cv::Mat::zeros(101, 101, CV_8UC1);
    img.at<uchar>(50, 80) = 255;  // 30 px right of the centre
    // +90 degrees turns counter-clockwise on screen: right of the centre goes above it.
    const cv::Mat out = TransformImage(img, {3, 2}, {50, 50}, 90.0);
    cv::Point peak;
    cv::minMaxLoc(out, nullptr, nullptr, nullptr, &peak);
    EXPECT_EQ(peak, cv::Point(53, 22));
}

TEST(ImageOps, ColourConversionsOnKnownPixels) {
    // Red, green, blue, white, mid gray.
    const std::array<std::uint8_t, 20> rgba = {255, 0,   0,   255, 0,   255, 0,   255, 0,   0,
                                               255, 255, 255, 255, 255, 255, 128, 128, 128, 255};
    std::array<std::uint8_t, 5> gray{};
    RGBA2Gray(gray.data(), rgba.data(), 5, 1);
    EXPECT_EQ(gray, (std::array<std::uint8_t, 5>{76, 150, 29, 255, 128}));
    std::array<std::uint8_t, 5> hue{};
    RGBA2Hue(hue.data(), rgba.data(), 5, 1);
    EXPECT_EQ(hue, (std::array<std::uint8_t, 5>{0, 85, 171, 0, 0}));

    std::array<std::uint8_t, 8> back{};
    const std::array<std::uint8_t, 2> g2 = {7, 250};
    Gray2RGBA(back.data(), g2.data(), 2, 1);
    EXPECT_EQ(back, (std::array<std::uint8_t, 8>{7, 7, 7, 255, 250, 250, 250, 255}));
    const std::array<std::uint8_t, 6> rgb = {1, 2, 3, 4, 5, 6};
    RGB2RGBA(back.data(), rgb.data(), 2, 1);
    EXPECT_EQ(back, (std::array<std::uint8_t, 8>{1, 2, 3, 255, 4, 5, 6, 255}));
}

TEST(ViewGeometry, CheckInRangeClampsIntoTheView) {
    SetViewGeometry(1600, 1200, 800, 600);
    EXPECT_FLOAT_EQ(gShowAW, 2.0f);
    EXPECT_FLOAT_EQ(gShowAH, 2.0f);
    struct Case {
        double value;
        int axis;
        double expected;
    };
    for (const Case& c : {Case{-5, 1, 0}, Case{400.5, 1, 400.5}, Case{900, 1, 800},
                          Case{700, 0, 600}, Case{-1, 0, 0}, Case{599, 0, 599}}) {
        EXPECT_DOUBLE_EQ(CheckInRange(c.value, c.axis), c.expected) << c.value << "/" << c.axis;
    }
    EXPECT_EQ(CheckInRange(850, 1), 800);
    EXPECT_EQ(CheckInRange(cv::Rect(-10, 500, 100, 200)), cv::Rect(0, 500, 90, 100));
    EXPECT_TRUE(CheckInRange(cv::Rect(900, 0, 10, 10)).empty());
}

}  // namespace
