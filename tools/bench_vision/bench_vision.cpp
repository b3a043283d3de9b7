// Speed of the vision library on a 1600 x 1200 camera frame, with the baselines measured in the
// same run: brute-force rotated template matching (cv::matchTemplate, TM_CCOEFF_NORMED, 1-degree
// steps at full resolution) and absdiff + threshold + countNonZero as the memory-bandwidth floor.
//
//   bench_vision --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Names ending in /threads:1 run with cv::setNumThreads(1), /threads:0 with OpenCV's default.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "inspect/blob.h"
#include "inspect/find_shape.h"
#include "inspect/gray_match.h"
#include "inspect/image_ops.h"
#include "inspect/surf.h"

namespace {

const cv::Size kFrame(1600, 1200);
const cv::Rect kPattern(400, 300, 800, 600);
constexpr int kMargin = 100;
const cv::Point2d kShift(37.5, -22.25);
constexpr double kAngle = 3.7;

// A moulded-part-like frame: plates, bores, ribs and slots on shaded ground with sensor noise.
cv::Mat MakeFrame() {
    cv::RNG rng(42);
    cv::Mat img(kFrame, CV_8UC1);
    for (int y = 0; y < img.rows; ++y) {
        for (int x = 0; x < img.cols; ++x) {
            img.at<uchar>(y, x) =
                cv::saturate_cast<uchar>(80 + 50.0 * x / img.cols + 30.0 * y / img.rows);
        }
    }
    for (int i = 0; i < 400; ++i) {
        const cv::Point c(rng.uniform(0, img.cols), rng.uniform(0, img.rows));
        const int r = rng.uniform(6, 70);
        const cv::Scalar gray(rng.uniform(20, 235));
        switch (i % 4) {
            case 0:
                cv::circle(img, c, r, gray, cv::FILLED, cv::LINE_AA);
                break;
            case 1:
                cv::rectangle(img, cv::Rect(c.x, c.y, 2 * r, r), gray, cv::FILLED, cv::LINE_AA);
                break;
            case 2:
                cv::ellipse(img,
                            cv::RotatedRect(c, cv::Size2f(2.5f * r, 0.8f * r),
                                            static_cast<float>(rng.uniform(0, 180))),
                            gray, cv::FILLED, cv::LINE_AA);
                break;
            default:
                cv::line(img, c, c + cv::Point(2 * r, r), gray, std::max(2, r / 4), cv::LINE_AA);
                break;
        }
    }
    cv::GaussianBlur(img, img, cv::Size(0, 0), 0.8);
    cv::Mat noise(img.size(), CV_16S);
    rng.fill(noise, cv::RNG::NORMAL, 0, 2);
    cv::Mat out;
    cv::add(img, noise, out, cv::noArray(), CV_8U);
    return out;
}

struct Scene {
    cv::Mat reference = MakeFrame();
    cv::Mat moved = TransformImage(reference, kShift, Centre(), kAngle);
    cv::Mat shifted = MoveImage(reference, kShift.x, kShift.y);
    cv::Rect window{kPattern.x - kMargin, kPattern.y - kMargin, kPattern.width + 2 * kMargin,
                    kPattern.height + 2 * kMargin};

    static cv::Point2d Centre() {
        return {static_cast<double>(kPattern.x + kPattern.width / 2),
                static_cast<double>(kPattern.y + kPattern.height / 2)};
    }
};

const Scene& TheScene() {
    static const Scene scene;
    return scene;
}

// Runs the body with one OpenCV thread (threads == 1) or OpenCV's default.
class ThreadScope {
public:
    explicit ThreadScope(int threads) { cv::setNumThreads(threads == 1 ? 1 : -1); }
    ~ThreadScope() { cv::setNumThreads(-1); }
    ThreadScope(const ThreadScope&) = delete;
    ThreadScope& operator=(const ThreadScope&) = delete;
};

void BM_Find(benchmark::State& state) {
    const Scene& s = TheScene();
    const double range = static_cast<double>(state.range(0));
    const ThreadScope threads(static_cast<int>(state.range(1)));
    FindShape finder;
    const cv::Point2d c = Scene::Centre();
    if (!finder.CreateShape(s.reference(kPattern), 0.0, 0, range, c.x, c.y, false, 255, cv::Mat(),
                            60.0, 0)) {
        state.SkipWithError("no model");
        return;
    }
    const cv::Mat& image = range == 0.0 ? s.shifted : s.moved;
    const double trueAngle = range == 0.0 ? 0.0 : kAngle;
    double x = 0, y = 0, score = 0, angle = 0;
    bool found = false;
    for (auto _ : state) {
        found = finder.Find(image, s.window, 0, x, y, score, angle);
        benchmark::DoNotOptimize(found);
    }
    state.counters["score"] = score;
    state.counters["err_px"] = std::hypot(x - s.window.x - kShift.x, y - s.window.y - kShift.y);
    state.counters["err_deg"] = std::abs(angle - trueAngle);
    state.counters["levels"] = finder.NumLevels();
    if (!found) {
        state.SkipWithError("part not found");
    }
}
BENCHMARK(BM_Find)
    ->ArgsProduct({{0, 10, 180}, {1, 0}})
    ->ArgNames({"range", "threads"})
    ->Unit(benchmark::kMillisecond);

// Brute force: the pattern rotated in 1-degree steps (cut from the rotated frame, so it has no
// empty corners), each matched over the whole window at full resolution. The full-turn case
// times `kSampledAngles` evenly spread angles; the counter full_range_ms extrapolates to all 361.
constexpr int kSampledAngles = 8;

void BM_BruteForce(benchmark::State& state) {
    const Scene& s = TheScene();
    const int range = static_cast<int>(state.range(0));
    const ThreadScope threads(static_cast<int>(state.range(1)));
    const cv::Mat& image = range == 0 ? s.shifted : s.moved;
    const cv::Mat window = image(s.window);
    const int total = 2 * range + 1;
    const int measured = range >= 180 ? kSampledAngles : total;
    std::vector<cv::Mat> rotated;
    for (int i = 0; i < measured; ++i) {
        const double a = -range + i * (static_cast<double>(total - 1) / std::max(measured - 1, 1));
        rotated.push_back(TransformImage(s.reference, {0, 0}, Scene::Centre(), a)(kPattern));
    }
    cv::Mat result;
    double best = -1.0;
    double seconds = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        best = -1.0;
        for (const cv::Mat& r : rotated) {
            cv::matchTemplate(window, r, result, cv::TM_CCOEFF_NORMED);
            double maxVal = 0.0;
            cv::minMaxLoc(result, nullptr, &maxVal);
            best = std::max(best, maxVal);
        }
        benchmark::DoNotOptimize(best);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["best_ncc"] = best;
    state.counters["angles_timed"] = measured;
    state.counters["full_range_ms"] =
        1e3 * seconds / static_cast<double>(state.iterations()) * total / measured;
}
BENCHMARK(BM_BruteForce)
    ->ArgsProduct({{0, 10, 180}, {1, 0}})
    ->ArgNames({"range", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);

// GrayMatch on a 400 x 300 crop trained on ten templates.
void BM_GrayMatch(benchmark::State& state) {
    const Scene& s = TheScene();
    const ThreadScope threads(1);
    const cv::Rect crop(600, 450, 400, 300);
    GrayMatch match;
    match.Create(crop.width, crop.height, cv::Mat(), 0);
    cv::RNG rng(3);
    for (int i = 0; i < 10; ++i) {
        cv::Mat noise(crop.size(), CV_16S);
        rng.fill(noise, cv::RNG::NORMAL, 0, 2);
        cv::Mat t;
        cv::add(s.reference(crop), noise, t, cv::noArray(), CV_8U);
        match.AddTemp(t);
    }
    match.Train(20, 0, 100, 150);
    const cv::Mat current = s.reference(crop).clone();
    cv::Mat diff;
    int n = 0;
    for (auto _ : state) {
        n = match.Match(current, diff);
        benchmark::DoNotOptimize(n);
    }
    state.counters["flagged"] = n;
}
BENCHMARK(BM_GrayMatch)->Unit(benchmark::kMicrosecond);

// Memory-bandwidth floor: absdiff + threshold + countNonZero over the same bytes.
void BM_AbsdiffFloor(benchmark::State& state) {
    const Scene& s = TheScene();
    const ThreadScope threads(1);
    const bool full = state.range(0) == 1;
    const cv::Rect area =
        full ? cv::Rect(0, 0, kFrame.width, kFrame.height) : cv::Rect(600, 450, 400, 300);
    const cv::Mat a = s.reference(area).clone();
    const cv::Mat b = s.shifted(area).clone();
    cv::Mat d, t;
    int n = 0;
    for (auto _ : state) {
        cv::absdiff(a, b, d);
        cv::threshold(d, t, 20, 255, cv::THRESH_BINARY);
        n = cv::countNonZero(t);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_AbsdiffFloor)->Arg(0)->Arg(1)->ArgName("full_frame")->Unit(benchmark::kMicrosecond);

// SURF similarity of a 200 x 200 crop.
void BM_SurfMatch(benchmark::State& state) {
    const Scene& s = TheScene();
    const ThreadScope threads(1);
    const cv::Rect crop(700, 500, 200, 200);
    SURF surf;
    surf.Create(crop.width, crop.height, cv::Mat());
    surf.AddTemp(s.reference(crop).clone(), 1, 50, 80.0f);
    surf.Train(0, 0, 0, 0);
    const cv::Mat current = s.reference(crop + cv::Point(2, -1)).clone();  // same part, moved
    cv::Mat map;
    float score = 0.0f;
    for (auto _ : state) {
        score = surf.Match(current, map);
        benchmark::DoNotOptimize(score);
    }
    state.counters["score"] = score;
}
BENCHMARK(BM_SurfMatch)->Unit(benchmark::kMicrosecond);

// Blob labelling of a full frame of defect candidates.
void BM_Blobs(benchmark::State& state) {
    const Scene& s = TheScene();
    const ThreadScope threads(1);
    cv::Mat binary;
    cv::threshold(s.reference, binary, 150, 255, cv::THRESH_BINARY);
    CBlobResult blobs;
    for (auto _ : state) {
        blobs.Compute(binary);
        benchmark::DoNotOptimize(blobs.GetNumBlobs());
    }
    state.counters["blobs"] = blobs.GetNumBlobs();
}
BENCHMARK(BM_Blobs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
