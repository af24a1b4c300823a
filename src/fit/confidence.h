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

    // Half-width of the band at x: t * SEst * sqrt(1/nOK + (x - xMean)^2 / SSX).
    double halfWidth(double x) const;
};

// Returns the band around Y = a + b X over the fitted points (nOK of them, at least 3),
// or no result when it is undefined (SSX of zero, or a value that is not finite).
std::optional<ConfidenceBand> Confidence_Calc(const DataTable& table, int nOK, double a, double b,
                                              double tValue);

}  // namespace kalibrix
