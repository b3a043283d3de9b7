#include "inspect/region_shape.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "inspect/vision_globals.h"

namespace {

cv::Point2d ClampToView(double x, double y) {
    return {CheckInRange(x, 1), CheckInRange(y, 0)};
}

// First pixel index whose centre (origin + u + 0.5) is at or right of `x`.
int FirstCentreAtOrAfter(double x, int origin) {
    return static_cast<int>(std::ceil(x - origin - 0.5));
}

}  // namespace

// ---- RegionShape ----

int RegionShape::PtInCtrl(double x, double y, double tolerance) const {
    const std::vector<cv::Point2d> handles = Handles();
    int best = -1;
    double bestDist = tolerance;
    for (size_t i = 0; i < handles.size(); ++i) {
        const double d = std::hypot(handles[i].x - x, handles[i].y - y);
        if (d <= bestDist) {
            bestDist = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

void RegionShape::setImageRect() {
    const cv::Rect2d b = DisplayBounds();
    const double x0 = b.x * gShowAW;
    const double y0 = b.y * gShowAH;
    const double x1 = (b.x + b.width) * gShowAW;
    const double y1 = (b.y + b.height) * gShowAH;
    const cv::Rect r(cv::Point(static_cast<int>(std::floor(x0)), static_cast<int>(std::floor(y0))),
                     cv::Point(static_cast<int>(std::ceil(x1)), static_cast<int>(std::ceil(y1))));
    m_imageRect = r & cv::Rect(0, 0, gImageW, gImageH);
}

cv::Mat RegionShape::UpdateMask() {
    setImageRect();
    m_mask =
        cv::Mat::zeros(std::max(m_imageRect.height, 0), std::max(m_imageRect.width, 0), CV_8UC1);
    if (!m_mask.empty()) {
        FillMask(m_mask, m_imageRect.tl());
    }
    return m_mask;
}

// ---- ClustomRect ----

ClustomRect::ClustomRect(double x, double y, double width, double height) {
    SetRect(cv::Rect2d(x, y, width, height));
}

void ClustomRect::SetRect(const cv::Rect2d& rect) {
    const double x0 = std::min(rect.x, rect.x + rect.width);
    const double y0 = std::min(rect.y, rect.y + rect.height);
    m_rect = cv::Rect2d(x0, y0, std::abs(rect.width), std::abs(rect.height));
    setImageRect();
}

bool ClustomRect::Contains(double x, double y) const {
    return x >= m_rect.x && x < m_rect.x + m_rect.width && y >= m_rect.y &&
           y < m_rect.y + m_rect.height;
}

void ClustomRect::Resize(int handle, double x, double y) {
    const cv::Point2d p = ClampToView(x, y);
    double left = m_rect.x;
    double top = m_rect.y;
    double right = m_rect.x + m_rect.width;
    double bottom = m_rect.y + m_rect.height;
    const bool moveLeft = handle == 0 || handle == 6 || handle == 7;
    const bool moveRight = handle == 2 || handle == 3 || handle == 4;
    const bool moveTop = handle == 0 || handle == 1 || handle == 2;
    const bool moveBottom = handle == 4 || handle == 5 || handle == 6;
    if (moveLeft) {
        left = p.x;
    }
    if (moveRight) {
        right = p.x;
    }
    if (moveTop) {
        top = p.y;
    }
    if (moveBottom) {
        bottom = p.y;
    }
    SetRect(cv::Rect2d(left, top, right - left, bottom - top));
}

void ClustomRect::Move(double dx, double dy) {
    SetRect(cv::Rect2d(m_rect.x + dx, m_rect.y + dy, m_rect.width, m_rect.height));
}

std::vector<cv::Point2d> ClustomRect::Handles() const {
    const double l = m_rect.x;
    const double t = m_rect.y;
    const double r = m_rect.x + m_rect.width;
    const double b = m_rect.y + m_rect.height;
    const double cx = (l + r) / 2;
    const double cy = (t + b) / 2;
    return {{l, t}, {cx, t}, {r, t}, {r, cy}, {r, b}, {cx, b}, {l, b}, {l, cy}};
}

std::vector<std::vector<cv::Point2d>> ClustomRect::Outlines() const {
    const double r = m_rect.x + m_rect.width;
    const double b = m_rect.y + m_rect.height;
    return {{{m_rect.x, m_rect.y}, {r, m_rect.y}, {r, b}, {m_rect.x, b}}};
}

void ClustomRect::FillMask(cv::Mat& mask, cv::Point origin) const {
    const int u0 = std::max(FirstCentreAtOrAfter(m_rect.x * gShowAW, origin.x), 0);
    const int u1 =
        std::min(FirstCentreAtOrAfter((m_rect.x + m_rect.width) * gShowAW, origin.x), mask.cols);
    const int v0 = std::max(FirstCentreAtOrAfter(m_rect.y * gShowAH, origin.y), 0);
    const int v1 =
        std::min(FirstCentreAtOrAfter((m_rect.y + m_rect.height) * gShowAH, origin.y), mask.rows);
    if (u1 > u0 && v1 > v0) {
        mask(cv::Range(v0, v1), cv::Range(u0, u1)).setTo(255);
    }
}

// ---- Circle ----

Circle::Circle(double cx, double cy, double outerRadius, double innerRadius) : m_centre(cx, cy) {
    SetRadii(outerRadius, innerRadius);
    UpdateRect();
}

void Circle::SetRadii(double outerRadius, double innerRadius) {
    m_outer = std::max(outerRadius, 0.0);
    m_inner = std::clamp(innerRadius, 0.0, m_outer);
}

void Circle::UpdateRect() {
    m_bounds = cv::Rect2d(m_centre.x - m_outer, m_centre.y - m_outer, 2 * m_outer, 2 * m_outer);
    setImageRect();
}

void Circle::UpdateAll() {
    UpdateRect();
    UpdateMask();
}

cv::Rect2d Circle::DisplayBounds() const {
    return cv::Rect2d(m_centre.x - m_outer, m_centre.y - m_outer, 2 * m_outer, 2 * m_outer);
}

bool Circle::Contains(double x, double y) const {
    const double d = std::hypot(x - m_centre.x, y - m_centre.y);
    return d <= m_outer && d >= m_inner;
}

void Circle::Resize(int handle, double x, double y) {
    const cv::Point2d p = ClampToView(x, y);
    const double d = std::hypot(p.x - m_centre.x, p.y - m_centre.y);
    if (handle == 0) {
        m_centre = p;
    } else if (handle == 1) {
        m_outer = std::max(d, m_inner + 1.0);
    } else if (handle == 2) {
        m_inner = std::clamp(d, 0.0, std::max(m_outer - 1.0, 0.0));
    }
    UpdateRect();
}

void Circle::Move(double dx, double dy) {
    m_centre += cv::Point2d(dx, dy);
    UpdateRect();
}

std::vector<cv::Point2d> Circle::Handles() const {
    return {m_centre, {m_centre.x + m_outer, m_centre.y}, {m_centre.x - m_inner, m_centre.y}};
}

std::vector<std::vector<cv::Point2d>> Circle::Outlines() const {
    std::vector<std::vector<cv::Point2d>> out;
    for (double r : {m_outer, m_inner}) {
        if (r <= 0.0) {
            continue;
        }
        const int n = std::clamp(static_cast<int>(r), 16, 360);
        std::vector<cv::Point2d> ring;
        ring.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const double a = 2.0 * std::numbers::pi * i / n;
            ring.emplace_back(m_centre.x + r * std::cos(a), m_centre.y + r * std::sin(a));
        }
        out.push_back(std::move(ring));
    }
    return out;
}

void Circle::FillMask(cv::Mat& mask, cv::Point origin) const {
    const double cx = m_centre.x * gShowAW;
    const double cy = m_centre.y * gShowAH;
    const double ax = m_outer * gShowAW;
    const double ay = m_outer * gShowAH;
    const double bx = m_inner * gShowAW;
    const double by = m_inner * gShowAH;
    for (int v = 0; v < mask.rows; ++v) {
        const double y = origin.y + v + 0.5 - cy;
        if (ay <= 0.0 || std::abs(y) > ay) {
            continue;
        }
        const double half = ax * std::sqrt(1.0 - (y / ay) * (y / ay));
        const int u0 = std::max(FirstCentreAtOrAfter(cx - half, origin.x), 0);
        const int u1 = std::min(FirstCentreAtOrAfter(cx + half, origin.x), mask.cols);
        if (u1 <= u0) {
            continue;
        }
        uchar* row = mask.ptr<uchar>(v);
        std::fill(row + u0, row + u1, uchar{255});
        if (by > 0.0 && std::abs(y) < by) {
            const double hole = bx * std::sqrt(1.0 - (y / by) * (y / by));
            const int h0 = std::max(FirstCentreAtOrAfter(cx - hole, origin.x), 0);
            const int h1 = std::min(FirstCentreAtOrAfter(cx + hole, origin.x), mask.cols);
            if (h1 > h0) {
                std::fill(row + h0, row + h1, uchar{0});
            }
        }
    }
}

// ---- RePolygon ----

RePolygon::RePolygon(std::span<const cv::Point2d> points)
    : m_points(points.begin(),
               points.begin() + std::min<std::ptrdiff_t>(std::ssize(points), kMaxVertices)) {
    setImageRect();
}

RePolygon::RePolygon(const cv::Point2d* points, int n)
    : RePolygon(std::span<const cv::Point2d>(points, static_cast<size_t>(std::max(n, 0)))) {}

cv::Rect2d RePolygon::DisplayBounds() const {
    if (m_points.empty()) {
        return {};
    }
    double x0 = m_points[0].x;
    double x1 = x0;
    double y0 = m_points[0].y;
    double y1 = y0;
    for (const cv::Point2d& p : m_points) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return cv::Rect2d(x0, y0, x1 - x0, y1 - y0);
}

bool RePolygon::Contains(double x, double y) const {
    bool inside = false;
    const size_t n = m_points.size();
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const cv::Point2d& a = m_points[i];
        const cv::Point2d& b = m_points[j];
        if ((a.y > y) != (b.y > y)) {
            const double xc = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (x < xc) {
                inside = !inside;
            }
        }
    }
    return inside;
}

void RePolygon::Resize(int handle, double x, double y) {
    if (handle >= 0 && handle < static_cast<int>(m_points.size())) {
        m_points[static_cast<size_t>(handle)] = ClampToView(x, y);
        setImageRect();
    }
}

void RePolygon::Move(double dx, double dy) {
    for (cv::Point2d& p : m_points) {
        p += cv::Point2d(dx, dy);
    }
    setImageRect();
}

void RePolygon::FillMask(cv::Mat& mask, cv::Point origin) const {
    const size_t n = m_points.size();
    if (n < 3) {
        return;
    }
    // Crossings of every edge with the pixel-centre line of each row, then even-odd spans.
    std::vector<std::vector<double>> crossings(static_cast<size_t>(mask.rows));
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const cv::Point2d a(m_points[j].x * gShowAW, m_points[j].y * gShowAH);
        const cv::Point2d b(m_points[i].x * gShowAW, m_points[i].y * gShowAH);
        if (a.y == b.y) {
            continue;
        }
        const double ylo = std::min(a.y, b.y);
        const double yhi = std::max(a.y, b.y);
        const int v0 = std::max(FirstCentreAtOrAfter(ylo, origin.y), 0);
        const int v1 = std::min(FirstCentreAtOrAfter(yhi, origin.y), mask.rows);
        const double slope = (b.x - a.x) / (b.y - a.y);
        for (int v = v0; v < v1; ++v) {
            const double y = origin.y + v + 0.5;
            crossings[static_cast<size_t>(v)].push_back(a.x + (y - a.y) * slope);
        }
    }
    for (int v = 0; v < mask.rows; ++v) {
        std::vector<double>& xs = crossings[static_cast<size_t>(v)];
        std::sort(xs.begin(), xs.end());
        uchar* row = mask.ptr<uchar>(v);
        for (size_t k = 0; k + 1 < xs.size(); k += 2) {
            const int u0 = std::max(FirstCentreAtOrAfter(xs[k], origin.x), 0);
            const int u1 = std::min(FirstCentreAtOrAfter(xs[k + 1], origin.x), mask.cols);
            if (u1 > u0) {
                std::fill(row + u0, row + u1, uchar{255});
            }
        }
    }
}
