#pragma once

#include "regwin/state.h"

namespace kalibrix {

enum class MouseButton { Left, Right, Middle };

// Share of the plot's extent, in each direction, within which a click hits a point.
inline constexpr double kHitWindow = 0.005;

// A click at (x, y) in pict1's user coordinates (Y in units of plot.yUnit): with the left
// button, every point with X >= 1 and Y > 0 within the hit window flips between in use and
// rejected, and its mark is drawn on the picture (red when rejected, the foreground colour
// when taken back). The fits follow at the next plot-and-calculate run. Returns how many
// points flipped.
int pict1_MouseDown(State& state, MouseButton button, double x, double y);

// "Restore all data": every point of the table is in use again (the caller then replots).
void restoreAllData(State& state);

}  // namespace kalibrix
