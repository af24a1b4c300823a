// The residual table: each standard's residual and its leave-one-out residual against a line
// fitted again without it, the run's rejections rather than marks made since, the same
// columns for every analyte, and the analytes at a glance.

#include "engine/linear.h"
#include "run/driver.h"
#include "run/overview.h"
#include "run/paste_table.h"
#include "run/residuals.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace kalibrix;
using kalibrix::test::method;

TEST(Residuals, LeaveOneOutAgainstARefitAndTheRunsRejections)
{
    State state = test::startedState();  // X = 5, 10, 15, 25, 27
    state.settings.show.clear();
    state.table().rejFlag[27] = 1;
    plotAndCalculate(state, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
    state.table().rejFlag[10] = 1;  // marked after the run: not in the table below
    const ResidualTable t = residualsOf(state, 0);
    ASSERT_EQ(t.x, (std::vector<int>{5, 10, 15, 25, 27}));
    EXPECT_EQ(t.rejected, (std::vector<bool>{false, false, false, false, true}));
    ASSERT_EQ(t.columns.size(), 1u);  // the line, always fitted
    const ResidualColumn& line = t.columns[0];
    EXPECT_EQ(line.method, method("linear"));
    for (std::size_t i = 0; i < t.x.size(); ++i) {
        EXPECT_DOUBLE_EQ(*line.residual[i], t.y[i] - *line.value[i]);
        DataTable without = state.table();
        without.rejFlag.assign(without.rejFlag.size(), 0);
        without.rejFlag[27] = 1;
        without.rejFlag[static_cast<std::size_t>(t.x[i])] = 1;
        const RegressionFit refit = linearRegression(without, t.rejected[i] ? 4 : 3);
        EXPECT_NEAR(*line.leaveOneOut[i], t.y[i] - (*refit.a + *refit.b * t.x[i]), 1e-9)
            << "X = " << t.x[i];
    }
}

TEST(Residuals, EveryAnalyteHasTheSameColumnsAndAGlance)
{
    State state = test::startedState();
    const PasteResult pasted = parseTable(
        "X\tCu\tZn\r\n1\t10\t5\r\n2\t11\t5.5\r\n3\t12.5\t6\r\n"
        "4\t12\t\r\n5\t14\t\r\n6\t14.5\t\r\n7\t16\t\r\n",
        QLocale::c());
    ASSERT_TRUE(pasted.table);
    state.replaceAnalytes(pasted.table->analytes, true);
    state.settings.show = {{"poly3", kTicked}};  // Zn's three standards cannot take it
    plotAndCalculate(state, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
    const std::string text = residualsText(state, NumberFormat{});
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "Analyte\tX\tY\tState\tLinear regression\tLinear regression residual\t"
              "Linear regression LOO residual\t3 ord.\t3 ord. residual\t3 ord. LOO residual");
    const std::size_t zn = text.find("\nZn\t3\t6\tstandard\t6\t0\t");
    ASSERT_NE(zn, std::string::npos) << text;
    EXPECT_EQ(text.substr(text.find('\n', zn + 1) - 3, 4), "\t\t\t\n");  // no cubic for Zn

    const std::vector<AnalyteGlance> glance = analytesAtAGlance(state);
    ASSERT_EQ(glance.size(), 2u);
    EXPECT_EQ(glance[0].name, "Cu");
    EXPECT_EQ(glance[0].inUse, 7);
    EXPECT_TRUE(glance[0].best && glance[0].looPercent);
    EXPECT_EQ(glance[1].inUse, 3);
}
