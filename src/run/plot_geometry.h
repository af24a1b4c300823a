#pragma once

#include "run/display_list.h"

#include <algorithm>
#include <optional>

namespace kalibrix {

// The window was designed at 15 twips a pixel.
inline constexpr double kTwipsPerDesignedPixel = 15;

// A length in twips as whole pixels of the designed window.
int designedPixels(double twips);

// A rectangle in pixels.
struct PixelRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// Maps between the three coordinate systems of a picture drawn on a target of width x
// height pixels that shows pict2 whole: pict2's twips, pict1's user units (Y upward) and
// the target's pixels. The painter draws with it, the plot widget turns clicks back with it.
class PlotGeometry {
public:
    PlotGeometry(const PlotDisplay& plot, double width, double height)
        : PlotGeometry(plot.pict2Rect, plot.pict1Rect, plot.pict1Scale, width, height)
    {}
    // pict2's and pict1's rectangles (in the window's twips) and pict1's user scale.
    PlotGeometry(const TwipsRect& pict2, const TwipsRect& pict1, const UserScale& scale,
                 double width, double height);

    // pict2's twips in pixels, held within kDeviceLimit.
    PointF twipsToPixels(PointF p) const;
    PixelRect twipsToPixels(const TwipsRect& r) const;
    // pict1's user units in pixels, held within kDeviceLimit (inline: the painter maps every
    // node of every curve).
    PointF userToPixels(PointF p) const
    {
        return {clampDevice(m_pict1.left + (p.x - m_scale.left) / m_scale.width * m_pict1.width),
                clampDevice(m_pict1.top + (p.y - m_scale.top) / m_scale.height * m_pict1.height)};
    }
    // The point of pict1's user units at a pixel; none outside pict1.
    std::optional<PointF> pixelsToUser(PointF p) const;
    // pict1's rectangle in pixels.
    const PixelRect& pict1() const { return m_pict1; }
    double pixelsPerTwipY() const { return m_sy; }

    // Device coordinates are held within this many pixels: far beyond any target, yet safe
    // for a rasteriser when a curve shoots off the plot.
    static constexpr double kDeviceLimit = 1e6;

private:
    static double clampDevice(double v) { return std::clamp(v, -kDeviceLimit, kDeviceLimit); }

    double m_sx;
    double m_sy;
    UserScale m_scale;
    PixelRect m_pict1;
};

}  // namespace kalibrix
