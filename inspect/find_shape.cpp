#include "inspect/find_shape.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace {

constexpr int kMaxLevels = 6;
constexpr int kMinTopSide = 24;        // the part keeps at least this many pixels at the top level
constexpr int kMinTopFeatures = 24;    // ... and at least this many edge points
constexpr int kMinDeepSide = 12;       // deeper levels, for large search areas only, keep this many
constexpr double kCoarseBudget = 2e8;  // coarse point tests (some 40 ms) before going deeper
constexpr int kTopFeatures = 160;      // edge points used by the exhaustive coarse search
constexpr int kScoreFeatures = 600;    // edge points scoring a pose on the finer levels
constexpr int kTopAlignPoints = 600;   // alignment points on the coarse levels
constexpr int kAlignPoints = 2000;     // ... and on the finer ones
constexpr int kMaxCandidates = 10;     // poses taken from the coarse search
constexpr int kStripeCandidates = 24;  // poses each search thread keeps before merging
constexpr double kOutsideFraction = 0.2;     // share of the part that may lie outside the window
constexpr float kSceneGradientFloor = 1.0f;  // weaker image gradients have no direction
constexpr double kPi = std::numbers::pi;

// Edge point of the model: offset from the anchor and unit gradient direction.
struct Feature {
    float x, y, gx, gy;
};

// Alignment point: offset from the anchor, template gray value and gradient.
struct AlignPoint {
    float x, y, t, gx, gy;
    float gr;  // derivative of the gray value for a rotation about the anchor
};

// Edge point of the coarse model rotated to one search angle.
struct RotatedFeature {
    int ox, oy;
    float cx, cy;
};

// Coarse model at one search angle.
struct CoarseAngle {
    double phi = 0.0;
    std::vector<RotatedFeature> features;
    int minX = 0, maxX = 0, minY = 0, maxY = 0;
};

// Exhaustive-search model of one pyramid level.
struct CoarseModel {
    int level = 0;
    std::vector<CoarseAngle> angles;
    double step = 0.0;  // angle step, radians
    cv::Size patternSize;
    int padX = 0, padY = 0;  // how far the part may reach outside the window
};

struct Level {
    std::vector<Feature> features;
    std::vector<AlignPoint> points;
    double radius = 1.0;  // largest distance of an alignment point from the anchor
};

struct Pose {
    double x = 0.0, y = 0.0, phi = 0.0;
    double score = 0.0;
};

// Sobel gradient in gray levels per pixel.
void Gradient(const cv::Mat& img, cv::Mat& gx, cv::Mat& gy) {
    cv::Sobel(img, gx, CV_32F, 1, 0, 3, 1.0 / 8.0, 0.0, cv::BORDER_REPLICATE);
    cv::Sobel(img, gy, CV_32F, 0, 1, 3, 1.0 / 8.0, 0.0, cv::BORDER_REPLICATE);
}

// Pixels usable at a level: inside the mask, one pixel away from its edge and two from the crop
// border, so that gradients there depend on the part alone.
cv::Mat UsableArea(const cv::Mat& valid) {
    cv::Mat inner;
    cv::erode(valid, inner, cv::Mat(), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
    const int b = 2;
    if (inner.cols > 2 * b && inner.rows > 2 * b) {
        inner.rowRange(0, b).setTo(0);
        inner.rowRange(inner.rows - b, inner.rows).setTo(0);
        inner.colRange(0, b).setTo(0);
        inner.colRange(inner.cols - b, inner.cols).setTo(0);
    } else {
        inner.setTo(0);
    }
    return inner;
}

struct Candidate {
    int x, y;
    float mag;
};

// Keeps at most `target` candidates, strongest first, no two in the same grid cell.
template <typename Out, typename Make>
void SpreadSelect(std::vector<Candidate>& cands, int target, cv::Size size, Out& out, Make make) {
    std::sort(cands.begin(), cands.end(),
              [](const Candidate& a, const Candidate& b) { return a.mag > b.mag; });
    if (static_cast<int>(cands.size()) <= target) {
        for (const Candidate& c : cands) {
            out.push_back(make(c));
        }
        return;
    }
    // Smallest cell size that brings the count under the target.
    std::vector<uchar> used;
    for (int cell = 2;; ++cell) {
        const int gw = (size.width + cell - 1) / cell;
        const int gh = (size.height + cell - 1) / cell;
        used.assign(static_cast<size_t>(gw * gh), 0);
        int count = 0;
        for (const Candidate& c : cands) {
            uchar& u = used[static_cast<size_t>((c.y / cell) * gw + c.x / cell)];
            if (!u) {
                u = 1;
                ++count;
            }
        }
        if (count <= target || cell > 64) {
            used.assign(static_cast<size_t>(gw * gh), 0);
            for (const Candidate& c : cands) {
                uchar& u = used[static_cast<size_t>((c.y / cell) * gw + c.x / cell)];
                if (!u) {
                    u = 1;
                    out.push_back(make(c));
                }
            }
            return;
        }
    }
}

// Gradient magnitude threshold: the given contrast, or a share of the strong gradients.
float EdgeThreshold(const cv::Mat& mag, const cv::Mat& usable, int minContrast) {
    if (minContrast > 0) {
        return static_cast<float>(minContrast);
    }
    std::vector<float> values;
    for (int y = 0; y < mag.rows; ++y) {
        const float* m = mag.ptr<float>(y);
        const uchar* u = usable.ptr<uchar>(y);
        for (int x = 0; x < mag.cols; ++x) {
            if (u[x]) {
                values.push_back(m[x]);
            }
        }
    }
    if (values.empty()) {
        return 3.0f;
    }
    const size_t k = values.size() * 95 / 100;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return std::max(3.0f, 0.15f * values[k]);
}

// Bilinear sample of an 8-bit image; the caller guarantees 0 <= x < cols-1, 0 <= y < rows-1.
inline float Bilinear(const cv::Mat& img, float x, float y) {
    const int ix = static_cast<int>(x);
    const int iy = static_cast<int>(y);
    const float fx = x - static_cast<float>(ix);
    const float fy = y - static_cast<float>(iy);
    const uchar* p0 = img.ptr<uchar>(iy) + ix;
    const uchar* p1 = p0 + img.step[0];
    const float top = p0[0] + fx * static_cast<float>(p0[1] - p0[0]);
    const float bottom = p1[0] + fx * static_cast<float>(p1[1] - p1[0]);
    return top + fy * (bottom - top);
}

double WrapAngle(double a) {
    while (a > kPi) {
        a -= 2 * kPi;
    }
    while (a <= -kPi) {
        a += 2 * kPi;
    }
    return a;
}

}  // namespace

struct FindShape::Impl {
    // Model.
    std::vector<Level> levels;
    std::vector<CoarseModel> coarseModels;  // from the usual top level to the deepest one
    cv::Point2d anchor;                     // crop pixel (w/2, h/2)
    cv::Point2d reference;
    double leastMatch = 60.0;
    double angleRange = 0.0;
    bool ignorePolarity = false;

    // Buffers reused by Find.
    std::vector<cv::Mat> pyramid;
    const CoarseModel* coarse = nullptr;  // the model chosen for the current search
    cv::Mat topGx, topGy, unitX, unitY;
    struct Stripe {
        std::vector<float> scores;
        std::vector<Pose> found;
    };
    std::vector<Stripe> stripes;
    std::vector<Pose> merged;
    std::vector<float> samples, weights, residuals, scratch;
    cv::Point2d lastPosition;

    bool Build(const cv::Mat& pattern, double angleStep, int numLevels, const cv::Mat& valid,
               int minContrast);
    void BuildCoarse(int level, cv::Size size, double angleStep);
    const CoarseModel& ChooseCoarse(cv::Size window) const;
    bool Run(const cv::Mat& window, cv::Point offset, double least, Pose& best);
    void PrepareTop();
    void CoarseSearch(double floorScore);
    void SearchStripe(int stripe, int count, double floorScore);
    bool Align(int level, Pose& pose, int maxIter);
    double Score(int level, const Pose& pose) const;
};

bool FindShape::Impl::Build(const cv::Mat& pattern, double angleStep, int numLevels,
                            const cv::Mat& valid, int minContrast) {
    anchor = cv::Point2d(pattern.cols / 2, pattern.rows / 2);

    std::vector<cv::Mat> imgs{pattern};
    std::vector<cv::Mat> masks{valid};
    const int wanted = numLevels > 0 ? std::min(numLevels, kMaxLevels) : kMaxLevels;
    while (static_cast<int>(imgs.size()) < wanted) {
        const cv::Mat& last = imgs.back();
        if (std::min(last.cols, last.rows) / 2 < (numLevels > 0 ? 8 : kMinDeepSide)) {
            break;
        }
        cv::Mat down;
        cv::pyrDown(last, down);
        cv::Mat m;
        cv::pyrDown(masks.back(), m);
        cv::threshold(m, m, 254, 255, cv::THRESH_BINARY);
        imgs.push_back(down);
        masks.push_back(m);
    }

    // The usual top level keeps the part at least kMinTopSide pixels; deeper ones serve searches of
    // large areas only.
    size_t usualTop = 0;
    while (usualTop + 1 < imgs.size() &&
           (numLevels > 0 ||
            std::min(imgs[usualTop + 1].cols, imgs[usualTop + 1].rows) >= kMinTopSide)) {
        ++usualTop;
    }
    levels.clear();
    for (size_t l = 0; l < imgs.size(); ++l) {
        const double scale = 1.0 / static_cast<double>(1 << l);
        const cv::Point2f a(static_cast<float>(anchor.x * scale),
                            static_cast<float>(anchor.y * scale));
        cv::Mat gx, gy, mag;
        Gradient(imgs[l], gx, gy);
        // Alignment compares binomially smoothed gray values (see Align).
        cv::Mat smooth;
        const cv::Matx13f binomial(0.25f, 0.5f, 0.25f);
        cv::sepFilter2D(imgs[l], smooth, CV_32F, binomial, binomial, cv::Point(-1, -1), 0.0,
                        cv::BORDER_REPLICATE);
        cv::magnitude(gx, gy, mag);
        const cv::Mat usable = UsableArea(masks[l]);
        const float thr = EdgeThreshold(mag, usable, minContrast);

        std::vector<Candidate> edges;
        std::vector<Candidate> strong;
        for (int y = 1; y < mag.rows - 1; ++y) {
            const float* m = mag.ptr<float>(y);
            const float* dx = gx.ptr<float>(y);
            const float* dy = gy.ptr<float>(y);
            const uchar* u = usable.ptr<uchar>(y);
            for (int x = 1; x < mag.cols - 1; ++x) {
                if (!u[x] || m[x] < thr) {
                    continue;
                }
                strong.push_back({x, y, m[x]});
                // Thin edges: keep local maxima across the edge.
                const float ax = std::abs(dx[x]);
                const float ay = std::abs(dy[x]);
                int sx = 0, sy = 0;
                if (ax > 2.414f * ay) {
                    sx = 1;
                } else if (ay > 2.414f * ax) {
                    sy = 1;
                } else {
                    sx = 1;
                    sy = (dx[x] > 0) == (dy[x] > 0) ? 1 : -1;
                }
                const float m1 = mag.at<float>(y + sy, x + sx);
                const float m2 = mag.at<float>(y - sy, x - sx);
                if (m[x] >= m1 && m[x] >= m2) {
                    edges.push_back({x, y, m[x]});
                }
            }
        }
        Level level;
        const bool top = l >= usualTop;
        SpreadSelect(edges, top ? kTopFeatures : kScoreFeatures, mag.size(), level.features,
                     [&](const Candidate& c) {
                         const float n = c.mag;
                         return Feature{c.x - a.x, c.y - a.y, gx.at<float>(c.y, c.x) / n,
                                        gy.at<float>(c.y, c.x) / n};
                     });
        SpreadSelect(
            strong, top ? kTopAlignPoints : kAlignPoints, mag.size(), level.points,
            [&](const Candidate& c) {
                const float px = c.x - a.x;
                const float py = c.y - a.y;
                const float dx =
                    0.5f * (smooth.at<float>(c.y, c.x + 1) - smooth.at<float>(c.y, c.x - 1));
                const float dy =
                    0.5f * (smooth.at<float>(c.y + 1, c.x) - smooth.at<float>(c.y - 1, c.x));
                return AlignPoint{px, py, smooth.at<float>(c.y, c.x), dx, dy, -dx * py + dy * px};
            });
        if (static_cast<int>(level.features.size()) < kMinTopFeatures || level.points.size() < 16) {
            break;
        }
        levels.push_back(std::move(level));
    }
    if (levels.empty()) {
        return false;
    }
    coarseModels.clear();
    for (size_t l = std::min(usualTop, levels.size() - 1); l < levels.size(); ++l) {
        BuildCoarse(static_cast<int>(l), imgs[l].size(), angleStep);
    }
    return true;
}

const CoarseModel& FindShape::Impl::ChooseCoarse(cv::Size window) const {
    for (const CoarseModel& m : coarseModels) {
        const double scale = 1.0 / static_cast<double>(1 << m.level);
        const double nx = std::max(1.0, window.width * scale + 2 * m.padX - m.patternSize.width);
        const double ny = std::max(1.0, window.height * scale + 2 * m.padY - m.patternSize.height);
        const double work =
            nx * ny * static_cast<double>(m.angles.size()) *
            static_cast<double>(levels[static_cast<size_t>(m.level)].features.size());
        if (work <= kCoarseBudget) {
            return m;
        }
    }
    return coarseModels.back();
}

void FindShape::Impl::BuildCoarse(int level, cv::Size size, double angleStep) {
    const Level& top = levels[static_cast<size_t>(level)];
    CoarseModel model;
    model.level = level;
    model.patternSize = size;
    double& topStep = model.step;
    double radius = 1.0;
    for (const Feature& f : top.features) {
        radius = std::max(radius, static_cast<double>(std::hypot(f.x, f.y)));
    }
    topStep = angleStep > 0.0 ? angleStep * kPi / 180.0 : 1.0 / radius;
    const double range = angleRange * kPi / 180.0;
    std::vector<double> angles;
    if (range <= 0.0) {
        angles.push_back(0.0);
    } else if (range >= kPi - 1e-9) {
        const int n = static_cast<int>(std::ceil(2 * kPi / topStep));
        topStep = 2 * kPi / n;
        for (int i = 0; i < n; ++i) {
            angles.push_back(-kPi + i * topStep);
        }
    } else {
        const int n = static_cast<int>(std::ceil(2 * range / topStep));
        topStep = 2 * range / n;
        for (int i = 0; i <= n; ++i) {
            angles.push_back(-range + i * topStep);
        }
    }
    std::vector<CoarseAngle>& coarse = model.angles;
    coarse.reserve(angles.size());
    for (double phi : angles) {
        CoarseAngle ca;
        ca.phi = phi;
        const double c = std::cos(phi);
        const double s = std::sin(phi);
        ca.minX = ca.minY = 1 << 20;
        ca.maxX = ca.maxY = -(1 << 20);
        for (const Feature& f : top.features) {
            RotatedFeature r;
            r.ox = static_cast<int>(std::lround(c * f.x - s * f.y));
            r.oy = static_cast<int>(std::lround(s * f.x + c * f.y));
            r.cx = static_cast<float>(c * f.gx - s * f.gy);
            r.cy = static_cast<float>(s * f.gx + c * f.gy);
            ca.minX = std::min(ca.minX, r.ox);
            ca.maxX = std::max(ca.maxX, r.ox);
            ca.minY = std::min(ca.minY, r.oy);
            ca.maxY = std::max(ca.maxY, r.oy);
            ca.features.push_back(r);
        }
        // Rows of the image planes are walked in order.
        std::sort(ca.features.begin(), ca.features.end(),
                  [](const RotatedFeature& a, const RotatedFeature& b) {
                      return a.oy != b.oy ? a.oy < b.oy : a.ox < b.ox;
                  });
        coarse.push_back(std::move(ca));
    }
    model.padX = static_cast<int>(std::ceil(kOutsideFraction * size.width)) + 2;
    model.padY = static_cast<int>(std::ceil(kOutsideFraction * size.height)) + 2;
    coarseModels.push_back(std::move(model));
}

void FindShape::Impl::PrepareTop() {
    const cv::Mat& img = pyramid[static_cast<size_t>(coarse->level)];
    const int padX = coarse->padX;
    const int padY = coarse->padY;
    Gradient(img, topGx, topGy);
    const cv::Size padded(img.cols + 2 * padX, img.rows + 2 * padY);
    if (unitX.size() != padded) {
        unitX.create(padded, CV_32F);
        unitY.create(padded, CV_32F);
        unitX.setTo(0);
        unitY.setTo(0);
    }
    for (int y = 0; y < img.rows; ++y) {
        const float* gx = topGx.ptr<float>(y);
        const float* gy = topGy.ptr<float>(y);
        float* ux = unitX.ptr<float>(y + padY) + padX;
        float* uy = unitY.ptr<float>(y + padY) + padX;
        for (int x = 0; x < img.cols; ++x) {
            const float m2 = gx[x] * gx[x] + gy[x] * gy[x];
            const float inv =
                m2 >= kSceneGradientFloor * kSceneGradientFloor ? 1.0f / std::sqrt(m2) : 0.0f;
            ux[x] = gx[x] * inv;
            uy[x] = gy[x] * inv;
        }
    }
}

void FindShape::Impl::SearchStripe(int stripe, int count, double floorScore) {
    Stripe& st = stripes[static_cast<size_t>(stripe)];
    st.found.clear();
    const cv::Mat& img = pyramid[static_cast<size_t>(coarse->level)];
    const int padX = coarse->padX;
    const int padY = coarse->padY;
    const int tolX = padX - 2;
    const int tolY = padY - 2;
    const int n = static_cast<int>(coarse->angles.size());
    for (int k = stripe; k < n; k += count) {
        const CoarseAngle& ca = coarse->angles[static_cast<size_t>(k)];
        const int x0 = -ca.minX - tolX;
        const int x1 = img.cols - 1 - ca.maxX + tolX;
        const int y0 = -ca.minY - tolY;
        const int y1 = img.rows - 1 - ca.maxY + tolY;
        const int nx = x1 - x0 + 1;
        const int ny = y1 - y0 + 1;
        if (nx <= 0 || ny <= 0) {
            continue;
        }
        st.scores.assign(static_cast<size_t>(nx * ny), 0.0f);
        float* scores = st.scores.data();
        for (const RotatedFeature& f : ca.features) {
            const float cx = f.cx;
            const float cy = f.cy;
            for (int yy = 0; yy < ny; ++yy) {
                const int row = padY + y0 + yy + f.oy;
                const int col = padX + x0 + f.ox;
                const float* __restrict ux = unitX.ptr<float>(row) + col;
                const float* __restrict uy = unitY.ptr<float>(row) + col;
                float* __restrict acc = scores + yy * nx;
                if (ignorePolarity) {
                    for (int xx = 0; xx < nx; ++xx) {
                        acc[xx] += std::abs(ux[xx] * cx + uy[xx] * cy);
                    }
                } else {
                    for (int xx = 0; xx < nx; ++xx) {
                        acc[xx] += ux[xx] * cx + uy[xx] * cy;
                    }
                }
            }
        }
        const float norm = 1.0f / static_cast<float>(ca.features.size());
        const float floorSum = static_cast<float>(floorScore) / norm;
        for (int yy = 0; yy < ny; ++yy) {
            for (int xx = 0; xx < nx; ++xx) {
                const float v = scores[yy * nx + xx];
                if (v < floorSum) {
                    continue;
                }
                bool peak = true;
                for (int dy = -1; dy <= 1 && peak; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int qx = xx + dx;
                        const int qy = yy + dy;
                        if ((dx == 0 && dy == 0) || qx < 0 || qy < 0 || qx >= nx || qy >= ny) {
                            continue;
                        }
                        const float w = scores[qy * nx + qx];
                        // Ties go to the first in scan order.
                        if (w > v || (w == v && (dy < 0 || (dy == 0 && dx < 0)))) {
                            peak = false;
                            break;
                        }
                    }
                }
                if (!peak) {
                    continue;
                }
                const Pose p{static_cast<double>(x0 + xx), static_cast<double>(y0 + yy), ca.phi,
                             v * norm};
                if (static_cast<int>(st.found.size()) < kStripeCandidates) {
                    st.found.push_back(p);
                } else {
                    auto worst = std::min_element(
                        st.found.begin(), st.found.end(),
                        [](const Pose& a, const Pose& b) { return a.score < b.score; });
                    if (worst->score < p.score) {
                        *worst = p;
                    }
                }
            }
        }
    }
}

void FindShape::Impl::CoarseSearch(double floorScore) {
    const int n = static_cast<int>(coarse->angles.size());
    const int count = std::max(1, std::min(n, cv::getNumThreads()));
    if (static_cast<int>(stripes.size()) < count) {
        stripes.resize(static_cast<size_t>(count));
        for (Stripe& s : stripes) {
            s.found.reserve(kStripeCandidates);
        }
    }
    if (count == 1) {
        SearchStripe(0, 1, floorScore);
    } else {
        cv::parallel_for_(
            cv::Range(0, count),
            [&](const cv::Range& r) {
                for (int i = r.start; i < r.end; ++i) {
                    SearchStripe(i, count, floorScore);
                }
            },
            count);
    }
    merged.clear();
    for (int i = 0; i < count; ++i) {
        const Stripe& s = stripes[static_cast<size_t>(i)];
        merged.insert(merged.end(), s.found.begin(), s.found.end());
    }
    std::sort(merged.begin(), merged.end(),
              [](const Pose& a, const Pose& b) { return a.score > b.score; });
    // Suppress poses close in place and angle to a better one.
    // Small models at deep levels are less distinctive: keep more of them.
    const size_t most =
        coarse->level == coarseModels.front().level ? kMaxCandidates : 2 * kMaxCandidates;
    const double topStep = coarse->step;
    size_t kept = 0;
    for (size_t i = 0; i < merged.size() && kept < most; ++i) {
        bool close = false;
        for (size_t j = 0; j < kept && !close; ++j) {
            close = std::abs(merged[i].x - merged[j].x) <= 2.0 &&
                    std::abs(merged[i].y - merged[j].y) <= 2.0 &&
                    std::abs(WrapAngle(merged[i].phi - merged[j].phi)) <= 2.5 * topStep;
        }
        if (!close) {
            merged[kept++] = merged[i];
        }
    }
    merged.resize(kept);
}

bool FindShape::Impl::Align(int level, Pose& pose, int maxIter) {
    const cv::Mat& img = pyramid[static_cast<size_t>(level)];
    const Level& lv = levels[static_cast<size_t>(level)];
    const std::vector<AlignPoint>& pts = lv.points;
    const size_t n = pts.size();
    samples.resize(n);
    weights.assign(n, 1.0f);
    residuals.resize(n);
    // Samples are means of four bilinear samples half a pixel apart: the image smoothed by the
    // binomial kernel the template was smoothed with, which keeps interpolation blur small.
    const float minXY = 0.5f;
    const float maxX = static_cast<float>(img.cols) - 1.5f - 1e-3f;
    const float maxY = static_cast<float>(img.rows) - 1.5f - 1e-3f;
    // Stop once no point moves more than this (pixels of this level).
    const double settled = level == 0 ? 1e-3 : 1e-2;
    // The robust scale is estimated on about this many residuals.
    const size_t scaleStride = std::max<size_t>(1, n / 256);
    for (int it = 0; it < maxIter; ++it) {
        const float fc = static_cast<float>(std::cos(pose.phi));
        const float fs = static_cast<float>(std::sin(pose.phi));
        const float tx = static_cast<float>(pose.x);
        const float ty = static_cast<float>(pose.y);
        double sw = 0, st = 0, sv = 0, stt = 0, stv = 0;
        size_t valid = 0;
        for (size_t i = 0; i < n; ++i) {
            const AlignPoint& p = pts[i];
            const float qx = tx + fc * p.x - fs * p.y;
            const float qy = ty + fs * p.x + fc * p.y;
            if (qx < minXY || qy < minXY || qx >= maxX || qy >= maxY) {
                weights[i] = 0.0f;
                samples[i] = -1.0f;
                continue;
            }
            const float v =
                0.25f * (Bilinear(img, qx - 0.5f, qy - 0.5f) + Bilinear(img, qx + 0.5f, qy - 0.5f) +
                         Bilinear(img, qx - 0.5f, qy + 0.5f) + Bilinear(img, qx + 0.5f, qy + 0.5f));
            samples[i] = v;
            const float w = weights[i];
            sw += w;
            st += w * p.t;
            sv += w * v;
            stt += w * p.t * p.t;
            stv += w * p.t * v;
            ++valid;
        }
        if (valid < n / 4 || sw <= 0.0) {
            return false;
        }
        // Gain and offset between template and image: v = alpha * t + beta.
        const double mt = st / sw;
        const double mv = sv / sw;
        const double vt = stt / sw - mt * mt;
        const double alpha = vt > 1e-9 ? (stv / sw - mt * mv) / vt : 0.0;
        if (ignorePolarity ? std::abs(alpha) < 0.05 : alpha < 0.05) {
            return false;
        }
        const float ia = static_cast<float>(1.0 / alpha);
        const float fb = static_cast<float>(mv - alpha * mt);
        scratch.clear();
        for (size_t i = 0; i < n; ++i) {
            residuals[i] = (samples[i] - fb) * ia - pts[i].t;
            if (i % scaleStride == 0 && samples[i] >= 0.0f && (weights[i] > 0.0f || it == 0)) {
                scratch.push_back(std::abs(residuals[i]));
            }
        }
        if (scratch.empty()) {
            return false;
        }
        const size_t mid = scratch.size() / 2;
        std::nth_element(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(mid),
                         scratch.end());
        // Tukey weights: points far off the fit (occlusion, clutter) drop out.
        const float cut = std::max(4.685f * 1.4826f * scratch[mid], 8.0f);
        const float invCut2 = 1.0f / (cut * cut);
        double h00 = 0, h01 = 0, h02 = 0, h11 = 0, h12 = 0, h22 = 0, b0 = 0, b1 = 0, b2 = 0;
        for (size_t i = 0; i < n; ++i) {
            if (samples[i] < 0.0f) {
                continue;
            }
            const float e = residuals[i];
            const float u = e * e * invCut2;
            const float w = u < 1.0f ? (1.0f - u) * (1.0f - u) : 0.0f;
            weights[i] = w;
            const AlignPoint& p = pts[i];
            const float wgx = w * p.gx;
            const float wgy = w * p.gy;
            const float wgr = w * p.gr;
            h00 += wgx * p.gx;
            h01 += wgx * p.gy;
            h02 += wgx * p.gr;
            h11 += wgy * p.gy;
            h12 += wgy * p.gr;
            h22 += wgr * p.gr;
            b0 += wgx * e;
            b1 += wgy * e;
            b2 += wgr * e;
        }
        const cv::Matx33d h(h00, h01, h02, h01, h11, h12, h02, h12, h22);
        cv::Vec3d d;
        if (!cv::solve(h, cv::Vec3d(b0, b1, b2), d, cv::DECOMP_CHOLESKY)) {
            return false;
        }
        // Inverse compositional update of the rigid warp.
        pose.phi -= d[2];
        const double c2 = std::cos(pose.phi);
        const double s2 = std::sin(pose.phi);
        pose.x -= c2 * d[0] - s2 * d[1];
        pose.y -= s2 * d[0] + c2 * d[1];
        if (std::hypot(d[0], d[1]) + std::abs(d[2]) * lv.radius < settled) {
            break;
        }
    }
    return true;
}

double FindShape::Impl::Score(int level, const Pose& pose) const {
    const cv::Mat& img = pyramid[static_cast<size_t>(level)];
    const std::vector<Feature>& fs = levels[static_cast<size_t>(level)].features;
    const double c = std::cos(pose.phi);
    const double s = std::sin(pose.phi);
    const size_t step = img.step[0];
    double sum = 0.0;
    for (const Feature& f : fs) {
        const double qx = pose.x + c * f.x - s * f.y;
        const double qy = pose.y + s * f.x + c * f.y;
        const int ix = static_cast<int>(std::lround(qx));
        const int iy = static_cast<int>(std::lround(qy));
        if (ix < 1 || iy < 1 || ix >= img.cols - 1 || iy >= img.rows - 1) {
            continue;
        }
        const uchar* p = img.ptr<uchar>(iy) + ix;
        const uchar* u = p - step;
        const uchar* d = p + step;
        const float gx = static_cast<float>((u[1] - u[-1]) + 2 * (p[1] - p[-1]) + (d[1] - d[-1]));
        const float gy = static_cast<float>((d[-1] - u[-1]) + 2 * (d[0] - u[0]) + (d[1] - u[1]));
        const float m = std::sqrt(gx * gx + gy * gy) / 8.0f;
        if (m < kSceneGradientFloor) {
            continue;
        }
        const double dx = c * f.gx - s * f.gy;
        const double dy = s * f.gx + c * f.gy;
        const double dot = (gx * dx + gy * dy) / (8.0 * m);
        sum += ignorePolarity ? std::abs(dot) : dot;
    }
    return fs.empty() ? 0.0 : sum / static_cast<double>(fs.size());
}

bool FindShape::Impl::Run(const cv::Mat& window, cv::Point offset, double least, Pose& best) {
    best = Pose{};
    coarse = &ChooseCoarse(window.size());
    const int nLevels = coarse->level + 1;
    pyramid.resize(static_cast<size_t>(nLevels));
    pyramid[0] = window;
    for (int l = 1; l < nLevels; ++l) {
        const cv::Mat& prev = pyramid[static_cast<size_t>(l - 1)];
        if (prev.cols < 4 || prev.rows < 4) {
            return false;
        }
        cv::pyrDown(prev, pyramid[static_cast<size_t>(l)]);
    }
    PrepareTop();
    const double floorScore = std::max(0.15, 0.5 * least / 100.0);
    CoarseSearch(floorScore);
    if (merged.empty()) {
        return false;
    }
    const int top = nLevels - 1;
    for (int l = top; l >= 0; --l) {
        double bestScore = -1.0;
        for (Pose& p : merged) {
            if (l != top) {
                p.x *= 2.0;
                p.y *= 2.0;
            }
            if (!Align(l, p, l == 0 ? 30 : (l == top ? 6 : 8))) {
                p.score = -1.0;
                continue;
            }
            p.score = Score(l, p);
            bestScore = std::max(bestScore, p.score);
        }
        // Drop candidates clearly worse than the best one at this level, and narrow the field
        // towards full resolution where alignment costs most.
        const double keep = std::max(0.7 * bestScore, l == 0 ? -1.0 : 0.5 * floorScore);
        std::erase_if(merged, [&](const Pose& p) { return p.score < keep || p.score < 0.0; });
        if (merged.empty()) {
            return false;
        }
        std::sort(merged.begin(), merged.end(),
                  [](const Pose& a, const Pose& b) { return a.score > b.score; });
        // Candidates that converged onto the same pose count once.
        size_t kept = 0;
        for (size_t i = 0; i < merged.size(); ++i) {
            bool twin = false;
            for (size_t j = 0; j < kept && !twin; ++j) {
                twin = std::hypot(merged[i].x - merged[j].x, merged[i].y - merged[j].y) < 1.0 &&
                       std::abs(WrapAngle(merged[i].phi - merged[j].phi)) < 0.01;
            }
            if (!twin) {
                merged[kept++] = merged[i];
            }
        }
        const size_t limit = l == top ? 6 : (l > 1 ? 4 : 2);
        merged.resize(std::min(kept, limit));
    }
    best = *std::max_element(merged.begin(), merged.end(),
                             [](const Pose& a, const Pose& b) { return a.score < b.score; });
    best.score = std::clamp(best.score * 100.0, 0.0, 100.0);
    best.x += offset.x;
    best.y += offset.y;
    return best.score >= least;
}

FindShape::FindShape() = default;
FindShape::~FindShape() = default;
FindShape::FindShape(FindShape&&) noexcept = default;
FindShape& FindShape::operator=(FindShape&&) noexcept = default;

bool FindShape::CreateShape(const cv::Mat& pattern, double angleStep, int numLevels,
                            double angleRange, double refX, double refY, bool ignorePolarity,
                            int maskValue, const cv::Mat& mask, double leastMatch,
                            int minContrast) {
    m_impl.reset();
    if (pattern.empty() || pattern.depth() != CV_8U) {
        return false;
    }
    cv::Mat gray;
    if (pattern.channels() == 1) {
        gray = pattern.clone();
    } else if (pattern.channels() == 3) {
        cv::cvtColor(pattern, gray, cv::COLOR_BGR2GRAY);
    } else if (pattern.channels() == 4) {
        cv::cvtColor(pattern, gray, cv::COLOR_RGBA2GRAY);
    } else {
        return false;
    }
    cv::Mat valid(gray.size(), CV_8UC1, cv::Scalar(255));
    if (!mask.empty()) {
        if (mask.size() != gray.size() || mask.type() != CV_8UC1) {
            return false;
        }
        if (maskValue == 0) {
            cv::compare(mask, 0, valid, cv::CMP_NE);
        } else {
            cv::compare(mask, maskValue, valid, cv::CMP_EQ);
        }
    }
    auto impl = std::make_unique<Impl>();
    impl->reference = cv::Point2d(refX, refY);
    impl->leastMatch = std::clamp(leastMatch, 0.0, 100.0);
    impl->angleRange = std::clamp(std::abs(angleRange), 0.0, 180.0);
    impl->ignorePolarity = ignorePolarity;
    if (!impl->Build(gray, angleStep, numLevels, valid, minContrast)) {
        return false;
    }
    m_impl = std::move(impl);
    return true;
}

bool FindShape::IsValid() const {
    return m_impl != nullptr;
}

void FindShape::Clear() {
    m_impl.reset();
}

int FindShape::NumLevels() const {
    return m_impl ? static_cast<int>(m_impl->levels.size()) : 0;
}

cv::Point2d FindShape::LastPosition() const {
    return m_impl ? m_impl->lastPosition : cv::Point2d();
}

bool FindShape::Find(const cv::Mat& image, const cv::Rect& window, double leastMatch, double& x,
                     double& y, double& score, double& angle) {
    x = window.x;
    y = window.y;
    score = 0.0;
    angle = 0.0;
    if (!m_impl || image.empty()) {
        return false;
    }
    const cv::Rect area = window & cv::Rect(0, 0, image.cols, image.rows);
    if (area.empty()) {
        return false;
    }
    cv::Mat view = image(area);
    if (view.type() != CV_8UC1) {
        return false;
    }
    Impl& d = *m_impl;
    const double least = leastMatch > 0.0 ? leastMatch : d.leastMatch;
    Pose best;
    const bool found = d.Run(view, area.tl(), least, best);
    // The anchor sits at the reference point; report the window origin moved with the part.
    const double shiftX = best.x - d.reference.x;
    const double shiftY = best.y - d.reference.y;
    score = best.score;
    angle = -WrapAngle(best.phi) * 180.0 / kPi;
    if (best.score > 0.0) {
        x = window.x + shiftX;
        y = window.y + shiftY;
    }
    if (found) {
        d.lastPosition = cv::Point2d(best.x, best.y);
    }
    return found;
}

bool FindShape::Find(const cv::Mat& window, double leastMatch, double& x, double& y, double& score,
                     double& angle) {
    if (window.empty()) {
        x = y = score = angle = 0.0;
        return false;
    }
    cv::Size whole;
    cv::Point offset;
    window.locateROI(whole, offset);
    // Rebuild the parent view so that both forms share one code path.
    cv::Mat parent = window;
    parent.adjustROI(offset.y, whole.height - offset.y - window.rows, offset.x,
                     whole.width - offset.x - window.cols);
    return Find(parent, cv::Rect(offset, window.size()), leastMatch, x, y, score, angle);
}
