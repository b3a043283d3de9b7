#include "inspect/image_ops.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

void MoveImage(const cv::Mat& image, double dx, double dy, cv::Mat& out) {
    CV_Assert(!image.empty());
    const bool whole = dx == std::round(dx) && dy == std::round(dy);
    if (!whole) {
        const cv::Matx23d m(1, 0, dx, 0, 1, dy);
        cv::warpAffine(image, out, m, image.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT);
        return;
    }
    const int ix = static_cast<int>(dx);
    const int iy = static_cast<int>(dy);
    if (out.data == image.data) {
        out = cv::Mat();
    }
    out.create(image.size(), image.type());
    out.setTo(cv::Scalar::all(0));
    const cv::Rect full(0, 0, image.cols, image.rows);
    const cv::Rect dstRect = (full + cv::Point(ix, iy)) & full;
    if (dstRect.empty()) {
        return;
    }
    image(dstRect - cv::Point(ix, iy)).copyTo(out(dstRect));
}

cv::Mat MoveImage(const cv::Mat& image, double dx, double dy) {
    cv::Mat out;
    MoveImage(image, dx, dy, out);
    return out;
}

cv::Matx23d TransformMatrix(cv::Point2d shift, cv::Point2d centre, double angleDeg) {
    cv::Mat r = cv::getRotationMatrix2D(centre, angleDeg, 1.0);
    cv::Matx23d m = r;
    m(0, 2) += shift.x;
    m(1, 2) += shift.y;
    return m;
}

cv::Mat TransformImage(const cv::Mat& image, cv::Point2d shift, cv::Point2d centre,
                       double angleDeg) {
    cv::Mat out;
    cv::warpAffine(image, out, TransformMatrix(shift, centre, angleDeg), image.size(),
                   cv::INTER_LINEAR, cv::BORDER_CONSTANT);
    return out;
}

namespace {

// Wraps a packed caller buffer without copying.
cv::Mat Wrap(const std::uint8_t* data, int width, int height, int channels) {
    return cv::Mat(height, width, CV_8UC(channels), const_cast<std::uint8_t*>(data));
}

}  // namespace

void RGBA2Gray(std::uint8_t* dst, const std::uint8_t* src, int width, int height) {
    cv::Mat out = Wrap(dst, width, height, 1);
    cv::cvtColor(Wrap(src, width, height, 4), out, cv::COLOR_RGBA2GRAY);
}

void RGBA2Hue(std::uint8_t* dst, const std::uint8_t* src, int width, int height) {
    cv::Mat rgb;
    cv::cvtColor(Wrap(src, width, height, 4), rgb, cv::COLOR_RGBA2RGB);
    cv::Mat hsv;
    cv::cvtColor(rgb, hsv, cv::COLOR_RGB2HSV_FULL);
    cv::Mat out = Wrap(dst, width, height, 1);
    cv::extractChannel(hsv, out, 0);
}

void Gray2RGBA(std::uint8_t* dst, const std::uint8_t* src, int width, int height) {
    cv::Mat out = Wrap(dst, width, height, 4);
    cv::cvtColor(Wrap(src, width, height, 1), out, cv::COLOR_GRAY2RGBA);
}

void RGB2RGBA(std::uint8_t* dst, const std::uint8_t* src, int width, int height) {
    cv::Mat out = Wrap(dst, width, height, 4);
    cv::cvtColor(Wrap(src, width, height, 3), out, cv::COLOR_RGB2RGBA);
}
