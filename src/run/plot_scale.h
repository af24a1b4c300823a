#pragma once

#include "model/data_stats.h"
#include "model/data_table.h"
#include "model/settings.h"
#include "run/display_list.h"
#include "run/number_format.h"

namespace kalibrix {

inline constexpr double kMarginX = 0.05;      // room right of nData, share of the X range
inline constexpr double kMarginY = 0.1;       // room above (and in Zoom below) the data
inline constexpr double kMarkFactor = 0.003;  // mark half-width, share of the X range

// Tick lengths on pict2, in twips, all outside the plot area.
inline constexpr double kMinorTickTwips = 50;
inline constexpr double kMajorTickTwips = 90;
inline constexpr double kZoomLineOffsetTwips = 25;  // the extra left line of the X "Zoom" view

// Tick label boxes on pict2, in twips. X labels hang centred below the major ticks; Y labels
// end just left of the major ticks, so the widest fits exactly in pict1's left margin.
inline constexpr double kLblXWidth = 615;
inline constexpr double kLblXHeight = 255;
inline constexpr double kLblXGapTwips = 15;  // between the end of a major tick and the label
inline constexpr double kLblYWidth = 735;
inline constexpr double kLblYHeight = 255;
inline constexpr double kLblYGapTwips = 15;
inline constexpr double kLblYTopShare = 0.4;  // a label's Top is ypos - 0.4 of its height

// The painter's label font, 8.25 pt, in twips; caption sizes are estimated from it.
inline constexpr double kLabelFontTwips = 165;
// Least room between the captions of neighbouring tick labels.
inline constexpr double kLabelGapTwips = 0.25 * kLabelFontTwips;

// Sets pict1's coordinate system from the table's extent and the scale options, the unit
// of its Y (plot.yUnit) and the half-sizes of a point mark (square on the screen). A range
// that would be empty or not finite falls back to a small range around the data.
void SetPlotScale(PlotDisplay& plot, const DataTable& table, const DataStats& stats,
                  const Settings& settings);

// Draws the Y axis line on pict1 and the X axis line, the ticks and the extra Zoom line on
// pict2, and shows and fills the tick labels. Needs the scale SetPlotScale has set.
// Labels: every axis with data gets at least two (when fewer than two major ticks fall in
// its range, the major step becomes a half, a fifth or a tenth of it, and so on); when
// neighbouring captions, estimated from their characters in the label font, would come
// closer than kLabelGapTwips, only every 2nd, 5th, 10th, 20th, ... label is kept; a tick
// at 0 is labelled "0".
void DrawAxes(PlotDisplay& plot, const DataTable& table, const DataStats& stats,
              const Settings& settings, const NumberFormat& fmt);

}  // namespace kalibrix
