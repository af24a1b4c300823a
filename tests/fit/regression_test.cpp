#include "fit/data_stat.h"
#include "fit/linear.h"
#include "fit/logarithmic.h"
#include "support/test_support.h"

#include <tuple>

using namespace kalibrix;
using kalibrix::test::nearRel;
using kalibrix::test::tableOf;

TEST(DataStat, CountsAndScaleRange)
{
    auto statsOf = [](const DataTable& t, bool allData) {  // nOK, firstX, yMax, yMin
        const DataStats s = Data_Stat(t, allData);
        return std::make_tuple(s.nOK, s.firstX, s.yMax, s.yMin);
    };
    DataTable t = demonstrationTable();
    EXPECT_EQ(statsOf(t, true), std::make_tuple(5, 5, 980, 500));
    t.rejFlag[5] = 1;
    EXPECT_EQ(statsOf(t, true), std::make_tuple(4, 5, 980, 500));
    EXPECT_EQ(statsOf(t, false), std::make_tuple(4, 10, 770, 500));
    EXPECT_EQ(statsOf(DataTable{}, true), std::make_tuple(0, 0, 0, kInitialYMin));

    // Values of 0 or below stay on the plot but are not counted (nor rejected: nY - nOK = 0).
    const DataTable z = tableOf({{2, -5}, {3, 0}, {4, 10}, {6, 20}});
    EXPECT_EQ(statsOf(z, true), std::make_tuple(2, 2, 20, -5));
    EXPECT_EQ(z.nY, 2);
}

// What the export and the window's labels do not show of the demonstration table's fits:
// the sums, r beyond the two decimals of r^2, and the logarithmic line beyond four digits.
TEST(LinearAndLogarithmicRegression, DemonstrationTable)
{
    const RegressionFit lin = Lin_Regression(demonstrationTable(), 5);
    const RegressionSums& s = lin.sums;
    EXPECT_EQ(std::make_tuple(s.sumX, s.sumY, s.sumXX, s.sumYY, s.sumXY),
              std::make_tuple(82, 3500, 1704, 2595800, 50350));
    EXPECT_TRUE(nearRel(lin.r, -0.97419, 1e-5));
    const RegressionFit log = Log_Regression(demonstrationTable(), 5);
    EXPECT_TRUE(nearRel(log.a, 1416.100, 1e-6));
    EXPECT_TRUE(nearRel(log.b, -272.597, 1e-6));
    EXPECT_TRUE(nearRel(log.r, -0.99561, 1e-5));
}

// Also when a zero and a negative value lie around them: those never enter a fit.
TEST(LinearRegression, TwoPointLineHasNoCorrelationOrResiduals)
{
    const RegressionFit f = Lin_Regression(tableOf({{10, 770}, {27, 500}}), 2);
    EXPECT_DOUBLE_EQ(*f.b, -270.0 / 17.0);
    EXPECT_TRUE(nearRel(f.a, 770 + 10 * 270.0 / 17.0, 1e-12));
    EXPECT_FALSE(f.r || f.diff || f.diffProc);

    const DataTable t = tableOf({{1, 0}, {2, 100}, {3, -4}, {4, 300}});
    ASSERT_EQ(Data_Stat(t, true).nOK, 2);
    const RegressionFit g = Lin_Regression(t, 2);
    EXPECT_DOUBLE_EQ(*g.b, 100);
    EXPECT_DOUBLE_EQ(*g.a, -100);
}

// Equal values keep the line Y = y but have no r, also where rounding leaves the sum of
// squares of Y a hair above 0 (as with these five).
TEST(LinearRegression, EqualValuesKeepTheLineButHaveNoR)
{
    const double y = 0.1;
    const RegressionFit f = Lin_Regression(tableOf({{1, y}, {2, y}, {5, y}, {9, y}, {12, y}}), 5);
    EXPECT_FALSE(f.r);
    EXPECT_NEAR(*f.b, 0, 1e-12 * y);
    EXPECT_TRUE(nearRel(f.a, y, 1e-12));
    EXPECT_NEAR(*f.diff, 0, 1e-9 * y);
}
