#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "inspect/image_ops.h"
#include "inspect/surf.h"
#include "test_support.h"

namespace {

using inspect_test::Lighting;

struct SurfCase {
    const char* source;
    const char* unrelated;
};

void PrintTo(const SurfCase& c, std::ostream* os) {
    *os << c.source;
}

cv::Mat Crop(const std::string& name, std::string& why) {
    if (name == "synthetic") {
        return inspect_test::SyntheticPart({200, 200}, 17);
    }
    const cv::Mat img = inspect_test::SampleImage(name, why);
    if (img.empty()) {
        return img;
    }
    return img(cv::Rect((img.cols - 200) / 2, (img.rows - 200) / 2, 200, 200)).clone();
}

class SurfSimilarity : public ::testing::TestWithParam<SurfCase> {};

TEST_P(SurfSimilarity, ScoresFollowLikeness) {
    std::string why;
    const cv::Mat part = Crop(GetParam().source, why);
    const cv::Mat other = Crop(GetParam().unrelated, why);
    if (part.empty() || other.empty()) {
        GTEST_SKIP() << why;
    }
    SURF surf;
    ASSERT_TRUE(surf.Create(200, 200, cv::Mat()));
    ASSERT_TRUE(surf.AddTemp(part, 1, 50, 80.0f));
    ASSERT_TRUE(surf.Train(0, 0, 0, 0));
    ASSERT_TRUE(surf.IsValid());

    struct Probe {
        const char* what;
        cv::Mat crop;
        float low, high;
    };
    const Probe probes[] = {
        {"identical", part, 95, 100},
        {"shifted right", MoveImage(part, 2, 0), 85, 100},
        {"shifted up-left", MoveImage(part, -2, -2), 85, 100},
        {"20% brighter", Lighting(part, 1.2, 0), 85, 100},
        {"20% darker", Lighting(part, 0.8, 0), 85, 100},
        {"unrelated", other, 0, 30},
    };
    for (const Probe& p : probes) {
        cv::Mat map;
        const float score = surf.Match(p.crop, map);
        EXPECT_GE(score, p.low) << p.what;
        EXPECT_LE(score, p.high) << p.what;
        EXPECT_FALSE(map.empty());
    }
}

const SurfCase kSurfCases[] = {
    {"synthetic", "gravel"}, {"brick", "grass"},     {"gravel", "coins"},
    {"grass", "brick"},      {"coins", "synthetic"},
};

INSTANTIATE_TEST_SUITE_P(Pictures, SurfSimilarity, ::testing::ValuesIn(kSurfCases),
                         [](const auto& info) { return std::string(info.param.source); });

TEST(Surf, LifecycleAndMinScore) {
    SURF surf;
    cv::Mat map;
    EXPECT_EQ(surf.Match(cv::Mat(50, 50, CV_8UC1), map), -1.0f);
    ASSERT_TRUE(surf.Create(64, 64, cv::Mat()));
    EXPECT_FALSE(surf.Train(0, 0, 0, 0));
    EXPECT_FALSE(surf.AddTemp(cv::Mat(10, 10, CV_8UC1), 1, 50, 70.0f));
    const cv::Mat part = inspect_test::SyntheticPart({64, 64}, 3);
    ASSERT_TRUE(surf.AddTemp(part, 1, 50, 70.0f));
    ASSERT_TRUE(surf.AddTemp(part, 0, 100, 60.0f));
    ASSERT_TRUE(surf.Train(0, 0, 0, 0));
    EXPECT_FLOAT_EQ(surf.MinScore(), 60.0f);
    EXPECT_GE(surf.Match(part, map), 95.0f);
    surf.Clear();
    EXPECT_FALSE(surf.IsValid());
    EXPECT_EQ(surf.Match(part, map), -1.0f);
}

}  // namespace
