// The smoothing spline's banded computation against the same spline computed densely in
// extended precision: (W + lambda Q R^-1 Q') g = W y solved by elimination, the hat matrix
// and the covariances from the dense inverse, the leave-one-out residuals by fitting again
// without each point.

#include "engine/data_stat.h"
#include "engine/leave_one_out.h"
#include "engine/smoothing_fit.h"
#include "engine/smoothing_spline.h"
#include "support/test_support.h"
#include "support/wide_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace kalibrix;
using kalibrix::test::relativelyNear;
using kalibrix::test::Standards;
using kalibrix::test::student;
using kalibrix::test::Wide;

namespace {

using Matrix = std::vector<std::vector<Wide>>;

// The inverse of a symmetric matrix, a column at a time.
Matrix inverse(const Matrix& a)
{
    Matrix inv;
    for (std::size_t j = 0; j < a.size(); ++j) {
        std::vector<Wide> e(a.size(), 0);
        e[j] = 1;
        inv.push_back(test::solve(a, e));
    }
    return inv;
}

Matrix product(const Matrix& a, const Matrix& b)
{
    Matrix p(a.size(), std::vector<Wide>(b[0].size(), 0));
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t k = 0; k < b.size(); ++k)
            for (std::size_t j = 0; j < b[0].size(); ++j)
                p[i][j] += a[i][k] * b[k][j];
    return p;
}

Matrix transposed(const Matrix& a)
{
    Matrix t(a[0].size(), std::vector<Wide>(a.size()));
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < a[0].size(); ++j)
            t[j][i] = a[i][j];
    return t;
}

// The spline computed densely: fitted values, second derivatives, the posterior covariance
// of (g, gamma) per unit variance, and the hat matrix's diagonal.
struct Dense {
    std::vector<Wide> x, g, gamma, h;
    Matrix cov;  // of (g_0..g_(n-1), gamma_0..gamma_(n-1)), 2n square

    Dense(const std::vector<double>& xs, const std::vector<double>& y, const std::vector<double>& w,
          double lambda)
    {
        const std::size_t n = xs.size(), m = n - 2;
        x.assign(xs.begin(), xs.end());
        Matrix q(n, std::vector<Wide>(m, 0)), r(m, std::vector<Wide>(m, 0));
        for (std::size_t c = 0; c < m; ++c) {
            const Wide h0 = x[c + 1] - x[c], h1 = x[c + 2] - x[c + 1];
            q[c][c] = 1 / h0;
            q[c + 1][c] = -1 / h0 - 1 / h1;
            q[c + 2][c] = 1 / h1;
            r[c][c] = (h0 + h1) / 3;
            if (c + 1 < m)
                r[c][c + 1] = r[c + 1][c] = h1 / 6;
        }
        const Matrix rInv = inverse(r);
        const Matrix k = product(product(q, rInv), transposed(q));
        Matrix p(n, std::vector<Wide>(n));
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j)
                p[i][j] = lambda * k[i][j] + (i == j ? Wide(w[i]) : 0);
        const Matrix pInv = inverse(p);  // the posterior covariance of g
        g.assign(n, 0);
        h.assign(n, 0);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j)
                g[i] += pInv[i][j] * w[j] * y[j];
            h[i] = pInv[i][i] * w[i];
        }
        // gamma = R^-1 Q' g at the inner points, 0 at the ends; G maps g to gamma.
        const Matrix gmap = product(rInv, transposed(q));
        gamma.assign(n, 0);
        for (std::size_t c = 0; c < m; ++c)
            for (std::size_t j = 0; j < n; ++j)
                gamma[c + 1] += gmap[c][j] * g[j];
        Matrix t(2 * n, std::vector<Wide>(n, 0));  // (g, gamma) = T g
        for (std::size_t i = 0; i < n; ++i)
            t[i][i] = 1;
        for (std::size_t c = 0; c < m; ++c)
            for (std::size_t j = 0; j < n; ++j)
                t[n + c + 1][j] = gmap[c][j];
        cov = product(product(t, pInv), transposed(t));
    }

    // The coefficients of (g, gamma) in the value at s.
    std::vector<Wide> weights(Wide s) const
    {
        const std::size_t n = x.size();
        std::vector<Wide> c(2 * n, 0);
        std::size_t i = 0;
        while (i + 2 < n && s >= x[i + 1])
            ++i;
        const Wide hi = x[i + 1] - x[i];
        if (s < x[0]) {
            const Wide d = s - x[0];
            c[0] = 1 - d / hi;
            c[1] = d / hi;
            c[n + 1] = -d * hi / 6;
        } else if (s > x[n - 1]) {
            const Wide d = s - x[n - 1];
            c[n - 2] = -d / hi;
            c[n - 1] = 1 + d / hi;
            c[n + n - 2] = d * hi / 6;
        } else {
            const Wide a = s - x[i], b = x[i + 1] - s;
            c[i] = b / hi;
            c[i + 1] = a / hi;
            c[n + i] = -a * b / 6 * (1 + b / hi);
            c[n + i + 1] = -a * b / 6 * (1 + a / hi);
        }
        return c;
    }
    Wide value(Wide s) const
    {
        const std::vector<Wide> c = weights(s);
        Wide v = 0;
        for (std::size_t i = 0; i < x.size(); ++i)
            v += c[i] * g[i] + c[x.size() + i] * gamma[i];
        return v;
    }
    Wide variance(Wide s) const
    {
        const std::vector<Wide> c = weights(s);
        Wide v = 0;
        for (std::size_t i = 0; i < c.size(); ++i)
            for (std::size_t j = 0; j < c.size(); ++j)
                v += c[i] * cov[i][j] * c[j];
        return v;
    }
};

struct Case {
    std::vector<double> x, y, w;
};

Case randomCase(std::mt19937_64& rng, std::size_t n, bool weighted)
{
    Case k;
    std::uniform_int_distribution<int> step(1, 9);
    std::normal_distribution<double> noise(0, 1);
    std::uniform_real_distribution<double> weight(0.2, 5);
    double x = 1 + step(rng);
    for (std::size_t i = 0; i < n; ++i) {
        k.x.push_back(x);
        k.y.push_back(1000 + 40 * std::sin(x / 7) + 5 * noise(rng));
        k.w.push_back(weighted ? weight(rng) : 1.0);
        x += step(rng);
    }
    return k;
}

}  // namespace

// Values, leverages and variances at the points, between them and beyond the ends, for
// tables of 3 to 30 points, with and without weights, over a wide range of smoothing.
TEST(SmoothingSpline, AgreesWithTheDenseComputation)
{
    std::mt19937_64 rng(20261207);
    for (std::size_t n : {3u, 4u, 7u, 12u, 30u})
        for (bool weighted : {false, true})
            for (double lambda : {0.05, 3.0, 400.0, 1e5}) {
                const Case k = randomCase(rng, n, weighted);
                SCOPED_TRACE(testing::Message()
                             << "n " << n << " weighted " << weighted << " lambda " << lambda);
                const std::optional<SmoothingSpline> s =
                    SmoothingSpline::fit(k.x, k.y, k.w, lambda);
                ASSERT_TRUE(s);
                const Dense d(k.x, k.y, k.w, lambda);
                Wide edf = 0;
                for (std::size_t i = 0; i < n; ++i) {
                    EXPECT_TRUE(relativelyNear(s->fitted()[i], d.g[i], 1e-11));
                    EXPECT_TRUE(relativelyNear(s->leverage()[i], d.h[i], 1e-9));
                    edf += d.h[i];
                }
                EXPECT_TRUE(relativelyNear(s->effectiveDof(), edf, 1e-9));
                std::vector<double> at = {k.x.front() - 3, k.x.back() + 5};
                for (std::size_t i = 0; i + 1 < n; ++i) {
                    at.push_back(k.x[i]);
                    at.push_back(k.x[i] + 0.37 * (k.x[i + 1] - k.x[i]));
                }
                at.push_back(k.x.back());
                for (double t : at) {
                    SCOPED_TRACE(testing::Message() << "at " << t);
                    EXPECT_TRUE(relativelyNear(s->value(t), d.value(t), 1e-11));
                    EXPECT_TRUE(relativelyNear(s->variance(t), d.variance(t), 1e-8));
                }
            }
}

// The leave-one-out residual (y_i - g_i) / (1 - h_ii) is what the spline of the same
// smoothing fitted to the other points misses y_i by; the chosen smoothing is the one of
// least mean square of these among its neighbours.
TEST(SmoothingSpline, LeaveOneOutIsExactAndChoosesTheSmoothing)
{
    std::mt19937_64 rng(7);
    const Case k = randomCase(rng, 15, true);
    const std::optional<SmoothingSpline> s = smoothingSplineByLeaveOneOut(k.x, k.y, k.w);
    ASSERT_TRUE(s);
    EXPECT_GT(s->effectiveDof(), 2);
    EXPECT_LT(s->effectiveDof(), 15);
    auto criterion = [&k, &s](double lambda) {
        double sum = 0, weight = 0;
        for (std::size_t left = 0; left < k.x.size(); ++left) {
            Case rest;
            for (std::size_t i = 0; i < k.x.size(); ++i)
                if (i != left) {
                    rest.x.push_back(k.x[i]);
                    rest.y.push_back(k.y[i]);
                    rest.w.push_back(k.w[i]);
                }
            const std::optional<SmoothingSpline> other =
                SmoothingSpline::fit(rest.x, rest.y, rest.w, lambda);
            const double e = k.y[left] - other->value(k.x[left]);
            const double quick = (k.y[left] - s->fitted()[left]) / (1 - s->leverage()[left]);
            if (lambda == s->lambda()) {
                EXPECT_NEAR(e, quick, 1e-9 * std::fabs(e) + 1e-12);
            }
            sum += k.w[left] * e * e;
            weight += k.w[left];
        }
        return sum / weight;
    };
    const double chosen = criterion(s->lambda());
    EXPECT_LE(chosen, criterion(s->lambda() * 1.5) * (1 + 1e-9));
    EXPECT_LE(chosen, criterion(s->lambda() / 1.5) * (1 + 1e-9));

    // No smoothing of a fine grid over twenty decades does better by more than 0.1 %, on
    // tables of a few sizes, weighted or not: of those that leave the scatter a degree of
    // freedom (effective degrees of freedom at most n - 1), as the choice does.
    for (std::size_t n : {6u, 15u, 40u})
        for (bool weighted : {false, true}) {
            const Case c = randomCase(rng, n, weighted);
            const std::optional<SmoothingSpline> best = smoothingSplineByLeaveOneOut(c.x, c.y, c.w);
            ASSERT_TRUE(best);
            auto looOf = [&c](const SmoothingSpline& f) {
                double sum = 0, weight = 0;
                for (std::size_t i = 0; i < c.x.size(); ++i) {
                    const double e = (c.y[i] - f.fitted()[i]) / (1 - f.leverage()[i]);
                    sum += c.w[i] * e * e;
                    weight += c.w[i];
                }
                return sum / weight;
            };
            double grid = std::numeric_limits<double>::infinity();
            for (double lambda = 1e-10; lambda < 1e10; lambda *= 1.02)
                if (const auto f = SmoothingSpline::fit(c.x, c.y, c.w, lambda);
                    f && f->effectiveDof() <= double(n) - 1)
                    grid = std::min(grid, looOf(*f));
            EXPECT_LE(best->effectiveDof(), double(n) - 1);
            EXPECT_LE(looOf(*best), grid * 1.001) << n << (weighted ? " weighted" : "");
        }
}

// A straight line is not smoothed away: every smoothing gives it back, and the leave-one-out
// choice then leans to the line (two effective degrees of freedom).
TEST(SmoothingSpline, KeepsAStraightLine)
{
    std::vector<double> x, y, w;
    for (int i = 1; i <= 20; ++i) {
        x.push_back(3.0 * i);
        y.push_back(500 - 2.5 * i + (i % 2 ? 0.01 : -0.01));
        w.push_back(1);
    }
    const std::optional<SmoothingSpline> s = smoothingSplineByLeaveOneOut(x, y, w);
    ASSERT_TRUE(s);
    EXPECT_NEAR(s->effectiveDof(), 2, 0.05);
    EXPECT_NEAR(s->value(100), 500 - 2.5 * 100 / 3, 0.05);
    EXPECT_FALSE(SmoothingSpline::fit(std::vector<double>{1, 1, 2}, std::vector<double>{1, 2, 3},
                                      std::vector<double>{1, 1, 1}, 1.0));
}

// As a method of the run: Y of 2^600 give the values, uncertainties and leave-one-out
// errors of Y of 1 times 2^600 (no square overflows); the errors of Y weigh the fit and give
// its MSWD; too few standards give no result.
TEST(SmoothingSplineFit, ScalesWeighsAndNeedsFourStandards)
{
    std::mt19937_64 rng(3);
    std::normal_distribution<double> noise(0, 2);
    DataTable plain, huge;
    for (int x = 3; x <= 90; x += 3) {
        plain.y[x] = 500 + 30 * std::sin(x / 12.0) + noise(rng);
        huge.y[x] = std::ldexp(*plain.y[x], 600);
        plain.yErr[x] = 2;
    }
    plain.nData = huge.nData = 90;
    const Standards a(plain), b(huge);
    const FitResult fa = *fitSmoothingSpline(a.input()).result;
    const FitResult fb = *fitSmoothingSpline(b.input()).result;
    for (double x : {1.0, 44.5, 90.0, 95.0}) {
        EXPECT_DOUBLE_EQ(std::ldexp(*fa.value(x), 600), *fb.value(x));
        EXPECT_DOUBLE_EQ(std::ldexp(fa.uncertainty(x)->curve, 600), fb.uncertainty(x)->curve);
    }
    LooWorkspace wa(a.table), wb(b.table);
    const std::vector<std::optional<double>> la(looSmoothingSpline(a.input(), wa).begin(),
                                                looSmoothingSpline(a.input(), wa).end());
    const LooErrors lb = looSmoothingSpline(b.input(), wb);
    ASSERT_EQ(la.size(), lb.size());
    for (std::size_t i = 0; i < la.size(); ++i)
        EXPECT_DOUBLE_EQ(std::ldexp(*la[i], 600), *lb[i]);

    const Standards weighted(plain, true);
    const FitResult fw = *fitSmoothingSpline(weighted.input()).result;
    EXPECT_TRUE(fw.weighted);
    ASSERT_TRUE(fw.mswd);
    EXPECT_GT(fw.mswd->value, fw.mswd->low());  // errors of 2, scatter of 2
    EXPECT_LT(fw.mswd->value, fw.mswd->high());
    EXPECT_NEAR(*fw.value(44), *fa.value(44), 1e-9);  // equal weights: the same spline

    EXPECT_FALSE(
        fitSmoothingSpline(Standards(test::tableOf({{1, 5}, {4, 6}, {9, 5}})).input()).result);
}

// Its 95 % curve interval holds a smooth drift at a random X in about 95 % of simulated runs
// (the hat matrix's variance covers the smoothing's bias on average over X), and the
// new-reading interval a fresh reading.
TEST(SmoothingSplineFit, IntervalsCoverOnSimulatedRuns)
{
    std::mt19937_64 rng(20261207);
    std::normal_distribution<double> noise(0, 1);
    std::uniform_int_distribution<int> count(12, 40);
    const int column = kDefaultLevel + 1;
    int curveHeld = 0, readingHeld = 0, runs = 0;
    for (int run = 0; run < 400; ++run) {
        DataTable t;
        const int n = count(rng);
        const double sigma = 2;
        auto drift = [](double x) { return 300 + 20 * std::sin(x / 9.0) + 0.05 * x; };
        for (int i = 1; i <= n; ++i)
            t.y[3 * i] = drift(3 * i) + sigma * noise(rng);
        t.nData = 3 * n;
        const FitResult f = *fitSmoothingSpline(Standards(t).input()).result;
        const double x = std::uniform_real_distribution<double>(3, 3 * n)(rng);
        const std::optional<Uncertainty> u = f.uncertainty(x);
        ASSERT_TRUE(u) << "run " << run << " n " << n << " edf " << f.edf.value_or(-1);
        ++runs;
        curveHeld += std::abs(*f.value(x) - drift(x)) <= *u->curveHalfWidth(student(), column);
        readingHeld += std::abs(*f.value(x) - drift(x) - sigma * noise(rng)) <=
                       *u->readingHalfWidth(student(), column);
    }
    EXPECT_NEAR(100.0 * curveHeld / runs, 95, 3.5);
    EXPECT_NEAR(100.0 * readingHeld / runs, 95, 3.5);
}
