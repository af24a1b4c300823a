#pragma once

#include "engine/fit_method.h"
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
//
// What the leverage at any t needs of the factorisation of one degree: the mapping of t
// onto [-1, 1] and how each orthonormal column came out of the Chebyshev polynomial T_j.
struct LeverageBasis {
    double low = 0, high = 0;           // the smallest and largest t of the points
    std::vector<double> takenOut;       // column j's amounts of columns 0..j-1, column by column
    std::vector<double> inverseLength;  // 1 / the length each column was divided by

    // h(t) = sum_j q_j(t)^2; no result beyond a double.
    std::optional<double> at(double t) const;
};

// With row scales (the square roots of the weights) every row, y and the basis alike, is
// multiplied by its scale: the factorisation is then that of the weighted fits, and the
// errors those of the weighted fits, in Y units.
// The same factorisation gives the leverage of any t under the fit of a degree: the
// Gram-Schmidt steps applied to the basis's values at t.
class LeastSquaresLoo {
public:
    LeastSquaresLoo(std::vector<double> t, std::span<const double> y,
                    std::span<const double> rowScale = {});

    // The errors of the fits of degree `degree`, by point; none where the other points do
    // not determine the fit (too few of them, or a leverage of 1).
    LooErrors errors(int degree);

    // h(t) = phi(t)' (A' A)^-1 phi(t) of the fit of degree `degree` (A the design matrix of
    // the points, its rows multiplied by their scales; phi(t) the unscaled row at t): the
    // variance of the fit's value at t per unit variance of a reading of row scale 1. No
    // result when the points do not determine the fit.
    std::optional<double> leverageAt(double t, int degree);
    // The same for any t, apart from the points and their columns.
    std::optional<LeverageBasis> leverageBasis(int degree);

private:
    bool addColumn();
    bool haveColumns(std::size_t columns);
    std::optional<double> refitAt(std::size_t left, std::size_t columns) const;

    std::size_t m_n;
    int m_yExponent;                       // the points' y are taken divided by 2^m_yExponent
    double m_yUnit;                        // 2^m_yExponent
    std::vector<double> m_scale;           // the row scales; empty: every row 1
    double m_low = 0, m_high = 0;          // the smallest and largest t, mapped onto -1 and 1
    std::vector<double> m_s;               // t mapped onto [-1, 1]
    std::vector<double> m_chebyshev;       // T_(j-1) and T_j at every point, pairwise
    std::vector<std::vector<double>> m_q;  // the orthonormal columns
    // How each column came out of T_j: the amounts of the earlier columns taken out of it
    // (over both passes; those of column j follow those of column j - 1) and 1 / the
    // length it was divided by.
    std::vector<double> m_takenOutFlat;
    std::vector<double> m_inverseLength;
    std::vector<double> m_y;         // the points' y divided by 2^m_yExponent
    std::vector<double> m_residual;  // m_y less its projection on the columns so far
    std::vector<double> m_leverage;  // sum of the squares of each row of the columns
    std::vector<std::vector<std::optional<double>>> m_errors;  // by degree
    std::vector<std::optional<double>> m_none;                 // for a degree beyond them
    bool m_complete = false;  // no further column is independent of the others
};

// The standards in use (X and Y in increasing X, with their errors) and the least-squares
// work the methods fitted to them share: in X and in ln X, unweighted or weighted by
// 1 / err^2 (as the run weighs its fits).
class LooWorkspace {
public:
    explicit LooWorkspace(const DataTable& table);

    std::span<const double> x() const { return m_x; }
    std::span<const double> y() const { return m_y; }
    // The errors of Y (0 where a standard has none; only read when every one has one).
    std::span<const double> err() const { return m_err; }
    // The power of two the weights are taken in (errorUnit of the errors).
    double errorUnit() const { return m_errorUnit; }
    // The weights (errorUnit / err)^2 of the standards, once asked for.
    std::span<const double> weights();
    LeastSquaresLoo& inX(bool weighted = false);
    LeastSquaresLoo& inLnX(bool weighted = false);
    // Room for the errors of a method that makes its own (one at a time).
    std::vector<std::optional<double>>& scratch() { return m_scratch; }

private:
    std::vector<std::optional<double>> m_scratch;
    std::vector<double> m_x;
    std::vector<double> m_y;
    std::vector<double> m_err;
    double m_errorUnit = 1;
    std::vector<double> m_rowScale;  // errorUnit / err, once asked for
    std::vector<double> m_weights;   // their squares, once asked for
    std::optional<LeastSquaresLoo> m_inX, m_inLnX;
    bool m_inXWeighted = false, m_inLnXWeighted = false;
    std::span<const double> rowScales(bool weighted);
};

// The leave-one-out errors of a method fitted by least squares in X (or ln X), of degree
// `degree`, weighted as the input's fits are.
LooErrors leastSquaresLoo(const FitInput& input, LooWorkspace& workspace, bool inLnX, int degree);

// The leave-one-out errors of any method, found by fitting it again without each standard
// in use in turn (for a method without a quicker way); aligned with `workspace`.
LooErrors refitLeaveOneOut(const FitMethod& method, const FitInput& input, LooWorkspace& workspace);

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
