#include "run/plot_geometry.h"

#include <algorithm>
#include <cmath>

namespace kalibrix {

int designedPixels(double twips)
{
    return static_cast<int>(std::lround(twips / kTwipsPerDesignedPixel));
}

PlotGeometry::PlotGeometry(const TwipsRect& pict2, const TwipsRect& pict1, const UserScale& scale,
                           double width, double height)
    : m_sx(width / pict2.width), m_sy(height / pict2.height), m_scale(scale)
{
    m_pict1 = twipsToPixels(
        TwipsRect{pict1.left - pict2.left, pict1.top - pict2.top, pict1.width, pict1.height});
}

PointF PlotGeometry::twipsToPixels(PointF p) const
{
    return {clampDevice(p.x * m_sx), clampDevice(p.y * m_sy)};
}

PixelRect PlotGeometry::twipsToPixels(const TwipsRect& r) const
{
    return {r.left * m_sx, r.top * m_sy, r.width * m_sx, r.height * m_sy};
}

std::optional<PointF> PlotGeometry::pixelsToUser(PointF p) const
{
    const PixelRect& a = m_pict1;
    if (!(a.width > 0 && a.height > 0) || p.x < a.left || p.x > a.left + a.width || p.y < a.top ||
        p.y > a.top + a.height)
        return std::nullopt;
    return PointF{m_scale.left + (p.x - a.left) / a.width * m_scale.width,
                  m_scale.top + (p.y - a.top) / a.height * m_scale.height};
}

}  // namespace kalibrix
