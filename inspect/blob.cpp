#include "inspect/blob.h"

#include <algorithm>
#include <limits>

#include <opencv2/imgproc.hpp>

CBlob::CBlob(int id, double area, const cv::Rect& box, const cv::Point2d& centroid)
    : m_id(id), m_area(area), m_box(box), m_centroid(centroid) {}

CBlobResult::CBlobResult(const cv::Mat& image, const cv::Mat& mask, int background) {
    Compute(image, mask, background);
}

void CBlobResult::Compute(const cv::Mat& image, const cv::Mat& mask, int background) {
    m_blobs.clear();
    CV_Assert(image.type() == CV_8UC1);
    CV_Assert(mask.empty() || (mask.type() == CV_8UC1 && mask.size() == image.size()));
    if (background == 0 && mask.empty()) {
        m_foreground = image;
    } else {
        cv::compare(image, cv::Scalar(background), m_foreground, cv::CMP_NE);
        if (!mask.empty()) {
            m_foreground.setTo(0, mask == 0);
        }
    }
    const int n = cv::connectedComponents(m_foreground, m_labels, 8, CV_32S);
    // Area, box and centroid per label from one pass over runs of equal labels (much cheaper
    // than OpenCV's per-pixel statistics).
    m_stats.resize(static_cast<size_t>(std::max(n, 1)));
    for (Stats& st : m_stats) {
        st = Stats{};
    }
    for (int y = 0; y < m_labels.rows; ++y) {
        const int* row = m_labels.ptr<int>(y);
        int x = 0;
        while (x < m_labels.cols) {
            const int label = row[x];
            const int start = x;
            while (x < m_labels.cols && row[x] == label) {
                ++x;
            }
            if (label == 0) {
                continue;
            }
            Stats& st = m_stats[static_cast<size_t>(label)];
            const std::int64_t len = x - start;
            st.area += len;
            st.sumX += len * (start + x - 1) / 2.0;
            st.sumY += static_cast<double>(len) * y;
            st.minX = std::min(st.minX, start);
            st.maxX = std::max(st.maxX, x - 1);
            st.minY = std::min(st.minY, y);
            st.maxY = std::max(st.maxY, y);
        }
    }
    m_blobs.reserve(static_cast<size_t>(n > 0 ? n - 1 : 0));
    for (int i = 1; i < n; ++i) {
        const Stats& st = m_stats[static_cast<size_t>(i)];
        const double area = static_cast<double>(st.area);
        m_blobs.emplace_back(
            i, area, cv::Rect(st.minX, st.minY, st.maxX - st.minX + 1, st.maxY - st.minY + 1),
            cv::Point2d(st.sumX / area, st.sumY / area));
    }
}

const CBlob& CBlobResult::GetBlob(int index) const {
    CV_Assert(index >= 0 && index < GetNumBlobs());
    return m_blobs[static_cast<size_t>(index)];
}
