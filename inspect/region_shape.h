#pragma once

#include <span>
#include <vector>

#include <opencv2/core.hpp>

class QPainter;

// Inspection region drawn over the camera view. Geometry is kept in display pixels; the image
// rectangle and the mask are derived with the view scale (image = display * gShowAW / gShowAH).
// A pixel belongs to the region when its centre does.
class RegionShape {
public:
    // Distance in display pixels within which a point grabs a handle.
    static constexpr double kHandleTolerance = 6.0;

    virtual ~RegionShape() = default;

    // True when the display point (x, y) lies inside the region.
    virtual bool Contains(double x, double y) const = 0;
    // Index of the handle within `tolerance` display pixels of (x, y), or -1 when none is.
    int PtInCtrl(double x, double y, double tolerance = kHandleTolerance) const;
    // Drags handle `handle` (an index from PtInCtrl) to the display point (x, y), kept inside
    // the camera view.
    virtual void Resize(int handle, double x, double y) = 0;
    // Moves the whole region by (dx, dy) display pixels.
    virtual void Move(double dx, double dy) = 0;
    // Handle positions in display pixels, in handle-index order.
    virtual std::vector<cv::Point2d> Handles() const = 0;
    // Closed outlines in display pixels (a ring has two).
    virtual std::vector<std::vector<cv::Point2d>> Outlines() const = 0;

    void SetSelected(bool selected) { m_selected = selected; }
    bool IsSelected() const { return m_selected; }

    // Recomputes ImageRect(): the bounding rectangle of the region in image pixels, clipped to
    // the camera image (gImageW x gImageH).
    void setImageRect();
    const cv::Rect& ImageRect() const { return m_imageRect; }
    // Recomputes the image rectangle and returns an 8-bit mask of its size: 255 for pixels inside
    // the region, 0 elsewhere. The mask is also kept (Mask()).
    cv::Mat UpdateMask();
    const cv::Mat& Mask() const { return m_mask; }

    // Draws the outline and, when selected, the handles. Coordinates are display pixels.
    void Draw(QPainter& painter) const;

protected:
    // Bounding box of the region in display pixels.
    virtual cv::Rect2d DisplayBounds() const = 0;
    // Sets mask pixels (already zeroed) inside the region; pixel (u, v) of the mask has its centre
    // at image point (origin.x + u + 0.5, origin.y + v + 0.5).
    virtual void FillMask(cv::Mat& mask, cv::Point origin) const = 0;

private:
    bool m_selected = false;
    cv::Rect m_imageRect;
    cv::Mat m_mask;
};

// Upright rectangular region. Handles: 0 top-left, 1 top, 2 top-right, 3 right, 4 bottom-right,
// 5 bottom, 6 bottom-left, 7 left.
class ClustomRect : public RegionShape {
public:
    ClustomRect() = default;
    // x, y: top-left corner; width, height: size; all in display pixels.
    ClustomRect(double x, double y, double width, double height);

    cv::Rect2d Rect() const { return m_rect; }
    void SetRect(const cv::Rect2d& rect);

    bool Contains(double x, double y) const override;
    void Resize(int handle, double x, double y) override;
    void Move(double dx, double dy) override;
    std::vector<cv::Point2d> Handles() const override;
    std::vector<std::vector<cv::Point2d>> Outlines() const override;

protected:
    cv::Rect2d DisplayBounds() const override { return m_rect; }
    void FillMask(cv::Mat& mask, cv::Point origin) const override;

private:
    cv::Rect2d m_rect;
};

// Ring region: the band between an inner and an outer circle around a centre (the inner radius
// may be 0 for a full disc). Handles: 0 centre (moves the ring), 1 outer radius (right of the
// centre), 2 inner radius (left of the centre).
class Circle : public RegionShape {
public:
    Circle() = default;
    // cx, cy: centre; outerRadius, innerRadius: radii; all in display pixels.
    Circle(double cx, double cy, double outerRadius, double innerRadius = 0.0);

    cv::Point2d Centre() const { return m_centre; }
    double OuterRadius() const { return m_outer; }
    double InnerRadius() const { return m_inner; }
    // Setters leave derived data stale until UpdateRect() or UpdateAll().
    void SetCentre(double cx, double cy) { m_centre = {cx, cy}; }
    void SetRadii(double outerRadius, double innerRadius);

    // Recomputes the bounding box and the image rectangle after the centre or radii changed.
    void UpdateRect();
    // UpdateRect() and the mask.
    void UpdateAll();
    // Bounding box of the outer circle in display pixels.
    cv::Rect2d BoundingBox() const { return m_bounds; }

    bool Contains(double x, double y) const override;
    void Resize(int handle, double x, double y) override;
    void Move(double dx, double dy) override;
    std::vector<cv::Point2d> Handles() const override;
    std::vector<std::vector<cv::Point2d>> Outlines() const override;

protected:
    cv::Rect2d DisplayBounds() const override;
    void FillMask(cv::Mat& mask, cv::Point origin) const override;

private:
    cv::Point2d m_centre;
    double m_outer = 0.0;
    double m_inner = 0.0;
    cv::Rect2d m_bounds;
};

// Polygon region (even-odd rule) of up to kMaxVertices vertices; each vertex is a handle.
class RePolygon : public RegionShape {
public:
    static constexpr int kMaxVertices = 8096;

    RePolygon() = default;
    // points: vertices in display pixels, in drawing order; extra vertices beyond kMaxVertices
    // are dropped.
    explicit RePolygon(std::span<const cv::Point2d> points);
    // n vertices read from `points`.
    RePolygon(const cv::Point2d* points, int n);

    const std::vector<cv::Point2d>& Points() const { return m_points; }

    bool Contains(double x, double y) const override;
    void Resize(int handle, double x, double y) override;
    void Move(double dx, double dy) override;
    std::vector<cv::Point2d> Handles() const override { return m_points; }
    std::vector<std::vector<cv::Point2d>> Outlines() const override { return {m_points}; }

protected:
    cv::Rect2d DisplayBounds() const override;
    void FillMask(cv::Mat& mask, cv::Point origin) const override;

private:
    std::vector<cv::Point2d> m_points;
};
