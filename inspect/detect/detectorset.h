#pragma once

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <opencv2/core.hpp>
#include <span>
#include <vector>

#include "inspect/blob.h"
#include "inspect/find_shape.h"
#include "inspect/gray_match.h"
#include "inspect/roiset.h"
#include "inspect/surf.h"
#include "systemparams.h"

class TemplateLibrary;

constexpr int kMaxAlarmRects = 99;

// One alarm rectangle with inclusive corners, in image pixels.
struct AlarmRect {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// The outcome of one region in the last run, training or preview.
struct RoiResult {
    unsigned char ok = 1;
    int value = 0;
    std::array<AlarmRect, kMaxAlarmRects> rects{};
    int rectCount = 0;
    // Dist-Measure only: edge points of the reference and of the last run.
    std::array<cv::Point2d, 2> referencePoints{};
    int referenceCount = 0;
    std::array<cv::Point2d, 2> currentPoints{};
    int currentCount = 0;
};

// One judged region as reported to the plant link: camera, detection, region
// position, function, value, lower limit, upper limit, detection flag.
struct ResultRecord {
    int camera = 0;
    int detection = 0;
    int position = 0;
    int function = 0;
    int value = 0;
    int lower = 0;
    int upper = 0;
    int flag = 0;
    bool operator==(const ResultRecord&) const = default;
};

// Everything a camera's detectors read but do not own. The referenced objects
// belong to the camera object and must outlive the DetectorSet.
struct DetectorInputs {
    int camera = 0;
    const SystemParams* params = nullptr;
    CameraRoiSet* rois = nullptr;  // working set; Ignore Area masks are rewritten on training
    std::array<const TemplateLibrary*, kDetections> templates{};
    const std::array<cv::Mat, kDetections>* ignoreMasks = nullptr;
    cv::Size imageSize;
    bool colour = false;  // 32-bit RGBA frames
};

// Trained models and results of one camera: positioning, per-region models,
// the images of the last run and the per-region results.
class DetectorSet {
public:
    explicit DetectorSet(const DetectorInputs& in);
    ~DetectorSet();
    DetectorSet(const DetectorSet&) = delete;
    DetectorSet& operator=(const DetectorSet&) = delete;

    // Builds the positioning model of detection d.
    void trainPositioning(int d);
    // Rebuilds the validity mask and every defect, similarity and distance reference of d.
    void trainRegions(int d);
    // currentImage -> alignedImage for detection d.
    void alignImage(int d);
    // Judges every region of d on alignedImage; fills the results and alarmImage.
    void runDetection(int d);
    // Judges region k of d of the edited set on image (the template on show, gray or the
    // colour frame's conversion), for display only.
    void previewRoi(int d, int k, const CameraRoiSet& edited, const cv::Mat& image);

    // The frame the cycle copies in before alignImage (8-bit, or RGBA for colour).
    cv::Mat& currentImage() { return m_current; }
    const cv::Mat& alignedImage() const { return m_aligned; }
    const cv::Mat& conversionImage() const { return m_conversion; }
    const cv::Mat& alarmImage() const { return m_alarm; }

    const RoiResult& result(int d, int k) const { return m_results[d][k]; }
    bool detectionOk(int d) const { return m_detectionOk[d] != 0; }
    bool positionValid(int d) const { return m_position[d].IsValid(); }
    cv::Point referenceCentre(int d) const { return m_refCentre[d]; }
    cv::Rect searchWindow(int d) const { return m_window[d]; }
    const cv::Mat& validityMask(int d) const { return m_validity[d]; }
    // Shift and angle found by the last alignImage (zero when not aligned).
    cv::Point2d lastShift() const { return m_lastShift; }
    double lastAngle() const { return m_lastAngle; }

    // While set (and the plant link is enabled) every judged region appends a record.
    void setCollectRecords(bool on) { m_collect = on; }
    const std::vector<ResultRecord>& records() const { return m_records; }
    // Hands the collected records over and empties the list.
    std::vector<ResultRecord> takeRecords();

    // Receives every "REG RUN ERROR" line besides the diagnostic log (tests listen here).
    void setLogSink(std::function<void(const QString&)> sink) { m_logSink = std::move(sink); }

    // Hue or gray conversion of an RGBA frame as the parameters choose.
    static void convertColour(const cv::Mat& rgba, cv::Mat& out, bool grayChannel);

private:
    struct Work;  // per-region buffers reused from run to run

    bool functionEnabled(int function) const;
    const cv::Mat& referenceGray(int d, int slot, cv::Mat& buf) const;
    void logError(int d, int code);
    // Processing of one region into its result; returns false when the region fails.
    bool judge(int d, int k, const RoiEntry& e, const cv::Mat& w, const cv::Mat& validity,
               RoiResult& r, bool preview, int& lower, int& upper);
    void finishBlobs(const cv::Rect& R, const cv::Mat& b, int kernel, Work& wk, RoiResult& r,
                     bool sumArea);

    DetectorInputs m_in;
    std::array<FindShape, kDetections> m_position;
    std::array<cv::Point, kDetections> m_refCentre{};
    std::array<cv::Rect, kDetections> m_window{};
    std::array<cv::Mat, kDetections> m_validity;
    std::array<std::array<GrayMatch, kMaxRois>, kDetections> m_defect;
    std::array<std::array<SURF, kMaxRois>, kDetections> m_similarity;
    std::array<std::array<RoiResult, kMaxRois>, kDetections> m_results;
    std::array<unsigned char, kDetections> m_detectionOk{};
    std::vector<std::unique_ptr<Work>> m_work;  // kDetections * kMaxRois, made on demand

    cv::Mat m_current, m_aligned, m_conversion, m_alarm;
    cv::Point2d m_lastShift;
    double m_lastAngle = 0.0;
    bool m_collect = false;
    std::vector<ResultRecord> m_records;
    std::function<void(const QString&)> m_logSink;
    CBlobResult m_blobs;
};

// Aligns and judges detection d on several independent cameras, using up to
// `threads` worker threads (1 = in the calling thread). Records are merged into
// `records` in camera order, exactly as a single-threaded run would give them.
void runCameras(std::span<DetectorSet* const> cameras, int d, int threads,
                std::vector<ResultRecord>* records);
