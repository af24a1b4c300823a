#pragma once

#include "run/number_format.h"
#include "run/state.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kalibrix {

// One method's column of the residuals: at each standard its value, Y minus the value, and
// Y minus the value of the method fitted without that standard (for a standard the run had
// rejected, the fit never saw it: the residual itself).
struct ResidualColumn {
    std::size_t method = 0;
    std::vector<std::optional<double>> value, residual, leaveOneOut;
};

// The standards of one analyte's last run (Y above 0, in use or rejected there) in
// increasing X, with a column for each method shown (the line always; no results where
// the run could not fit the method), so that every analyte has the same columns.
struct ResidualTable {
    std::vector<int> x;
    std::vector<double> y;
    std::vector<bool> rejected;  // at the run
    std::vector<ResidualColumn> columns;
};

// The residuals of analyte `a` as its last run left them (its rejections then, not any
// marked since); empty before a run. The leave-one-out residuals are computed again here.
ResidualTable residualsOf(const State& state, std::size_t a);

// Whether a standard was "rejected" at the run, "suggested" for rejection, or a "standard".
const char* stateWord(const RunResults& res, int x, bool rejected);

// kalibrix-cli --residuals: per standard, X, Y, its state (stateWord), and for each shown
// method its value, residual and leave-one-out residual; tab-separated,
// one title line, LF line ends, numbers as the export writes them, a named table's analytes
// one after the other with their name in the first column.
std::string residualsText(const State& state, const NumberFormat& fmt);

}  // namespace kalibrix
