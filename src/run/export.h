#pragma once

#include "run/number_format.h"
#include "run/state.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kalibrix {

inline constexpr const char* kExportTitle = "* * *  KALIBRIX  -  Export of interpolated data";

// The clipboard text of "Copy interpolated values to clipboard": a title line, the summary
// line of the exported methods, their column titles and one line per X = 1..nData, cells
// separated by tabs and every line ended by a single CR. Values come from the last
// plot-and-calculate run; a method that run did not compute gets empty value cells. The
// decimal point follows `fmt`, but negative numbers always get the ASCII minus and no
// direction marks, so that spreadsheets and scripts read them. With "Export uncertainties"
// each method's value (the linear fit's "C.I." after it) is followed by its half-width of
// the kind chosen at the level, titled "±"; the "C.I." being the curve's half-width, the
// linear fit gets that cell only for a new reading.
//
// For a named table the text is the analytes' exports side by side, in column order: line
// k is line k of each analyte's export, where an analyte's export is the text above for its
// own table with its name as the title line. Each analyte has a block of columns as wide as
// a data line of the exported methods, plus the empty cell between blocks: its name, summary,
// column titles and values start in the first column of its block on every line, the cells
// its line leaves out (a nodes-only method outside its nodes, the shorter summary and title
// groups, an empty line) staying empty up to the next block. A line ends after the last
// analyte with cells on it. An analyte without values has no block.
std::string exportText(const State& state, const NumberFormat& fmt);

// What a cell of an exported method holds: its value, the half-width of its band (the
// linear fit's "C.I.") or the half-width of the uncertainty kind chosen ("±").
enum class ExportCell { Value, Band, PlusMinus };

// One column of the export: the cell of one exported method.
struct ExportColumn {
    std::size_t method = 0;  // in fitMethods()
    ExportCell cell = ExportCell::Value;
};

// The export's columns for each exported method, in its order: the value, the band's
// half-width when the method has one, the "±" with "Export uncertainties" (but for a band's
// method when the kind is the curve's: its band is that half-width).
std::vector<ExportColumn> exportColumns(const Settings& settings);

// The title of column `c` in the export's title line ("C.I.", "±" or the method's title).
std::string exportColumnTitle(const ExportColumn& c, const std::string& degree);

// The degree an analyte's export writes in its titles: its run's, or before a run the
// settings'.
const std::string& exportDegree(const RunResults& results, const Settings& settings);

// The number in column `c` at X of analyte `analyte`'s export; none where the export leaves
// the cell empty (no result, a nodes-only method outside its nodes, no finite number).
std::optional<double> exportValue(const ExportColumn& c, const Analyte& analyte, const State& state,
                                  int x);

}  // namespace kalibrix
