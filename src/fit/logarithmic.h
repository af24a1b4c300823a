#pragma once

#include "fit/regression.h"

namespace kalibrix {

// Least-squares fit Y = a + b * ln X through the fitted points (nOK of them, at least 3).
RegressionFit Log_Regression(const DataTable& table, int nOK);

}  // namespace kalibrix
