#include "inspect/gray_match.h"

#include <algorithm>
#include <cmath>

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define GRAY_MATCH_AVX2 1
#endif

namespace {

constexpr int kStatRowStep = 5;  // Match samples every fifth row for the lighting estimate

#if GRAY_MATCH_AVX2
// Sum of the 32 bytes.
__attribute__((target("avx2"))) int HorizontalSum(__m256i bytes) {
    const __m256i sums = _mm256_sad_epu8(bytes, _mm256_setzero_si256());
    return static_cast<int>(_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                            _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3));
}

// One row of Match with 32 pixels per step, for processors that have AVX2: lighting-corrected
// value v = sat((src * gain + add - sub) >> 7), flagged where v lies more than thr outside
// lo..hi. Handles a multiple of 32 pixels from the row start, returns how many, and adds the
// flagged count to `flagged`.
__attribute__((target("avx2"))) int CompareRowAvx2(const uchar* src, const uchar* lo,
                                                   const uchar* hi, uchar* out, int width, int gain,
                                                   int add, int sub, int thr, int& flagged) {
    const __m256i vGain = _mm256_set1_epi16(static_cast<short>(gain));
    const __m256i vAdd = _mm256_set1_epi16(static_cast<short>(static_cast<ushort>(add)));
    const __m256i vSub = _mm256_set1_epi16(static_cast<short>(static_cast<ushort>(sub)));
    const __m256i vThr1 = _mm256_set1_epi8(static_cast<char>(thr + 1));
    const __m256i vOne = _mm256_set1_epi8(1);
    __m256i count = _mm256_setzero_si256();  // per-lane flag count, emptied every 255 steps
    int steps = 0;
    int x = 0;
    for (; x <= width - 32; x += 32) {
        const __m256i p0 =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x)));
        const __m256i p1 =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x + 16)));
        const __m256i q0 = _mm256_srli_epi16(
            _mm256_subs_epu16(_mm256_adds_epu16(_mm256_mullo_epi16(p0, vGain), vAdd), vSub), 7);
        const __m256i q1 = _mm256_srli_epi16(
            _mm256_subs_epu16(_mm256_adds_epu16(_mm256_mullo_epi16(p1, vGain), vAdd), vSub), 7);
        const __m256i v = _mm256_permute4x64_epi64(_mm256_packus_epi16(q0, q1), 0xD8);
        const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lo + x));
        const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(hi + x));
        const __m256i excess = _mm256_or_si256(_mm256_subs_epu8(l, v), _mm256_subs_epu8(v, h));
        const __m256i hit = _mm256_cmpeq_epi8(_mm256_max_epu8(excess, vThr1), excess);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), hit);
        count = _mm256_add_epi8(count, _mm256_and_si256(hit, vOne));
        if (++steps == 255) {
            flagged += HorizontalSum(count);
            count = _mm256_setzero_si256();
            steps = 0;
        }
    }
    flagged += HorizontalSum(count);
    return x;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

bool GrayMatch::Create(int width, int height, const cv::Mat& mask, int border) {
    Clear();
    if (width <= 0 || height <= 0) {
        return false;
    }
    m_size = cv::Size(width, height);
    if (!mask.empty() && (mask.size() != m_size || mask.type() != CV_8UC1)) {
        m_size = cv::Size();
        return false;
    }
    if (mask.empty()) {
        m_inspect = cv::Mat(m_size, CV_8UC1, cv::Scalar(255));
    } else {
        cv::compare(mask, 0, m_inspect, cv::CMP_NE);
    }
    if (border > 0) {
        const int bx = std::min(border, width);
        const int by = std::min(border, height);
        m_inspect.rowRange(0, by).setTo(0);
        m_inspect.rowRange(height - by, height).setTo(0);
        m_inspect.colRange(0, bx).setTo(0);
        m_inspect.colRange(width - bx, width).setTo(0);
    }
    return true;
}

bool GrayMatch::AddTemp(const cv::Mat& crop) {
    if (m_size.empty() || crop.size() != m_size || crop.type() != CV_8UC1) {
        return false;
    }
    m_templates.push_back(crop.clone());
    m_trained = false;
    return true;
}

void GrayMatch::Clear() {
    m_templates.clear();
    m_low.release();
    m_high.release();
    m_trained = false;
}

cv::Vec2d GrayMatch::Statistics(const cv::Mat& img, int rowStep) const {
    std::uint64_t s = 0;
    std::uint64_t s2 = 0;
    std::uint64_t n = 0;
    for (int y = 0; y < img.rows; y += rowStep) {
        const uchar* p = img.ptr<uchar>(y);
        const uchar* m = m_inspect.ptr<uchar>(y);
        int x = 0;
#if CV_SIMD
        const int lanes = cv::v_uint8::nlanes;
        cv::v_uint32 vs = cv::vx_setzero_u32();
        cv::v_int32 vs2 = cv::vx_setzero_s32();
        cv::v_uint32 vn = cv::vx_setzero_u32();
        for (; x <= img.cols - lanes; x += lanes) {
            const cv::v_uint8 mk = cv::vx_load(m + x);
            const cv::v_uint8 v = cv::vx_load(p + x) & mk;
            cv::v_uint16 lo, hi;
            cv::v_expand(v, lo, hi);
            cv::v_uint32 a, b, c, d;
            cv::v_expand(lo + hi, a, b);
            vs += a + b;
            const cv::v_int16 slo = cv::v_reinterpret_as_s16(lo);
            const cv::v_int16 shi = cv::v_reinterpret_as_s16(hi);
            vs2 += cv::v_dotprod(slo, slo) + cv::v_dotprod(shi, shi);
            cv::v_uint16 mlo, mhi;
            cv::v_expand(mk & cv::vx_setall_u8(1), mlo, mhi);
            cv::v_expand(mlo + mhi, c, d);
            vn += c + d;
        }
        s += cv::v_reduce_sum(vs);
        s2 += static_cast<std::uint32_t>(cv::v_reduce_sum(vs2));
        n += cv::v_reduce_sum(vn);
#endif
        for (; x < img.cols; ++x) {
            const std::uint32_t v = p[x] & m[x];
            s += v;
            s2 += v * v;
            n += m[x] & 1u;
        }
    }
    if (n == 0) {
        return {0.0, 0.0};
    }
    const double mean = static_cast<double>(s) / static_cast<double>(n);
    const double var = static_cast<double>(s2) / static_cast<double>(n) - mean * mean;
    return {mean, std::sqrt(std::max(var, 0.0))};
}

bool GrayMatch::Train(double sensitivity, double amplify, int edgeTolerance, int maxWiden) {
    m_trained = false;
    if (m_templates.empty()) {
        return false;
    }
    // Bring every template to the common brightness and contrast.
    double meanSum = 0.0;
    double stdSum = 0.0;
    std::vector<cv::Vec2d> stats;
    for (const cv::Mat& t : m_templates) {
        stats.push_back(Statistics(t, 1));
        meanSum += stats.back()[0];
        stdSum += stats.back()[1];
    }
    m_mean = meanSum / static_cast<double>(m_templates.size());
    m_std = stdSum / static_cast<double>(m_templates.size());
    cv::Mat low(m_size, CV_32F, cv::Scalar(1e9));
    cv::Mat high(m_size, CV_32F, cv::Scalar(-1e9));
    cv::Mat norm;
    for (size_t i = 0; i < m_templates.size(); ++i) {
        const double a = stats[i][1] > 1e-6 ? m_std / stats[i][1] : 1.0;
        m_templates[i].convertTo(norm, CV_32F, a, m_mean - a * stats[i][0]);
        cv::min(low, norm, low);
        cv::max(high, norm, high);
    }
    // Widen towards the neighbourhood so that sub-pixel edge movement is tolerated.
    const float share = static_cast<float>(std::clamp(edgeTolerance, 0, 100)) / 100.0f;
    const float cap = static_cast<float>(std::max(maxWiden, 0));
    cv::Mat nLow;
    cv::Mat nHigh;
    cv::erode(low, nLow, cv::Mat(), cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    cv::dilate(high, nHigh, cv::Mat(), cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    m_low.create(m_size, CV_8UC1);
    m_high.create(m_size, CV_8UC1);
    for (int y = 0; y < m_size.height; ++y) {
        const float* l = low.ptr<float>(y);
        const float* h = high.ptr<float>(y);
        const float* nl = nLow.ptr<float>(y);
        const float* nh = nHigh.ptr<float>(y);
        const uchar* in = m_inspect.ptr<uchar>(y);
        uchar* ol = m_low.ptr<uchar>(y);
        uchar* oh = m_high.ptr<uchar>(y);
        for (int x = 0; x < m_size.width; ++x) {
            if (!in[x]) {
                ol[x] = 0;
                oh[x] = 255;
                continue;
            }
            const float lo = l[x] - std::min(share * (l[x] - nl[x]), cap);
            const float hi = h[x] + std::min(share * (nh[x] - h[x]), cap);
            ol[x] = cv::saturate_cast<uchar>(std::floor(lo));
            oh[x] = cv::saturate_cast<uchar>(std::ceil(hi));
        }
    }
    const double gain = 1.0 + std::clamp(amplify, 0.0, 4.0);
    m_threshold =
        std::clamp(static_cast<int>(std::floor(std::max(sensitivity, 0.0) / gain)), 0, 254);
    m_trained = true;
    return true;
}

int GrayMatch::Match(const cv::Mat& crop, cv::Mat& diff) {
    if (!m_trained || crop.size() != m_size || crop.type() != CV_8UC1) {
        return -1;
    }
    // Lighting correction v' = a * v + b in 8.7 fixed point; a is kept within 0.25..2.
    const cv::Vec2d st = Statistics(crop, kStatRowStep);
    const double a = std::clamp(st[1] > 1e-6 ? m_std / st[1] : 1.0, 0.25, 2.0);
    const double b = m_mean - a * st[0];
    const int gain = static_cast<int>(std::lround(a * 128.0));
    const int offset = static_cast<int>(std::lround(b * 128.0)) + 64;
    const ushort addOff = static_cast<ushort>(std::clamp(offset, 0, 65535));
    const ushort subOff = static_cast<ushort>(std::clamp(-offset, 0, 65535));
    const uchar thr = static_cast<uchar>(m_threshold);

    diff.create(m_size, CV_8UC1);
    int flagged = 0;
    for (int y = 0; y < m_size.height; ++y) {
        const uchar* src = crop.ptr<uchar>(y);
        const uchar* lo = m_low.ptr<uchar>(y);
        const uchar* hi = m_high.ptr<uchar>(y);
        uchar* out = diff.ptr<uchar>(y);
        int x = 0;
#if GRAY_MATCH_AVX2
        if (kHasAvx2) {
            x = CompareRowAvx2(src, lo, hi, out, m_size.width, gain, addOff, subOff, thr, flagged);
        }
#endif
#if CV_SIMD
        const int lanes = cv::v_uint8::nlanes;
        const cv::v_uint16 vGain = cv::vx_setall_u16(static_cast<ushort>(gain));
        const cv::v_uint16 vAdd = cv::vx_setall_u16(addOff);
        const cv::v_uint16 vSub = cv::vx_setall_u16(subOff);
        const cv::v_uint8 vThr = cv::vx_setall_u8(thr);
        const cv::v_uint8 vOne = cv::vx_setall_u8(1);
        cv::v_uint8 count = cv::vx_setzero_u8();  // per-lane flag count, emptied every 255 steps
        int steps = 0;
        for (; x <= m_size.width - lanes; x += lanes) {
            cv::v_uint16 p0, p1;  // runs only for what the wide path left
            cv::v_expand(cv::vx_load(src + x), p0, p1);
            p0 = cv::v_shr<7>(cv::v_mul_wrap(p0, vGain) + vAdd - vSub);
            p1 = cv::v_shr<7>(cv::v_mul_wrap(p1, vGain) + vAdd - vSub);
            const cv::v_uint8 v = cv::v_pack(p0, p1);
            const cv::v_uint8 excess = (cv::vx_load(lo + x) - v) | (v - cv::vx_load(hi + x));
            const cv::v_uint8 hit = excess > vThr;
            cv::v_store(out + x, hit);
            count += hit & vOne;
            if (++steps == 255) {
                flagged += static_cast<int>(cv::v_reduce_sum(count));
                count = cv::vx_setzero_u8();
                steps = 0;
            }
        }
        flagged += static_cast<int>(cv::v_reduce_sum(count));
#endif
        for (; x < m_size.width; ++x) {
            int v = (src[x] * gain + offset) >> 7;
            v = std::clamp(v, 0, 255);
            const int excess = std::max({lo[x] - v, v - hi[x], 0});
            out[x] = excess > thr ? 255 : 0;
            flagged += excess > thr;
        }
    }
    return flagged;
}
