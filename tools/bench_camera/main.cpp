// bench_camera: cost of publishing and taking one 1600 x 1200 frame through
// the frame lock (gray and RGBA), and frames per second of the FFmpeg
// capture pipeline on a 960 x 540 source with the eq/gamma/unsharp filters.
#include "cameradrivers.h"
#include "camerasystem.h"
#include "ffmpegcapture.h"
#include "platform.h"
#include "simcamerasdk.h"
#include "systemparams.h"
#include "videofile.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <opencv2/core.hpp>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// One opened simulated camera of 1600 x 1200 working size.
struct Bench {
    explicit Bench(bool colour)
        : sdk({[] {
              SimCameraConfig s;
              s.serial = "SN-BENCH-0001";
              s.sensorW = 2048;
              s.sensorH = 1536;
              return s;
          }()}),
          clock(QDateTime::currentDateTime()),
          system(backends(), host, clock) {
        live.enable_color_camera = colour;
        system.setParams(&live, nullptr);
        system.probeCameras();
        device = std::make_unique<CameraDevice>(system, 0);
        system.openCamera(*device);
    }
    ~Bench() { device.reset(); }
    CameraBackends backends() {
        CameraBackends b;
        b.families.push_back(std::make_unique<GalaxyFamily>(sdk));
        return b;
    }
    SimCameraSdk sdk;
    FakeClock clock;
    CameraHost host;
    SystemParams live;
    CameraSystem system;
    std::unique_ptr<CameraDevice> device;
};

void publishAndTake(benchmark::State& state, bool colour) {
    Bench b(colour);
    std::vector<std::uint8_t> frame(b.device->frameBytes(), 99);
    cv::Mat out;
    for (auto _ : state) {
        b.device->publish(frame.data());
        benchmark::DoNotOptimize(b.device->takeFrame(out));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 *
                            static_cast<std::int64_t>(frame.size()));
    state.counters["frame_bytes"] = static_cast<double>(frame.size());
}

void BM_FrameLock_Gray1600x1200(benchmark::State& s) {
    publishAndTake(s, false);
}
void BM_FrameLock_Rgba1600x1200(benchmark::State& s) {
    publishAndTake(s, true);
}
BENCHMARK(BM_FrameLock_Gray1600x1200);
BENCHMARK(BM_FrameLock_Rgba1600x1200);

// A camera-like 960 x 540 YUYV source, played in a loop.
void BM_FfmpegPipeline960x540(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("source.nut");
    writeVideo(path.toStdString(), AV_CODEC_ID_RAWVIDEO, 960, 540, AV_PIX_FMT_YUYV422, 60,
               [](int n, AVFrame* f) {
                   for (int y = 0; y < f->height; ++y)
                       for (int x = 0; x < f->width * 2; ++x)
                           f->data[0][y * f->linesize[0] + x] =
                               static_cast<std::uint8_t>(x % 2 ? 128 : (x / 2 + y + n * 4));
               });
    const bool colour = state.range(0) != 0;
    FfmpegCapture cap;
    if (!cap.open(path, {}, {})) {
        state.SkipWithError("cannot open the generated source");
        return;
    }
    cap.setLoop(true);
    cap.rebuildFilterGraph(FilterTexts::fromParams(140, 40, 20).description());
    std::vector<std::uint8_t> out(960 * 540 * (colour ? 4 : 1));
    std::int64_t pictures = 0;
    for (auto _ : state)
        pictures += cap.step(out.data(), 960, 540, colour) == FfmpegCapture::Step::Picture;
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(pictures), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FfmpegPipeline960x540)->Arg(0)->Arg(1)->ArgName("colour")->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    av_log_set_level(AV_LOG_ERROR);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
