#pragma once

#include "engine/fit_method.h"
#include "engine/regression.h"

namespace kalibrix {

// Least-squares fit Y = a + b * ln X through the fitted points (nOK of them, at least 3).
RegressionFit logRegression(const DataTable& table, int nOK);

// The logarithmic method.
FitOutcome fitLogarithmic(const FitInput& input);

// Its leave-one-out errors: those of the least-squares line in ln X.
LooErrors looLogarithmic(const FitInput& input, LooWorkspace& workspace);

}  // namespace kalibrix
