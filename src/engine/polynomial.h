#pragma once

#include "engine/fit_method.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalibrix {

inline constexpr int kMaxPolyDegree = 23;

enum class PolyOutcome {
    Fitted,
    TooFewData,        // fewer points than coefficients
    DegreeOutOfRange,  // degree below 0 or above kMaxPolyDegree
    Singular,          // no unique solution, or a coefficient beyond the range of a double
};

struct PolynomialFit {
    PolyOutcome outcome = PolyOutcome::Singular;
    int degree = 0;
    std::vector<double> coef;    // coef[j] = coefficient of X^j, j = 0..degree; empty unless fitted
    std::optional<double> dsig;  // sqrt(SSE / (n - 2)) for every degree; none for n <= 2
    // With errors: sum ((y - P(x)) / err)^2, the weighted sum of squared residuals.
    std::optional<double> chiSquare;
};

// Fits a polynomial of degree m to the points (x[k], y[k]) by least squares through the
// normal equations, solved by `gauss`. Y of any magnitude a double holds is fitted. With
// weights w[k] = (unit / err[k])^2 (err[k] the error of y[k], above 0), each point weighs
// 1 / err[k]^2 (the sums of the normal equations weighted alike, one step of refinement
// after); dsig stays the plain scatter of the residuals.
PolynomialFit Polynomial(std::span<const double> x, std::span<const double> y, int m,
                         std::span<const double> w = {}, double unit = 1);

// Augmented matrix with 1-based rows 1..N and columns 1..N+1 (row and column 0 unused).
class GaussMatrix {
public:
    explicit GaussMatrix(int n) : m_n(n), m_cells(static_cast<size_t>((n + 1) * (n + 2)), 0.0) {}
    double& operator()(int i, int j) { return m_cells[static_cast<size_t>(i * (m_n + 2) + j)]; }
    double operator()(int i, int j) const
    {
        return m_cells[static_cast<size_t>(i * (m_n + 2) + j)];
    }
    int size() const { return m_n; }

private:
    int m_n;
    std::vector<double> m_cells;
};

// Solves the N x N system in `a` (column N+1 = right-hand side) in place by Gaussian
// elimination with complete pivoting and row scaling; writes the solution to b[1..N].
// Returns false, leaving `b` unspecified, when a pivot is zero or the solution is not finite.
bool gauss(GaussMatrix& a, std::vector<double>& b);

// Evaluates coef[0] + coef[1] X + ... accumulated from the constant term upward.
double evaluatePolynomial(std::span<const double> coef, double x);

// out[x] = evaluatePolynomial(coef, x) for every X = 0 .. out.size() - 1, the same numbers,
// computed several X at a time.
void evaluatePolynomialAtIntegers(std::span<const double> coef, std::span<double> out);

// Reads a typed degree: a whole number, blanks around it and a leading '+' allowed.
std::optional<int> parseDegreeText(std::string_view text);

// The polynomial method of degree `degree` over the fitted points: its coefficients, dsig,
// average differences and values. No result when the degree is out of range or the
// points are too few (with the warning the user needs) or the system is singular.
// `degreeText` is the degree as the user gave it, for the warning.
FitOutcome fitPolynomial(const FitInput& input, int degree, std::string_view degreeText);

// The polynomial methods: of a fixed degree, and of the degree in the settings.
template <int Degree>
FitOutcome fitPolynomialOfDegree(const FitInput& input)
{
    return fitPolynomial(input, Degree, std::to_string(Degree));
}
FitOutcome fitChosenPolynomial(const FitInput& input);

// Their leave-one-out errors: those of the least-squares polynomials of their degree.
LooErrors looPolynomial(const FitInput& input, LooWorkspace& workspace, int degree);
template <int Degree>
LooErrors looPolynomialOfDegree(const FitInput& input, LooWorkspace& workspace)
{
    return looPolynomial(input, workspace, Degree);
}
LooErrors looChosenPolynomial(const FitInput& input, LooWorkspace& workspace);

}  // namespace kalibrix
