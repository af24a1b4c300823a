// Accuracy of the least-squares fits on drift-like standards over the whole X range,
// against the same least-squares problems solved in quadruple precision by other means.

#include "app/data_table.h"
#include "fit/linear.h"
#include "fit/logarithmic.h"
#include "fit/polynomial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

using namespace kalibrix;

namespace {

// Binary128 arithmetic from the compiler's runtime (no libquadmath needed); where there is
// no __float128, long double is that format or at least 64 bits of mantissa.
#if defined(__SIZEOF_FLOAT128__)
using Quad = __float128;
#else
using Quad = long double;
#endif

Quad absQ(Quad v) { return v < 0 ? -v : v; }

// Square root by two Newton steps from the double root: quadruple precision for s > 0.
Quad sqrtQ(Quad s)
{
    Quad r = std::sqrt(static_cast<double>(s));
    r = (r + s / r) / 2;
    return (r + s / r) / 2;
}

double relativeDifference(double actual, Quad expected)
{
    return static_cast<double>(absQ(static_cast<Quad>(actual) - expected) / absQ(expected));
}

// Deterministic noise in [-1, 1) (splitmix64).
class Noise {
public:
    explicit Noise(std::uint64_t seed) : m_state(seed) {}
    double next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1.0p-52 - 1.0;
    }

private:
    std::uint64_t m_state;
};

// Standards at increasing X in 1..30000 with an instrument's drift: a slow bent trend with
// a wave over the sequence, and 0.3 % noise.
struct Series {
    std::string name;
    std::vector<double> x;
    std::vector<double> y;
};

Series withDrift(std::string name, const std::vector<int>& positions, std::uint64_t seed)
{
    Series s{std::move(name), {}, {}};
    Noise noise(seed);
    for (int x : positions) {
        const double t = x / static_cast<double>(kMaxX);
        s.x.push_back(x);
        s.y.push_back((10000 + 1500 * t - 900 * t * t + 120 * std::sin(7 * t)) *
                      (1 + 0.003 * noise.next()));
    }
    return s;
}

std::vector<Series> driftSeries()
{
    std::vector<int> spread;  // 120 standards about 250 apart, irregularly
    Noise jitter(11);
    for (int k = 0; k < 120; ++k)
        spread.push_back(1 + k * 251 + static_cast<int>(40 * (1 + jitter.next())));
    std::vector<int> clustered;  // 100 groups of three standards, 300 apart
    for (int group = 0; group < 100; ++group)
        for (int j = 0; j < 3; ++j)
            clustered.push_back(1 + group * 300 + 2 * j);
    return {withDrift("spread", spread, 12), withDrift("clustered", clustered, 13)};
}

// Fitted values of the least-squares polynomial of degree m at the data positions: y
// projected onto the Chebyshev polynomials T_0 .. T_m of X mapped onto [-1, 1], made
// orthogonal over the points by modified Gram-Schmidt, twice over.
std::vector<Quad> referenceFit(const Series& s, int m)
{
    const size_t n = s.x.size();
    const Quad lo = s.x.front();
    const Quad hi = s.x.back();
    std::vector<std::vector<Quad>> basis(static_cast<size_t>(m) + 1, std::vector<Quad>(n));
    for (size_t k = 0; k < n; ++k) {
        const Quad u = (2 * static_cast<Quad>(s.x[k]) - lo - hi) / (hi - lo);
        Quad prev = 1;
        Quad cur = u;
        basis[0][k] = 1;
        if (m >= 1)
            basis[1][k] = u;
        for (int j = 2; j <= m; ++j) {
            const Quad next = 2 * u * cur - prev;
            basis[static_cast<size_t>(j)][k] = next;
            prev = cur;
            cur = next;
        }
    }
    auto dot = [&](const std::vector<Quad>& a, const std::vector<Quad>& b) {
        Quad sum = 0;
        for (size_t k = 0; k < n; ++k)
            sum += a[k] * b[k];
        return sum;
    };
    // Takes from v its part along q.
    auto removeAlong = [&](const std::vector<Quad>& q, std::vector<Quad>& v, std::vector<Quad>* into) {
        const Quad c = dot(q, v) / dot(q, q);
        for (size_t k = 0; k < n; ++k) {
            v[k] -= c * q[k];
            if (into)
                (*into)[k] += c * q[k];
        }
    };
    for (size_t j = 0; j < basis.size(); ++j)
        for (int pass = 0; pass < 2; ++pass)
            for (size_t i = 0; i < j; ++i)
                removeAlong(basis[i], basis[j], nullptr);

    std::vector<Quad> residual(s.y.begin(), s.y.end());
    std::vector<Quad> fitted(n, 0);
    for (int pass = 0; pass < 2; ++pass)
        for (const auto& q : basis)
            removeAlong(q, residual, &fitted);
    return fitted;
}

DataTable tableOf(const Series& s)
{
    DataTable t;
    for (size_t k = 0; k < s.x.size(); ++k) {
        const int x = static_cast<int>(s.x[k]);
        t.y[static_cast<size_t>(x)] = s.y[k];
        t.nData = std::max(t.nData, x);
        ++t.nY;
    }
    return t;
}

// The straight-line fit Y = a + b t by centred sums in Quad, with t = X or t = ln X (the
// logarithm in long double).
struct LineReference {
    Quad a, b, r, diff, diffProc;
};

LineReference referenceLine(const Series& s, bool logarithmic)
{
    std::vector<Quad> t;
    for (double x : s.x)
        t.push_back(logarithmic ? static_cast<Quad>(std::log(static_cast<long double>(x)))
                                : static_cast<Quad>(x));
    const Quad n = static_cast<Quad>(s.x.size());
    Quad tMean = 0;
    Quad yMean = 0;
    for (size_t k = 0; k < t.size(); ++k) {
        tMean += t[k];
        yMean += s.y[k];
    }
    tMean /= n;
    yMean /= n;
    Quad stt = 0;
    Quad sty = 0;
    Quad syy = 0;
    for (size_t k = 0; k < t.size(); ++k) {
        const Quad dt = t[k] - tMean;
        const Quad dy = s.y[k] - yMean;
        stt += dt * dt;
        sty += dt * dy;
        syy += dy * dy;
    }
    LineReference ref{};
    ref.b = sty / stt;
    ref.a = yMean - ref.b * tMean;
    ref.r = sty / sqrtQ(stt * syy);
    for (size_t k = 0; k < t.size(); ++k) {
        const Quad residual = absQ(s.y[k] - (ref.a + ref.b * t[k]));
        ref.diff += residual;
        ref.diffProc += residual / s.y[k];
    }
    ref.diff /= n;
    ref.diffProc = ref.diffProc / n * 100;
    return ref;
}

}  // namespace

// The values the program shows and exports (evaluatePolynomial of the fitted coefficients)
// at the data positions. The normal equations in powers of X up to 30000^16 lose digits
// with every degree: from about 1e-15 at degree 2 to 2e-9 .. 5e-9 at degree 8 on these
// series, so degree 8 is close to the bound.
TEST(PolynomialAccuracy, DegreesTwoToEightAgreeWithQuadPrecisionLeastSquares)
{
    for (const Series& s : driftSeries()) {
        for (int m = 2; m <= 8; ++m) {
            SCOPED_TRACE(s.name + " series, degree " + std::to_string(m));
            const PolynomialFit fit = Polynomial(s.x, s.y, m, NumberFormat{});
            ASSERT_EQ(fit.outcome, PolyOutcome::Fitted);
            const std::vector<Quad> reference = referenceFit(s, m);
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
TEST(PolynomialAccuracy, LinearAndLogarithmicFitsAgreeWithQuadPrecision)
{
    for (const Series& s : driftSeries()) {
        const DataTable table = tableOf(s);
        for (bool logarithmic : {false, true}) {
            SCOPED_TRACE(s.name + (logarithmic ? " series, logarithmic" : " series, linear"));
            const RegressionFit fit = logarithmic ? Log_Regression(table, table.nY)
                                                  : Lin_Regression(table, table.nY);
            ASSERT_TRUE(fit.a && fit.b && fit.r && fit.diff && fit.diffProc);
            const LineReference ref = referenceLine(s, logarithmic);
            EXPECT_LT(relativeDifference(*fit.a, ref.a), 1e-12);
            EXPECT_LT(relativeDifference(*fit.b, ref.b), 1e-12);
            EXPECT_LT(relativeDifference(*fit.diff, ref.diff), 1e-12);
            EXPECT_LT(relativeDifference(*fit.diffProc, ref.diffProc), 1e-12);
            EXPECT_LT(relativeDifference(*fit.r, ref.r), 1e-10);
        }
    }
}
