#pragma once

#include "engine/fit_method.h"
#include "run/display_list.h"

#include <span>
#include <vector>

namespace kalibrix {

// The results grid below the plot: a row per method in the method table's order, each with
// its caption, its figures, its leave-one-out per cent and its Show and Export boxes. All in
// the window's designed twips.

inline constexpr double kGridHeadingTop = 6720;  // the columns' headings
inline constexpr double kGridRowHeight = 225;
inline constexpr double kGridBoxSize = 240;

// A column of figures: its heading (none: the column has none) and where its cells stand.
struct GridColumn {
    const char* heading;
    double headingLeft, headingWidth;
    double cellLeft, cellWidth;
};

// The column of each figure (ResultCell). A smoother's degrees of freedom stand where a
// regression's a does.
const GridColumn& gridColumn(int cell);

// Where a method's row stands: its top and its caption (for the chosen-degree polynomial,
// its degree box, which stands a little higher and is taller than a cell).
struct GridRow {
    double top = 0;
    TwipsRect caption;
    double bottom() const { return caption.top + caption.height; }
};

// The rows of `methods`, top to bottom. A group's rows (the polynomials) follow one another
// closely, its degree box a little further; other rows stand apart, less far when the
// designed room would not hold them all, and only when even the closest spacing would not
// does the grid reach below the designed area.
std::vector<GridRow> gridRows(std::span<const FitMethod> methods);

// How far down the designed area reaches to hold `rows`: the designed height, or more.
double designedHeightFor(const std::vector<GridRow>& rows);

// The heading of the group whose first row is `first`, left of the group's rows.
TwipsRect groupHeading(const GridRow& first);

// The left edges of the leave-one-out column and of the Show and Export boxes.
double looColumnLeft();
double showColumnLeft();
double exportColumnLeft();

}  // namespace kalibrix
