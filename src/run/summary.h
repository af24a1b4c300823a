#pragma once

#include "run/number_format.h"
#include "run/state.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kalibrix {

// The statistics table of kalibrix-cli --summary as cells: the captions the window shows for
// the results of the last run, and the parameters of the chosen-degree polynomial as numbers.
struct SummaryTable {
    // "Row", "a", "b", "r^2", "Aver. diff.", "%", "LOO", "LOO %", then "MSWD" when weights
    // were asked for and "edf" when a smoother is shown.
    std::vector<std::string> header;
    // rows[a]: analyte a's rows, each its label and its figures (as many as it has).
    std::vector<std::vector<std::vector<std::string>>> rows;
};

SummaryTable summaryTable(const State& state, const NumberFormat& fmt);

}  // namespace kalibrix
