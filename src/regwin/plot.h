#pragma once

#include "app/state.h"
#include "fit/number_format.h"
#include "regwin/controls.h"
#include "regwin/display_list.h"

namespace kalibrix {

// Builds the whole picture of a run from the table, the counts and the fits in
// state.results and the scale options in controls: pict1's coordinate system and mark
// sizes, the data points, axes, ticks, tick labels and every computed curve.
PlotDisplay buildPlot(const State& state, const RegControls& controls, const NumberFormat& fmt);

}  // namespace kalibrix
