#pragma once

#include "model/colour.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalibrix {

// A pen colour; no value = the picture's foreground colour (the system's window-text colour).
using PenColour = std::optional<Rgb>;

struct PointF {
    double x = 0;
    double y = 0;
    bool operator==(const PointF&) const = default;
};

enum class ShapeKind {
    Polyline,   // points[0..n-1], n - 1 joined segments (a single line has two points)
    Rectangle,  // unfilled, between the opposite corners points[0] and points[1]
    Ellipse,    // unfilled, inside the rectangle between points[0] and points[1]
};

// How a shape's line is drawn: solid, or dotted for what the fits leave out.
enum class PenStyle { Solid, Dotted };

struct Shape {
    ShapeKind kind = ShapeKind::Polyline;
    PenColour colour;
    std::uint32_t first = 0;  // index of its first point in the layer's point list
    std::uint32_t count = 0;  // number of points
    PenStyle style = PenStyle::Solid;
};

// Shapes in drawing order, their points kept in one list so that a long curve costs no
// allocation per segment.
struct Layer {
    std::vector<Shape> shapes;
    std::vector<PointF> points;

    void addLine(PointF a, PointF b, PenColour colour, PenStyle style = PenStyle::Solid);
    void addRect(PointF a, PointF b, PenColour colour, PenStyle style = PenStyle::Solid);
    void addEllipse(PointF a, PointF b, PenColour colour);
    void addPolyline(std::span<const PointF> pts, PenColour colour,
                     PenStyle style = PenStyle::Solid);
    std::span<const PointF> pointsOf(const Shape& s) const
    {
        return std::span<const PointF>(points).subspan(s.first, s.count);
    }
    void clear()
    {
        shapes.clear();
        points.clear();
    }
};

// Of a polyline given in a device's pixels, the points that draw it as all of its points do:
// of each run of consecutive points that fall into one column of pixels (the same whole part
// of x), the first, the lowest, the highest and the last, in their order (an M4 reduction).
// The joins between the columns stay as they were, and within a column the reduced line
// still covers every row the full one covers, so the pixels drawn are the same (up to the
// shades of anti-aliasing). `keep` receives the indices of the points kept, increasing.
void columnExtremes(std::span<const PointF> device, std::vector<std::uint32_t>& keep);

// A rectangle in twips: left, top, width, height.
struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// The user coordinate system of the plot area: X runs from left to left + width, Y from
// top down to top + height (height negative, so Y grows upward).
struct UserScale {
    double left = 0;
    double top = 0;
    double width = 1;
    double height = -1;
};

struct TickLabel {
    bool visible = false;
    std::string caption;
    TwipsRect rect;  // in pict2's twips
};

// A sample of a run table at its X: the painter marks it with a small triangle under the X
// axis, pointing up at its position; a check standard's line in a colour of its own.
struct SampleMark {
    int x = 0;
    bool check = false;
    bool operator==(const SampleMark&) const = default;
};
inline constexpr Rgb kSampleMarkColour{0, 128, 128};
inline constexpr Rgb kCheckMarkColour{128, 0, 128};
inline constexpr double kSampleMarkTwips = 75;  // a mark's height under the axis

inline constexpr int kXLabels = 21;  // lblX(0..20)
inline constexpr int kYLabels = 11;  // lblY(0..10)

// The whole picture of one run: the plot area pict1 in its user coordinates, the frame
// pict2 (axis line, ticks) in twips from its top-left corner, and the tick labels.
// pict1's Y is the measured value divided by yUnit, a power of two that is 1 unless the
// values lie beyond about 1e+-150, where their range, its margins or its reciprocal could
// leave the doubles; the tick labels show the measured values themselves.
struct PlotDisplay {
    TwipsRect pict2Rect{1080, 120, 11655, 6495};  // in the window's client area
    TwipsRect pict1Rect{1920, 360, 10575, 5775};  // in the window's client area
    UserScale pict1Scale;
    Layer pict1;
    Layer pict2;
    std::array<TickLabel, kXLabels> lblX;
    std::array<TickLabel, kYLabels> lblY;
    // The samples of the analyte shown, in text order (none without a run table); those
    // outside pict1's X range are not drawn.
    std::vector<SampleMark> sampleMarks;
    double markDX = 0;  // half-width of a point mark, user X units
    double markDY = 0;  // half-height of a point mark, user Y units (square on screen)
    double plotLeft = 0;
    double plotBottom = 0;
    double yUnit = 1;
    // The residual view (Settings::plotResiduals): the method whose residuals are shown
    // (none when no method was fitted) and its value at each standard's X (index X), none
    // where it has none: a standard is marked at its Y less that value, and not at all
    // without one.
    bool residuals = false;
    std::optional<std::size_t> residualMethod;
    std::vector<std::optional<double>> residualBase;

    // A measured value (or curve value) in pict1's Y units; one that leaves the doubles
    // there is held at a quarter of the largest double, far outside the plot, so that a
    // mark's centre plus or minus its error bar (held the same way) stays finite. Not
    // finite stays so.
    double toPict1Y(double y) const
    {
        constexpr double kFar = std::numeric_limits<double>::max() / 4;
        return std::isfinite(y) ? std::clamp(y / yUnit, -kFar, kFar) : y;
    }
};

}  // namespace kalibrix
