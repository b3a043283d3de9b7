#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include <opencv2/core.hpp>

// One 8-connected region of foreground pixels.
class CBlob {
public:
    CBlob() = default;
    // id: label of the region (1-based); area: pixel count; box: bounding box in pixels;
    // centroid: mean pixel position.
    CBlob(int id, double area, const cv::Rect& box, const cv::Point2d& centroid);

    int ID() const { return m_id; }
    // Number of pixels in the region.
    double Area() const { return m_area; }
    // Smallest upright rectangle holding every pixel of the region.
    cv::Rect GetBoundingBox() const { return m_box; }
    cv::Point2d Centroid() const { return m_centroid; }

private:
    int m_id = 0;
    double m_area = 0.0;
    cv::Rect m_box;
    cv::Point2d m_centroid;
};

// Labels the 8-connected foreground regions of an 8-bit image.
class CBlobResult {
public:
    CBlobResult() = default;
    // image: 8-bit single-channel; mask: empty, or 8-bit of the same size where pixels equal to 0
    // are treated as background; background: pixel value that is not foreground (every other
    // value is).
    explicit CBlobResult(const cv::Mat& image, const cv::Mat& mask = cv::Mat(), int background = 0);

    // Relabels a new image with the same meaning of the arguments, reusing internal buffers.
    void Compute(const cv::Mat& image, const cv::Mat& mask = cv::Mat(), int background = 0);

    int GetNumBlobs() const { return static_cast<int>(m_blobs.size()); }
    // Blob number `index` (0..GetNumBlobs()-1), in label order (top-down, left-right start).
    const CBlob& GetBlob(int index) const;
    const std::vector<CBlob>& Blobs() const { return m_blobs; }
    // Label image of the last computation: 0 background, i + 1 for blob i (CV_32S).
    const cv::Mat& Labels() const { return m_labels; }

private:
    // Running measurements of one label.
    struct Stats {
        std::int64_t area = 0;
        double sumX = 0.0;
        double sumY = 0.0;
        int minX = std::numeric_limits<int>::max();
        int maxX = -1;
        int minY = std::numeric_limits<int>::max();
        int maxY = -1;
    };

    std::vector<CBlob> m_blobs;
    std::vector<Stats> m_stats;
    cv::Mat m_foreground;
    cv::Mat m_labels;
};
