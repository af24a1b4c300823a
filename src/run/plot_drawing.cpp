#include "run/plot.h"
#include "run/plot_scale.h"
#include "run/run_split.h"

#include "engine/method_table.h"

#include <algorithm>
#include <limits>
#include <cmath>
#include <string_view>
#include <vector>

namespace kalibrix {

using namespace std::string_view_literals;

namespace {

constexpr Rgb kAcceptedColour{0, 0, 0};
constexpr Rgb kRejectedColour{255, 0, 0};
constexpr Rgb kLeftOutColour{128, 128, 128};  // a grey, dotted: no fit takes the point
constexpr Rgb kSuggestedColour{139, 69, 19};  // a brown no curve uses
constexpr double kRingToMark = 3;             // a suggestion's ring around a mark

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
void reservePict1(PlotDisplay& plot, const DataTable& table, const RunResults& res,
                  const Settings& settings)
{
    const size_t positions = static_cast<size_t>(table.nData) + 2;  // X = 0 .. nData + 1
    size_t points = 4 * positions;                                  // marks
    size_t shapes = 2 * positions;
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const FitResult* fit = res.fit(m);
        if (!fit)
            continue;
        points += methods[m].curve == CurveShape::Nodes ? fit->nodes.size() : positions;
        shapes += 1;
    }
    if (methodNamed(settings.bandMethod)) {
        points += 2 * positions;  // the band's two edges
        shapes += 2;
    }
    plot.pict1.points.reserve(points);
    plot.pict1.shapes.reserve(shapes);
}

// Which of the table's points a pass of DrawDataPoints draws.
enum class Points { InUse, Rejected, LeftOut };

// The marks of the standards in use, of the rejected ones (red), or of the values no fit
// takes (grey and dotted, whether rejected or not).
void DrawDataPoints(PlotDisplay& plot, const DataTable& table, Points which)
{
    const bool leftOut = which == Points::LeftOut;
    for (int x = 0; x <= table.nData; ++x) {
        if (!table.hasValue(x) || !std::isfinite(*table.y[x]) || table.leftOut(x) != leftOut ||
            (!leftOut && (table.rejFlag[x] > 0) != (which == Points::Rejected)))
            continue;
        addMark(plot, table, x);
    }
}

// A value of a curve in pict1's units; no result is a gap.
double curveY(const PlotDisplay& plot, const std::optional<double>& v)
{
    return v ? plot.toPict1Y(*v) : std::numeric_limits<double>::quiet_NaN();
}

// A band's two edges about centre(x), centre +/- halfWidth(x), a node at every X from the
// first X to nData; a gap where either has no result.
template <class Centre, class HalfWidth>
void DrawBandAbout(PlotDisplay& plot, int firstX, int nData, Centre centre, HalfWidth halfWidth,
                   PenColour colour)
{
    for (const double sign : {+1.0, -1.0}) {
        addCurveNodes(
            plot.pict1, firstX, nData,
            [&](int x) {
                const std::optional<double> v = centre(x);
                const std::optional<double> h = v ? halfWidth(x) : std::nullopt;
                return h ? plot.toPict1Y(*v + sign * *h) : std::numeric_limits<double>::quiet_NaN();
            },
            colour);
    }
}

// The band of a method about its value.
template <class HalfWidth>
void DrawBand(PlotDisplay& plot, int firstX, int nData, const FitResult& fit, HalfWidth halfWidth,
              PenColour colour)
{
    DrawBandAbout(
        plot, firstX, nData, [&](int x) { return fit.value(x); }, halfWidth, colour);
}

// The half-width of a method's band of a new reading at X, at the chosen level.
std::optional<double> readingHalfWidth(const FitResult& fit, int x, const Settings& settings,
                                       const StudentTable& student)
{
    const std::optional<Uncertainty> u = fit.uncertainty(x);
    return u && settings.level
               ? u->halfWidth(UncertaintyKind::Reading, student, *settings.level + 1)
               : std::nullopt;
}

// The band of settings.bandMethod when "Show confidence band" is ticked and that method was
// fitted: the linear fit's confidence band of the curve as it has always been drawn, any
// other method's (or kind's) from its uncertainty, t of the chosen level times it.
void DrawMethodBand(PlotDisplay& plot, std::size_t m, const FitResult& fit, const DataStats& stats,
                    int nData, const Settings& settings, const StudentTable& student)
{
    if (!ticked(settings.showBand) || stats.nOK <= 2 || methodNamed(settings.bandMethod) != m)
        return;
    const PenColour colour = fitMethods()[m].pen;
    if (fit.band && settings.uncertaintyKind == UncertaintyKind::Curve) {
        DrawBand(
            plot, stats.firstX, nData, fit,
            [&](int x) { return std::optional<double>(fit.band->halfWidth(x)); }, colour);
        return;
    }
    if (!settings.level)
        return;
    DrawBand(
        plot, stats.firstX, nData, fit,
        [&](int x) -> std::optional<double> {
            const std::optional<Uncertainty> u = fit.uncertainty(x);
            return u ? u->halfWidth(settings.uncertaintyKind, student, *settings.level + 1)
                     : std::nullopt;
        },
        colour);
}

// The curve of one fitted method, as its row in the method table says: a straight line from
// X = 0 whatever the X scale (in the Zoom X view the part left of FirstX is not seen), a
// node at every X from FirstX (ln X needs X >= 1: such a curve starts where it has values),
// or the line through the result's nodes.
void DrawCurve(PlotDisplay& plot, const FitMethod& method, const FitResult& fit,
               const DataStats& stats, int nData)
{
    const PenColour colour = method.pen;
    switch (method.curve) {
    case CurveShape::Line:
        addCurve(plot.pict1,
                 {{0, curveY(plot, fit.value(0))}, {double(nData), curveY(plot, fit.value(nData))}},
                 colour);
        break;
    case CurveShape::EveryX:
        addCurveNodes(
            plot.pict1, std::max(stats.firstX, 0), nData + method.curveBeyond,
            [&](int x) { return curveY(plot, fit.value(x)); }, colour);
        break;
    case CurveShape::Nodes: {
        std::vector<PointF> pts;
        pts.reserve(fit.nodes.size());
        for (const ZigZagNode& n : fit.nodes)
            pts.push_back({n.x, plot.toPict1Y(n.y)});
        addCurve(plot.pict1, pts, colour);
        break;
    }
    }
}

// The rejected standards in red above the curves, the band and the other error bars; the
// standards suggested for rejection, ringed above everything else.
void DrawRejectedAndSuggested(PlotDisplay& plot, const DataTable& table, const RunResults& res)
{
    DrawDataPoints(plot, table, Points::Rejected);
    for (const int x : res.suggested) {
        const std::optional<double> at = plottedY(plot, table, x);
        if (!at)
            continue;
        const double y = plot.toPict1Y(*at);
        const double dx = kRingToMark * plot.markDX;
        const double dy = kRingToMark * plot.markDY;
        plot.pict1.addEllipse({x - dx, y - dy}, {x + dx, y + dy}, kSuggestedColour);
    }
}

// The fitted method whose residuals the residual view shows: the band's, or else the linear
// fit; none when neither was fitted.
std::optional<std::size_t> residualMethodOf(const RunResults& res, const Settings& settings)
{
    for (const std::string_view name : {std::string_view(settings.bandMethod), "linear"sv})
        if (const std::optional<std::size_t> m = methodNamed(name); m && res.fit(*m))
            return m;
    return std::nullopt;
}

// The residual view of buildPlot: the standards at their residuals of one method, a line at
// zero and that method's band of a new reading about it, the Y axis over them all.
void DrawResiduals(PlotDisplay& plot, const Analyte& analyte, const Settings& settings,
                   const NumberFormat& fmt, const StudentTable& student)
{
    const DataTable& table = analyte.table;
    const RunResults& res = analyte.results;
    const int nData = table.nData;
    // The Y range: zero, the residuals (of the rejected standards too with "All data") and
    // the band.
    DataStats stats = res.stats;
    stats.yMin = 0;
    stats.yMax = 0;
    auto span = [&](double y) {
        if (std::isfinite(y)) {
            stats.yMin = std::min(stats.yMin, y);
            stats.yMax = std::max(stats.yMax, y);
        }
    };
    plot.residuals = true;
    plot.residualMethod = residualMethodOf(res, settings);
    const FitResult* fit = plot.residualMethod ? res.fit(*plot.residualMethod) : nullptr;
    std::vector<std::optional<double>> halfWidths;
    if (fit) {
        plot.residualBase.assign(static_cast<std::size_t>(nData) + 1, std::nullopt);
        for (int x = 1; x <= nData; ++x) {
            if (!(table.y[x].value_or(0) > 0))
                continue;
            plot.residualBase[x] = fit->value(x);
            if (settings.allData || table.inUse(x))
                if (const std::optional<double> r = plottedY(plot, table, x))
                    span(*r);
        }
        if (ticked(settings.showBand) && res.stats.nOK > 2) {
            halfWidths.resize(static_cast<std::size_t>(nData) + 1);
            for (int x = std::max(res.stats.firstX, 0); x <= nData; ++x) {
                halfWidths[x] = readingHalfWidth(*fit, x, settings, student);
                if (halfWidths[x]) {
                    span(*halfWidths[x]);
                    span(-*halfWidths[x]);
                }
            }
        }
    }
    Settings zoomY = settings;
    zoomY.scaleYFull = false;
    SetPlotScale(plot, table, stats, zoomY);
    DrawDataPoints(plot, table, Points::InUse);
    DrawAxes(plot, table, stats, zoomY, fmt);
    const UserScale& sc = plot.pict1Scale;
    plot.pict1.addLine({sc.left, 0}, {sc.left + sc.width, 0}, std::nullopt);
    if (!halfWidths.empty())
        DrawBandAbout(
            plot, std::max(res.stats.firstX, 0), nData,
            [](int) { return std::optional<double>(0.0); }, [&](int x) { return halfWidths[x]; },
            fitMethods()[*plot.residualMethod].pen);
    DrawRejectedAndSuggested(plot, table, res);
}

}  // namespace

std::optional<double> plottedY(const PlotDisplay& plot, const DataTable& table, int x)
{
    if (!table.hasValue(x))
        return std::nullopt;
    const double y = *table.y[x];
    if (!plot.residuals)
        return y;
    const std::size_t at = static_cast<std::size_t>(x);
    if (at >= plot.residualBase.size() || !plot.residualBase[at])
        return std::nullopt;
    const double r = y - *plot.residualBase[at];
    return std::isfinite(r) ? std::optional(r) : std::nullopt;
}

Mark markOf(const PlotDisplay& plot, const DataTable& table, int x)
{
    const double px = x;
    const double y = plot.toPict1Y(plottedY(plot, table, x).value_or(*table.y[x]));
    const double dx = plot.markDX;
    if (table.nCol > 2) {
        double err = plot.toPict1Y(table.yErr[x].value_or(0.0));
        if (!std::isfinite(err))
            err = 0;
        return {true, {px - dx, y}, {px + dx, y}, {px, y - err}, {px, y + err}};
    }
    const double dy = plot.markDY;
    return {false, {px - dx, y - dy}, {px + dx, y + dy}, {}, {}};
}

void addMark(PlotDisplay& plot, const DataTable& table, int x)
{
    if (!plottedY(plot, table, x))
        return;
    const bool leftOut = table.leftOut(x);
    const Rgb colour = leftOut          ? kLeftOutColour
                       : table.inUse(x) ? kAcceptedColour
                                        : kRejectedColour;
    const PenStyle style = leftOut ? PenStyle::Dotted : PenStyle::Solid;
    const Mark m = markOf(plot, table, x);
    if (m.cross) {
        plot.pict1.addLine(m.a, m.b, colour, style);
        plot.pict1.addLine(m.c, m.d, colour, style);
    } else {
        plot.pict1.addRect(m.a, m.b, colour, style);
    }
}

PlotDisplay buildPlot(const Analyte& analyte, const Settings& settings, const NumberFormat& fmt,
                      const StudentTable& student)
{
    PlotDisplay plot;
    const DataTable& table = analyte.table;
    const RunResults& res = analyte.results;
    const DataStats& stats = res.stats;
    const int nData = table.nData;

    if (settings.plotResiduals) {
        DrawResiduals(plot, analyte, settings, fmt, student);
        return plot;
    }
    reservePict1(plot, table, res, settings);
    SetPlotScale(plot, table, stats, settings);
    DrawDataPoints(plot, table, Points::LeftOut);
    DrawDataPoints(plot, table, Points::InUse);
    DrawAxes(plot, table, stats, settings, fmt);

    const std::span<const FitMethod> methods = fitMethods();
    for (const std::size_t m : methodsInRunOrder()) {
        const FitResult* fit = res.fit(m);
        if (!fit)
            continue;
        DrawCurve(plot, methods[m], *fit, stats, nData);
        DrawMethodBand(plot, m, *fit, stats, nData, settings, student);
    }
    DrawRejectedAndSuggested(plot, table, res);
    return plot;
}

std::vector<SampleMark> sampleMarksOf(const State& state, const std::string& name)
{
    std::vector<SampleMark> marks;
    if (!state.run)
        return marks;
    const RunTable& run = *state.run;
    const auto analyte = std::find(run.analytes.begin(), run.analytes.end(), name);
    if (analyte == run.analytes.end())
        return marks;
    const auto& readings = run.reading[static_cast<std::size_t>(analyte - run.analytes.begin())];
    const std::string standard = standardPatternOf(run, state.settings.standardPattern);
    const std::string& check = state.settings.checkPattern;
    for (std::size_t i = 0; i < run.lines.size() && i < readings.size(); ++i) {
        const RunLine& line = run.lines[i];
        if (!readings[i] || idMatches(standard, line.id))
            continue;
        marks.push_back({line.x, !check.empty() && idMatches(check, line.id)});
    }
    return marks;
}

PlotDisplay buildPlot(const State& state, const NumberFormat& fmt)
{
    const Analyte& shown = state.analytes[state.selected];
    PlotDisplay plot = buildPlot(shown, state.settings, fmt, state.student);
    plot.sampleMarks = sampleMarksOf(state, shown.name);
    return plot;
}

}  // namespace kalibrix
