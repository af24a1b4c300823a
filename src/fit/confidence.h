#pragma once

#include "app/data_table.h"

#include <optional>

namespace kalibrix {

// What the confidence band of the linear fit needs at any X.
struct ConfidenceBand {
    double tValue = 0;  // Student t for df = nOK - 2 (row 101 beyond 100 df) at the chosen level
    double sEst = 0;    // standard error of estimate: sqrt(SSE / (nOK - 2))
    double ssx = 0;     // sum of squared deviations of the fitted X from xMean
    double xMean = 0;   // mean X of the fitted points
    int nOK = 0;
    // halfWidth works with SEst / yScale (yScale a power of two, the one the fitted Y were
    // divided by), so that t * SEst neither overflows nor, for a subnormal SEst, loses digits.
    double sEstScaled = 0;
    double yScale = 1;

    // Half-width of the band at x: t * SEst * sqrt(1/nOK + (x - xMean)^2 / SSX).
    double halfWidth(double x) const;
};

// Returns the band around Y = a + b X over the fitted points (nOK of them, at least 3),
// or no result when it is undefined (SSX of zero) or beyond the range of a double: where
// it exists, halfWidth is finite at every X from 0 to nData, and above 0 wherever a point
// lies off the line.
std::optional<ConfidenceBand> Confidence_Calc(const DataTable& table, int nOK, double a, double b,
                                              double tValue);

}  // namespace kalibrix
