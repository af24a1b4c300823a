#pragma once

#include "regwin/display_list.h"
#include "regwin/number_format.h"
#include "regwin/state.h"

namespace kalibrix {

// Builds the whole picture of a run from the table, the counts and the fits in
// state.results and the scale options in state.settings: pict1's coordinate system and mark
// sizes, the data points, axes, ticks, tick labels and the curve of every fitted method,
// in their run order, each as the method table says.
PlotDisplay buildPlot(const State& state, const NumberFormat& fmt);

}  // namespace kalibrix
