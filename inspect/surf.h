#pragma once

#include <vector>

#include <opencv2/core.hpp>

// Similarity of a crop to taught crops of a good part, 0..100. Compares gradient fields: the
// normalised correlation of the template's strongest gradients with the crop's gradients, at the
// best of the small shifts allowed. Insensitive to brightness and contrast changes and to small
// displacement; an unrelated surface scores near 0.
class SURF {
public:
    // Prepares an empty model.
    //   width, height: crop size in pixels; every crop passed later must have this size.
    //   mask:          empty to compare the whole crop, else 8-bit of that size; only non-zero
    //                  pixels are compared.
    bool Create(int width, int height, const cv::Mat& mask);

    // Adds one template.
    //   crop:        8-bit gray crop of a good part, of the Create size.
    //   octave:      working resolution: the crop is halved this many times (0..3) before
    //                comparison; 1 suits most parts and doubles the shift tolerance.
    //   keepPercent: share (1..100) of the template's pixels, strongest gradients first, that
    //                take part in the comparison.
    //   minScore:    score 0..100 this template is expected to reach on good parts; reported by
    //                MinScore() for the caller's pass/fail decision.
    bool AddTemp(const cv::Mat& crop, int octave, int keepPercent, float minScore);

    // Builds the model from the templates added so far.
    //   maxShift:   largest displacement searched, in full-resolution pixels; 0 = 4.
    //   blurRadius: extra Gaussian smoothing radius (working pixels) before gradients; 0 = none.
    //   minPoints:  templates with fewer comparison pixels than this are rejected; 0 = 32.
    //   combine:    0 = the score is that of the best template, 1 = the mean over templates.
    bool Train(int maxShift, int blurRadius, int minPoints, int combine);

    bool IsValid() const { return m_trained; }
    // Forgets templates and model (Create's geometry is kept).
    void Clear();

    // Scores `crop` (8-bit gray, the Create size) against the templates: 0..100, or -1 without a
    // model or on a size mismatch. `similarity` receives, for the best template, a CV_32F map of
    // the score (0..100) at every searched shift, (2r+1) x (2r+1) with the centre at no shift.
    float Match(const cv::Mat& crop, cv::Mat& similarity);

    // Smallest minScore among the templates (0 without templates).
    float MinScore() const;

private:
    // Template prepared for comparison at its working resolution.
    struct Model {
        cv::Mat source;
        int octave = 1;
        int keepPercent = 50;
        float minScore = 0.0f;
        int radius = 2;       // shift search radius in working pixels
        cv::Mat gx, gy, use;  // interior of the working image (radius trimmed on each side)
        double energy = 0.0;
    };

    // Brings `crop` to the working resolution of `octave` and computes its gradients.
    void Prepare(const cv::Mat& crop, int octave, cv::Mat& gx, cv::Mat& gy);
    bool BuildModel(Model& m, int minPoints);
    // Correlation of model `m` with the prepared crop gradients; fills `map` when given.
    float Correlate(const Model& m, cv::Mat* map);

    cv::Size m_size;
    cv::Mat m_mask;
    std::vector<Model> m_models;
    int m_maxShift = 4;
    int m_blur = 0;
    int m_combine = 0;
    bool m_trained = false;

    // Buffers reused by Match.
    cv::Mat m_work, m_blurred, m_gx, m_gy, m_energy, m_map;
    std::vector<float> m_num, m_den;
};
