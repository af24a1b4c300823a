#pragma once

#include "app/state.h"
#include "fit/number_format.h"
#include "regwin/controls.h"

#include <string>

namespace kalibrix {

inline constexpr const char* kExportTitle = "* * *  KALIBRIX  -  Export of interpolated data";

// The clipboard text of "Copy interpolated values to clipboard": a title line, the summary
// line of the exported methods, their column titles and one line per X = 1..nData, cells
// separated by tabs and every line ended by a single CR. Values come from the last
// plot-and-calculate run; a method that run did not compute gets empty value cells.
std::string exportText(const State& state, const RegControls& controls, const NumberFormat& fmt);

}  // namespace kalibrix
