#pragma once

#include "engine/finite.h"
#include "model/data_table.h"
#include "model/fit_result.h"

#include <cmath>
#include <optional>
#include <span>

namespace kalibrix {

// The five sums of a straight-line least-squares fit (of X, or of ln X). For Y beyond
// 2^-250 .. 2^250 the fit forms them of Y scaled by a power of two.
struct RegressionSums {
    double sumX = 0;
    double sumY = 0;
    double sumXX = 0;
    double sumYY = 0;
    double sumXY = 0;
};

// Y = a + b * t with t = X (linear) or t = ln X (logarithmic). A field without a value
// could not be computed for this table (for example r when every fitted Y is equal).
struct RegressionFit {
    std::optional<double> a;         // intercept
    std::optional<double> b;         // slope
    std::optional<double> r;         // correlation coefficient
    std::optional<double> diff;      // mean absolute residual, in Y units
    std::optional<double> diffProc;  // mean relative residual |Y - F| / Y, in per cent
    std::optional<double> sEst;      // sqrt(sum (Y - F)^2 / (n - 2)), for three points or more
    // With weights: sum ((Y - F) / err)^2, the weighted sum of squared residuals.
    std::optional<double> chiSquare;
};

// Y as it is: the default of the line's transformation of Y.
struct SameY {
    double operator()(double y) const { return y; }
};

// Least-squares line through the fitted points of `table`, of transformY(Y) on
// t = transform(X) (for a fit in ln Y, transformY takes the logarithm; every figure is then
// of the transformed Y); n is nOK (at least 3). The sums are added in the order X, X^2, Y, Y^2, XY for each point; r comes
// from the deviations from the means. Every result is the value for the data or no result.
template <class Transform, class TransformY = SameY>
RegressionFit fitLine(const DataTable& table, int nOK, Transform transform,
                      TransformY transformY = {});

// The same line weighted by 1 / err^2, given as weights[k] = (unit / err)^2 of the fitted
// points in increasing X: from the weighted means and the weighted sums of the deviations
// from them; r is the weighted correlation coefficient; diff and diffProc stay the plain
// means of the residuals.
template <class Transform, class TransformY = SameY>
RegressionFit fitWeightedLine(const DataTable& table, Transform transform,
                              std::span<const double> weights, double unit,
                              TransformY transformY = {});

// The figures of `fit` as a method's result, its value at X being
// untransformY(a + b * transform(X)) (untransformY undoes the fit's transformation of Y).
template <class Transform, class UntransformY = SameY>
FitResult lineResult(const RegressionFit& fit, Transform transform, UntransformY untransformY = {})
{
    FitResult r;
    r.a = fit.a;
    r.b = fit.b;
    r.r = fit.r;
    r.diff = fit.diff;
    r.diffProc = fit.diffProc;
    if (fit.a && fit.b)
        r.valueAt = [a = *fit.a, b = *fit.b, transform, untransformY](double x) {
            return finiteOrNone(untransformY(a + b * transform(x)));
        };
    return r;
}

}  // namespace kalibrix

#include "engine/regression_impl.h"
