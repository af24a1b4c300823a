#pragma once

#include "fit/confidence.h"
#include "fit/data_stat.h"
#include "fit/polynomial.h"
#include "fit/regression.h"
#include "fit/zigzag.h"
#include "regwin/controls.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kalibrix {

// One polynomial slot fitted in the last run.
struct PolySlotResult {
    PolynomialFit fit;               // degree and coefficients
    std::vector<double> yPoly;       // value of the polynomial at X = 0..nData
    std::optional<double> diff;      // mean |Y - P(X)| over the fitted points
    std::optional<double> diffProc;  // mean |Y - P(X)| / Y over the fitted points, per cent
};

// Everything one plot-and-calculate run computed. Each run starts from no result at all,
// so a fit that was not ticked or had too few points has nothing here.
struct RunResults {
    bool computed = false;  // a run has taken place
    DataStats stats;
    std::optional<RegressionFit> linear;      // nOK >= 2
    std::optional<ConfidenceBand> band;       // nOK >= 3, whether or not the band is drawn
    std::optional<RegressionFit> log;         // chkLog ticked and nOK >= 3
    std::array<std::optional<PolySlotResult>, kPolySlots + 1> poly;  // slots 1..5
    std::optional<std::vector<ZigZagNode>> zigzag;                   // chkZigZag ticked
    std::string polyChosenText;  // ComboBox1's text at the run: the degree slot 1 was asked for
};

}  // namespace kalibrix
