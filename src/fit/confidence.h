#pragma once

#include "model/data_table.h"
#include "model/fit_result.h"

#include <optional>

namespace kalibrix {

// Returns the band around Y = a + b X over the fitted points (nOK of them, at least 3),
// or no result when it is undefined (SSX of zero) or beyond the range of a double: where
// it exists, halfWidth is finite at every X from 0 to nData, and above 0 wherever a point
// lies off the line.
std::optional<ConfidenceBand> Confidence_Calc(const DataTable& table, int nOK, double a, double b,
                                              double tValue);

}  // namespace kalibrix
