#pragma once

#include "fit/regression.h"

namespace kalibrix {

// Least-squares line Y = a + b * X through the fitted points (nOK of them, at least 2).
// With exactly two points it is the line through them, and r and the residual figures
// have no result.
RegressionFit Lin_Regression(const DataTable& table, int nOK);

}  // namespace kalibrix
