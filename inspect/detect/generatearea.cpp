#include "inspect/detect/generatearea.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "inspect/vision_globals.h"
#include "systemparams.h"

namespace {

cv::Mat toGray(const cv::Mat& img) {
    if (img.type() == CV_8UC4) {
        cv::Mat g;
        cv::cvtColor(img, g, cv::COLOR_RGBA2GRAY);
        return g;
    }
    return img;
}

}  // namespace

GeneratedArea generateArea(CameraRoiSet& edited, int d, const cv::Mat& product,
                           const cv::Mat& mould, const SystemParams& params) {
    GeneratedArea out;
    if (d < 0 || d >= kDetections || product.empty() || mould.empty() ||
        product.size() != mould.size())
        return out;
    DetectionRois& det = edited.detections[d];
    if (det.count != 0)
        return out;
    cv::Mat diff;
    cv::absdiff(toGray(product), toGray(mould), diff);
    cv::Mat t;
    cv::threshold(diff, t, 50, 255, cv::THRESH_TRUNC);
    const cv::Point anchor(-1, -1);
    const auto border = cv::BORDER_CONSTANT;
    const cv::Scalar bv = cv::morphologyDefaultBorderValue();
    cv::morphologyEx(t, t, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, {3, 3}),
                     anchor, 1, border, bv);
    const cv::Mat e30 = cv::getStructuringElement(cv::MORPH_ELLIPSE, {30, 30});
    cv::morphologyEx(t, t, cv::MORPH_CLOSE, e30, anchor, 1, border, bv);
    cv::morphologyEx(t, t, cv::MORPH_OPEN, e30, anchor, 1, border, bv);
    cv::dilate(t, t, cv::getStructuringElement(cv::MORPH_ELLIPSE, {50, 50}), anchor, 1, border, bv);
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(t, contours, hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE);
    if (contours.empty())
        return out;
    std::vector<cv::Point> pooled;
    for (const auto& c : contours)
        pooled.insert(pooled.end(), c.begin(), c.end());
    std::vector<cv::Point> hull;
    cv::convexHull(pooled, hull);
    std::vector<cv::Point> poly;
    cv::approxPolyDP(hull, poly, 10, true);
    if (static_cast<int>(poly.size()) > kMaxPolygonVertices)
        poly.resize(kMaxPolygonVertices);
    if (poly.empty())
        return out;

    out.box = cv::boundingRect(poly) & cv::Rect(0, 0, diff.cols, diff.rows);
    const cv::Mat boxDiff = diff(out.box);
    out.meanDiff = static_cast<int>(cv::mean(boxDiff)[0]);
    out.differing = cv::countNonZero(boxDiff);
    const long long wh = static_cast<long long>(out.box.width) * out.box.height;
    const int sensitivity = out.differing > 0
                                ? static_cast<int>(std::floor(
                                      0.2 * static_cast<double>(out.meanDiff * wh / out.differing)))
                                : kGeneratedDefaultSensitivity;

    RoiEntry e;
    e.function = FuncDefect;
    e.shape = ShapePolygon;
    e.minWH = params.minimum_size;
    e.area = params.minimum_area;
    e.sensitivity = sensitivity;
    e.points.reserve(poly.size());
    // Regions live in view coordinates; the view may be smaller than the image.
    const double sx = gShowAW > 0 ? gShowAW : 1.0;
    const double sy = gShowAH > 0 ? gShowAH : 1.0;
    for (const cv::Point& p : poly) {
        const int vx = static_cast<int>(std::lround(p.x / sx));
        const int vy = static_cast<int>(std::lround(p.y / sy));
        e.points.emplace_back(CheckInRange(vx, 1), CheckInRange(vy, 0));
    }
    e.rebuild();
    det.rois[0] = std::move(e);
    det.count = 1;
    out.created = true;
    out.imagePolygon = std::move(poly);
    return out;
}
