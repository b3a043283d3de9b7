#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include <QImage>
#include <QPainter>

#include "inspect/region_shape.h"
#include "inspect/vision_globals.h"

namespace {

constexpr double kPi = std::numbers::pi;

// View half the size of a 1600 x 1200 camera image.
class RegionShapes : public ::testing::Test {
protected:
    void SetUp() override { SetViewGeometry(1600, 1200, 800, 600); }
    void TearDown() override { SetViewGeometry(1600, 1200, 800, 600); }
};

// Every mask pixel agrees with Contains() at its centre mapped back to the view.
void ExpectMaskMatchesContains(const RegionShape& shape) {
    const cv::Rect r = shape.ImageRect();
    const cv::Mat& mask = shape.Mask();
    ASSERT_EQ(mask.size(), r.size());
    // About 3000 probes on a grid, enough to catch a shifted or scaled mask.
    const int step = std::max(3, static_cast<int>(std::sqrt(mask.total() / 3000.0)));
    int mismatches = 0;
    for (int v = 0; v < mask.rows; v += step) {
        for (int u = 0; u < mask.cols; u += step) {
            const double x = (r.x + u + 0.5) / gShowAW;
            const double y = (r.y + v + 0.5) / gShowAH;
            mismatches += (mask.at<uchar>(v, u) == 255) != shape.Contains(x, y);
        }
    }
    EXPECT_LE(mismatches, (mask.rows + mask.cols) / step) << "only edge pixels may disagree";
}

TEST_F(RegionShapes, RectangleMaskAndHandles) {
    ClustomRect rect(100, 50, 60.25, 40);
    cv::Mat mask = rect.UpdateMask();
    EXPECT_EQ(rect.ImageRect(), cv::Rect(200, 100, 121, 80));
    EXPECT_EQ(cv::countNonZero(mask), 120 * 80);  // 120.5 px wide: the half-covered column is out
    ExpectMaskMatchesContains(rect);

    EXPECT_EQ(rect.PtInCtrl(161, 91), 4);
    EXPECT_EQ(rect.PtInCtrl(130, 70), -1);
    rect.Resize(4, 200, 120);
    EXPECT_EQ(rect.Rect(), cv::Rect2d(100, 50, 100, 70));
    rect.Resize(0, 250, 130);  // dragged past the opposite corner: normalised
    EXPECT_EQ(rect.Rect(), cv::Rect2d(200, 120, 50, 10));
    rect.Resize(4, 2000, 2000);  // kept inside the view
    EXPECT_EQ(rect.Rect(), cv::Rect2d(200, 120, 600, 480));
    rect.SetSelected(true);
    EXPECT_TRUE(rect.IsSelected());
}

TEST_F(RegionShapes, RingMaskPixelCountMatchesArea) {
    struct Case {
        double outer, inner;
    };
    for (const Case c : {Case{100, 40}, Case{55.5, 0}, Case{150, 149}}) {
        Circle ring(400, 300, c.outer, c.inner);
        ring.UpdateAll();
        const double area = kPi * (c.outer * c.outer - c.inner * c.inner) * gShowAW * gShowAH;
        const double rim = 2 * kPi * (c.outer + c.inner) * gShowAW;
        EXPECT_NEAR(cv::countNonZero(ring.Mask()), area, 0.02 * rim) << c.outer << "/" << c.inner;
        ExpectMaskMatchesContains(ring);
    }
}

TEST_F(RegionShapes, RingFollowsCentreAndRadii) {
    Circle ring(100, 100, 30, 10);
    ring.SetCentre(200, 150);
    ring.SetRadii(50, 20);
    ring.UpdateRect();
    EXPECT_EQ(ring.BoundingBox(), cv::Rect2d(150, 100, 100, 100));
    EXPECT_EQ(ring.ImageRect(), cv::Rect(300, 200, 200, 200));
    EXPECT_TRUE(ring.Contains(235, 150));
    EXPECT_FALSE(ring.Contains(210, 150));  // in the hole

    EXPECT_EQ(ring.PtInCtrl(251, 150), 1);
    ring.Resize(1, 270, 150);
    EXPECT_DOUBLE_EQ(ring.OuterRadius(), 70);
    ring.Resize(2, 170, 150);
    EXPECT_DOUBLE_EQ(ring.InnerRadius(), 30);
    ring.Resize(0, 300, 300);
    EXPECT_EQ(ring.Centre(), cv::Point2d(300, 300));
    EXPECT_EQ(ring.ImageRect(), cv::Rect(460, 460, 280, 280));
}

TEST_F(RegionShapes, PolygonMaskMatchesShoelaceArea) {
    // A star with 5 points and a 8096-vertex circle (the vertex limit).
    std::vector<cv::Point2d> star;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? 40 : 100;
        star.emplace_back(300 + r * std::cos(i * kPi / 5), 250 + r * std::sin(i * kPi / 5));
    }
    std::vector<cv::Point2d> round;
    for (int i = 0; i < RePolygon::kMaxVertices + 50; ++i) {
        const double a = 2 * kPi * i / (RePolygon::kMaxVertices + 50);
        round.emplace_back(400 + 150 * std::cos(a), 300 + 120 * std::sin(a));
    }
    for (const auto& pts : {star, round}) {
        RePolygon poly(pts.data(), static_cast<int>(pts.size()));
        ASSERT_LE(poly.Points().size(), static_cast<size_t>(RePolygon::kMaxVertices));
        const std::vector<cv::Point2d>& p = poly.Points();
        double area = 0.0;
        double perimeter = 0.0;
        for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
            area += p[j].x * p[i].y - p[i].x * p[j].y;
            perimeter += cv::norm(p[i] - p[j]);
        }
        area = std::abs(area) / 2 * gShowAW * gShowAH;
        const cv::Mat mask = poly.UpdateMask();
        EXPECT_NEAR(cv::countNonZero(mask), area, 0.02 * perimeter * gShowAW);
        ExpectMaskMatchesContains(poly);
    }
}

TEST_F(RegionShapes, PolygonVertexHandles) {
    const std::vector<cv::Point2d> tri = {{10, 10}, {110, 10}, {60, 90}};
    RePolygon poly(tri);
    EXPECT_EQ(poly.PtInCtrl(108, 12), 1);
    poly.Resize(1, 210, 10);
    EXPECT_EQ(poly.Points()[1], cv::Point2d(210, 10));
    EXPECT_EQ(poly.ImageRect(), cv::Rect(20, 20, 400, 160));
    poly.Move(5, 5);
    EXPECT_EQ(poly.Points()[0], cv::Point2d(15, 15));
}

TEST_F(RegionShapes, DrawPaintsOutlineAndHandlesWhenSelected) {
    QImage canvas(300, 200, QImage::Format_ARGB32);
    ClustomRect rect(50, 40, 100, 60);
    const auto painted = [&](bool selected) {
        canvas.fill(Qt::black);
        rect.SetSelected(selected);
        QPainter painter(&canvas);
        rect.Draw(painter);
        painter.end();
        int n = 0;
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                n += canvas.pixel(x, y) != QColor(Qt::black).rgb();
            }
        }
        return n;
    };
    const int plain = painted(false);
    EXPECT_GT(plain, 300);  // the outline, about 320 px
    EXPECT_EQ(canvas.pixel(100, 100) != QColor(Qt::black).rgb(), true);
    EXPECT_EQ(canvas.pixel(100, 70), QColor(Qt::black).rgb());  // inside stays unpainted
    EXPECT_GT(painted(true), plain + 8 * 20);                   // eight filled handles added
}

}  // namespace
