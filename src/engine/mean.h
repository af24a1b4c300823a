#pragma once

#include "engine/fit_method.h"

namespace kalibrix {

// The mean of the standards in use (weighted by 1 / err^2 when the run weighs): the drift
// is taken to be nil. Its level is the result's a; its uncertainty at every X that of the
// least-squares constant, u_curve = s / sqrt(n) (with weights, s / sqrt(sum of w)).
FitOutcome fitMean(const FitInput& input);

// Its leave-one-out errors, exact: the residual / (1 - 1/n) (weighted: 1 - w_i / sum w).
LooErrors looMean(const FitInput& input, LooWorkspace& workspace);

}  // namespace kalibrix
