#include "v4l2family.h"

#include "ffmpegcapture.h"
#include "globals.h"
#include "platform.h"

#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QTextStream>

namespace {

// One Video4Linux2 camera: demuxer, decoder and filter graph. Every step of
// the capture loop and every graph rebuild runs under the frame lock.
class V4l2Camera final : public CameraHandle {
public:
    V4l2Camera(std::unique_ptr<FfmpegCapture> capture, const OpenContext& ctx)
        : m_capture(std::move(capture)), m_ctx(ctx) {
        m_work.resize(ctx.sink->frameBytes());
    }
    void applyContrast(const CameraSettings& s) override {
        m_texts.contrast = FilterTexts::fromParams(s.contrast, 0, 0).contrast;
        rebuild();
    }
    void applyGamma(const CameraSettings& s) override {
        m_texts.gamma = FilterTexts::fromParams(0, s.gamma, 0).gamma;
        rebuild();
    }
    void applySharpness(const CameraSettings& s) override {
        m_texts.sharpness = FilterTexts::fromParams(0, 0, s.sharpness).sharpness;
        rebuild();
    }
    std::optional<CameraReadBack> restoreDefaults(const CameraSettings&) override {
        m_texts = FilterTexts::fromParams(140, 40, 0);
        rebuild();
        CameraReadBack rb;
        rb.contrast = 140;
        rb.gamma = 40;
        rb.sharpness = 0;
        return rb;
    }
    void captureStep() override {
        QMutexLocker lock(&gFrameLock[m_ctx.sink->index()]);
        const auto r = m_capture->step(m_work.data(), m_ctx.probe.imageW, m_ctx.probe.imageH,
                                       m_ctx.colorOperation);
        if (r == FfmpegCapture::Step::Picture)
            m_ctx.sink->publish(m_work.data(), true);
    }
    QString filterDescription() const override { return m_description; }
    bool rebuildFilterGraph(const QString& description) override {
        QMutexLocker lock(&gFrameLock[m_ctx.sink->index()]);
        m_description = description;
        return m_capture->rebuildFilterGraph(description);
    }

private:
    void rebuild() { rebuildFilterGraph(m_texts.description()); }

    std::unique_ptr<FfmpegCapture> m_capture;
    OpenContext m_ctx;
    FilterTexts m_texts = FilterTexts::fromParams(140, 40, 0);
    QString m_description;             // guarded by the frame lock
    std::vector<std::uint8_t> m_work;  // guarded by the frame lock
};

}  // namespace

int countInputCameras(CommandRunner& commands, const QString& workDir) {
    commands.run(QStringLiteral("cp -f /proc/bus/input/devices ."));
    QFile f(QDir(workDir).filePath(QStringLiteral("devices")));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    int n = 0;
    QTextStream in(&f);
    while (!in.atEnd())
        n += in.readLine().contains(QLatin1String("Camera")) ? 1 : 0;
    return n;
}

int V4l2Family::countDevices() {
    return m_config.countDevices ? m_config.countDevices() : 0;
}

std::optional<ProbeResult> V4l2Family::probe(bool) {
    const int n = countDevices();
    if (n < 1)
        return std::nullopt;
    FfmpegCapture capture;
    if (!capture.open(m_config.devicePattern.arg(0), m_config.inputFormat, m_config.options))
        return std::nullopt;
    ProbeResult r;
    r.family = kFamilyV4l2;
    r.count = n;
    r.imageW = 960;
    r.imageH = 540;
    r.sensorW = capture.sourceWidth();
    r.sensorH = capture.sourceHeight();
    return r;
}

std::unique_ptr<CameraHandle> V4l2Family::open(int position, const QString&,
                                               const OpenContext& ctx) {
    auto capture = std::make_unique<FfmpegCapture>();
    bool ok =
        capture->open(m_config.devicePattern.arg(position), m_config.inputFormat, m_config.options);
    for (int d = 0; !ok && d < m_config.maxDevices; ++d)
        ok = capture->open(m_config.devicePattern.arg(d), m_config.inputFormat, m_config.options);
    if (!ok)
        return nullptr;
    capture->setLoop(m_config.loop);
    return std::make_unique<V4l2Camera>(std::move(capture), ctx);
}
