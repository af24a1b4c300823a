#include "fit/polynomial.h"
#include "support/test_support.h"

#include <vector>

using namespace kalibrix;
using kalibrix::test::nearRel;

namespace {

const std::vector<double> kDemoX{5, 10, 15, 25, 27};
const std::vector<double> kDemoY{980, 770, 700, 550, 500};

}  // namespace

TEST(Polynomial, DemonstrationTableDegreesTwoAndThree)
{
    const NumberFormat fmt;
    PolynomialFit p2 = Polynomial(kDemoX, kDemoY, 2, fmt);
    ASSERT_EQ(p2.outcome, PolyOutcome::Fitted);
    ASSERT_EQ(p2.coef.size(), 3u);
    EXPECT_TRUE(nearRel(p2.coef[0], 1156.566, 1e-6));
    EXPECT_TRUE(nearRel(p2.coef[1], -41.7775, 1e-6));
    EXPECT_TRUE(nearRel(p2.coef[2], 0.670730, 1e-5));
    EXPECT_TRUE(nearRel(p2.dsig, 29.166, 1e-4));

    PolynomialFit p3 = Polynomial(kDemoX, kDemoY, 3, fmt);
    ASSERT_EQ(p3.outcome, PolyOutcome::Fitted);
    EXPECT_TRUE(nearRel(p3.coef[0], 1370.828, 1e-6));
    EXPECT_TRUE(nearRel(p3.coef[1], -103.0014, 1e-6));
    EXPECT_TRUE(nearRel(p3.coef[2], 5.39692, 1e-5));
    EXPECT_TRUE(nearRel(p3.coef[3], -0.103104, 1e-5));
    EXPECT_TRUE(nearRel(p3.dsig, 8.3801, 1e-4));  // still divided by n - 2
}

TEST(Polynomial, ParameterTextLayout)
{
    // y = 1 + 2x + 0.5x^2 exactly through four points.
    const std::vector<double> x{1, 2, 3, 4};
    std::vector<double> y;
    for (double v : x)
        y.push_back(1 + 2 * v + 0.5 * v * v);
    NumberFormat fmt;
    fmt.decimalPoint = ",";
    PolynomialFit p = Polynomial(x, y, 2, fmt);
    ASSERT_EQ(p.outcome, PolyOutcome::Fitted);
    // Coefficients come out within rounding of 1, 2, 0.5; check the frame of the text.
    const std::string& t = p.parameterText;
    EXPECT_EQ(t.rfind("P0 = ", 0), 0u);
    EXPECT_NE(t.find("\r\nP1 = "), std::string::npos);
    EXPECT_NE(t.find("\r\nP2 = 0,5"), std::string::npos);
    EXPECT_NE(t.find("\r\n\r\n\r\ndsig="), std::string::npos);
    EXPECT_EQ(t.substr(t.size() - 2), "\r\n");
}

TEST(Polynomial, AsManyPointsAsCoefficientsInterpolates)
{
    const std::vector<double> x{2, 5, 9};
    const std::vector<double> y{10, 40, 20};
    PolynomialFit p = Polynomial(x, y, 2, NumberFormat{});
    ASSERT_EQ(p.outcome, PolyOutcome::Fitted);
    for (size_t k = 0; k < x.size(); ++k)
        EXPECT_NEAR(evaluatePolynomial(p.coef, x[k]), y[k], 1e-9);
    EXPECT_NEAR(*p.dsig, 0, 1e-6);
}

TEST(Polynomial, DegreeLimitsAndTooFewData)
{
    std::vector<double> x;
    std::vector<double> y;
    for (int i = 1; i <= 40; ++i) {
        x.push_back(i);
        y.push_back(100 + i);
    }
    const NumberFormat fmt;
    EXPECT_EQ(Polynomial(x, y, -1, fmt).outcome, PolyOutcome::DegreeOutOfRange);
    EXPECT_EQ(Polynomial(x, y, 24, fmt).outcome, PolyOutcome::DegreeOutOfRange);
    EXPECT_TRUE(Polynomial(x, y, 24, fmt).coef.empty());

    PolynomialFit p0 = Polynomial(x, y, 0, fmt);
    ASSERT_EQ(p0.outcome, PolyOutcome::Fitted);
    EXPECT_DOUBLE_EQ(p0.coef[0], 120.5);  // the mean
    PolynomialFit p1 = Polynomial(x, y, 1, fmt);
    ASSERT_EQ(p1.outcome, PolyOutcome::Fitted);
    EXPECT_NEAR(p1.coef[1], 1, 1e-12);

    // Degree 23 is still solved (badly conditioned, but never NaN or infinite).
    PolynomialFit p23 = Polynomial(x, y, 23, fmt);
    if (p23.outcome == PolyOutcome::Fitted)
        for (double c : p23.coef)
            EXPECT_TRUE(std::isfinite(c));

    const std::vector<double> three{1, 2, 3};
    EXPECT_EQ(Polynomial(three, three, 3, fmt).outcome, PolyOutcome::TooFewData);
}

TEST(Gauss, SolvesWithPivotingAndRefusesSingularSystems)
{
    // A zero on the diagonal needs the pivot search.
    GaussMatrix a(3);
    const double m[3][4] = {{0, 2, 1, 7}, {1, 0, 0, 1}, {0, 1, 3, 8}};  // x = 1, y = 2.6, z = 1.8
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            a(i + 1, j + 1) = m[i][j];
    std::vector<double> b;
    ASSERT_TRUE(gauss(a, b));
    EXPECT_NEAR(b[1], 1, 1e-12);
    EXPECT_NEAR(b[2], 2.6, 1e-12);
    EXPECT_NEAR(b[3], 1.8, 1e-12);

    GaussMatrix singular(2);
    singular(1, 1) = 1;
    singular(1, 2) = 2;
    singular(2, 1) = 2;
    singular(2, 2) = 4;
    singular(1, 3) = 1;
    singular(2, 3) = 1;
    EXPECT_FALSE(gauss(singular, b));

    GaussMatrix zeroRow(2);
    zeroRow(1, 1) = 1;
    EXPECT_FALSE(gauss(zeroRow, b));

    // Every point at the same X: the normal equations are singular, the fit has no result.
    const std::vector<double> x{4, 4, 4, 4};
    const std::vector<double> y{1, 2, 3, 4};
    EXPECT_EQ(Polynomial(x, y, 2, NumberFormat{}).outcome, PolyOutcome::Singular);
}
