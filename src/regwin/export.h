#pragma once

#include "regwin/number_format.h"
#include "regwin/state.h"

#include <string>

namespace kalibrix {

inline constexpr const char* kExportTitle = "* * *  KALIBRIX  -  Export of interpolated data";

// The clipboard text of "Copy interpolated values to clipboard": a title line, the summary
// line of the exported methods, their column titles and one line per X = 1..nData, cells
// separated by tabs and every line ended by a single CR. Values come from the last
// plot-and-calculate run; a method that run did not compute gets empty value cells. The
// decimal point follows `fmt`, but negative numbers always get the ASCII minus and no
// direction marks, so that spreadsheets and scripts read them.
std::string exportText(const State& state, const NumberFormat& fmt);

}  // namespace kalibrix
