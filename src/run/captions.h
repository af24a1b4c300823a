#pragma once

#include "engine/fit_method.h"
#include "model/run_results.h"
#include "run/number_format.h"

#include <array>
#include <string>
#include <vector>

namespace kalibrix {

// How the captions write the figures.
enum class Figures {
    // a, b and the average difference with the decimals of fixedRounding, the per cents with
    // two: the texts the export's summary line copies, kept byte for byte.
    Exported,
    // every figure but r² as Rounding shows it, with at least four significant digits: what
    // the window, the report and kalibrix-cli --summary show.
    Shown,
};

// The captions of a run's results: the counters, every method's cells and the parameter
// listing. All empty before the first run.
struct Captions {
    std::string nData;     // "Maximum:": the largest X
    std::string nDataOK;   // "Number of data:": the standards (X with Y above 0)
    std::string rejected;  // "Rejected:": how many of them are rejected
    // By method: the text of each cell its row in the grid has (none elsewhere).
    std::vector<std::array<std::string, kResultCells>> cells;
    // By method: the leave-one-out error in Y units and in per cent, when the run has them.
    std::vector<std::string> looError;
    std::vector<std::string> looPercent;
    // The same figures in full (15 significant digits), for the tooltips of cells that show
    // them rounded.
    std::vector<std::array<std::string, kResultCells>> fullCells;
    std::vector<std::string> fullLooError;
    std::vector<std::string> fullLooPercent;
    std::string listing;  // "P0 = …" lines and "dsig=…" of the method that lists them
};

// Turns the figures of a run into the texts the window shows: a, b and the average
// difference, the per cents and the leave-one-out figures written as `figures` says, r² with
// two decimals, the listing in the general number format; no result gives an empty caption.
Captions makeCaptions(const RunResults& results, const NumberFormat& fmt,
                      Figures figures = Figures::Exported);

// Why the standard at `x` is suggested for rejection, in a sentence for its tooltip; empty
// when it is not suggested.
std::string suggestionText(const RunResults& results, int x, const NumberFormat& fmt);

}  // namespace kalibrix
