#pragma once

#include "engine/fit_method.h"
#include "model/fit_result.h"

#include <memory>
#include <optional>

namespace kalibrix {

// The standards in use and their factorisations, shared by the fits of `input`.
std::shared_ptr<LooWorkspace> sharedWorkspace(const FitInput& input);

// The variance of one reading at any X from the errors of the standards in use, in units
// of the workspace's errorUnit squared (only with weights).
std::shared_ptr<const ReadingVariance> sharedReadings(const FitInput& input);

// Gives `result` of a least-squares fit of degree `degree` in X (or ln X) its uncertainty
// at every X, from the leverage h(X) of the shared factorisation:
//  unweighted: u_curve^2 = s^2 h(X), u_reading^2 = s^2 (1 + h(X)), s^2 = SSE / (n - p),
//    t with n - p degrees of freedom (`s` the fit's sqrt(SSE / (n - p)); none: no result);
//  weighted (errors known): u_curve^2 = c h(X), u_reading^2 = c (err(X)^2 + h(X)), h in
//    units of the errors, err(X)^2 the reading variance at X; c = MSWD when the MSWD lies
//    above the range scatter alone gives (Mswd::scales; t with n - p degrees of freedom),
//    else 1 (the errors known: the large-sample row); `chiSquare` the weighted SSE, which
//    also gives the result's mswd.
void addLeastSquaresUncertainty(FitResult& result, const FitInput& input, bool inLnX, int degree,
                                std::optional<double> s, std::optional<double> chiSquare);

}  // namespace kalibrix
