#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "inspect/blob.h"
#include "inspect/gray_match.h"
#include "inspect/image_ops.h"
#include "test_support.h"

namespace {

using inspect_test::AddNoise;
using inspect_test::Lighting;

// A part crop and ten good-part templates of it, each with its own noise, lighting and a
// sub-pixel shift.
class GrayMatchModel : public ::testing::Test {
protected:
    static constexpr int kW = 250;  // not a multiple of the vector widths: every code path runs
    static constexpr int kH = 180;
    static constexpr int kMargin = 8;
    inline static const cv::Rect kCrop{kMargin, kMargin, kW, kH};

    void SetUp() override {
        m_scene = inspect_test::SyntheticPart({kW + 2 * kMargin, kH + 2 * kMargin}, 5);
        m_part = m_scene(kCrop).clone();
        ASSERT_TRUE(m_match.Create(kW, kH, cv::Mat(), 0));
        for (int i = 0; i < 10; ++i) {
            ASSERT_TRUE(m_match.AddTemp(Frame(i, 0.2 * ((i % 5) - 2), 1.0 + 0.02 * (i % 3 - 1))));
        }
    }

    // The part with noise 3, lighting `gain` and moved by `shift` pixels along x and y.
    cv::Mat Frame(int seed, double shift, double gain) const {
        const cv::Mat moved = MoveImage(m_scene, shift, -shift)(kCrop);
        return AddNoise(Lighting(moved, gain, 0.0), 3.0, static_cast<std::uint64_t>(1000 + seed));
    }

    // A flat spot of the part where a defect is put.
    cv::Point FlatSpot() const {
        cv::Mat grad;
        cv::Laplacian(m_part, grad, CV_16S, 3);
        cv::Mat busy;
        cv::dilate(cv::abs(grad) > 2, busy, cv::Mat(), cv::Point(-1, -1), 6);
        for (int y = 20; y < kH - 20; y += 4) {
            for (int x = 20; x < kW - 20; x += 4) {
                if (!busy.at<uchar>(y, x)) {
                    return {x, y};
                }
            }
        }
        return {kW / 2, kH / 2};
    }

    cv::Mat m_scene;  // the part with some surroundings, so that moved crops have no empty edge
    cv::Mat m_part;
    GrayMatch m_match;
};

TEST_F(GrayMatchModel, CleanFramesRaiseNoPixel) {
    ASSERT_TRUE(m_match.Train(15, 0, 100, 150));
    ASSERT_TRUE(m_match.IsValid());
    cv::Mat diff;
    int flagged = 0;
    for (int i = 0; i < 100; ++i) {
        const double gain = 0.9 + 0.2 * (i % 11) / 10.0;
        const double shift = i % 2 ? 0.5 : -0.5;
        flagged += m_match.Match(Frame(100 + i, shift, gain), diff);
    }
    EXPECT_EQ(flagged, 0);
}

TEST_F(GrayMatchModel, EdgeToleranceAllowsEdgesToMove) {
    // A whole-pixel move stays inside the band only when edges may move by a pixel.
    const cv::Mat moved = Frame(50, 1.0, 1.0);
    cv::Mat diff;
    ASSERT_TRUE(m_match.Train(15, 0, 0, 150));
    EXPECT_GT(m_match.Match(moved, diff), 0);
    ASSERT_TRUE(m_match.Train(15, 0, 100, 150));
    EXPECT_EQ(m_match.Match(moved, diff), 0);
}

TEST_F(GrayMatchModel, DefectIsFlaggedWhereItIs) {
    const cv::Point spot = FlatSpot();
    const cv::Rect defect(spot.x, spot.y, 5, 5);
    struct Case {
        double contrast;
        double sensitivity;
        double amplify;
        bool flagged;
    };
    // clang-format off
    for (const Case c : {Case{30, 15, 0, true}, Case{-30, 15, 0, true},
                         Case{30, 40, 0, false},   // too faint for a coarse setting...
                         Case{30, 40, 2, true}}) { // ...until amplified
        // clang-format on
        ASSERT_TRUE(m_match.Train(c.sensitivity, c.amplify, 100, 150));
        cv::Mat frame = Frame(7, 0.5, 1.08);
        cv::Mat patch = frame(defect);
        patch.convertTo(patch, CV_8U, 1.0, c.contrast);
        cv::Mat diff;
        const int n = m_match.Match(frame, diff);
        EXPECT_EQ(n > 0, c.flagged) << c.contrast << " at sensitivity " << c.sensitivity
                                    << " amplify " << c.amplify << ": " << n;
        // Nothing is flagged away from the defect.
        cv::Mat outside = diff.clone();
        outside(cv::Rect(defect.x - 2, defect.y - 2, 9, 9)).setTo(0);
        EXPECT_EQ(cv::countNonZero(outside), 0);
    }
}

TEST_F(GrayMatchModel, MaskedOutDefectIsIgnored) {
    const cv::Point spot = FlatSpot();
    cv::Mat mask(kH, kW, CV_8UC1, cv::Scalar(255));
    mask(cv::Rect(spot.x - 5, spot.y - 5, 15, 15)).setTo(0);
    GrayMatch masked;
    ASSERT_TRUE(masked.Create(kW, kH, mask, 2));
    ASSERT_TRUE(masked.AddTemp(Frame(1, 0, 1.0)));
    ASSERT_TRUE(masked.AddTemp(Frame(2, 0.3, 1.0)));
    ASSERT_TRUE(masked.Train(20, 0, 100, 150));
    cv::Mat frame = Frame(3, 0, 1.0);
    frame(cv::Rect(spot.x, spot.y, 5, 5)).setTo(255);
    cv::Mat diff;
    EXPECT_EQ(masked.Match(frame, diff), 0);
}

TEST_F(GrayMatchModel, LifecycleAndSizeChecks) {
    EXPECT_FALSE(m_match.IsValid());
    cv::Mat diff;
    EXPECT_EQ(m_match.Match(m_part, diff), -1);
    EXPECT_FALSE(m_match.AddTemp(cv::Mat(10, 10, CV_8UC1)));
    ASSERT_TRUE(m_match.Train(15, 0, 100, 150));
    EXPECT_EQ(m_match.Match(cv::Mat(10, 10, CV_8UC1), diff), -1);
    m_match.Clear();
    EXPECT_FALSE(m_match.IsValid());
    EXPECT_EQ(m_match.TemplateCount(), 0);
    EXPECT_FALSE(m_match.Train(15, 0, 100, 150));
}

}  // namespace
