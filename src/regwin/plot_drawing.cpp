#include "regwin/plot.h"
#include "regwin/plot_scale.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kalibrix {

namespace {

constexpr Rgb kAcceptedColour{0, 0, 0};
constexpr Rgb kRejectedColour{255, 0, 0};
constexpr Rgb kZigZagColour{255, 128, 0};
constexpr Rgb kLogColour{255, 0, 255};
// Polynomial curves by slot 1..5 (slot 1 has the degree chosen in ComboBox1).
constexpr Rgb kPolyColours[kPolySlots + 1] = {
    {}, {0, 0, 255}, {0, 255, 0}, {0, 192, 0}, {0, 192, 192}, {128, 128, 255}};

bool finitePoint(PointF p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Adds `pts` as one polyline; a point that is not finite splits it, and a piece of fewer
// than two points draws nothing.
void addCurve(Layer& layer, const std::vector<PointF>& pts, PenColour colour)
{
    size_t begin = 0;
    while (begin < pts.size()) {
        size_t end = begin;
        while (end < pts.size() && finitePoint(pts[end]))
            ++end;
        if (end - begin >= 2)
            layer.addPolyline(std::span<const PointF>(pts).subspan(begin, end - begin), colour);
        begin = end + 1;
    }
}

// Adds the nodes of f at every integer X from `first` to `last` as addCurve would add them
// from a list, but straight into the layer: no list of its own per curve.
template <class F>
void addCurveNodes(Layer& layer, int first, int last, F f, PenColour colour)
{
    size_t begin = layer.points.size();  // first point of the open piece
    auto closePiece = [&] {
        const size_t count = layer.points.size() - begin;
        if (count >= 2)
            layer.shapes.push_back({ShapeKind::Polyline, colour, static_cast<std::uint32_t>(begin),
                                    static_cast<std::uint32_t>(count)});
        else
            layer.points.resize(begin);
    };
    for (int x = first; x <= last; ++x) {
        const PointF p{static_cast<double>(x), f(x)};
        if (finitePoint(p)) {
            layer.points.push_back(p);
            continue;
        }
        closePiece();
        begin = layer.points.size();
    }
    closePiece();
}

// Room for the points and shapes buildPlot may add to pict1 (a curve split by values that are
// not finite may take more shapes), so that a large table costs one allocation per list
// rather than a chain of ever larger ones.
void reservePict1(PlotDisplay& plot, const DataTable& table, const RunResults& res)
{
    const size_t positions = static_cast<size_t>(table.nData) + 2;  // X = 0 .. nData + 1
    size_t points = 4 * positions + 2;                               // marks, regression line
    size_t shapes = 2 * positions + 1;
    if (res.zigzag) {
        points += res.zigzag->size();
        shapes += 1;
    }
    size_t curves = (res.band ? 2 : 0) + (res.log ? 1 : 0);
    for (const auto& slot : res.poly)
        curves += slot ? 1 : 0;
    plot.pict1.points.reserve(points + curves * positions);
    plot.pict1.shapes.reserve(shapes + curves);
}

void DrawDataPoints(PlotDisplay& plot, const DataTable& table)
{
    const double dx = plot.markDX;
    const double dy = plot.markDY;
    for (int x = 0; x <= table.nData; ++x) {
        if (!table.hasValue(x) || !std::isfinite(*table.y[x]))
            continue;
        const double y = plot.toPict1Y(*table.y[x]);
        const Rgb colour = table.rejFlag[x] > 0 ? kRejectedColour : kAcceptedColour;
        if (table.nCol > 2) {
            double err = plot.toPict1Y(table.yErr[x].value_or(0.0));
            if (!std::isfinite(err))
                err = 0;
            plot.pict1.addLine({x - dx, y}, {x + dx, y}, colour);
            plot.pict1.addLine({double(x), y - err}, {double(x), y + err}, colour);
        } else if (table.nCol == 2) {
            plot.pict1.addRect({x - dx, y - dy}, {x + dx, y + dy}, colour);
        }
    }
}

void DrawZigZagLine(PlotDisplay& plot, const std::vector<ZigZagNode>& nodes)
{
    std::vector<PointF> pts;
    pts.reserve(nodes.size());
    for (const ZigZagNode& n : nodes)
        pts.push_back({n.x, plot.toPict1Y(n.y)});
    addCurve(plot.pict1, pts, kZigZagColour);
}

// From X = 0 whatever the X scale; in the Zoom X view the part left of FirstX is not seen.
void DrawRegressionLine(PlotDisplay& plot, int nData, double a, double b)
{
    addCurve(plot.pict1, {{0, plot.toPict1Y(a)}, {double(nData), plot.toPict1Y(a + b * nData)}},
             std::nullopt);
}

void DrawConfidenceBand(PlotDisplay& plot, int firstX, int nData, double a, double b,
                        const ConfidenceBand& band)
{
    auto edge = [&](double sign) {
        addCurveNodes(plot.pict1, firstX, nData,
                      [&](int x) { return plot.toPict1Y(a + b * x + sign * band.halfWidth(x)); },
                      std::nullopt);
    };
    edge(+1);
    edge(-1);
}

// One step beyond nData; ln X needs X >= 1, so a curve from FirstX = 0 starts at 1.
void DrawLogCurve(PlotDisplay& plot, int firstX, int nData, double a, double b)
{
    const int first = firstX < 1 ? 1 : firstX;
    addCurveNodes(plot.pict1, first, nData + 1,
                  [&](int x) { return plot.toPict1Y(a + b * std::log(x)); }, kLogColour);
}

void DrawPolyCurve(PlotDisplay& plot, int firstX, int nData, const std::vector<double>& yPoly,
                   Rgb colour)
{
    const int first = std::max(firstX, 0);
    const int last = std::min(nData, static_cast<int>(yPoly.size()) - 1);
    auto value = [&](int x) { return plot.toPict1Y(yPoly[static_cast<size_t>(x)]); };
    addCurveNodes(plot.pict1, first, last, value, colour);
}

}  // namespace

PlotDisplay buildPlot(const State& state, const RegControls& controls, const NumberFormat& fmt)
{
    PlotDisplay plot;
    const DataTable& table = state.table;
    const RunResults& res = state.results;
    const DataStats& stats = res.stats;
    const int nData = table.nData;

    reservePict1(plot, table, res);
    SetPlotScale(plot, table, stats, controls);
    DrawDataPoints(plot, table);
    DrawAxes(plot, table, stats, controls, fmt);

    if (res.zigzag)
        DrawZigZagLine(plot, *res.zigzag);

    const bool line = res.linear && res.linear->a && res.linear->b;
    if (line)
        DrawRegressionLine(plot, nData, *res.linear->a, *res.linear->b);
    if (line && res.band && RegControls::ticked(controls.chkConf) && stats.nOK > 2)
        DrawConfidenceBand(plot, stats.firstX, nData, *res.linear->a, *res.linear->b, *res.band);

    if (res.log && res.log->a && res.log->b)
        DrawLogCurve(plot, stats.firstX, nData, *res.log->a, *res.log->b);

    for (int slot = 1; slot <= kPolySlots; ++slot)
        if (res.poly[static_cast<size_t>(slot)])
            DrawPolyCurve(plot, stats.firstX, nData, res.poly[static_cast<size_t>(slot)]->yPoly,
                          kPolyColours[slot]);
    return plot;
}

}  // namespace kalibrix
