#pragma once

#include "engine/fit_method.h"

namespace kalibrix {

// The fewest standards in use the smoothing spline takes: with three, leaving one out leaves
// too little to choose the smoothing by.
inline constexpr int kSmoothingSplineMinPoints = 4;

// The natural cubic smoothing spline of Y on X through the standards in use (weighted by
// 1 / err^2 when the run weighs), its smoothing the one of least leave-one-out error. Its
// uncertainty at X is that of a linear smoother: u_curve^2 = s^2 v(X) and u_reading^2 =
// s^2 (1 + v(X)), v(X) the variance the hat matrix gives at X per unit variance of a
// reading, s^2 = SSE / (n - edf), t with n - edf degrees of freedom rounded down (edf the
// trace of the hat matrix). With weights as the least-squares fits have them.
FitOutcome fitSmoothingSpline(const FitInput& input);

// Its leave-one-out errors, exact: residual / (1 - leverage) at the chosen smoothing.
LooErrors looSmoothingSpline(const FitInput& input, LooWorkspace& workspace);

}  // namespace kalibrix
