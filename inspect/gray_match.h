#pragma once

#include <vector>

#include <opencv2/core.hpp>

// Learns from crops of good parts what gray value each pixel may take and flags the pixels of a
// new crop that fall outside. The allowed band of a pixel is the minimum..maximum over the
// templates, widened towards the values of its 3x3 neighbourhood so that edges moving by a
// fraction of a pixel stay inside. Crops are brought to the templates' brightness and contrast
// (mean and standard deviation over the inspected area) before comparison, so global lighting
// changes do not count as differences.
class GrayMatch {
public:
    // Prepares an empty model.
    //   width, height: crop size in pixels; every crop passed later must have this size.
    //   mask:          empty to inspect the whole crop, else 8-bit of that size; pixels that are
    //                  0 are never flagged.
    //   border:        pixels closer than this to the crop edge are not inspected (0 = none).
    bool Create(int width, int height, const cv::Mat& mask, int border);

    // Adds one template: an 8-bit gray crop of a good part, of the size given to Create.
    bool AddTemp(const cv::Mat& crop);

    // Builds the model from the templates added so far.
    //   sensitivity:   gray levels a pixel may lie outside its band before it is flagged (after
    //                  amplification); smaller finds fainter defects. Typical 10..40.
    //   amplify:       difference multiplier 0..4: a pixel's excess over its band counts
    //                  (1 + amplify) times, so small differences reach the sensitivity sooner.
    //   edgeTolerance: how far edges may move, in percent of a pixel (100 = one pixel); widens
    //                  the band towards the neighbouring values by this share.
    //   maxWiden:      upper limit, in gray levels, of that edge widening on each side.
    bool Train(double sensitivity, double amplify, int edgeTolerance, int maxWiden);

    // True once trained.
    bool IsValid() const { return m_trained; }
    // Forgets templates and model (Create's geometry is kept).
    void Clear();
    int TemplateCount() const { return static_cast<int>(m_templates.size()); }

    // Compares `crop` (8-bit gray, the Create size) with the model. `diff` receives an 8-bit
    // image of the crop's size: 255 where the pixel differs from what the templates allow, 0
    // elsewhere. Returns the number of flagged pixels, or -1 without a model or on a size
    // mismatch.
    int Match(const cv::Mat& crop, cv::Mat& diff);

    // Lower and upper allowed gray values per pixel (for display).
    const cv::Mat& LowerBand() const { return m_low; }
    const cv::Mat& UpperBand() const { return m_high; }

private:
    // Mean and standard deviation of `img` over the inspected area, sampling every `rowStep`-th
    // row.
    cv::Vec2d Statistics(const cv::Mat& img, int rowStep) const;

    cv::Size m_size;
    cv::Mat m_inspect;  // 255 where pixels are inspected
    std::vector<cv::Mat> m_templates;
    cv::Mat m_low;
    cv::Mat m_high;
    double m_mean = 0.0;
    double m_std = 0.0;
    int m_threshold = 0;  // flagged when the excess over the band exceeds this
    bool m_trained = false;
};
