#include "run/rejection.h"

#include "run/plot.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace kalibrix {

namespace {

// A mark's pen is a pixel wide, centred on its lines, and a pixel's position lies half a pixel
// from its centre: `at` this near to a line is on its drawn edge.
constexpr double kPenPixels = 1;

// Whether the pixel `at` lies between the pixels of the user points a and b (on a drawn
// line when they share an X or a Y), grown by the pen.
bool inBox(const PlotGeometry& geometry, PointF a, PointF b, PointF at)
{
    const PointF p = geometry.userToPixels(a);
    const PointF q = geometry.userToPixels(b);
    return std::min(p.x, q.x) - kPenPixels <= at.x && at.x <= std::max(p.x, q.x) + kPenPixels &&
           std::min(p.y, q.y) - kPenPixels <= at.y && at.y <= std::max(p.y, q.y) + kPenPixels;
}

// Whether the mark of the standard at x, as buildPlot draws it, covers the pixel `at`.
bool markCovers(const DataTable& table, const PlotDisplay& shown, const PlotGeometry& geometry,
                int x, PointF at)
{
    const Mark m = markOf(shown, table, x);
    return inBox(geometry, m.a, m.b, at) || (m.cross && inBox(geometry, m.c, m.d, at));
}

// Of the X from `lowest` on whose value `takes`, the one pointNear would pick at `at`.
template <class Takes>
std::optional<int> nearest(const DataTable& table, const PlotDisplay& shown,
                           const PlotGeometry& geometry, PointF at, int lowest, Takes takes)
{
    if (!std::isfinite(at.x) || !std::isfinite(at.y))
        return std::nullopt;
    const std::optional<PointF> user = geometry.pixelsToUser(at);
    if (!user)
        return std::nullopt;
    // Only the X whose centre or mark can reach `at` are looked at. Pixels held within the
    // device limit make pixelsPerX smaller, never larger: then more X are looked at, not fewer.
    const double pixelsPerX =
        std::abs(geometry.userToPixels({user->x + 1, user->y}).x - geometry.userToPixels(*user).x);
    const double reach =
        std::max(kPickPixels / pixelsPerX, std::abs(shown.markDX)) + kPenPixels / pixelsPerX;
    const double low = user->x - reach;
    const double high = user->x + reach;
    const int nData = table.nData;
    int first = lowest;
    if (low > lowest)
        first = low > nData ? nData + 1 : static_cast<int>(std::floor(low));
    int last = nData;
    if (high < nData)
        last = high < lowest ? lowest - 1 : static_cast<int>(std::ceil(high));

    std::optional<int> best;
    double bestDistance = 0;
    for (int x = first; x <= last; ++x) {
        if (!table.hasValue(x) || !std::isfinite(*table.y[x]) || !takes(x))
            continue;
        // Where the picture draws it: its Y, or in the residual view its residual; a
        // standard drawn nowhere cannot be clicked.
        const std::optional<double> drawnAt = plottedY(shown, table, x);
        if (!drawnAt)
            continue;
        const double y = shown.toPict1Y(*drawnAt);
        const PointF centre = geometry.userToPixels({double(x), y});
        const double distance = std::hypot(centre.x - at.x, centre.y - at.y);
        if (best && !(distance < bestDistance))  // the smaller X of two as near
            continue;
        if (distance <= kPickPixels || markCovers(table, shown, geometry, x, at)) {
            best = x;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace

std::optional<int> pointNear(const DataTable& table, const PlotDisplay& shown,
                             const PlotGeometry& geometry, PointF at)
{
    // X = 0 holds no standard ("Restore all data" covers X = 1 to nData).
    return nearest(table, shown, geometry, at, 1, [&](int x) { return !table.leftOut(x); });
}

std::optional<int> leftOutNear(const DataTable& table, const PlotDisplay& shown,
                               const PlotGeometry& geometry, PointF at)
{
    return nearest(table, shown, geometry, at, 0, [&](int x) { return table.leftOut(x); });
}

std::optional<int> clickOnPlot(State& state, MouseButton button, const PlotDisplay& shown,
                               const PlotGeometry& geometry, PointF at)
{
    if (button != MouseButton::Left)
        return std::nullopt;
    // `shown` may be state.plot itself: it is not read once the mark is drawn.
    const std::optional<int> x = pointNear(state.table(), shown, geometry, at);
    if (!x)
        return std::nullopt;
    flipPoint(state, *x);
    return x;
}

std::optional<int> clickOnPlot(State& state, MouseButton button, double x, double y)
{
    const PlotDisplay& plot = state.plot;
    const PlotGeometry geometry(plot, designedPixels(plot.pict2Rect.width),
                                designedPixels(plot.pict2Rect.height));
    return clickOnPlot(state, button, plot, geometry, geometry.userToPixels({x, y}));
}

void flipPoint(State& state, int x)
{
    DataTable& t = state.table();
    t.rejFlag[x] = t.rejFlag[x] < 1 ? 1 : 0;
    addMark(state.plot, t, x);
}

std::vector<int> rejectedStandards(const DataTable& table)
{
    std::vector<int> rejected;
    for (int x = 1; x <= table.nData; ++x)
        if (!table.inUse(x) && table.y[x].value_or(0) > 0)
            rejected.push_back(x);
    return rejected;
}

std::size_t pendingMarks(const State& state)
{
    std::size_t pending = 0;
    for (const Analyte& a : state.analytes) {
        if (!a.results.computed)
            continue;
        const std::vector<int> now = rejectedStandards(a.table);
        const std::vector<int>& run = a.results.rejected;
        std::vector<int> changed;
        std::set_symmetric_difference(now.begin(), now.end(), run.begin(), run.end(),
                                      std::back_inserter(changed));
        pending += changed.size();
    }
    return pending;
}

void restoreAllData(State& state)
{
    DataTable& t = state.table();
    for (int x = 1; x <= t.nData; ++x)
        t.rejFlag[x] = 0;
}

}  // namespace kalibrix
