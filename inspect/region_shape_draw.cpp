// Qt drawing of the region shapes; the geometry itself lives in region_shape.cpp.
#include <QPainter>
#include <QPolygonF>

#include "inspect/region_shape.h"

void RegionShape::Draw(QPainter& painter) const {
    painter.save();
    QPen pen(m_selected ? QColor(255, 200, 0) : QColor(0, 220, 0));
    pen.setWidthF(m_selected ? 2.0 : 1.0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (const std::vector<cv::Point2d>& outline : Outlines()) {
        QPolygonF polygon;
        polygon.reserve(static_cast<qsizetype>(outline.size()));
        for (const cv::Point2d& p : outline) {
            polygon << QPointF(p.x, p.y);
        }
        painter.drawPolygon(polygon);
    }
    if (m_selected) {
        painter.setBrush(QColor(255, 200, 0));
        const double half = kHandleTolerance / 2.0;
        for (const cv::Point2d& h : Handles()) {
            painter.drawRect(QRectF(h.x - half, h.y - half, 2 * half, 2 * half));
        }
    }
    painter.restore();
}
