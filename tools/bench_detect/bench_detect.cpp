// One detection of a 1600 x 1200 camera: alignment plus 20 regions (10 Defect, 4 Spot, 1 Black
// and 1 White area, 2 Similarity, 1 White spot count, 1 Dist-Measure), per-function cost, eight
// cameras at once, and the plain absdiff baseline on the same regions.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <memory>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <thread>

#include "inspect/detect/detectorset.h"
#include "inspect/templatelibrary.h"
#include "inspect/vision_globals.h"
#include "mouldscene.h"

namespace {

const cv::Size kSize(1600, 1200);
constexpr int kAll = 0;  // detection holding all 20 regions
// detections 2..7 hold the regions of one function each
enum Group { GDefect = 2, GSpot, GArea, GSimilarity, GWhiteNumber, GDistance };

RoiEntry rectRoi(int function, const cv::Rect& r, int minWH, int sensitivity, int area) {
    RoiEntry e;
    e.function = function;
    e.x1 = r.x;
    e.y1 = r.y;
    e.x2 = r.x + r.width;
    e.y2 = r.y + r.height;
    e.minWH = minWH;
    e.sensitivity = sensitivity;
    e.area = area;
    e.rebuild();
    return e;
}

cv::Rect grow(const cv::Rect& r, int g) {
    return cv::Rect(r.x - g, r.y - g, r.width + 2 * g, r.height + 2 * g);
}

// One camera taught on five templates of the scene.
struct Camera {
    explicit Camera(const mouldscene::MouldScene& scene, int index) {
        params.enable_defect_detect = params.enable_spot_detect = params.enable_black_area = 1;
        params.enable_white_area = params.enable_similarity = params.enable_white_number = 1;
        params.direction_recognition = params.dist_measure = 1;
        params.enable_correct = 0;
        params.angle = 3;
        params.location_adge = 40;
        params.minimum_size = 3;
        params.minimum_area = 3;
        params.min_spot = 3;
        params.max_mold_num = 10;
        const mouldscene::Layout& L = scene.layout();
        auto add = [&](int d, const RoiEntry& e) {
            rois.detections[d].rois[rois.detections[d].count++] = e;
        };
        auto both = [&](int g, const RoiEntry& e) {
            add(kAll, e);
            add(g, e);
        };
        for (int i = 0; i < 8; ++i)
            both(GDefect, rectRoi(FuncDefect, grow(L.cavities[i], 8), 3, 18, 3));
        both(GDefect, rectRoi(FuncDefect, grow(L.plate, 4), 3, 18, 3));
        both(GDefect, rectRoi(FuncDefect, grow(L.runner, 6), 3, 18, 3));
        for (int i = 0; i < 4; ++i)
            both(GSpot, rectRoi(FuncSpot, L.parts[i], packLowHigh8(0, 60), 0, 5000));
        both(GArea, rectRoi(FuncBlackArea, L.parts[4], 0, 60, 5000));
        both(GArea, rectRoi(FuncWhiteArea, L.cavities[5], 0, 230, 200));
        both(GSimilarity, rectRoi(FuncSimilarity, L.parts[6], 0, 50, 0));
        both(GSimilarity, rectRoi(FuncSimilarity, L.parts[7], 0, 50, 0));
        both(GWhiteNumber,
             rectRoi(FuncWhiteNumber, grow(L.plate, -4), 3, 150, packLowHigh16(3, 3)));
        both(GDistance, rectRoi(FuncDistance, L.gapStrip, 0, 35, L.gapWidth + 2));
        for (int d = 0; d < kDetections; ++d) {
            libs[d] = std::make_unique<TemplateLibrary>(dir.path(), index, d, 10, false);
            ignore[d] = cv::Mat::zeros(kSize, CV_8UC1);
        }
        DetectorInputs in;
        in.camera = index;
        in.params = &params;
        in.rois = &rois;
        for (int d = 0; d < kDetections; ++d)
            in.templates[d] = libs[d].get();
        in.ignoreMasks = &ignore;
        in.imageSize = kSize;
        detectors = std::make_unique<DetectorSet>(in);
        cv::RNG rng(index + 1);
        std::vector<cv::Mat> templates;
        mouldscene::Pose still;
        still.noise = 3;
        templates.push_back(scene.render(true, mouldscene::Fault::None, still));
        for (int d = 0; d < kDetections; ++d)
            libs[d]->storeTemplate(0, templates[0]);
        detectors->trainPositioning(kAll);
        for (int s = 1; s < 5; ++s) {
            mouldscene::Pose p{rng.uniform(-20.0, 20.0),
                               rng.uniform(-20.0, 20.0),
                               rng.uniform(-2.0, 2.0),
                               rng.uniform(0.9, 1.1),
                               3.0,
                               std::uint64_t(s)};
            scene.render(true, mouldscene::Fault::None, p).copyTo(detectors->currentImage());
            detectors->alignImage(kAll);
            templates.push_back(detectors->alignedImage().clone());
        }
        for (int d = 0; d < kDetections; ++d) {
            for (int s = 1; s < 5; ++s)
                libs[d]->storeTemplate(s, templates[s]);
            detectors->trainPositioning(d);
            detectors->trainRegions(d);
        }
        mouldscene::Pose p{13.5, -9.25, 1.3, 1.05, 3.0, 77};
        frame = scene.render(true, mouldscene::Fault::None, p);
        frame.copyTo(detectors->currentImage());
    }

    QTemporaryDir dir;
    SystemParams params;
    CameraRoiSet rois;
    std::array<std::unique_ptr<TemplateLibrary>, kDetections> libs;
    std::array<cv::Mat, kDetections> ignore;
    std::unique_ptr<DetectorSet> detectors;
    cv::Mat frame;
};

const mouldscene::MouldScene& scene() {
    static const mouldscene::MouldScene s([] {
        mouldscene::SceneOptions o;
        o.size = kSize;
        o.cavities = 8;
        o.seed = 11;
        return o;
    }());
    return s;
}

Camera& camera(int i) {
    static std::vector<std::unique_ptr<Camera>> cams;
    SetViewGeometry(kSize.width, kSize.height, kSize.width, kSize.height);
    while (static_cast<int>(cams.size()) <= i)
        cams.push_back(std::make_unique<Camera>(scene(), static_cast<int>(cams.size())));
    return *cams[i];
}

void BM_Detection(benchmark::State& state) {
    Camera& c = camera(0);
    for (auto _ : state) {
        c.detectors->alignImage(kAll);
        c.detectors->runDetection(kAll);
        benchmark::DoNotOptimize(c.detectors->detectionOk(kAll));
    }
    state.counters["ok"] = c.detectors->detectionOk(kAll);
}
BENCHMARK(BM_Detection)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_AlignOnly(benchmark::State& state) {
    Camera& c = camera(0);
    for (auto _ : state)
        c.detectors->alignImage(kAll);
}
BENCHMARK(BM_AlignOnly)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_Function(benchmark::State& state) {
    Camera& c = camera(0);
    const int d = static_cast<int>(state.range(0));
    c.detectors->alignImage(kAll);
    for (auto _ : state)
        c.detectors->runDetection(d);
    state.SetLabel(d == GDefect        ? "10 Defect"
                   : d == GSpot        ? "4 Spot"
                   : d == GArea        ? "Black + White area"
                   : d == GSimilarity  ? "2 Similarity"
                   : d == GWhiteNumber ? "1 White spot count"
                                       : "1 Dist-Measure");
}
BENCHMARK(BM_Function)
    ->DenseRange(GDefect, GDistance)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Baseline: the same regions judged by absdiff against template 0, threshold, countNonZero.
void BM_BaselineAbsdiff(benchmark::State& state) {
    Camera& c = camera(0);
    const cv::Mat& ref = c.libs[kAll]->image(0);
    const DetectionRois& det = c.rois.detections[kAll];
    cv::Mat diff;
    for (auto _ : state) {
        int bad = 0;
        for (int k = 0; k < det.count; ++k) {
            const cv::Rect R = det.rois[k].imageRect;
            cv::absdiff(c.frame(R), ref(R), diff);
            cv::threshold(diff, diff, 25, 255, cv::THRESH_BINARY);
            bad += cv::countNonZero(diff) > 3;
        }
        benchmark::DoNotOptimize(bad);
    }
}
BENCHMARK(BM_BaselineAbsdiff)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Eight independent cameras, one detection each; arg = worker threads.
void BM_EightCameras(benchmark::State& state) {
    std::vector<DetectorSet*> sets;
    for (int i = 0; i < 8; ++i)
        sets.push_back(camera(i).detectors.get());
    const int threads = static_cast<int>(state.range(0));
    for (auto _ : state)
        runCameras(sets, kAll, threads, nullptr);
}
BENCHMARK(BM_EightCameras)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

// OpenCV's own worker threads are off: every figure is one thread's work, and the eight-camera
// case gets its parallelism from runCameras alone.
int main(int argc, char** argv) {
    cv::setNumThreads(1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
