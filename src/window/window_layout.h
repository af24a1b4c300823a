#pragma once

#include "run/display_list.h"
#include "run/plot_geometry.h"

#include <QRect>
#include <QSize>

namespace kalibrix {

// The leave-one-out column of the results grid: everything right of it stands this much
// further right than the window's first design, which it widens by as much.
inline constexpr double kLooColumnWidth = 690;

// The regression window's client area as designed, in twips.
inline constexpr double kDesignedClientWidth = 12825 + kLooColumnWidth;
inline constexpr double kListingLeft =
    12840 + kLooColumnWidth;  // lblParameters, the parameter listing
// The height of the designed area with the designed results grid; more rows take more.
inline constexpr double kDesignedClientHeight = 9795;

// The window's font: the designed 8 pt at 96 dots per inch, in pixels.
inline constexpr int kFontPixels = 11;

// The status line below the designed area, and its height in twips.
inline constexpr double kStatusLineHeight = 300;

// The designed client size in pixels (15 twips each): the controls' area and the status
// line below it.
QSize designedClientSize();

// The controls' area at its designed size, and the smallest it gets before it scrolls: the
// plot gives up to kPlotShrink of its designed height first (the controls below it move up,
// those left of it close ranks), the width stays.
QSize designedControlsSize();
QSize smallestControlsSize();
inline constexpr double kPlotShrink = 0.2;

// A designed rectangle in pixels, its edges rounded to whole pixels.
QRect toPixels(const TwipsRect& designed);

// How a control takes part when the window is larger than designed.
enum class Growth {
    Fixed,    // keeps its size; moves down with the plot's bottom edge when it lies below
              // the plot, and right with its right edge when it ends there
    Plot,     // pict2: takes the extra width left after lblParameters and all the extra height
    Listing,  // lblParameters: stays right of the plot and takes the extra height
};

// Maps a control's designed rectangle (twips, in the controls' area) to pixels in an area of
// `client` pixels. At the designed size everything lies exactly where designed. Extra width
// first brings lblParameters, just beyond the designed right edge, into view, and the rest widens
// the plot; extra height makes the plot taller and moves the controls below it down. Less
// height (down to smallestControlsSize) makes the plot shorter and moves the controls below
// it up; the controls left of the plot then keep their sizes and order in a shorter column.
QRect placeInWindow(const TwipsRect& designed, Growth growth, QSize client);

// `plot` as drawn in a plot widget of `size` pixels: pict2 and pict1 take the room beyond
// the designed plot size, the margins, ticks and tick labels around pict1 keep their size
// and follow its edges, and point marks stay square.
PlotDisplay fitPlotToSize(const PlotDisplay& plot, QSize size);

// fitPlotToSize without the picture: the rectangles, user scale and mark sizes of `plot` as
// a widget of `size` pixels shows it, for finding the standard under the mouse cheaply.
PlotDisplay shownFrame(const PlotDisplay& plot, QSize size);

// The geometry of `plot` as a plot widget of `size` pixels shows it (that of
// fitPlotToSize(plot, size), without copying the picture).
PlotGeometry shownGeometry(const PlotDisplay& plot, QSize size);

}  // namespace kalibrix
