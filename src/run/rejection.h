#pragma once

#include "run/plot_geometry.h"
#include "run/state.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace kalibrix {

enum class MouseButton { Left, Right, Middle };

// How near to a standard's centre, in pixels of the plot as shown, a click or the cursor
// still picks it.
inline constexpr double kPickPixels = 6;

// The standard (X >= 1, Y > 0) that the pixel `at` of the plot `shown` (the picture as a
// widget of some size shows it, e.g. fitPlotToSize's result) drawn with `geometry` picks:
// of those whose centre lies within kPickPixels or whose mark (its drawn square, inside or
// on the edge, or its error bar cross, with the pen's pixel around them) covers `at`, the one
// with the nearest centre, the smaller X of two as near; none when there is none or `at`
// lies outside pict1.
std::optional<int> pointNear(const DataTable& table, const PlotDisplay& shown,
                             const PlotGeometry& geometry, PointF at);

// The same pick among the values no fit takes (DataTable::leftOut): what the pointer is over
// when it is over no standard, for the status line to say why it is left out.
std::optional<int> leftOutNear(const DataTable& table, const PlotDisplay& shown,
                               const PlotGeometry& geometry, PointF at);

// A left click at the pixel `at`: flips the one standard pointNear picks between in use and
// rejected and draws its mark on state.plot (red when rejected, the foreground colour when
// taken back); the fits follow at the next run. Returns the X flipped, none when nothing was.
std::optional<int> clickOnPlot(State& state, MouseButton button, const PlotDisplay& shown,
                               const PlotGeometry& geometry, PointF at);

// The same for a click at (x, y) in pict1's user units (Y in units of plot.yUnit) on the
// plot at its designed size.
std::optional<int> clickOnPlot(State& state, MouseButton button, double x, double y);

// Flips the standard at X of the analyte shown between in use and rejected and draws its
// whole mark (box, or stroke and error bar) on the picture anew, as a run would draw it.
void flipPoint(State& state, int x);

// The X of the standards (Y above 0) of `table` marked for rejection, in increasing X.
std::vector<int> rejectedStandards(const DataTable& table);

// The marks not yet in the fits: of every analyte a run has computed, the standards whose
// rejection differs from that run's.
std::size_t pendingMarks(const State& state);

// "Restore all data": every point of the table is in use again (the caller then replots).
void restoreAllData(State& state);

}  // namespace kalibrix
