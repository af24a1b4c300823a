#include "fit/polynomial.h"
#include "support/test_support.h"

#include <vector>

using namespace kalibrix;
using kalibrix::test::nearRel;

TEST(Polynomial, DemonstrationTableDegreesTwoAndThree)
{
    const std::vector<double> x{5, 10, 15, 25, 27}, y{980, 770, 700, 550, 500};
    const std::vector<double> expected[] = {{1156.566, -41.7775, 0.670730, 29.166},
                                            {1370.828, -103.0014, 5.39692, -0.103104, 8.3801}};
    for (int m : {2, 3}) {
        const PolynomialFit p = Polynomial(x, y, m);
        ASSERT_EQ(p.outcome, PolyOutcome::Fitted);
        ASSERT_EQ(p.coef.size(), m + 1u);
        const std::vector<double>& e = expected[m - 2];
        for (int i = 0; i <= m; ++i)
            EXPECT_TRUE(nearRel(p.coef[i], e[i], i < 2 ? 1e-6 : 1e-5)) << "P" << i;
        EXPECT_TRUE(nearRel(p.dsig, e.back(), 1e-4));  // still divided by n - 2
    }
}

TEST(Polynomial, DegreeLimitsAndTooFewData)
{
    std::vector<double> x, y;
    for (int i = 1; i <= 40; ++i) {
        x.push_back(i);
        y.push_back(100 + i);
    }
    for (int m : {-1, 24}) {
        EXPECT_EQ(Polynomial(x, y, m).outcome, PolyOutcome::DegreeOutOfRange) << m;
        EXPECT_TRUE(Polynomial(x, y, m).coef.empty()) << m;
    }
    EXPECT_DOUBLE_EQ(Polynomial(x, y, 0).coef.at(0), 120.5);  // the mean
    EXPECT_EQ(Polynomial(x, y, 23).outcome, PolyOutcome::Fitted);
    EXPECT_EQ(Polynomial(std::span(x).first(3), std::span(y).first(3), 3).outcome,
              PolyOutcome::TooFewData);
}

TEST(Gauss, SolvesWithPivotingAndRefusesSingularSystems)
{
    auto matrixOf = [](std::vector<std::vector<double>> rows) {
        GaussMatrix a(static_cast<int>(rows.size()));
        for (size_t i = 0; i < rows.size(); ++i)
            for (size_t j = 0; j < rows[i].size(); ++j)
                a(int(i) + 1, int(j) + 1) = rows[i][j];
        return a;
    };
    // A zero on the diagonal needs the pivot search: x = 1, y = 2.6, z = 1.8.
    GaussMatrix a = matrixOf({{0, 2, 1, 7}, {1, 0, 0, 1}, {0, 1, 3, 8}});
    std::vector<double> b;
    ASSERT_TRUE(gauss(a, b));
    EXPECT_EQ(b, (std::vector<double>{0, 1, 2.6, 1.8}));
    GaussMatrix singular = matrixOf({{1, 2, 1}, {2, 4, 1}});
    EXPECT_FALSE(gauss(singular, b));
    GaussMatrix zeroRow = matrixOf({{1, 0, 0}, {0, 0, 0}});
    EXPECT_FALSE(gauss(zeroRow, b));

    // Every point at the same X: the normal equations are singular, the fit has no result.
    const std::vector<double> x{4, 4, 4, 4}, y{1, 2, 3, 4};
    EXPECT_EQ(Polynomial(x, y, 2).outcome, PolyOutcome::Singular);
}
