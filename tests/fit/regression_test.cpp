#include "fit/data_stat.h"
#include "fit/linear.h"
#include "fit/logarithmic.h"
#include "support/test_support.h"

using namespace kalibrix;
using kalibrix::test::nearRel;
using kalibrix::test::tableOf;

TEST(DataStat, DemonstrationTableAndRejectionOfTheFirstPoint)
{
    DataTable t = demonstrationTable();
    DataStats s = Data_Stat(t, true);
    EXPECT_EQ(s.nOK, 5);
    EXPECT_EQ(s.firstX, 5);
    EXPECT_EQ(s.yMax, 980);
    EXPECT_EQ(s.yMin, 500);

    t.rejFlag[5] = 1;
    s = Data_Stat(t, true);  // rejected points keep the scale
    EXPECT_EQ(s.nOK, 4);
    EXPECT_EQ(s.firstX, 5);
    EXPECT_EQ(s.yMax, 980);
    s = Data_Stat(t, false);
    EXPECT_EQ(s.nOK, 4);
    EXPECT_EQ(s.firstX, 10);
    EXPECT_EQ(s.yMax, 770);

    s = Data_Stat(DataTable{}, true);
    EXPECT_EQ(s.nOK, 0);
    EXPECT_EQ(s.firstX, 0);
    EXPECT_EQ(s.yMax, 0);
    EXPECT_EQ(s.yMin, kInitialYMin);
}

TEST(DataStat, ValuesOfZeroOrBelowStayOnThePlotButAreNotCounted)
{
    const DataTable t = tableOf({{2, -5}, {3, 0}, {4, 10}, {6, 20}});
    const DataStats s = Data_Stat(t, true);
    EXPECT_EQ(s.nOK, 2);     // only Y > 0 in use
    EXPECT_EQ(s.firstX, 2);  // the plot still covers the negative point
    EXPECT_EQ(s.yMin, -5);
    EXPECT_EQ(s.yMax, 20);
    EXPECT_EQ(t.nY - s.nOK, 0);  // "Rejected:" never negative
}

TEST(LinearRegression, DemonstrationTable)
{
    const RegressionFit f = Lin_Regression(demonstrationTable(), 5);
    EXPECT_EQ(f.sums.sumX, 82);
    EXPECT_EQ(f.sums.sumY, 3500);
    EXPECT_EQ(f.sums.sumXX, 1704);
    EXPECT_EQ(f.sums.sumYY, 2595800);
    EXPECT_EQ(f.sums.sumXY, 50350);
    EXPECT_DOUBLE_EQ(*f.b, -35250.0 / 1796.0);
    EXPECT_TRUE(nearRel(f.a, 1021.882, 1e-6));
    EXPECT_TRUE(nearRel(f.r, -0.97419, 1e-5));
    EXPECT_TRUE(nearRel(f.diff, 33.236, 1e-4));
    EXPECT_TRUE(nearRel(f.diffProc, 4.3827, 1e-4));
}

TEST(LinearRegression, TwoPointLineHasNoCorrelationOrResiduals)
{
    const RegressionFit f = Lin_Regression(tableOf({{10, 770}, {27, 500}}), 2);
    EXPECT_DOUBLE_EQ(*f.b, -270.0 / 17.0);
    EXPECT_TRUE(nearRel(f.a, 770 + 10 * 270.0 / 17.0, 1e-12));
    EXPECT_FALSE(f.r);
    EXPECT_FALSE(f.diff);
    EXPECT_FALSE(f.diffProc);
}

TEST(LinearRegression, PointsAtOrBelowZeroNeverEnterTheFit)
{
    // A zero and a negative value around two real points: still the two-point line.
    DataTable t = tableOf({{1, 0}, {2, 100}, {3, -4}, {4, 300}});
    const int nOK = Data_Stat(t, true).nOK;
    ASSERT_EQ(nOK, 2);
    const RegressionFit f = Lin_Regression(t, nOK);
    EXPECT_DOUBLE_EQ(*f.b, 100);
    EXPECT_DOUBLE_EQ(*f.a, -100);
}

TEST(LinearRegression, EqualValuesKeepTheLineButHaveNoR)
{
    for (double y : {0.1, 7.0, 123456.789}) {
        const RegressionFit f = Lin_Regression(tableOf({{1, y}, {2, y}, {5, y}, {9, y}}), 4);
        EXPECT_FALSE(f.r) << y;
        EXPECT_NEAR(*f.b, 0, 1e-12 * y) << y;
        EXPECT_TRUE(nearRel(f.a, y, 1e-12)) << y;
        EXPECT_NEAR(*f.diff, 0, 1e-9 * y) << y;
    }
}

TEST(LogarithmicRegression, DemonstrationTable)
{
    const RegressionFit f = Log_Regression(demonstrationTable(), 5);
    EXPECT_TRUE(nearRel(f.sums.sumX, 13.13479, 1e-6));
    EXPECT_TRUE(nearRel(f.sums.sumXX, 36.44943, 1e-6));
    EXPECT_TRUE(nearRel(f.sums.sumXY, 8664.175, 1e-6));
    EXPECT_TRUE(nearRel(f.b, -272.597, 1e-6));
    EXPECT_TRUE(nearRel(f.a, 1416.100, 1e-6));
    EXPECT_TRUE(nearRel(f.r, -0.99561, 1e-5));
    EXPECT_TRUE(nearRel(f.diff, 14.435, 1e-4));
    EXPECT_TRUE(nearRel(f.diffProc, 2.2833, 1e-4));
}

TEST(LogarithmicRegression, PointAtOneCountsOnlyInY)
{
    const RegressionFit f = Log_Regression(tableOf({{1, 10}, {2, 20}, {4, 30}}), 3);
    EXPECT_DOUBLE_EQ(f.sums.sumX, std::log(2.0) + std::log(4.0));
    EXPECT_DOUBLE_EQ(f.sums.sumY, 60);
    EXPECT_DOUBLE_EQ(f.sums.sumYY, 1400);
    // Y = 10 + (10 / ln 2) ln X fits the three points exactly.
    EXPECT_TRUE(nearRel(f.b, 10 / std::log(2.0), 1e-12));
    EXPECT_TRUE(nearRel(f.a, 10, 1e-12));
}
