// Accuracy of the least-squares fits on drift-like standards over the whole X range,
// against the same least-squares problems solved in extended precision by other means.

#include "app/data_table.h"
#include "fit/confidence.h"
#include "fit/linear.h"
#include "fit/logarithmic.h"
#include "fit/polynomial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
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

// Least-squares line through (t[k], y[k]) and its figures, from the deviations from the means.
struct WideLine {
    Wide a, b, r, diff, diffProc;
};

WideLine wideLine(const std::vector<Wide>& t, const std::vector<double>& y)
{
    const size_t n = t.size();
    Wide tMean = 0, yMean = 0, stt = 0, sty = 0, syy = 0;
    for (size_t k = 0; k < n; ++k) {
        tMean += t[k] / n;
        yMean += y[k] / static_cast<Wide>(n);
    }
    for (size_t k = 0; k < n; ++k) {
        stt += (t[k] - tMean) * (t[k] - tMean);
        sty += (t[k] - tMean) * (y[k] - yMean);
        syy += (y[k] - yMean) * (y[k] - yMean);
    }
    WideLine l{0, sty / stt, sty / std::sqrt(stt * syy), 0, 0};
    l.a = yMean - l.b * tMean;
    for (size_t k = 0; k < n; ++k) {
        const Wide d = std::abs(y[k] - (l.a + l.b * t[k]));
        l.diff += d / n;
        l.diffProc += d / y[k] / n * 100;
    }
    return l;
}

// Coefficients of the least-squares polynomial of degree m, from the normal equations by
// Gauss-Jordan elimination (for the low degrees and few points used here they are well
// conditioned).
std::vector<Wide> widePolynomial(const std::vector<double>& x, const std::vector<double>& y, int m)
{
    const size_t n = static_cast<size_t>(m) + 1;
    std::vector<std::vector<Wide>> a(n, std::vector<Wide>(n + 1, 0));
    for (size_t k = 0; k < x.size(); ++k)
        for (size_t i = 0; i < n; ++i) {
            for (size_t j = 0; j < n; ++j)
                a[i][j] += std::pow(static_cast<Wide>(x[k]), static_cast<int>(i + j));
            a[i][n] += std::pow(static_cast<Wide>(x[k]), static_cast<int>(i)) * y[k];
        }
    for (size_t c = 0; c < n; ++c)
        for (size_t r = 0; r < n; ++r)
            if (r != c)
                for (size_t j = n + 1; j-- > c;)
                    a[r][j] -= a[r][c] / a[c][c] * a[c][j];
    std::vector<Wide> coef(n);
    for (size_t i = 0; i < n; ++i)
        coef[i] = a[i][n] / a[i][i];
    return coef;
}

// `actual` is `expected` as a double: within 1e-12 relative, plus `slack` (the rounding a
// figure inherits from data of that size) and two steps of the subnormal range; or it is no
// result exactly where `expected` is beyond the range of a double.
::testing::AssertionResult trueValueOrNone(const std::optional<double>& actual, Wide expected,
                                           Wide slack)
{
    const bool inRange = std::abs(expected) <= std::numeric_limits<double>::max();
    if (!actual)
        return inRange ? ::testing::AssertionFailure() << "no result where " << expected
                       : ::testing::AssertionSuccess();
    const Wide tolerance = 1e-12L * std::abs(expected) + slack +
                           2 * static_cast<Wide>(std::numeric_limits<double>::denorm_min());
    if (inRange && std::isfinite(*actual) && std::abs(*actual - expected) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << *actual << " where " << expected << " is true";
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
            EXPECT_LT(relativeDifference(*fit.r, r), 1e-12);
        }
    }
}

// Tables at X = 1, 2, ... whose squares and products of Y overflow, underflow or cancel in
// the sums: values at the ends of the range of a double, values that agree to eight
// digits, and straight lines (r is 1 or -1 to rounding, also summed over 30000 points,
// never beyond). Every figure of every fit is the value for the data, or no result where
// that is beyond the range of a double.
TEST(PolynomialAccuracy, ExtremeTablesGiveTheTrueValueOrNoResult)
{
    if (std::numeric_limits<Wide>::max_exponent <= std::numeric_limits<double>::max_exponent)
        GTEST_SKIP() << "long double has no wider range than double here";
    constexpr double kMax = std::numeric_limits<double>::max();
    constexpr double kTiny = std::numeric_limits<double>::denorm_min();
    std::vector<std::vector<double>> tables = {
        {1e154, 1, 1},
        {57112450.5, 57112449.18, 57112448},
        {1e-308, 2e-308, 3.1e-308},
        {kMax, 1.7e308, kMax, 1.75e308, 1.6e308},
        {1.6e308, kMax, 1.7e308, kMax},
        {kTiny, 3 * kTiny, 2 * kTiny, 6 * kTiny},
        {0.2, 0.1 + 0.2, 0.4, 0.5},  // r comes out one unit in the last place above 1
        {},
    };
    for (int x = 1; x <= kMaxX; ++x)
        tables.back().push_back(1000 - 0.001 * x);
    const double t95 = 12.7062;
    for (const std::vector<double>& y : tables) {
        SCOPED_TRACE(::testing::PrintToString(y).substr(0, 80));
        DataTable table;
        std::vector<double> x;
        for (size_t k = 0; k < y.size(); ++k) {
            x.push_back(static_cast<double>(k + 1));
            table.y[k + 1] = y[k];
        }
        const int n = static_cast<int>(y.size());
        table.nData = table.nY = n;
        const Wide yScale = 1e-14L * *std::max_element(y.begin(), y.end());

        for (bool logarithmic : {false, true}) {
            // Over 30000 points the one-pass sums of ln X leave the log fit 11 digits.
            if (logarithmic && n == kMaxX)
                continue;
            SCOPED_TRACE(logarithmic ? "logarithmic" : "linear");
            const RegressionFit fit = logarithmic ? Log_Regression(table, n) : Lin_Regression(table, n);
            std::vector<Wide> t;
            for (double v : x)
                t.push_back(logarithmic ? std::log(static_cast<Wide>(v)) : static_cast<Wide>(v));
            const WideLine line = wideLine(t, y);
            EXPECT_TRUE(trueValueOrNone(fit.a, line.a, yScale));
            EXPECT_TRUE(trueValueOrNone(fit.b, line.b, yScale));
            EXPECT_TRUE(trueValueOrNone(fit.r, line.r, 1e-12L));
            EXPECT_LE(std::abs(fit.r.value_or(0)), 1);
            EXPECT_TRUE(trueValueOrNone(fit.diff, line.diff, yScale));
            EXPECT_TRUE(trueValueOrNone(fit.diffProc, line.diffProc, 1e-12L));
            if (logarithmic || !fit.a || !fit.b)
                continue;

            // The band around the line as fitted, at every X the plot and the export use.
            const auto band = Confidence_Calc(table, n, *fit.a, *fit.b, t95);
            Wide sse = 0, ssx = 0;
            for (int k = 0; k < n; ++k) {
                const Wide d = y[k] - (static_cast<Wide>(*fit.a) + static_cast<Wide>(*fit.b) * x[k]);
                sse += d * d;
                ssx += (x[k] - (n + 1) / 2.0L) * (x[k] - (n + 1) / 2.0L);
            }
            auto halfWidth = [&](int at) {
                return t95 * std::sqrt(sse / (n - 2)) *
                       std::sqrt(1.0L / n + (at - (n + 1) / 2.0L) * (at - (n + 1) / 2.0L) / ssx);
            };
            ASSERT_EQ(band.has_value(), halfWidth(0) <= kMax);
            for (int at = 0; band && at <= n; ++at) {
                EXPECT_TRUE(trueValueOrNone(band->halfWidth(at), halfWidth(at), t95 * yScale)) << at;
                EXPECT_GT(band->halfWidth(at), 0) << at;
            }
        }

        for (int m = 1; m <= std::min(2, n - 2); ++m) {
            SCOPED_TRACE("degree " + std::to_string(m));
            const PolynomialFit fit = Polynomial(x, y, m, NumberFormat{});
            const std::vector<Wide> coef = widePolynomial(x, y, m);
            const bool inRange = std::all_of(coef.begin(), coef.end(),
                                             [&](Wide c) { return std::abs(c) <= kMax; });
            ASSERT_EQ(fit.outcome == PolyOutcome::Fitted, inRange);
            if (!inRange)
                continue;
            Wide sse = 0;
            for (size_t k = 0; k < x.size(); ++k) {
                Wide f = 0;
                for (size_t j = coef.size(); j-- > 0;)
                    f = f * x[k] + coef[j];
                sse += (y[k] - f) * (y[k] - f);
            }
            for (int j = 0; j <= m; ++j)
                EXPECT_TRUE(trueValueOrNone(fit.coef[j], coef[j], yScale)) << "P" << j;
            EXPECT_TRUE(trueValueOrNone(fit.dsig, std::sqrt(sse / (n - 2)), yScale));
        }
    }
}
