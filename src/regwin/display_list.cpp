#include "regwin/display_list.h"

namespace kalibrix {

void Layer::addLine(PointF a, PointF b, PenColour colour, PenStyle style)
{
    const PointF pts[2] = {a, b};
    addPolyline(pts, colour, style);
}

void Layer::addRect(PointF a, PointF b, PenColour colour, PenStyle style)
{
    shapes.push_back(
        {ShapeKind::Rectangle, colour, static_cast<std::uint32_t>(points.size()), 2, style});
    points.push_back(a);
    points.push_back(b);
}

void Layer::addEllipse(PointF a, PointF b, PenColour colour)
{
    shapes.push_back({ShapeKind::Ellipse, colour, static_cast<std::uint32_t>(points.size()), 2});
    points.push_back(a);
    points.push_back(b);
}

void Layer::addPolyline(std::span<const PointF> pts, PenColour colour, PenStyle style)
{
    shapes.push_back({ShapeKind::Polyline, colour, static_cast<std::uint32_t>(points.size()),
                      static_cast<std::uint32_t>(pts.size()), style});
    points.insert(points.end(), pts.begin(), pts.end());
}

}  // namespace kalibrix
