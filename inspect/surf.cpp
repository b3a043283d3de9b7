#include "inspect/surf.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

bool SURF::Create(int width, int height, const cv::Mat& mask) {
    Clear();
    m_size = cv::Size();
    if (width <= 0 || height <= 0) {
        return false;
    }
    if (!mask.empty() && (mask.size() != cv::Size(width, height) || mask.type() != CV_8UC1)) {
        return false;
    }
    m_size = cv::Size(width, height);
    m_mask = mask.empty() ? cv::Mat(m_size, CV_8UC1, cv::Scalar(255)) : (mask != 0);
    return true;
}

bool SURF::AddTemp(const cv::Mat& crop, int octave, int keepPercent, float minScore) {
    if (m_size.empty() || crop.size() != m_size || crop.type() != CV_8UC1) {
        return false;
    }
    Model m;
    m.source = crop.clone();
    m.octave = std::clamp(octave, 0, 3);
    m.keepPercent = keepPercent <= 0 ? 100 : std::min(keepPercent, 100);
    m.minScore = std::clamp(minScore, 0.0f, 100.0f);
    m_models.push_back(std::move(m));
    m_trained = false;
    return true;
}

void SURF::Clear() {
    m_models.clear();
    m_trained = false;
}

float SURF::MinScore() const {
    float s = m_models.empty() ? 0.0f : 100.0f;
    for (const Model& m : m_models) {
        s = std::min(s, m.minScore);
    }
    return s;
}

void SURF::Prepare(const cv::Mat& crop, int octave, cv::Mat& gx, cv::Mat& gy) {
    const cv::Mat* src = &crop;
    for (int i = 0; i < octave; ++i) {
        cv::pyrDown(*src, i % 2 == 0 ? m_work : m_blurred);
        src = i % 2 == 0 ? &m_work : &m_blurred;
    }
    if (m_blur > 0) {
        cv::Mat& dst = src == &m_work ? m_blurred : m_work;
        cv::GaussianBlur(*src, dst, cv::Size(2 * m_blur + 1, 2 * m_blur + 1), 0.0, 0.0,
                         cv::BORDER_REPLICATE);
        src = &dst;
    }
    cv::Sobel(*src, gx, CV_32F, 1, 0, 3, 1.0 / 8.0, 0.0, cv::BORDER_REPLICATE);
    cv::Sobel(*src, gy, CV_32F, 0, 1, 3, 1.0 / 8.0, 0.0, cv::BORDER_REPLICATE);
}

bool SURF::BuildModel(Model& m, int minPoints) {
    cv::Mat gx, gy;
    Prepare(m.source, m.octave, gx, gy);
    const int scale = 1 << m.octave;
    m.radius = std::max(1, (m_maxShift + scale - 1) / scale);
    const int margin = m.radius + 1;
    const cv::Rect inner(margin, margin, gx.cols - 2 * margin, gx.rows - 2 * margin);
    if (inner.width < 4 || inner.height < 4) {
        return false;
    }
    cv::Mat mask;
    cv::resize(m_mask, mask, gx.size(), 0.0, 0.0, cv::INTER_AREA);
    mask = mask(inner) >= 255;
    m.gx = gx(inner).clone();
    m.gy = gy(inner).clone();
    cv::Mat mag;
    cv::magnitude(m.gx, m.gy, mag);
    std::vector<float> values;
    for (int y = 0; y < mag.rows; ++y) {
        for (int x = 0; x < mag.cols; ++x) {
            if (mask.at<uchar>(y, x)) {
                values.push_back(mag.at<float>(y, x));
            }
        }
    }
    if (values.empty()) {
        return false;
    }
    const size_t drop = values.size() * static_cast<size_t>(100 - m.keepPercent) / 100;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(drop),
                     values.end());
    const float cut = std::max(values[std::min(drop, values.size() - 1)], 1e-3f);
    m.use = cv::Mat::zeros(mag.size(), CV_32F);
    int count = 0;
    m.energy = 0.0;
    for (int y = 0; y < mag.rows; ++y) {
        for (int x = 0; x < mag.cols; ++x) {
            const bool keep = mask.at<uchar>(y, x) && mag.at<float>(y, x) >= cut;
            if (keep) {
                m.use.at<float>(y, x) = 1.0f;
                m.energy += static_cast<double>(mag.at<float>(y, x)) * mag.at<float>(y, x);
                ++count;
            } else {
                m.gx.at<float>(y, x) = 0.0f;
                m.gy.at<float>(y, x) = 0.0f;
            }
        }
    }
    return count >= minPoints && m.energy > 0.0;
}

bool SURF::Train(int maxShift, int blurRadius, int minPoints, int combine) {
    m_trained = false;
    m_maxShift = maxShift > 0 ? maxShift : 4;
    m_blur = std::clamp(blurRadius, 0, 8);
    m_combine = combine;
    if (m_models.empty()) {
        return false;
    }
    const int need = minPoints > 0 ? minPoints : 32;
    for (Model& m : m_models) {
        if (!BuildModel(m, need)) {
            return false;
        }
    }
    m_trained = true;
    return true;
}

float SURF::Correlate(const Model& m, cv::Mat* map) {
    const int r = m.radius;
    const int side = 2 * r + 1;
    m_num.assign(static_cast<size_t>(side * side), 0.0f);
    m_den.assign(static_cast<size_t>(side * side), 0.0f);
    const int rows = m.gx.rows;
    const int cols = m.gx.cols;
    for (int sy = 0; sy < side; ++sy) {
        for (int sx = 0; sx < side; ++sx) {
            // Crop origin of this shift: margin (r + 1) plus the shift (sx - r).
            const int ox = sx + 1;
            const int oy = sy + 1;
            float num = 0.0f;
            float den = 0.0f;
            for (int y = 0; y < rows; ++y) {
                const float* __restrict tx = m.gx.ptr<float>(y);
                const float* __restrict ty = m.gy.ptr<float>(y);
                const float* __restrict tu = m.use.ptr<float>(y);
                const float* __restrict cx = m_gx.ptr<float>(y + oy) + ox;
                const float* __restrict cy = m_gy.ptr<float>(y + oy) + ox;
                const float* __restrict ce = m_energy.ptr<float>(y + oy) + ox;
                float rn = 0.0f;
                float rd = 0.0f;
                for (int x = 0; x < cols; ++x) {
                    rn += tx[x] * cx[x] + ty[x] * cy[x];
                    rd += tu[x] * ce[x];
                }
                num += rn;
                den += rd;
            }
            m_num[static_cast<size_t>(sy * side + sx)] = num;
            m_den[static_cast<size_t>(sy * side + sx)] = den;
        }
    }
    std::vector<float>& corr = m_num;
    int best = 0;
    for (int i = 0; i < side * side; ++i) {
        const float den = m_den[static_cast<size_t>(i)];
        corr[static_cast<size_t>(i)] =
            den > 0.0f ? static_cast<float>(corr[static_cast<size_t>(i)] /
                                            std::sqrt(m.energy * static_cast<double>(den)))
                       : 0.0f;
        if (corr[static_cast<size_t>(i)] > corr[static_cast<size_t>(best)]) {
            best = i;
        }
    }
    // Refine the peak value with a parabola along each axis (shifts between the grid points).
    const int bx = best % side;
    const int by = best / side;
    const auto at = [&](int x, int y) { return corr[static_cast<size_t>(y * side + x)]; };
    float peak = at(bx, by);
    const auto lift = [](float a, float b, float c) {
        const float curve = a - 2.0f * b + c;
        if (curve >= 0.0f) {
            return 0.0f;
        }
        const float d = 0.5f * (a - c) / curve;
        return std::max(0.0f, -0.25f * (a - c) * d);
    };
    float gain = 0.0f;
    if (bx > 0 && bx < side - 1) {
        gain += lift(at(bx - 1, by), peak, at(bx + 1, by));
    }
    if (by > 0 && by < side - 1) {
        gain += lift(at(bx, by - 1), peak, at(bx, by + 1));
    }
    peak = std::min(peak + gain, 1.0f);
    if (map) {
        map->create(side, side, CV_32F);
        for (int i = 0; i < side * side; ++i) {
            map->at<float>(i / side, i % side) =
                100.0f * std::max(corr[static_cast<size_t>(i)], 0.0f);
        }
    }
    return 100.0f * std::max(peak, 0.0f);
}

float SURF::Match(const cv::Mat& crop, cv::Mat& similarity) {
    if (!m_trained || crop.size() != m_size || crop.type() != CV_8UC1) {
        return -1.0f;
    }
    int prepared = -1;
    float best = -1.0f;
    float sum = 0.0f;
    for (const Model& m : m_models) {
        if (m.octave != prepared) {
            Prepare(crop, m.octave, m_gx, m_gy);
            cv::multiply(m_gx, m_gx, m_energy);
            cv::accumulateSquare(m_gy, m_energy);
            prepared = m.octave;
        }
        const float s = Correlate(m, &m_map);
        sum += s;
        if (s > best) {
            best = s;
            m_map.copyTo(similarity);
        }
    }
    return m_combine == 1 ? sum / static_cast<float>(m_models.size()) : best;
}
