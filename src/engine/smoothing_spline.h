#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace kalibrix {

// The natural cubic smoothing spline of y on x with weights w: the curve g that minimises
//   sum_i w_i (y_i - g(x_i))^2 + lambda * integral g''(x)^2 dx,
// a cubic between neighbouring x, straight beyond the ends. Computed by Reinsch's banded
// form: with h_i = x_(i+1) - x_i, Q (n x n-2, three entries a column) and R (n-2 square,
// tridiagonal) of the second differences, the second derivatives at the inner x are
//   gamma = B^-1 Q' y,   B = R + lambda Q' W^-1 Q   (five bands),
// and the fitted values g = y - lambda W^-1 Q gamma. B is factorised as L D L' in O(n);
// the three central bands of B^-1 (Takahashi's recurrence from the factors) give the
// leverages h_ii = 1 - lambda / w_i (Q B^-1 Q')_ii and the variance of g at any x, all in
// O(n). The variance is the one the hat matrix gives, (W + lambda Q R^-1 Q')^-1 = A W^-1
// (A the hat matrix), per unit variance of a reading of weight 1: at a standard it is
// h_ii / w_i; between two it follows from the covariances of g and gamma at the two ends,
// which the same bands give.
class SmoothingSpline {
public:
    // x increasing and distinct (three or more), w above 0, lambda above 0. No result when
    // the factorisation fails or a figure is not a finite number.
    static std::optional<SmoothingSpline> fit(std::span<const double> x, std::span<const double> y,
                                              std::span<const double> w, double lambda);

    double lambda() const { return m_lambda; }
    // The fitted values and the leverages, by point.
    std::span<const double> fitted() const { return m_g; }
    std::span<const double> leverage() const { return m_h; }
    // The effective degrees of freedom: the trace of the hat matrix (2 for a straight line,
    // n for the curve through every point).
    double effectiveDof() const { return m_edf; }
    // The value at t.
    double value(double t) const;
    // The variance of the value at t per unit variance of a reading of weight 1.
    double variance(double t) const;

private:
    // The interval of t: i with x_i <= t < x_(i+1), clamped to 0 .. n-2.
    std::size_t interval(double t) const;
    // The coefficients of g_i, g_(i+1), gamma_i, gamma_(i+1) in the value at t.
    void weightsAt(double t, std::size_t i, double c[4]) const;

    double m_lambda = 0;
    std::vector<double> m_x;
    std::vector<double> m_g;      // fitted values
    std::vector<double> m_gamma;  // second derivatives, 0 at both ends
    std::vector<double> m_h;      // leverages
    double m_edf = 0;
    // Per unit variance: Var g_i, Cov(g_i, g_(i+1)), Var gamma_i, Cov(gamma_i, gamma_(i+1)),
    // Cov(g_i, gamma_j) for j = i-1 .. i+1 (the only ones a value between two points needs).
    std::vector<double> m_varG, m_covGG, m_varC, m_covCC, m_covGCm, m_covGC0, m_covGCp;
};

// The smoothing spline whose lambda minimises the weighted mean square of the exact
// leave-one-out residuals e_i = (y_i - g_i) / (1 - h_ii), searched on a grid of log lambda
// (half a decade apart: the criterion may have two valleys) and refined by golden section;
// about 37 passes in all, each O(n). A lambda whose effective degrees of freedom exceed
// n - 1 is not taken (it would leave no degree of freedom for the scatter; with few points
// the leave-one-out error can favour the curve through every point by chance). No result
// for fewer than four points or when no lambda gives finite residuals.
std::optional<SmoothingSpline> smoothingSplineByLeaveOneOut(std::span<const double> x,
                                                            std::span<const double> y,
                                                            std::span<const double> w);

}  // namespace kalibrix
