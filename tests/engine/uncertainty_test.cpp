// The uncertainty of every method at every X, and the fits weighted by the errors of Y:
// against the same quantities computed in extended precision by other means, and, on
// simulated runs with known drift, against how often the intervals hold what they claim.

#include "engine/confidence.h"
#include "engine/data_stat.h"
#include "engine/leave_one_out.h"
#include "engine/linear.h"
#include "engine/logarithmic.h"
#include "engine/polynomial.h"
#include "engine/weights.h"
#include "engine/zigzag.h"
#include "support/test_support.h"
#include "support/wide_fit.h"

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

using namespace kalibrix;
using kalibrix::test::method;
using kalibrix::test::Random;
using kalibrix::test::relativelyNear;
using kalibrix::test::Standards;
using kalibrix::test::student;
using kalibrix::test::tableOf;
using kalibrix::test::Wide;
using kalibrix::test::WideFit;
using kalibrix::test::wideFit;

namespace {

// Standards at x with values y and errors err (none when err is empty).
DataTable tableWith(const std::vector<int>& x, const std::vector<double>& y,
                    const std::vector<double>& err = {})
{
    DataTable t;
    for (std::size_t k = 0; k < x.size(); ++k) {
        t.y[static_cast<std::size_t>(x[k])] = y[k];
        if (!err.empty())
            t.yErr[static_cast<std::size_t>(x[k])] = err[k];
        t.nData = std::max(t.nData, x[k]);
        ++t.nY;
    }
    t.nCol = err.empty() ? 2 : 3;
    return t;
}

}  // namespace

// h(X) at every X from 1 to the largest, for lines in X and ln X and polynomials up to
// degree 8, on 3 to 40 standards, unweighted and weighted: the leverage of the
// factorisation the leave-one-out errors use agrees with phi' G^-1 phi in long double.
TEST(Uncertainty, LeverageAgreesWithExtendedPrecision)
{
    Random random(2024);
    Wide worst = 0;
    for (int n : {3, 4, 5, 7, 9, 12, 20, 40}) {
        std::vector<double> x, y, err;
        int at = random.between(1, 6);
        for (int k = 0; k < n; ++k, at += random.between(1, 5)) {
            x.push_back(at);
            y.push_back(500 + 3 * at + 20 * random.normal());
            err.push_back(5 + 10 * random.uniform());
        }
        for (bool weighted : {false, true})
            for (bool lnX : {false, true}) {
                std::vector<double> scale;
                const double unit = errorUnit(err);
                if (weighted)
                    for (double e : err)
                        scale.push_back(unit / e);
                std::vector<double> t;
                std::vector<Wide> tWide, w;
                for (std::size_t k = 0; k < x.size(); ++k) {
                    t.push_back(lnX ? std::log(x[k]) : x[k]);
                    tWide.push_back(lnX ? std::log(Wide(x[k])) : Wide(x[k]));
                    w.push_back(weighted ? Wide(scale[k]) * Wide(scale[k]) : Wide(1));
                }
                LeastSquaresLoo basis(t, y, scale);
                for (int degree = 1; degree <= std::min(8, n - 1); ++degree) {
                    const WideFit reference = wideFit(tWide, y, w, degree);
                    for (int X = 1; X <= static_cast<int>(x.back()); ++X) {
                        const Wide h = reference.leverage(lnX ? std::log(Wide(X)) : Wide(X));
                        const std::optional<double> got =
                            basis.leverageAt(lnX ? std::log(double(X)) : double(X), degree);
                        ASSERT_TRUE(relativelyNear(got, h, 1e-9))
                            << "n " << n << " degree " << degree << " X " << X
                            << (lnX ? " ln X" : " X") << (weighted ? " weighted" : "");
                        worst = std::max(worst, std::abs(*got / h - 1));
                    }
                }
            }
    }
    RecordProperty("worst", std::to_string(static_cast<double>(worst)));
}

// The line's confidence half-width is the C.I. of today's band at every X, unweighted and
// weighted, the polynomial of degree 1 gives the line's uncertainty, and the worked example
// of the README: the demonstration table at X = 20. Weighted, the errors are trusted while
// the MSWD lies within its range (here 1.97 < 1 + 2 sqrt(2/3)): the large-sample t; beyond it
// (4.44 with errors a third smaller) u grows by sqrt(MSWD).
TEST(Uncertainty, LineBandIsTheLinesConfidenceAndPolynomialOfDegreeOneAgrees)
{
    const Standards run(demonstrationTable());
    const FitInput in = run.input();
    const FitResult line = *fitLinear(in).result;
    const FitResult poly1 = *fitPolynomial(in, 1, "1").result;
    const std::vector<int> x{2, 5, 9, 14, 20};
    const std::vector<double> y{100, 96, 95, 90, 84};
    const Standards half(tableWith(x, y, {0.5, 1, 0.5, 2, 1}), true);
    const Standards third(tableWith(x, y, {1 / 3.0, 2 / 3.0, 1 / 3.0, 4 / 3.0, 2 / 3.0}), true);
    const FitResult trusted = *fitLinear(half.input()).result;
    const FitResult scaled = *fitLinear(third.input()).result;
    ASSERT_TRUE(line.band && trusted.band && scaled.band && trusted.mswd && scaled.mswd);
    EXPECT_NEAR(trusted.mswd->value, 1.97393, 1e-5);
    EXPECT_NEAR(scaled.mswd->value, 4.44133, 1e-5);
    const int column = kDefaultLevel + 1;
    for (int at = 1; at <= run.table.nData; ++at) {
        for (const FitResult* fit : {&line, &trusted, &scaled})
            EXPECT_TRUE(
                relativelyNear(fit->uncertainty(at).value().curveHalfWidth(student(), column),
                               fit->band->halfWidth(at), 1e-12))
                << at;
        const Uncertainty u = line.uncertainty(at).value(), p = poly1.uncertainty(at).value();
        EXPECT_TRUE(relativelyNear(p.curve, u.curve, 1e-9)) << at;
        EXPECT_TRUE(relativelyNear(p.reading, u.reading, 1e-9)) << at;
        EXPECT_EQ(u.dof, 3);
        const Uncertainty t = trusted.uncertainty(at).value(), v = scaled.uncertainty(at).value();
        EXPECT_FALSE(t.dof);
        EXPECT_EQ(v.dof, 3);
        EXPECT_NEAR(v.curve, std::sqrt(scaled.mswd->value) * 2 / 3 * t.curve, 1e-12 * t.curve);
    }
    // s = 49.76616, h(20) = 1/5 + 3.6^2 / 359.2 = 0.2360802, t(95 %, 3) = 3.18245.
    const Uncertainty u = *line.uncertainty(20);
    EXPECT_NEAR(u.curve, 24.18042, 1e-5);
    EXPECT_NEAR(u.reading, 55.32959, 1e-5);
    EXPECT_NEAR(*u.curveHalfWidth(student(), column), 76.95298, 1e-5);
    EXPECT_NEAR(*u.readingHalfWidth(student(), column), 176.08364, 1e-5);
    // No result where n - p is 0: the quadratic through three standards.
    const Standards three(tableOf({{1, 10}, {2, 12}, {4, 11}}));
    EXPECT_FALSE(fitPolynomial(three.input(), 2, "2").result->uncertainty(2));
}

// Every least-squares method weighted by 1 / err^2 against the weighted normal equations in
// long double: the parameters, the value at every X and the MSWD; the uncertainty scaled by
// sqrt(MSWD) only above 1.
TEST(Uncertainty, WeightedFitsAgreeWithExtendedPrecision)
{
    Random random(77);
    for (int n : {6, 15, 40}) {
        for (double spread : {0.5, 3.0}) {  // errors below and beyond the scatter
            std::vector<int> x;
            std::vector<double> y, err;
            for (int k = 0, at = random.between(1, 4); k < n; ++k, at += random.between(1, 4)) {
                x.push_back(at);
                const double e = 2 + 6 * random.uniform();
                err.push_back(e);
                y.push_back(900 - 4 * at + 0.05 * at * at + spread * e * random.normal());
            }
            const Standards run(tableWith(x, y, err), true);
            const FitInput in = run.input();
            const std::pair<const char*, int> methods[] = {
                {"linear", 1}, {"log", 1}, {"poly2", 2}, {"poly3", 3}, {"poly4", 4}, {"poly5", 5}};
            for (const auto& [name, degree] : methods) {
                SCOPED_TRACE(std::string(name) + " n " + std::to_string(n));
                const FitResult fit = *fitMethods()[method(name)].fit(in).result;
                const bool lnX = std::string_view(name) == "log";
                std::vector<Wide> t, w;
                for (std::size_t k = 0; k < x.size(); ++k) {
                    t.push_back(lnX ? std::log(Wide(x[k])) : Wide(x[k]));
                    w.push_back(1 / (Wide(err[k]) * Wide(err[k])));
                }
                const WideFit reference = wideFit(t, y, w, degree);
                for (int at = 1; at <= run.table.nData; ++at)
                    ASSERT_TRUE(relativelyNear(
                        fit.value(at), reference.value(lnX ? std::log(Wide(at)) : Wide(at)), 1e-10))
                        << at;
                Wide chi = 0;
                for (std::size_t k = 0; k < x.size(); ++k)
                    chi += w[k] * std::pow(y[k] - reference.value(t[k]), 2);
                // As many standards as parameters: no MSWD, the errors alone.
                const int dof = n - degree - 1;
                ASSERT_TRUE(fit.weighted);
                ASSERT_EQ(fit.mswd.has_value(), dof > 0);
                const Wide mswd = dof > 0 ? chi / dof : 0;
                if (dof > 0) {
                    EXPECT_EQ(fit.mswd->dof, dof);
                    EXPECT_TRUE(relativelyNear(fit.mswd->value, mswd, 1e-9));
                }
                // u_curve^2 = c phi' G^-1 phi with the weights 1 / err^2, c the MSWD when
                // above its range 1 + 2 sqrt(2 / dof), else 1.
                const bool scales = dof > 0 && mswd > 1 + 2 * std::sqrt(2.0L / dof);
                const Wide factor = scales ? mswd : 1;
                const int mid = x[x.size() / 2];
                const Uncertainty u = *fit.uncertainty(mid);
                EXPECT_TRUE(relativelyNear(
                    u.curve,
                    std::sqrt(factor * reference.leverage(lnX ? std::log(Wide(mid)) : mid)), 1e-9));
                EXPECT_EQ(u.dof.has_value(), scales);
            }
        }
    }
}

// With "Weight by the errors" on and a standard in use without an error above 0, the run
// stays unweighted; the first such X is the one the status line names. A rejected standard
// without an error does not count.
TEST(Uncertainty, AStandardWithoutAnErrorLeavesTheRunUnweighted)
{
    DataTable t = tableWith({1, 3, 4, 7, 9}, {10, 12, 11, 14, 15}, {1, 1, 1, 1, 1});
    t.yErr[7] = 0;
    t.yErr[4].reset();
    EXPECT_EQ(firstStandardWithoutError(t), 4);
    t.rejFlag[4] = 1;
    EXPECT_EQ(firstStandardWithoutError(t), 7);
    const Standards with(t, true), without(t);
    const FitResult a = *fitPolynomial(with.input(), 2, "2").result;
    const FitResult b = *fitPolynomial(without.input(), 2, "2").result;
    EXPECT_FALSE(a.weighted || a.mswd);
    EXPECT_EQ(a.coef, b.coef);
    t.yErr[7] = 2;
    EXPECT_FALSE(firstStandardWithoutError(t));
    EXPECT_TRUE(fitZigZag(Standards(t, true).input()).result->weighted);
}

// The zigzag's uncertainty on a worked table: nodes (2, 102) of 100, 102, 104 (sd 2),
// (8.5, 91) of 90, 92 (sd sqrt 2) and (12, 95) alone, which takes the pooled sd
// sqrt((8 + 2) / 3); beyond the end nodes the end node's u. All nodes single: no result.
TEST(Uncertainty, ZigzagNodesStandardErrors)
{
    const Standards run(tableOf({{1, 100}, {2, 102}, {3, 104}, {8, 90}, {9, 92}, {12, 95}}));
    const FitResult z = *fitZigZag(run.input()).result;
    const double u1 = 4.0 / 3, u2 = 1, u3 = 10.0 / 3;  // squared
    auto between = [](double f, double a, double b) { return (1 - f) * (1 - f) * a + f * f * b; };
    const struct {
        double x, u2;
    } expected[] = {{1, u1},
                    {2, u1},
                    {5, between(3 / 6.5, u1, u2)},
                    {8.5, u2},
                    {10, between(1.5 / 3.5, u2, u3)},
                    {12, u3},
                    {14, u3}};
    for (const auto& e : expected) {
        const std::optional<Uncertainty> u = z.uncertainty(e.x);
        ASSERT_TRUE(u) << e.x;
        EXPECT_NEAR(u->curve, std::sqrt(e.u2), 1e-12) << e.x;
        EXPECT_NEAR(u->reading, std::sqrt(e.u2 + 10.0 / 3), 1e-12) << e.x;
        EXPECT_EQ(u->dof, 3);
    }
    EXPECT_FALSE(fitZigZag(Standards(demonstrationTable()).input()).result->uncertainty(10));

    // Weighted: each node the weighted mean (101), u_i = 1 / sqrt(sum w) (sqrt 0.75 and 2);
    // the within-node MSWD (100 - 101)^2 / 1 + (104 - 101)^2 / 3 = 4 over 1 dof scales u
    // by 2; a new reading at X = 5 adds err^2 = 4 there.
    const Standards weighted(tableWith({1, 2, 5}, {100, 104, 90}, {1, std::sqrt(3.0), 2}), true);
    const FitResult w = *fitZigZag(weighted.input()).result;
    ASSERT_EQ(w.nodes.size(), 2u);
    EXPECT_NEAR(w.nodes[0].y, 101, 1e-12);
    ASSERT_TRUE(w.mswd);
    EXPECT_NEAR(w.mswd->value, 4, 1e-12);
    EXPECT_NEAR(w.uncertainty(1)->curve, std::sqrt(4 * 0.75), 1e-12);
    EXPECT_NEAR(w.uncertainty(5)->reading, std::sqrt(4 * (4 + 4)), 1e-12);
    EXPECT_EQ(w.uncertainty(5)->dof, 1);
}

// How often the 95 % intervals hold the true drift (curve) and a fresh reading (new
// reading) at a random X, over simulated tables of linear, quadratic and cubic drift with
// 8 to 40 standards and Gaussian noise, fitted by the method of the true degree; with known
// heteroscedastic errors, weighted. KALIBRIX_COVERAGE_TABLES sets the tables per drift
// (the README quotes 2000); the default keeps the test short.
TEST(Uncertainty, IntervalsCoverAsTheyClaim)
{
    const char* asked = std::getenv("KALIBRIX_COVERAGE_TABLES");
    const int tables = asked ? std::atoi(asked) : 400;
    const int column = kDefaultLevel + 1;
    for (bool weighted : {false, true}) {
        Random random(weighted ? 31 : 30);
        int curveHits = 0, readingHits = 0, total = 0;
        for (int degree = 1; degree <= 3; ++degree) {
            for (int k = 0; k < tables; ++k) {
                const int n = random.between(8, 40);
                std::vector<int> x;
                for (int at = random.between(1, 5); static_cast<int>(x.size()) < n;
                     at += random.between(1, 6))
                    x.push_back(at);
                const double last = x.back();
                double c[4] = {1000, 200 * random.normal(), 300 * random.normal(),
                               300 * random.normal()};
                auto drift = [&](double at) {
                    const double t = at / last;
                    double v = 0;
                    for (int j = degree; j >= 0; --j)
                        v = v * t + c[j];
                    return v;
                };
                auto sigma = [&](double at) { return weighted ? 2 + 8 * at / last : 5.0; };
                std::vector<double> y, err;
                for (int at : x) {
                    y.push_back(drift(at) + sigma(at) * random.normal());
                    err.push_back(sigma(at));
                }
                const Standards run(tableWith(x, y, weighted ? err : std::vector<double>{}),
                                    weighted);
                const FitInput in = run.input();
                const FitResult fit = *fitPolynomial(in, degree, std::to_string(degree)).result;
                const int at = random.between(1, x.back());
                const double fresh = drift(at) + sigma(at) * random.normal();
                const Uncertainty u = *fit.uncertainty(at);
                const double v = *fit.value(at);
                curveHits += std::abs(v - drift(at)) <= *u.curveHalfWidth(student(), column);
                readingHits += std::abs(v - fresh) <= *u.readingHalfWidth(student(), column);
                ++total;
            }
        }
        const double curve = 100.0 * curveHits / total, reading = 100.0 * readingHits / total;
        std::printf("%s: %d tables, curve %.2f %%, new reading %.2f %%\n",
                    weighted ? "weighted" : "unweighted", total, curve, reading);
        // Three standard errors of a 95 % share over the tables, and 1.5 points.
        const double slack = std::max(1.5, 300 * std::sqrt(0.95 * 0.05 / total));
        EXPECT_NEAR(curve, 95, slack);
        EXPECT_NEAR(reading, 95, slack);
    }
}
