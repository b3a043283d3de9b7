#include "inspect/detect/detectorset.h"

#include <glog/logging.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <thread>

#include "inspect/caliper.h"
#include "inspect/image_ops.h"
#include "inspect/templatelibrary.h"

// Buffers of one region, reused from run to run so a run allocates nothing
// once the sizes have settled.
struct DetectorSet::Work {
    cv::Mat b;       // result image B
    cv::Mat a;       // opened alarm image A
    cv::Mat eff;     // effective mask
    cv::Mat kernel;  // opening kernel
    int kernelSize = -1;
    cv::Mat closeKernel;
    int closeSize = -1;
    cv::Mat surfMap;
    cv::Mat box;  // Direction: one contour's box
    std::vector<std::vector<cv::Point>> contours;
};

namespace {

cv::Rect clipToImage(const cv::Rect& r, cv::Size s) {
    return r & cv::Rect(0, 0, s.width, s.height);
}

const cv::Mat& ellipseKernel(int size, cv::Mat& cache, int& cachedSize) {
    size = std::max(size, 1);
    if (cachedSize != size) {
        cache = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(size, size));
        cachedSize = size;
    }
    return cache;
}

AlarmRect toAlarmRect(const cv::Rect& box, const cv::Rect& R) {
    return {box.x + R.x, box.y + R.y, box.x + R.x + box.width - 1, box.y + R.y + box.height - 1};
}

}  // namespace

DetectorSet::DetectorSet(const DetectorInputs& in) : m_in(in) {
    m_work.resize(kDetections * kMaxRois);
    m_detectionOk.fill(1);
}

DetectorSet::~DetectorSet() = default;

bool DetectorSet::functionEnabled(int f) const {
    const SystemParams& p = *m_in.params;
    switch (f) {
        case FuncDefect:
            return p.enable_defect_detect != 0;
        case FuncSpot:
            return p.enable_spot_detect != 0;
        case FuncBlackArea:
            return p.enable_black_area != 0;
        case FuncWhiteArea:
            return p.enable_white_area != 0;
        case FuncSimilarity:
            return p.enable_similarity != 0;
        case FuncWhiteNumber:
            return p.enable_white_number != 0;
        case FuncDirection:
            return p.direction_recognition != 0;
        case FuncDistance:
            return p.dist_measure != 0;
        default:
            return false;
    }
}

void DetectorSet::convertColour(const cv::Mat& rgba, cv::Mat& out, bool grayChannel) {
    CV_Assert(rgba.type() == CV_8UC4 && rgba.isContinuous());
    out.create(rgba.size(), CV_8UC1);
    if (grayChannel)
        RGBA2Gray(out.data, rgba.data, rgba.cols, rgba.rows);
    else
        RGBA2Hue(out.data, rgba.data, rgba.cols, rgba.rows);
}

const cv::Mat& DetectorSet::referenceGray(int d, int slot, cv::Mat& buf) const {
    static const cv::Mat none;
    const TemplateLibrary* lib = m_in.templates[d];
    if (lib == nullptr || !lib->isValid(slot))
        return none;
    const cv::Mat& img = lib->image(slot);
    if (img.type() == CV_8UC4) {
        convertColour(img, buf, m_in.params->enable_gray_channel != 0);
        return buf;
    }
    return img;
}

void DetectorSet::logError(int d, int code) {
    const QString line =
        QStringLiteral("REG RUN ERROR = %1, %2, %3").arg(m_in.camera).arg(d).arg(code);
    LOG(INFO) << line.toStdString();
    if (m_logSink)
        m_logSink(line);
}

std::vector<ResultRecord> DetectorSet::takeRecords() {
    std::vector<ResultRecord> out;
    out.swap(m_records);
    return out;
}

void DetectorSet::trainPositioning(int d) {
    const SystemParams& p = *m_in.params;
    m_position[d].Clear();
    m_window[d] = {};
    if (p.enable_correct == -1 || m_in.colour)
        return;
    cv::Mat buf;
    const cv::Mat& ref = referenceGray(d, 0, buf);
    if (ref.empty())
        return;
    const DetectionRois& det = m_in.rois->detections[d];
    const cv::Size is = m_in.imageSize;
    cv::Rect pr(is.width / 4, is.height / 4, is.width / 2, is.height / 2);
    cv::Mat mask;
    double least = 5;
    for (int k = 0; k < det.count; ++k) {
        const RoiEntry& e = det.rois[k];
        if (e.function != FuncPosition)
            continue;
        if (e.imageRect.area() > 0 && e.roiMask.size() == e.imageRect.size()) {
            pr = e.imageRect;
            mask = e.roiMask;
            least = e.minWH;
        }
        break;
    }
    pr = clipToImage(pr, ref.size());
    if (pr.area() <= 0)
        return;
    if (mask.empty())
        mask = cv::Mat(pr.size(), CV_8UC1, cv::Scalar(255));
    m_refCentre[d] = {pr.x + pr.width / 2, pr.y + pr.height / 2};
    const double range = (p.angle >= 1 && p.angle <= 180) ? p.angle : p.enable_correct;
    m_position[d].CreateShape(ref(pr), 0.0, 0, std::max(range, 0.0), m_refCentre[d].x,
                              m_refCentre[d].y, false, 255, mask, least, 0);
    const int g = p.location_adge;
    const cv::Rect grown(pr.x - g, pr.y - g, pr.width + 2 * g, pr.height + 2 * g);
    const cv::Rect w = clipToImage(grown, ref.size());
    m_window[d] = (w.width > 0 && w.height > 0) ? w : cv::Rect();
}

void DetectorSet::alignImage(int d) {
    const SystemParams& p = *m_in.params;
    m_lastShift = {};
    m_lastAngle = 0.0;
    const bool plain = p.enable_correct == -1 || !m_position[d].IsValid() || m_in.colour ||
                       m_window[d].area() <= 0 || m_current.empty();
    if (!plain) {
        const cv::Rect w = clipToImage(m_window[d], m_current.size());
        double x = 0, y = 0, score = 0, angle = 0;
        if (w == m_window[d] && m_position[d].Find(m_current(w), 0, x, y, score, angle)) {
            const double dx = x - w.x;
            const double dy = y - w.y;
            m_lastShift = {dx, dy};
            if (p.angle >= 1 && p.angle <= 180) {
                // The part turned by `angle` about its own reference point, which moved by
                // (dx, dy): turn it back about that point and move it home.
                m_lastAngle = angle;
                const cv::Point2d centre(m_refCentre[d].x + dx, m_refCentre[d].y + dy);
                const cv::Matx23d m = TransformMatrix({-dx, -dy}, centre, -angle);
                cv::warpAffine(m_current, m_aligned, m, m_current.size(), cv::INTER_LINEAR,
                               cv::BORDER_CONSTANT, cv::Scalar());
            } else {
                MoveImage(m_current, -dx, -dy, m_aligned);
            }
            return;
        }
    }
    m_current.copyTo(m_aligned);
}

void DetectorSet::trainRegions(int d) {
    const SystemParams& p = *m_in.params;
    for (int k = 0; k < kMaxRois; ++k) {
        if (m_defect[d][k].IsValid())
            m_defect[d][k].Clear();
        if (m_similarity[d][k].IsValid())
            m_similarity[d][k].Clear();
    }
    const cv::Mat& ignore = (*m_in.ignoreMasks)[d];
    m_validity[d] = ignore.clone();
    DetectionRois& det = m_in.rois->detections[d];
    for (int k = 0; k < det.count; ++k) {
        RoiEntry& e = det.rois[k];
        if (e.function == FuncIgnoreArea && e.imageRect.area() > 0 && !m_validity[d].empty()) {
            const cv::Rect R = clipToImage(e.imageRect, m_validity[d].size());
            if (R == e.imageRect)
                e.roiMask = m_validity[d](R).clone();
        }
    }
    if (!m_validity[d].empty())
        cv::bitwise_not(m_validity[d], m_validity[d]);

    const TemplateLibrary* lib = m_in.templates[d];
    cv::Mat refBuf, tplBuf;
    const cv::Mat& ref = referenceGray(d, 0, refBuf);
    for (int k = 0; k < det.count; ++k) {
        const RoiEntry& e = det.rois[k];
        const int f = e.function;
        if (f != FuncDefect && f != FuncSimilarity && f != FuncDistance)
            continue;
        if (!functionEnabled(f) || e.imageRect.area() <= 0 || e.roiMask.empty() ||
            m_validity[d].empty())
            continue;
        const cv::Rect R = e.imageRect;
        if (R != clipToImage(R, m_validity[d].size()))
            continue;
        cv::Mat eff;
        cv::bitwise_and(e.roiMask, m_validity[d](R), eff);
        RoiResult& r = m_results[d][k];
        if (f == FuncDistance) {
            r.referenceCount = 0;
            r.value = 0;
            if (ref.empty())
                continue;
            const CaliperResult c =
                measureEdges(ref, boxFromRoi(R.x, R.y, R.width, R.height, e.minWH), e.sensitivity);
            const int n = c.found ? static_cast<int>(c.points.size()) : 0;
            if (n == 1) {
                r.referencePoints[0] = c.points[0];
                r.referenceCount = 1;
                r.value = static_cast<int>(c.points[0].x);
            } else if (n >= 2) {
                r.referencePoints = {c.points.front(), c.points.back()};
                r.referenceCount = 2;
                r.value = static_cast<int>(cv::norm(c.points.back() - c.points.front()));
            }
            continue;
        }
        if (f == FuncSimilarity)
            m_similarity[d][k].Create(R.width, R.height, eff);
        else
            m_defect[d][k].Create(R.width, R.height, eff, 0);
        if (lib == nullptr)
            continue;
        int added = 0;
        for (int s = 0; s < lib->slotCount() && added < lib->count(); ++s) {
            if (!lib->isValid(s))
                continue;
            const cv::Mat& t = referenceGray(d, s, tplBuf);
            if (t.empty() || R != clipToImage(R, t.size()))
                continue;
            if (f == FuncSimilarity)
                m_similarity[d][k].AddTemp(t(R), 1, 50, static_cast<float>(e.sensitivity));
            else
                m_defect[d][k].AddTemp(t(R));
            ++added;
        }
        if (f == FuncSimilarity)
            m_similarity[d][k].Train(0, 0, 0, 0);
        else
            m_defect[d][k].Train(e.sensitivity, p.difference_multiplier, 100, 150);
    }
}

void DetectorSet::finishBlobs(const cv::Rect& R, const cv::Mat& b, int kernel, Work& wk,
                              RoiResult& r, bool sumArea) {
    cv::morphologyEx(b, wk.a, cv::MORPH_OPEN, ellipseKernel(kernel, wk.kernel, wk.kernelSize),
                     cv::Point(-1, -1), 1);
    wk.a.copyTo(m_alarm(R));
    m_blobs.Compute(wk.a);
    int value = 0;
    const int n = m_blobs.GetNumBlobs();
    for (int i = 0; i < n; ++i) {
        const CBlob& blob = m_blobs.GetBlob(i);
        value = static_cast<int>(value + blob.Area());
        if (r.rectCount < kMaxAlarmRects)
            r.rects[r.rectCount++] = toAlarmRect(blob.GetBoundingBox(), R);
    }
    if (sumArea)
        r.value = value;
}

bool DetectorSet::judge(int d, int k, const RoiEntry& e, const cv::Mat& w, const cv::Mat& validity,
                        RoiResult& r, bool preview, int& lower, int& upper) {
    const SystemParams& p = *m_in.params;
    const cv::Rect R = e.imageRect;
    auto& slot = m_work[d * kMaxRois + k];
    if (!slot)
        slot = std::make_unique<Work>();
    Work& wk = *slot;
    const cv::Mat crop = w(R);
    cv::bitwise_and(e.roiMask, validity(R), wk.eff);
    wk.b.create(R.size(), CV_8UC1);
    wk.b.setTo(0);
    const bool detail = p.enable_display_detail != 0;
    const int f = e.function;
    lower = 0;
    upper = 0;
    // Gray band select: a pixel belongs to the result when low <= gray <= high.
    auto band = [&](int low, int high) {
        cv::inRange(crop, cv::Scalar(low), cv::Scalar(high), wk.b);
        cv::bitwise_and(wk.b, wk.eff, wk.b);
    };
    switch (f) {
        case FuncDefect: {
            if (!preview && m_defect[d][k].IsValid())
                m_defect[d][k].Match(crop, wk.b);
            finishBlobs(R, wk.b, detail ? e.minWH : p.minimum_size, wk, r, true);
            const int L = detail ? e.area : p.minimum_area;
            lower = 0;
            upper = L;
            return p.ng_image ? r.value >= L : r.value <= L;
        }
        case FuncSpot: {
            const int a = low8(e.minWH), b = high8(e.minWH);
            band(std::min(a, b), std::max(a, b));
            finishBlobs(R, wk.b, p.min_spot, wk, r, true);
            lower = e.sensitivity;
            upper = e.area;
            return !(r.value < e.sensitivity || r.value > e.area);
        }
        case FuncBlackArea:
        case FuncWhiteArea: {
            if (f == FuncBlackArea)
                band(0, low8(e.sensitivity));
            else
                band(low8(e.sensitivity), 255);
            finishBlobs(R, wk.b, p.min_spot, wk, r, true);
            lower = 0;
            upper = e.area;
            return r.value <= e.area;
        }
        case FuncWhiteNumber: {
            band(low8(e.sensitivity), 255);
            const int ks = std::max(e.minWH, 1);
            cv::morphologyEx(wk.b, wk.b, cv::MORPH_CLOSE,
                             ellipseKernel(ks, wk.closeKernel, wk.closeSize));
            finishBlobs(R, wk.b, ks, wk, r, false);
            r.value = std::min(m_blobs.GetNumBlobs(), kMaxAlarmRects);
            const int a = low16(e.area), b = high16(e.area);
            lower = std::min(a, b);
            upper = std::max(a, b);
            return r.value >= lower && r.value <= upper;
        }
        case FuncSimilarity: {
            float score = 0.0f;
            if (!preview && m_similarity[d][k].IsValid())
                score = std::max(0.0f, m_similarity[d][k].Match(crop, wk.surfMap));
            r.value = static_cast<int>(score);
            lower = e.sensitivity;
            upper = -1;
            const bool pass = r.value >= e.sensitivity;
            if (!pass && r.rectCount == 0) {
                // the whole region is what differs: show it
                r.rects[r.rectCount++] = toAlarmRect(cv::Rect(cv::Point(), R.size()), R);
                m_alarm(R).setTo(255, wk.eff);
            }
            return pass;
        }
        case FuncDirection: {
            cv::threshold(crop, wk.b, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
            cv::findContours(wk.b, wk.contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
            wk.a.create(R.size(), CV_8UC1);
            wk.a.setTo(0);
            const int lo = std::min(e.sensitivity, e.area), hi = std::max(e.sensitivity, e.area);
            int count = 0;
            for (size_t i = 0; i < wk.contours.size(); ++i) {
                const double area = cv::contourArea(wk.contours[i]);
                if (!(area > lo && area < hi))
                    continue;
                const cv::Rect box = cv::boundingRect(wk.contours[i]);
                wk.box.create(box.size(), CV_8UC1);
                wk.box.setTo(0);
                cv::drawContours(wk.box, wk.contours, static_cast<int>(i), cv::Scalar(255),
                                 cv::FILLED, cv::LINE_8, cv::noArray(), INT_MAX, -box.tl());
                cv::bitwise_not(wk.box, wk.box);
                const cv::Moments m = cv::moments(wk.box, true);
                if (m.m00 <= 0)
                    continue;
                const int cx = static_cast<int>(std::lround(m.m10 / m.m00));
                const bool wrong = (cx > box.width / 2.0 && e.minWH == 0) ||
                                   (cx < box.width / 2.0 && e.minWH == 1);
                if (!wrong)
                    continue;
                cv::drawContours(wk.a, wk.contours, static_cast<int>(i), cv::Scalar(255),
                                 cv::FILLED);
                ++count;
                if (r.rectCount < kMaxAlarmRects)
                    r.rects[r.rectCount++] = toAlarmRect(box, R);
            }
            wk.a.copyTo(m_alarm(R));
            r.value = count;
            return count == 0;
        }
        case FuncDistance: {
            const CaliperResult c =
                measureEdges(w, boxFromRoi(R.x, R.y, R.width, R.height, e.minWH), e.sensitivity);
            const int n = c.found ? static_cast<int>(c.points.size()) : 0;
            lower = 0;
            upper = e.area;
            if (n == 0) {
                r.value = 0;
                r.currentCount = 0;
                return false;
            }
            if (n == 1) {
                r.currentPoints[0] = c.points[0];
                r.currentCount = 1;
                r.value = static_cast<int>(c.points[0].x);
                return r.referenceCount == 1 &&
                       cv::norm(c.points[0] - r.referencePoints[0]) <= e.area;
            }
            r.currentPoints = {c.points.front(), c.points.back()};
            r.currentCount = 2;
            const double dist = cv::norm(c.points.back() - c.points.front());
            r.value = static_cast<int>(dist);
            return !(dist > e.area || r.referenceCount != 2);
        }
        default:
            return true;
    }
}

void DetectorSet::runDetection(int d) {
    const SystemParams& p = *m_in.params;
    m_detectionOk[d] = 1;
    DetectionRois& det = m_in.rois->detections[d];
    for (int k = 0; k < kMaxRois; ++k)
        m_results[d][k].ok = 1;
    const cv::Mat* w = &m_aligned;
    if (m_in.colour) {
        convertColour(m_aligned, m_conversion, p.enable_gray_channel != 0);
        w = &m_conversion;
    }
    m_alarm.create(m_in.imageSize, CV_8UC1);
    m_alarm.setTo(0);
    const bool record = m_collect && p.enable_network() != 0;
    for (int k = 0; k < det.count; ++k) {
        const RoiEntry& e = det.rois[k];
        RoiResult& r = m_results[d][k];
        if (e.function == FuncIgnoreArea || e.function == FuncPosition ||
            !functionEnabled(e.function)) {
            r.value = 0;
            r.rectCount = 0;
            continue;
        }
        if (e.roiMask.empty()) {
            m_detectionOk[d] = 0;
            logError(d, -1);
            continue;
        }
        if (m_validity[d].empty()) {
            m_detectionOk[d] = 0;
            logError(d, -2);
            continue;
        }
        const cv::Rect R = e.imageRect;
        if (R.width <= 0 || R.height <= 0 || R != clipToImage(R, w->size()) ||
            e.roiMask.size() != R.size()) {
            m_detectionOk[d] = 0;
            logError(d, -3);
            continue;
        }
        r.rectCount = 0;
        int lower = 0, upper = 0;
        const bool pass = judge(d, k, e, *w, m_validity[d], r, false, lower, upper);
        if (!pass) {
            r.ok = 0;
            m_detectionOk[d] = 0;
        }
        if (record) {
            const bool limits = e.function <= FuncSimilarity || e.function == FuncWhiteNumber ||
                                e.function == FuncDistance;
            m_records.push_back({m_in.camera, d, k, e.function, r.value, limits ? lower : 0,
                                 limits ? upper : 0, pass ? m_detectionOk[d] : 0});
        }
    }
}

void DetectorSet::previewRoi(int d, int k, const CameraRoiSet& edited, const cv::Mat& image) {
    m_alarm.create(m_in.imageSize, CV_8UC1);
    m_alarm.setTo(0);
    RoiResult& r = m_results[d][k];
    r.value = 0;
    r.rectCount = 0;
    const RoiEntry& e = edited.detections[d].rois[k];
    const int f = e.function;
    if (f == FuncDefect || f == FuncIgnoreArea || f == FuncPosition || f == FuncSimilarity)
        return;
    if (image.empty() || image.type() != CV_8UC1 || e.roiMask.empty() || e.imageRect.area() <= 0 ||
        e.roiMask.size() != e.imageRect.size() ||
        e.imageRect != clipToImage(e.imageRect, image.size()))
        return;
    const cv::Mat& validity = m_validity[d].size() == image.size()
                                  ? m_validity[d]
                                  : cv::Mat(image.size(), CV_8UC1, cv::Scalar(255));
    int lower = 0, upper = 0;
    judge(d, k, e, image, validity, r, true, lower, upper);
}

void runCameras(std::span<DetectorSet* const> cameras, int d, int threads,
                std::vector<ResultRecord>* records) {
    const int n = static_cast<int>(cameras.size());
    auto one = [&](int i) {
        cameras[i]->alignImage(d);
        cameras[i]->runDetection(d);
    };
    threads = std::clamp(threads, 1, std::max(n, 1));
    if (threads == 1) {
        for (int i = 0; i < n; ++i)
            one(i);
    } else {
        std::atomic<int> next{0};
        std::vector<std::jthread> pool;
        for (int t = 1; t < threads; ++t)
            pool.emplace_back([&] {
                for (int i = next++; i < n; i = next++)
                    one(i);
            });
        for (int i = next++; i < n; i = next++)
            one(i);
        pool.clear();
    }
    if (records != nullptr)
        for (DetectorSet* c : cameras) {
            std::vector<ResultRecord> r = c->takeRecords();
            records->insert(records->end(), r.begin(), r.end());
        }
}
