#include "inspect/caliper.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

CaliperBox boxFromRoi(int x, int y, int w, int h, int direction) {
    CaliperBox b;
    b.centreX = x + w / 2;
    b.centreY = y + h / 2;
    if (direction == 0) {
        b.angle = 0;
        b.length = static_cast<float>(w);
        b.width = static_cast<float>(h);
    } else {
        b.angle = 90;
        b.length = static_cast<float>(h);
        b.width = static_cast<float>(w);
    }
    return b;
}

std::vector<int> caliperPeaks(const std::vector<float>& profile, int minStep) {
    const int n = static_cast<int>(profile.size());
    std::vector<double> s(n, 0.0);
    for (int k = 1; k < n; ++k) {
        const double d = std::abs(static_cast<double>(profile[k]) - profile[k - 1]);
        s[k] = d < minStep ? 0.0 : d;
    }
    // centred moving average of 5 samples from running sums
    std::vector<double> sum(n + 1, 0.0);
    for (int k = 0; k < n; ++k)
        sum[k + 1] = sum[k] + s[k];
    std::vector<double> smooth(n);
    for (int k = 0; k < n; ++k) {
        const int lo = std::max(0, k - 2), hi = std::min(n - 1, k + 2);
        smooth[k] = (sum[hi + 1] - sum[lo]) / (hi - lo + 1);
    }
    return scanPeaks(smooth);
}

std::vector<int> scanPeaks(const std::vector<double>& smooth) {
    const int n = static_cast<int>(smooth.size());
    double m = 0;
    for (double v : smooth)
        m = std::max(m, v);
    const double t = 1.0 * m / 100.5;

    enum class State { None, Below, Rising } state = State::None;
    std::vector<int> plateau, results;
    const auto middle = [&] { return (plateau.front() + plateau.back()) / 2; };
    for (int k = 0; k < n; ++k) {
        const double v = smooth[k];
        if (v <= t) {
            state = State::Below;
            continue;
        }
        if (k == n - 1) {
            plateau.push_back(k);
            results.push_back(middle());
            break;
        }
        const double next = smooth[k + 1];
        if (next > v) {
            plateau.clear();
            state = State::Rising;
        } else if (next == v) {
            if (state == State::Below || state == State::Rising) {
                plateau.push_back(k);
                state = State::Rising;
            }
        } else if (state == State::Rising) {
            plateau.push_back(k);
            if (results.size() == 2)
                results.pop_back();
            results.push_back(middle());
            plateau.clear();
            state = State::None;
        }
    }
    return results;
}

CaliperResult measureEdges(const cv::Mat& image, const CaliperBox& box, int minStep) {
    CaliperResult r;
    if (box.length < 1 || box.width < 1 || image.empty())
        return r;
    const double a = box.angle * CV_PI / 180.0;
    const double c = box.length / 2.0, e = box.width / 2.0, co = std::cos(a), si = std::sin(a);
    const cv::Point2f centre(static_cast<float>(box.centreX), static_cast<float>(box.centreY));
    const auto at = [&](double x, double y) {
        return centre + cv::Point2f(static_cast<float>(x), static_cast<float>(y));
    };
    const cv::Point2f src[4] = {
        at(-c * co + e * si, -c * si - e * co), at(c * co + e * si, c * si - e * co),
        at(c * co - e * si, c * si + e * co), at(-c * co - e * si, -c * si + e * co)};
    const cv::Point2f dst[4] = {{0, 0}, {box.length, 0}, {box.length, box.width}, {0, box.width}};
    const cv::Mat transform = cv::getPerspectiveTransform(src, dst);
    cv::Mat strip;
    cv::warpPerspective(image, strip, transform,
                        cv::Size(static_cast<int>(box.length), static_cast<int>(box.width)),
                        cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
    if (strip.channels() == 3)
        cv::cvtColor(strip, strip, cv::COLOR_RGB2GRAY);
    else if (strip.channels() == 4)
        cv::cvtColor(strip, strip, cv::COLOR_RGBA2GRAY);
    cv::Mat profile;
    cv::reduce(strip, profile, 0, cv::REDUCE_AVG, CV_32F);
    const std::vector<float> p(profile.begin<float>(), profile.end<float>());
    const std::vector<int> peaks = caliperPeaks(p, minStep);
    if (peaks.empty())
        return r;
    const int n = static_cast<int>(p.size());
    for (int q : peaks)
        r.points.emplace_back(box.centreX + (q - n / 2) * co, box.centreY + (q - n / 2) * si);
    r.found = true;
    return r;
}
