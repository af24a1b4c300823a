#pragma once

#include "fit/fit_method.h"
#include "model/data_table.h"
#include "model/fit_result.h"

#include <optional>
#include <span>
#include <vector>

namespace kalibrix {

// Leave-one-out errors of the least-squares polynomials in t of every degree: for point i,
// y_i minus the value at t_i of the fit of the same degree to the other points, found from
// the fit to all points as residual_i / (1 - leverage_i). One orthonormal basis serves every
// degree: the Chebyshev polynomials of t mapped onto [-1, 1], made orthonormal over the
// points by classical Gram-Schmidt, twice. Where the leverage comes close to 1 (the other
// points hardly determine the fit there) the quotient would magnify the rounding of the
// basis, so such a point is fitted again without it instead.
class LeastSquaresLoo {
public:
    LeastSquaresLoo(std::vector<double> t, std::span<const double> y);

    // The errors of the fits of degree `degree`, by point; none where the other points do
    // not determine the fit (too few of them, or a leverage of 1).
    LooErrors errors(int degree);

private:
    bool addColumn();
    std::optional<double> refitAt(std::size_t left, std::size_t columns) const;

    std::size_t m_n;
    int m_yExponent;                 // the points' y are taken divided by 2^m_yExponent
    double m_yUnit;                  // 2^m_yExponent
    std::vector<double> m_s;         // t mapped onto [-1, 1]
    std::vector<double> m_chebyshev; // T_(j-1) and T_j at every point, pairwise
    std::vector<std::vector<double>> m_q;  // the orthonormal columns
    std::vector<double> m_y;         // the points' y divided by 2^m_yExponent
    std::vector<double> m_residual;  // m_y less its projection on the columns so far
    std::vector<double> m_leverage;  // sum of the squares of each row of the columns
    std::vector<std::vector<std::optional<double>>> m_errors;  // by degree
    std::vector<std::optional<double>> m_none;                 // for a degree beyond them
    bool m_complete = false;         // no further column is independent of the others
};

// The standards in use (X and Y in increasing X) and the least-squares work the methods
// fitted to them share: in X and in ln X.
class LooWorkspace {
public:
    explicit LooWorkspace(const DataTable& table);

    std::span<const double> x() const { return m_x; }
    std::span<const double> y() const { return m_y; }
    LeastSquaresLoo& inX();
    LeastSquaresLoo& inLnX();
    // Room for the errors of a method that makes its own (one at a time).
    std::vector<std::optional<double>>& scratch() { return m_scratch; }

private:
    std::vector<std::optional<double>> m_scratch;
    std::vector<double> m_x;
    std::vector<double> m_y;
    std::optional<LeastSquaresLoo> m_inX;
    std::optional<LeastSquaresLoo> m_inLnX;
};

// The leave-one-out errors of any method, found by fitting it again without each standard
// in use in turn (for a method without a quicker way); aligned with `workspace`.
LooErrors refitLeaveOneOut(const FitMethod& method, const FitInput& input,
                           LooWorkspace& workspace);

// The root mean square of the errors and the mean of |error| / y in per cent over the points
// that have an error; no result with fewer than two of them.
LeaveOneOut summariseLoo(std::span<const double> y, LooErrors errors);

// The standards whose leave-one-out error lies far outside the others': with at least
// kLeastForSuggestions errors, those more than kOutlierSpread robust standard deviations
// (1.4826 times the median absolute deviation) from the median error.
inline constexpr int kLeastForSuggestions = 5;
inline constexpr double kOutlierSpread = 5;
struct Suggestions {
    std::vector<int> x;             // the X of the standards suggested for rejection
    std::optional<double> typical;  // the robust standard deviation of the errors
};
Suggestions suggestedOutliers(LooErrors errors, std::span<const int> x);

}  // namespace kalibrix
