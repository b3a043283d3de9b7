#pragma once

#include <opencv2/core.hpp>
#include <vector>

// A straight measuring strip in image pixels: centre, direction (degrees; 0
// measures along x, 90 along y), extent along the direction and across it.
struct CaliperBox {
    double centreX = 0;
    double centreY = 0;
    float angle = 0;
    float length = 0;
    float width = 0;
};

// The strip of a rectangle region: direction 0 measures along its width,
// direction 1 along its height.
CaliperBox boxFromRoi(int x, int y, int w, int h, int direction);

// Edges found along a strip: the first one and the most recent ones, in image
// pixels. found is false when the strip is degenerate or shows no edge.
struct CaliperResult {
    bool found = false;
    std::vector<cv::Point2d> points;
};

// Finds intensity edges along box in an 8-bit gray or colour (RGB/RGBA) image.
// Differences of neighbouring profile values below minStep do not count.
CaliperResult measureEdges(const cv::Mat& image, const CaliperBox& box, int minStep);

// The peak positions of a gray profile (exposed for tests): edge strength,
// minimum step, smoothing, threshold and the forward peak scan.
std::vector<int> caliperPeaks(const std::vector<float>& profile, int minStep);
// The forward peak scan over smoothed edge strengths: the first peak and the
// most recent ones above 1 % of the strongest.
std::vector<int> scanPeaks(const std::vector<double>& strength);
