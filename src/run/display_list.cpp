#include "run/display_list.h"

#include <cmath>

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

void columnExtremes(std::span<const PointF> device, std::vector<std::uint32_t>& keep)
{
    keep.clear();
    const auto n = static_cast<std::uint32_t>(device.size());
    for (std::uint32_t first = 0; first < n;) {
        const double column = std::floor(device[first].x);
        const double next = column + 1;
        std::uint32_t last = first, low = first, high = first;
        while (last + 1 < n && device[last + 1].x >= column && device[last + 1].x < next) {
            ++last;
            if (device[last].y < device[low].y)
                low = last;
            if (device[last].y > device[high].y)
                high = last;
        }
        keep.push_back(first);
        for (const std::uint32_t i : {std::min(low, high), std::max(low, high)})
            if (i != keep.back() && i != last)
                keep.push_back(i);
        if (last != first)
            keep.push_back(last);
        first = last + 1;
    }
}

}  // namespace kalibrix
