#pragma once

#include <cstdint>

#include <opencv2/core.hpp>

// Image helpers shared by the inspection steps. Rotation angles follow the camera view: a positive
// angle turns the picture counter-clockwise on screen (y axis pointing down).

// Returns `image` shifted by (dx, dy) pixels; fractional shifts interpolate bilinearly. Pixels
// uncovered by the shift are 0. Any depth and channel count.
cv::Mat MoveImage(const cv::Mat& image, double dx, double dy);
// Same, writing into `out` (reused when it already has the right size and type).
void MoveImage(const cv::Mat& image, double dx, double dy, cv::Mat& out);

// Returns `image` rotated by `angleDeg` degrees about `centre` (pixels) and then shifted by
// `shift` (pixels): a point p of the input lands at R(p - centre) + centre + shift.
// Uncovered pixels are 0; interpolation is bilinear.
cv::Mat TransformImage(const cv::Mat& image, cv::Point2d shift, cv::Point2d centre,
                       double angleDeg);
// The 2x3 matrix used by TransformImage (maps input points to output points).
cv::Matx23d TransformMatrix(cv::Point2d shift, cv::Point2d centre, double angleDeg);

// Pixel format conversions on packed buffers. dst: destination pixels; src: source pixels;
// width, height: image size in pixels; rows have no padding. RGBA is 4 bytes per pixel in the
// order R, G, B, A; RGB is 3 bytes; gray and hue are 1 byte.
// Gray = 0.299 R + 0.587 G + 0.114 B.
void RGBA2Gray(std::uint8_t* dst, const std::uint8_t* src, int width, int height);
// Hue scaled to the full byte: 0 red, 85 green, 170 blue; gray pixels have hue 0.
void RGBA2Hue(std::uint8_t* dst, const std::uint8_t* src, int width, int height);
// Gray to RGBA with R = G = B = gray and A = 255.
void Gray2RGBA(std::uint8_t* dst, const std::uint8_t* src, int width, int height);
// RGB to RGBA with A = 255.
void RGB2RGBA(std::uint8_t* dst, const std::uint8_t* src, int width, int height);
