#include "window/window_layout.h"

#include "engine/method_table.h"
#include "run/plot_scale.h"
#include "window/results_grid.h"

#include <algorithm>
#include <cmath>

namespace kalibrix {

namespace {

constexpr double kTwips = kTwipsPerDesignedPixel;
// lblParameters (kListingLeft, 120, 2655, 9135) with the usual 120 twips margin to its right.
constexpr double kListingRight = kListingLeft + 2655 + 120;
constexpr double kListingRoom = kListingRight - kDesignedClientWidth;

int pixels(double twips) { return designedPixels(twips); }

// The designed area's height: more than designed when the method table has more rows than
// the designed grid holds.
double designedHeight() { return designedHeightFor(gridRows(fitMethods())); }

// pict1 within pict2, in pict2's twips.
TwipsRect pict1InPict2(const PlotDisplay& plot)
{
    return {plot.pict1Rect.left - plot.pict2Rect.left, plot.pict1Rect.top - plot.pict2Rect.top,
            plot.pict1Rect.width, plot.pict1Rect.height};
}

// What a plot widget of `size` pixels adds to pict2 and pict1, in twips; none when the plot
// area would vanish (the painter then scales the designed picture).
struct Extra {
    double dx = 0;
    double dy = 0;
    bool any() const { return dx != 0 || dy != 0; }
};

Extra extraFor(const PlotDisplay& plot, QSize size)
{
    const Extra e{size.width() * kTwips - plot.pict2Rect.width,
                  size.height() * kTwips - plot.pict2Rect.height};
    if (plot.pict1Rect.width + e.dx <= 0 || plot.pict1Rect.height + e.dy <= 0)
        return {};
    return e;
}

}  // namespace

QSize designedClientSize()
{
    return {pixels(kDesignedClientWidth), pixels(designedHeight() + kStatusLineHeight)};
}

QSize designedControlsSize() { return {pixels(kDesignedClientWidth), pixels(designedHeight())}; }

QSize smallestControlsSize()
{
    const TwipsRect plot = PlotDisplay{}.pict2Rect;
    return {pixels(kDesignedClientWidth),
            pixels(designedHeight() - kPlotShrink * (plot.top + plot.height))};
}

QRect toPixels(const TwipsRect& r)
{
    const int left = pixels(r.left);
    const int top = pixels(r.top);
    return {left, top, pixels(r.left + r.width) - left, pixels(r.top + r.height) - top};
}

QRect placeInWindow(const TwipsRect& designed, Growth growth, QSize client)
{
    const TwipsRect plot = PlotDisplay{}.pict2Rect;
    const double plotBottom = plot.top + plot.height;
    const double extraWidth = std::max(0.0, client.width() * kTwips - kDesignedClientWidth);
    const double extraHeight =
        std::max(-kPlotShrink * plotBottom, client.height() * kTwips - designedHeight());
    const double plotWidth = extraWidth - std::min(extraWidth, kListingRoom);

    TwipsRect r = designed;
    // Left of a shorter plot the column closes ranks: every top moves up in proportion.
    if (extraHeight < 0 && growth == Growth::Fixed && r.left + r.width <= plot.left &&
        r.top < plotBottom)
        r.top *= (plotBottom + extraHeight) / plotBottom;
    switch (growth) {
    case Growth::Plot:
        r.width += plotWidth;
        r.height += extraHeight;
        break;
    case Growth::Listing:
        r.left += plotWidth;
        r.height += extraHeight;
        break;
    case Growth::Fixed:
        if (r.left + r.width >= plot.left + plot.width)
            r.left += plotWidth;
        if (r.top >= plot.top + plot.height)
            r.top += extraHeight;
        break;
    }
    return toPixels(r);
}

PlotDisplay fitPlotToSize(const PlotDisplay& plot, QSize size)
{
    PlotDisplay fitted = plot;
    const Extra extra = extraFor(plot, size);
    if (!extra.any())
        return fitted;
    const double dx = extra.dx;
    const double dy = extra.dy;
    const TwipsRect p1 = pict1InPict2(plot);

    fitted.pict2Rect.width += dx;
    fitted.pict2Rect.height += dy;
    fitted.pict1Rect.width += dx;
    fitted.pict1Rect.height += dy;
    fitted.plotBottom += dy;

    const double kx = (p1.width + dx) / p1.width;
    const double ky = (p1.height + dy) / p1.height;
    // pict2's twips: left of and above pict1 unchanged, across it stretched, beyond it moved.
    auto mapX = [&](double x) {
        if (x <= p1.left)
            return x;
        return x >= p1.left + p1.width ? x + dx : p1.left + (x - p1.left) * kx;
    };
    auto mapY = [&](double y) {
        if (y <= p1.top)
            return y;
        return y >= p1.top + p1.height ? y + dy : p1.top + (y - p1.top) * ky;
    };
    for (PointF& p : fitted.pict2.points)
        p = {mapX(p.x), mapY(p.y)};
    for (TickLabel& l : fitted.lblX) {
        l.rect.left = mapX(l.rect.left + l.rect.width / 2) - l.rect.width / 2;
        l.rect.top = mapY(l.rect.top);
    }
    for (TickLabel& l : fitted.lblY) {
        l.rect.left = mapX(l.rect.left);
        const double anchor = l.rect.top + kLblYTopShare * l.rect.height;
        l.rect.top = mapY(anchor) - kLblYTopShare * l.rect.height;
    }

    // pict1 keeps its user coordinates; marks were made square for the designed aspect.
    const double squareness = kx / ky;
    fitted.markDY *= squareness;
    for (const Shape& s : fitted.pict1.shapes) {
        if ((s.kind != ShapeKind::Rectangle && s.kind != ShapeKind::Ellipse) || s.count != 2)
            continue;
        PointF& a = fitted.pict1.points[s.first];
        PointF& b = fitted.pict1.points[s.first + 1];
        const double centre = (a.y + b.y) / 2;
        a.y = centre + (a.y - centre) * squareness;
        b.y = centre + (b.y - centre) * squareness;
    }
    return fitted;
}

PlotDisplay shownFrame(const PlotDisplay& plot, QSize size)
{
    PlotDisplay frame;
    frame.pict2Rect = plot.pict2Rect;
    frame.pict1Rect = plot.pict1Rect;
    frame.pict1Scale = plot.pict1Scale;
    frame.markDX = plot.markDX;
    frame.markDY = plot.markDY;
    frame.plotLeft = plot.plotLeft;
    frame.plotBottom = plot.plotBottom;
    frame.yUnit = plot.yUnit;
    return fitPlotToSize(frame, size);
}

PlotGeometry shownGeometry(const PlotDisplay& plot, QSize size)
{
    return PlotGeometry(shownFrame(plot, size), size.width(), size.height());
}

}  // namespace kalibrix
