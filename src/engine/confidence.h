#pragma once

#include "model/data_table.h"
#include "model/fit_result.h"

#include <optional>
#include <span>

namespace kalibrix {

// Returns the band around Y = a + b X over the fitted points (nOK of them, at least 3),
// or no result when it is undefined (SSX of zero) or beyond the range of a double: where
// it exists, halfWidth is finite at every X from 0 to nData, and above 0 wherever a point
// lies off the line.
std::optional<ConfidenceBand> confidenceBand(const DataTable& table, int nOK, double a, double b,
                                             double tValue);

// The band of the line weighted by 1 / err^2 over the fitted points x (each with an error
// above 0; weights[k] = (unit / err)^2), evaluated from X = 0 to nData: t * sqrt(c) * sqrt(1 / sum w + (X - weighted mean X)^2 / weighted SSX), the
// weights in absolute units (the errors are known), c the factor the scatter asks for (the
// MSWD where Mswd::scales, else 1). No result where undefined or beyond a double.
std::optional<ConfidenceBand> weightedConfidence(std::span<const double> x,
                                                 std::span<const double> weights, double unit,
                                                 int nData, double c, double tValue);

}  // namespace kalibrix
