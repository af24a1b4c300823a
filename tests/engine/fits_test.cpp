// The fits' worked figures on the demonstration table, computed independently, and the
// edges of each fit.
#include "engine/linear.h"
#include "engine/logarithmic.h"
#include "engine/polynomial.h"
#include "engine/regression.h"
#include "engine/zigzag.h"
#include "support/test_support.h"

#include <cmath>

using namespace kalibrix;
using kalibrix::test::tableOf;
using Nodes = std::vector<ZigZagNode>;

TEST(Fits, DemonstrationTableWorkedFigures)
{
    const DataTable t = demonstrationTable();
    const RegressionFit lin = linearRegression(t, 5), log = logRegression(t, 5);
    const std::vector<double> x{5, 10, 15, 25, 27}, y{980, 770, 700, 550, 500};
    const PolynomialFit p2 = Polynomial(x, y, 2), p3 = Polynomial(x, y, 3);
    ASSERT_TRUE(p2.coef.size() == 3 && p3.coef.size() == 4);
    const std::optional<double> actual[] = {
        lin.a,      lin.b,      lin.r,      lin.diff,   lin.diffProc, log.a,   log.b,
        log.r,      log.diff,   p2.coef[0], p2.coef[1], p2.coef[2],   p2.dsig, p3.coef[0],
        p3.coef[1], p3.coef[2], p3.coef[3], p3.dsig};  // dsig still divided by n - 2
    const double expected[] = {1021.882,  -19.62695,  -0.9741867, 33.23608, 4.382737,   1416.100,
                               -272.5967, -0.9956146, 14.43534,   1156.566, -41.77748,  0.6707302,
                               29.16608,  1370.828,   -103.0014,  5.396920, -0.1031042, 8.380083};
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_NEAR(actual[i].value_or(NAN), expected[i], 1e-6 * std::abs(expected[i])) << i;
}

// Equal values keep the line Y = y but have no r, also where rounding leaves the sum of
// squares of Y a hair above 0 (as with these five).
TEST(Fits, EqualValuesKeepTheLineButHaveNoR)
{
    const RegressionFit f =
        linearRegression(tableOf({{1, .1}, {2, .1}, {5, .1}, {9, .1}, {12, .1}}), 5);
    EXPECT_FALSE(f.r);
    EXPECT_NEAR(*f.b, 0, 1e-13);
    EXPECT_NEAR(f.a.value_or(NAN), .1, 1e-13);
}

// The shared straight line fitted to ln Y (plain and weighted) finds an exponential drift
// exactly, and its value at X is back in Y units.
TEST(Fits, LineInLnYFindsAnExponentialDrift)
{
    DataTable table;
    std::vector<double> weights;
    for (int x : {2, 5, 9, 14, 20, 27}) {
        table.y[x] = 800 * std::exp(-0.02 * x);
        weights.push_back(x % 2 ? 1.0 : 0.25);
    }
    table.nData = 27;
    auto asX = [](int x) { return static_cast<double>(x); };
    auto ln = [](double y) { return std::log(y); };
    for (const RegressionFit& fit :
         {fitLine(table, 6, asX, ln), fitWeightedLine(table, asX, weights, 1.0, ln)}) {
        ASSERT_TRUE(fit.a && fit.b && fit.r);
        EXPECT_NEAR(*fit.a, std::log(800.0), 1e-12);
        EXPECT_NEAR(*fit.b, -0.02, 1e-14);
        EXPECT_NEAR(*fit.r, -1, 1e-12);
        const FitResult r = lineResult(fit, asX, [](double v) { return std::exp(v); });
        EXPECT_NEAR(*r.value(40), 800 * std::exp(-0.8), 1e-9);
    }
}

TEST(Fits, PolynomialDegreeLimitsAndSingularSystems)
{
    std::vector<double> x, y;
    for (int i = 1; i <= 40; ++i) {
        x.push_back(i);
        y.push_back(100 + i);
    }
    // Degrees out of range and too few points: the driver's tests.
    EXPECT_DOUBLE_EQ(Polynomial(x, y, 0).coef.at(0), 120.5);  // the mean
    EXPECT_EQ(Polynomial(x, y, 23).outcome, PolyOutcome::Fitted);
    const std::vector<double> sameX{4, 4, 4, 4};
    EXPECT_EQ(Polynomial(sameX, std::span(y).first(4), 2).outcome, PolyOutcome::Singular);

    // A zero on the diagonal needs the pivot search; a singular or zero row has no solution.
    auto solve = [](std::vector<std::vector<double>> rows) {
        GaussMatrix a(static_cast<int>(rows.size()));
        for (size_t i = 0; i < rows.size(); ++i)
            for (size_t j = 0; j < rows[i].size(); ++j)
                a(int(i) + 1, int(j) + 1) = rows[i][j];
        std::vector<double> b;
        return gauss(a, b) ? b : std::vector<double>{};
    };
    EXPECT_EQ(solve({{0, 2, 1, 7}, {1, 0, 0, 1}, {0, 1, 3, 8}}),
              (std::vector<double>{0, 1, 2.6, 1.8}));
    EXPECT_TRUE(solve({{1, 2, 1}, {2, 4, 1}}).empty());
    EXPECT_TRUE(solve({{1, 0, 0}, {0, 0, 0}}).empty());
}

TEST(Fits, ZigzagNodesOfClustersRejectionsAndRunEnds)
{
    const DataTable runs = tableOf({{1, 100}, {2, 102}, {3, 104}, {8, 90}, {9, 92}});
    const struct {
        DataTable table;
        std::vector<int> rejected;
        Nodes nodes;
    } cases[] = {
        {runs, {}, {{2, 102}, {8.5, 91}}},
        {runs, {2}, {{1, 100}, {3, 104}, {8.5, 91}}},  // a rejected point splits its run
        {runs, {9}, {{2, 102}, {8, 90}}},  // a run whose last point is rejected keeps the rest
        {runs, {8, 9}, {{2, 102}}},        // a run with only rejected points gives no node
        {tableOf({{1, 0}, {2, -3}}), {}, {}},
        // Values at or below 0 end a run: without them the runs would merge into one node.
        {tableOf({{1, 10}, {2, 20}, {3, -5}, {4, 40}, {5, 50}}), {}, {{1.5, 15}, {4.5, 45}}},
    };
    for (auto c : cases) {
        for (int x : c.rejected)
            c.table.rejFlag[x] = 1;
        EXPECT_EQ(ZigZag(c.table), c.nodes) << testing::PrintToString(c.rejected);
    }

    const Nodes nodes{{2, 102}, {8.5, 91}, {12, 95}};
    EXPECT_FALSE(zigzagValue(nodes, 1) || zigzagValue(nodes, 13) || zigzagValue(Nodes{{4, 10}}, 4));
    EXPECT_DOUBLE_EQ(*zigzagValue(nodes, 5), 102 + (91 - 102) / 6.5 * 3);
}
