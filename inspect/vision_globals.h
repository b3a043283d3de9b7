#pragma once

#include <opencv2/core/types.hpp>

// Camera image size in pixels.
extern int gImageW;
extern int gImageH;
// Size of the camera view on screen in display pixels.
extern int gShowW;
extern int gShowH;
// View-to-image scale factors: image pixel = display pixel * factor.
extern float gShowAW;
extern float gShowAH;

// Sets the image and view sizes and derives gShowAW = imageW / showW, gShowAH = imageH / showH.
// Sizes must be positive.
void SetViewGeometry(int imageW, int imageH, int showW, int showH);

// Clamps a display coordinate into the camera view. value: coordinate in display pixels;
// axis: 1 for x (range 0..gShowW), 0 for y (range 0..gShowH).
double CheckInRange(double value, int axis);
int CheckInRange(int value, int axis);

// Clips a rectangle given in display pixels to the camera view (0, 0, gShowW, gShowH);
// an empty rectangle results when they do not overlap.
cv::Rect CheckInRange(const cv::Rect& rect);
cv::Rect2d CheckInRange(const cv::Rect2d& rect);
