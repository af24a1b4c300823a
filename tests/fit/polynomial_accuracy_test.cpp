// Accuracy of the least-squares fits on drift-like standards over the whole X range,
// against the same least-squares problems solved in extended precision by other means.

#include "app/data_table.h"
#include "fit/linear.h"
#include "fit/logarithmic.h"
#include "fit/polynomial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

using namespace kalibrix;

namespace {

// At least 64 bits of mantissa (binary128 on some targets): far beyond the tolerances below.
using Wide = long double;

double relativeDifference(double actual, Wide expected)
{
    return static_cast<double>(std::abs((actual - expected) / expected));
}

// Deterministic noise in [-1, 1) (splitmix64).
auto noise(std::uint64_t state)
{
    return [state]() mutable {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1.0p-52 - 1.0;
    };
}

// Standards at increasing X in 1..30000 with an instrument's drift: a slow bent trend with
// a wave over the sequence, and 0.3 % noise.
struct Series {
    std::string name;
    std::vector<double> x, y;
};

std::vector<Series> driftSeries()
{
    Series spread{"spread", {}, {}};  // 120 standards about 250 apart, irregularly
    auto jitter = noise(11);
    for (int k = 0; k < 120; ++k)
        spread.x.push_back(1 + k * 251 + static_cast<int>(40 * (1 + jitter())));
    Series clustered{"clustered", {}, {}};  // 100 groups of three standards, 300 apart
    for (int group = 0; group < 100; ++group)
        for (int j = 0; j < 3; ++j)
            clustered.x.push_back(1 + group * 300 + 2 * j);
    std::uint64_t seed = 12;
    for (Series* s : {&spread, &clustered}) {
        auto next = noise(seed++);
        for (double x : s->x) {
            const double t = x / kMaxX;
            s->y.push_back((10000 + 1500 * t - 900 * t * t + 120 * std::sin(7 * t)) *
                           (1 + 0.003 * next()));
        }
    }
    return {spread, clustered};
}

// Fitted values at the points of the least-squares polynomial of degree m in t: y projected
// onto the powers of t mapped onto [-1, 1], made orthogonal over the points by modified
// Gram-Schmidt, twice over.
std::vector<Wide> referenceFit(const std::vector<Wide>& t, const std::vector<double>& y, int m)
{
    const size_t n = t.size();
    std::vector<std::vector<Wide>> basis(static_cast<size_t>(m) + 1, std::vector<Wide>(n, 1));
    const Wide lo = t.front(), hi = t.back();
    for (size_t j = 1; j < basis.size(); ++j)
        for (size_t k = 0; k < n; ++k)
            basis[j][k] = basis[j - 1][k] * (2 * t[k] - lo - hi) / (hi - lo);
    using Column = std::vector<Wide>;
    // Takes from v its part along q, adding it to `into`.
    auto removeAlong = [n](const Column& q, Column& v, Column& into) {
        Wide qv = 0, qq = 0;
        for (size_t k = 0; k < n; ++k) {
            qv += q[k] * v[k];
            qq += q[k] * q[k];
        }
        for (size_t k = 0; k < n; ++k) {
            v[k] -= qv / qq * q[k];
            into[k] += qv / qq * q[k];
        }
    };
    Column residual(y.begin(), y.end()), fitted(n, 0), unused(n);
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t j = 0; j < basis.size(); ++j)
            for (size_t i = 0; i < j; ++i)
                removeAlong(basis[i], basis[j], unused);
        for (const auto& q : basis)
            removeAlong(q, residual, fitted);
    }
    return fitted;
}

}  // namespace

// The values the program shows and exports (evaluatePolynomial of the fitted coefficients)
// at the data positions. The normal equations in powers of X up to 30000^16 lose digits
// with every degree: from about 1e-15 at degree 2 to 2e-9 .. 5e-9 at degree 8 on these
// series, so degree 8 is close to the bound.
TEST(PolynomialAccuracy, DegreesTwoToEightAgreeWithExtendedPrecisionLeastSquares)
{
    for (const Series& s : driftSeries()) {
        const std::vector<Wide> t(s.x.begin(), s.x.end());
        for (int m = 2; m <= 8; ++m) {
            SCOPED_TRACE(s.name + " series, degree " + std::to_string(m));
            const PolynomialFit fit = Polynomial(s.x, s.y, m, NumberFormat{});
            ASSERT_EQ(fit.outcome, PolyOutcome::Fitted);
            const std::vector<Wide> reference = referenceFit(t, s.y, m);
            double worst = 0;
            for (size_t k = 0; k < s.x.size(); ++k)
                worst = std::max(worst, relativeDifference(evaluatePolynomial(fit.coef, s.x[k]),
                                                           reference[k]));
            EXPECT_LT(worst, 1e-8);
        }
    }
}

// r comes from the one-pass sums n * sum(Y^2) - sum(Y)^2, which cancel to about a
// thousandth because the spread of Y is small against its mean: it keeps about 12 digits,
// still far beyond the two decimals of r^2 the window shows.
TEST(PolynomialAccuracy, LinearAndLogarithmicFitsAgreeWithExtendedPrecision)
{
    for (const Series& s : driftSeries()) {
        DataTable table;
        for (size_t k = 0; k < s.x.size(); ++k)
            table.y[static_cast<size_t>(s.x[k])] = s.y[k];
        table.nData = static_cast<int>(s.x.back());
        table.nY = static_cast<int>(s.x.size());
        for (bool logarithmic : {false, true}) {
            SCOPED_TRACE(s.name + (logarithmic ? " series, logarithmic" : " series, linear"));
            const RegressionFit fit = logarithmic ? Log_Regression(table, table.nY)
                                                  : Lin_Regression(table, table.nY);
            ASSERT_TRUE(fit.a && fit.b && fit.r && fit.diff && fit.diffProc);
            // The straight line through the fitted values, with t = X or t = ln X.
            std::vector<Wide> t;
            for (double x : s.x)
                t.push_back(logarithmic ? std::log(static_cast<Wide>(x)) : static_cast<Wide>(x));
            const std::vector<Wide> f = referenceFit(t, s.y, 1);
            const size_t n = t.size();
            const Wide b = (f[n - 1] - f[0]) / (t[n - 1] - t[0]);
            const Wide yMean = std::accumulate(s.y.begin(), s.y.end(), Wide(0)) / n;
            Wide diff = 0, diffProc = 0, explained = 0, total = 0;
            for (size_t k = 0; k < n; ++k) {
                diff += std::abs(s.y[k] - f[k]) / n;
                diffProc += std::abs(s.y[k] - f[k]) / s.y[k] / n * 100;
                explained += (f[k] - yMean) * (f[k] - yMean);
                total += (s.y[k] - yMean) * (s.y[k] - yMean);
            }
            EXPECT_LT(relativeDifference(*fit.b, b), 1e-12);
            EXPECT_LT(relativeDifference(*fit.a, f[0] - b * t[0]), 1e-12);
            EXPECT_LT(relativeDifference(*fit.diff, diff), 1e-12);
            EXPECT_LT(relativeDifference(*fit.diffProc, diffProc), 1e-12);
            const Wide r = std::copysign(std::sqrt(explained / total), b);
            EXPECT_LT(relativeDifference(*fit.r, r), 1e-10);
        }
    }
}
