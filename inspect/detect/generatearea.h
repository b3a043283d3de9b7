#pragma once

#include <opencv2/core.hpp>

#include "inspect/roiset.h"

struct SystemParams;

// Outcome of an automatic area generation (for the caller's repaint and tests).
struct GeneratedArea {
    bool created = false;
    std::vector<cv::Point> imagePolygon;  // vertices in image pixels
    cv::Rect box;                         // bounding rectangle of the polygon, image pixels
    int meanDiff = 0;                     // mean difference over the box, truncated
    int differing = 0;                    // non-zero difference pixels in the box
};

// Sensitivity of a generated region when its box holds no differing pixel.
constexpr int kGeneratedDefaultSensitivity = 45;

// Adds one Defect polygon enclosing everything that differs between product
// (template 0 of detection 0) and mould (template 0 of detection 1) to detection d
// of the edited set, which must be empty. Colour references are compared in gray.
// Vertices are stored in view coordinates (image pixels / gShowAW, gShowAH).
GeneratedArea generateArea(CameraRoiSet& edited, int d, const cv::Mat& product,
                           const cv::Mat& mould, const SystemParams& params);
