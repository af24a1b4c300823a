// Accuracy of the least-squares fits on drift-like standards over the whole X range,
// against the same least-squares problems solved in extended precision by other means.

#include "model/data_table.h"
#include "engine/confidence.h"
#include "engine/linear.h"
#include "engine/logarithmic.h"
#include "engine/polynomial.h"
#include "support/test_support.h"
#include "support/wide_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

using namespace kalibrix;

namespace {

// At least 64 bits of mantissa (binary128 on some targets): far beyond the tolerances below.
using test::Wide;
using Column = std::vector<Wide>;

// Standards at increasing X.
struct Series {
    std::string name;
    std::vector<double> x, y;
};

// A slow bent trend with a wave, over t in [0, 1].
double drift(double t) { return 10000 + 1500 * t - 900 * t * t + 120 * std::sin(7 * t); }

// Standards in 1..30000 with an instrument's drift and 0.3 % noise: 120 about 250 apart,
// irregularly, and 100 groups of three, 300 apart.
std::vector<Series> driftSeries()
{
    std::vector<Series> all{{"spread", {}, {}}, {"clustered", {}, {}}};
    test::Random jitter(11);
    for (int k = 0; k < 120; ++k)
        all[0].x.push_back(1 + k * 251 + static_cast<int>(80 * jitter.uniform()));
    for (int k = 0; k < 300; ++k)
        all[1].x.push_back(1 + k / 3 * 300 + 2 * (k % 3));
    std::uint64_t seed = 12;
    for (Series& s : all) {
        test::Random next(seed++);
        for (double x : s.x)
            s.y.push_back(drift(x / kMaxX) * (1 + 0.003 * next.signedUniform()));
    }
    return all;
}

// `fit` of degree m at the points x agrees with the extended-precision fit to `tolerance`.
void expectAgreement(const std::vector<double>& x, const std::vector<double>& y, int m,
                     double tolerance)
{
    const PolynomialFit fit = Polynomial(x, y, m);
    ASSERT_EQ(fit.outcome, PolyOutcome::Fitted);
    const Column t(x.begin(), x.end());
    const test::WideFit reference = test::wideFit(t, y, Column(x.size(), 1), m);
    Wide worst = 0;
    for (size_t k = 0; k < x.size(); ++k)
        worst = std::max(worst,
                         std::abs(evaluatePolynomial(fit.coef, x[k]) / reference.value(t[k]) - 1));
    EXPECT_LT(worst, tolerance);
}

// The least-squares line through (t[k], y[k]), from the deviations from the means, its
// figures as the fits define them, and its sum of squared residuals.
struct WideLine {
    Wide a, b, r, diff = 0, diffProc = 0, sse = 0;
};

WideLine wideLine(const Column& t, const std::vector<double>& y)
{
    const Wide n = t.size();
    const Wide tMean = std::accumulate(t.begin(), t.end(), Wide(0)) / n;
    const Wide yMean = std::accumulate(y.begin(), y.end(), Wide(0)) / n;
    Wide stt = 0, sty = 0, syy = 0;
    for (size_t k = 0; k < t.size(); ++k) {
        stt += (t[k] - tMean) * (t[k] - tMean);
        sty += (t[k] - tMean) * (y[k] - yMean);
        syy += (y[k] - yMean) * (y[k] - yMean);
    }
    WideLine l{yMean - sty / stt * tMean, sty / stt, sty / std::sqrt(stt * syy)};
    for (size_t k = 0; k < t.size(); ++k) {
        const Wide d = std::abs(y[k] - (l.a + l.b * t[k]));
        l.diff += d / n;
        l.diffProc += d / y[k] / n * 100;
        l.sse += d * d;
    }
    return l;
}

// `actual` is `expected` as a double: within 1e-12 relative, plus `slack` (the rounding a
// figure inherits from data of that size) and two steps of the subnormal range; or it is no
// result exactly where `expected` is beyond the range of a double.
::testing::AssertionResult trueValueOrNone(const std::optional<double>& actual, Wide expected,
                                           Wide slack)
{
    const bool inRange = std::abs(expected) <= std::numeric_limits<double>::max();
    const Wide tolerance = 1e-12L * std::abs(expected) + slack +
                           2 * static_cast<Wide>(std::numeric_limits<double>::denorm_min());
    if (actual ? inRange && std::abs(*actual - expected) <= tolerance : !inRange)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the value is " << expected << ", the fit gives " << ::testing::PrintToString(actual);
}

}  // namespace

// The values the program shows and exports (evaluatePolynomial of the fitted coefficients)
// at the data positions. The normal equations in powers of X up to 30000^16 lose digits
// with every degree: from about 1e-15 at degree 2 to 2e-9 .. 5e-9 at degree 8 on these
// series, so degree 8 is close to the bound.
TEST(PolynomialAccuracy, DegreesTwoToEightAgreeWithExtendedPrecisionLeastSquares)
{
    for (const Series& s : driftSeries())
        for (int m = 2; m <= 8; ++m) {
            SCOPED_TRACE(s.name + " series, degree " + std::to_string(m));
            expectAgreement(s.x, s.y, m, 1e-8);
        }
}

// Degree 12 through 30 points around X = 0, where the normal equations still resolve it to
// 1e-12. The elimination scales each row by its sum, so its pivots, and the solution to the
// last bit, do not depend on the scale of each equation (without, these are 7e-12 off).
TEST(PolynomialAccuracy, DegreeTwelveAndTheScaleOfEachEquation)
{
    test::Random next(1399);
    std::vector<double> x, y;
    for (int k = 0; k < 30; ++k)
        x.push_back(k - 14.5 + 0.45 * next.signedUniform());
    for (double v : x)
        y.push_back(drift((v - x.front()) / (x.back() - x.front())) *
                    (1 + 0.003 * next.signedUniform()));
    expectAgreement(x, y, 12, 1e-12);

    // The same normal equations, row i also multiplied by 2^(90 (i mod 4) - 40 i).
    GaussMatrix plain(13), scaled(13);
    for (int i = 1; i <= 13; ++i)
        for (int j = 1; j <= 14; ++j) {
            double sum = 0;
            for (size_t k = 0; k < x.size(); ++k)
                sum += j <= 13 ? std::pow(x[k], i + j - 2) : std::pow(x[k], i - 1) * y[k];
            plain(i, j) = sum;
            scaled(i, j) = std::ldexp(sum, 90 * (i % 4) - 40 * i);
        }
    std::vector<double> b, bScaled;
    ASSERT_TRUE(gauss(plain, b) && gauss(scaled, bScaled));
    EXPECT_EQ(b, bScaled);
}

// The straight-line fits, the polynomial of degree 1 and the band of the drift series and of
// tables whose sums of squares and products overflow, underflow or cancel (Y at the ends of
// the range of a double, Y agreeing to eight digits, straight lines over up to 30000 points):
// every figure is the value for the data, or no result where that is beyond a double.
TEST(PolynomialAccuracy, FitsGiveTheTrueValueOrNoResult)
{
    if (std::numeric_limits<Wide>::max_exponent <= std::numeric_limits<double>::max_exponent)
        GTEST_SKIP() << "long double has no wider range than double here";
    constexpr double kMax = std::numeric_limits<double>::max();
    constexpr double kTiny = std::numeric_limits<double>::denorm_min();
    std::vector<Series> all = driftSeries();
    std::vector<double> line;
    for (int x = 1; x <= kMaxX; ++x)
        line.push_back(1000 - 0.001 * x);
    for (const std::vector<double>& y : std::vector<std::vector<double>>{
             {1e154, 1, 1},
             {57112450.5, 57112449.18, 57112448},
             {1e-308, 2e-308, 3.1e-308},
             {kMax, 1.7e308, kMax, 1.75e308, 1.6e308},
             {1.6e308, kMax, 1.7e308, kMax},
             {kMax, 1, kMax},  // a band too wide for a double
             {kTiny, 3 * kTiny, 2 * kTiny, 6 * kTiny},
             {0.2, 0.1 + 0.2, 0.4, 0.5},  // r comes out one unit in the last place above 1
             line,                        // r is -1 to rounding, never beyond
         }) {
        all.push_back({::testing::PrintToString(y), {}, y});
        for (size_t k = 1; k <= y.size(); ++k)
            all.back().x.push_back(static_cast<double>(k));
    }

    const double t95 = 12.7062;
    for (const Series& s : all) {
        SCOPED_TRACE(s.name);
        DataTable table;
        for (size_t k = 0; k < s.x.size(); ++k)
            table.y[static_cast<size_t>(s.x[k])] = s.y[k];
        const int n = static_cast<int>(s.x.size());
        table.nData = static_cast<int>(s.x.back());
        const Wide yScale = 1e-13L * *std::max_element(s.y.begin(), s.y.end());

        for (bool logarithmic : {false, true}) {
            // Over 30000 points the one-pass sums of ln X leave the log fit 11 digits.
            if (logarithmic && n == kMaxX)
                continue;
            SCOPED_TRACE(logarithmic ? "logarithmic" : "linear");
            const RegressionFit fit =
                logarithmic ? logRegression(table, n) : linearRegression(table, n);
            Column t;
            for (double x : s.x)
                t.push_back(logarithmic ? std::log(Wide(x)) : Wide(x));
            const WideLine line = wideLine(t, s.y);
            const Wide bScale = yScale / (t.back() - t.front());
            EXPECT_TRUE(trueValueOrNone(fit.a, line.a, yScale));
            EXPECT_TRUE(trueValueOrNone(fit.b, line.b, bScale));
            EXPECT_TRUE(trueValueOrNone(fit.r, line.r, 1e-12L));
            EXPECT_LE(std::abs(fit.r.value_or(0)), 1);
            EXPECT_TRUE(trueValueOrNone(fit.diff, line.diff, yScale));
            EXPECT_TRUE(trueValueOrNone(fit.diffProc, line.diffProc, 1e-12L));
            if (logarithmic)
                continue;

            // The polynomial of degree 1 is the same line.
            const PolynomialFit p = Polynomial(s.x, s.y, 1);
            ASSERT_EQ(p.outcome == PolyOutcome::Fitted,
                      std::max(std::abs(line.a), std::abs(line.b)) <= kMax);
            if (p.outcome == PolyOutcome::Fitted) {
                EXPECT_TRUE(trueValueOrNone(p.coef[0], line.a, yScale));
                EXPECT_TRUE(trueValueOrNone(p.coef[1], line.b, bScale));
                EXPECT_TRUE(trueValueOrNone(p.dsig, std::sqrt(line.sse / (n - 2)), yScale));
            }

            // The band around the line as fitted, at every X the plot and the export use.
            if (!fit.a || !fit.b)
                continue;
            const auto band = confidenceBand(table, n, *fit.a, *fit.b, t95);
            const Wide xMean = std::accumulate(s.x.begin(), s.x.end(), Wide(0)) / n;
            Wide sse = 0, ssx = 0;
            for (int k = 0; k < n; ++k) {
                sse += std::pow(s.y[k] - (Wide(*fit.a) + Wide(*fit.b) * s.x[k]), 2);
                ssx += std::pow(s.x[k] - xMean, 2);
            }
            auto halfWidth = [&](int at) {
                return t95 * std::sqrt(sse / (n - 2) * (1.0L / n + std::pow(at - xMean, 2) / ssx));
            };
            ASSERT_EQ(band.has_value(), std::max(halfWidth(0), halfWidth(table.nData)) <= kMax);
            for (int at = 0; band && at <= table.nData; ++at) {
                EXPECT_TRUE(trueValueOrNone(band->halfWidth(at), halfWidth(at), t95 * yScale))
                    << at;
                EXPECT_GT(band->halfWidth(at), 0) << at;
            }
        }
    }
}
