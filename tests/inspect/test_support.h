#pragma once

#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

// Scenes and sample pictures shared by the vision tests.
namespace inspect_test {

// A machined-looking part: plates, bores and slots of several gray levels on a shaded
// background, slightly blurred like a lens would. Deterministic for a given seed.
cv::Mat SyntheticPart(cv::Size size, std::uint64_t seed);

// Adds zero-mean Gaussian noise of `sigma` gray levels (saturating); deterministic per seed.
cv::Mat AddNoise(const cv::Mat& img, double sigma, std::uint64_t seed);

// out = img * gain + offset, saturated to 0..255.
cv::Mat Lighting(const cv::Mat& img, double gain, double offset);

// A scikit-image sample picture (e.g. "coins", "brick", "grass", "gravel") as 8-bit gray. The
// pictures come from Debian's python3-skimage package, fetched into the build tree on first use
// and checked against pinned SHA-256 sums. Empty when unavailable; `why` then says why.
cv::Mat SampleImage(const std::string& name, std::string& why);

}  // namespace inspect_test

// Skips the current test when the sample picture `name` cannot be had; else stores it in `var`.
#define INSPECT_SAMPLE_OR_SKIP(var, name)                                 \
    std::string var##_why;                                                \
    const cv::Mat var = inspect_test::SampleImage(name, var##_why);       \
    if (var.empty()) {                                                    \
        GTEST_SKIP() << "sample picture " << (name) << ": " << var##_why; \
    }
