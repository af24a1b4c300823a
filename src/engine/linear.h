#pragma once

#include "engine/fit_method.h"
#include "engine/regression.h"

namespace kalibrix {

// Least-squares line Y = a + b * X through the fitted points (nOK of them, at least 2).
// With exactly two points it is the line through them, and r and the residual figures
// have no result.
RegressionFit linearRegression(const DataTable& table, int nOK);

// The linear method: the line, and its confidence band at the chosen level from three
// fitted points on (whether or not the band is shown, so that the exported C.I. column
// always belongs to the exported line).
FitOutcome fitLinear(const FitInput& input);

// Its leave-one-out errors: those of the least-squares line in X.
LooErrors looLinear(const FitInput& input, LooWorkspace& workspace);

}  // namespace kalibrix
