#include "inspect/vision_globals.h"

#include <algorithm>

int gImageW = 1600;
int gImageH = 1200;
int gShowW = 800;
int gShowH = 600;
float gShowAW = 2.0f;
float gShowAH = 2.0f;

void SetViewGeometry(int imageW, int imageH, int showW, int showH) {
    gImageW = std::max(imageW, 1);
    gImageH = std::max(imageH, 1);
    gShowW = std::max(showW, 1);
    gShowH = std::max(showH, 1);
    gShowAW = static_cast<float>(gImageW) / static_cast<float>(gShowW);
    gShowAH = static_cast<float>(gImageH) / static_cast<float>(gShowH);
}

double CheckInRange(double value, int axis) {
    const double limit = axis == 1 ? gShowW : gShowH;
    return std::clamp(value, 0.0, limit);
}

int CheckInRange(int value, int axis) {
    const int limit = axis == 1 ? gShowW : gShowH;
    return std::clamp(value, 0, limit);
}

cv::Rect CheckInRange(const cv::Rect& rect) {
    return rect & cv::Rect(0, 0, gShowW, gShowH);
}

cv::Rect2d CheckInRange(const cv::Rect2d& rect) {
    return rect & cv::Rect2d(0, 0, gShowW, gShowH);
}
