#pragma once

#include "run/display_list.h"
#include "run/number_format.h"
#include "run/state.h"

namespace kalibrix {

// Builds the whole picture of a run from the table, the counts and the fits in
// state.results and the scale options in state.settings: pict1's coordinate system and mark
// sizes, the data points, axes, ticks, tick labels and the curve of every fitted method,
// in their run order, each as the method table says. The values no fit takes (X = 0, Y <= 0)
// are drawn first, grey and dotted.
// With a run table the picture also marks the samples of the analyte shown (sampleMarks).
PlotDisplay buildPlot(const State& state, const NumberFormat& fmt);
// The picture of one analyte, as buildPlot draws the analyte shown. The band of
// settings.bandMethod (its curve or new reading, at the chosen level) is drawn when
// "Show confidence band" is ticked and that method was fitted.
// With settings.plotResiduals the picture shows the residuals of settings.bandMethod (of the
// linear fit when that method has no result) instead of the data and the curves: each
// standard (Y above 0) at its Y less the method's value at its X, marked as in the data view
// (rejected ones red, suggested ones ringed; none where the method has no value, none at
// all when not even the linear fit has a result), a line at
// zero and, when the band is shown, the method's band of a new reading about zero; the Y
// axis spans the residuals and the band (the Zoom scale, whatever settings.scaleYFull says).
PlotDisplay buildPlot(const Analyte& analyte, const Settings& settings, const NumberFormat& fmt,
                      const StudentTable& student);

// The samples of run analyte `name` at their X, in text order: the lines that do not match
// the standard's pattern (settings.standardPattern, the most frequent ID when empty) where
// the analyte has a reading, those matching settings.checkPattern marked as check lines.
// None without a run or such an analyte.
std::vector<SampleMark> sampleMarksOf(const State& state, const std::string& name);

// The Y (in measured units) at which the picture marks the standard at x: its Y, or in the
// residual view its residual; none where it draws no mark for it.
std::optional<double> plottedY(const PlotDisplay& plot, const DataTable& table, int x);

// The mark of the standard at x (a finite Y) in pict1's units, as buildPlot draws it (at
// plottedY; where that has none, at its Y, a mark not drawn): with
// errors (three columns) a stroke `a`-`b` across the value and the error bar `c`-`d` (of
// length 0 without an error), else a box between the corners `a` and `b`. Clicks are matched
// against the same lines.
struct Mark {
    bool cross = false;
    PointF a, b, c, d;
};
Mark markOf(const PlotDisplay& plot, const DataTable& table, int x);

// Draws the whole mark of the standard at x on pict1 as buildPlot draws it, in the colour of
// its state now: red when rejected, black when in use, grey and dotted when no fit takes it;
// nothing where plottedY has none.
void addMark(PlotDisplay& plot, const DataTable& table, int x);

}  // namespace kalibrix
