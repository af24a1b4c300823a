// Leave-one-out errors against refits without each standard, and the suggested outliers.
#include "engine/data_stat.h"
#include "engine/leave_one_out.h"
#include "engine/zigzag.h"
#include "run/captions.h"
#include "run/driver.h"
#include "support/test_support.h"
#include "support/wide_fit.h"

#include <cmath>
#include <random>

using namespace kalibrix;
using kalibrix::test::method;
using kalibrix::test::startedState;
using kalibrix::test::Wide;
using kalibrix::test::wideFit;

namespace {

// A table of n standards over X = 1..60: a drift with noise, some rejected, some of them
// with equal values, and some X with a value of 0 or below (never fitted).
DataTable randomTable(std::mt19937& random, int n)
{
    DataTable t;
    std::uniform_int_distribution<int> xs(1, 60);
    std::normal_distribution<double> noise(0, 4);
    while (t.nY < n) {
        const int x = xs(random);
        if (t.y[x])
            continue;
        t.y[x] = 500 + 3 * x - 0.02 * x * x + noise(random);
        t.nData = std::max(t.nData, x);
        ++t.nY;
    }
    for (int x = 1; x <= t.nData; ++x) {
        if (!t.y[x])
            continue;
        const int roll = static_cast<int>(random() % 12);
        if (roll == 0)
            t.rejFlag[x] = 1;
        else if (roll == 1 && x > 1 && t.y[x - 1])
            t.y[x] = *t.y[x - 1];  // equal to its neighbour
    }
    const int low = static_cast<int>(random() % 3);
    for (int i = 0; i < low; ++i)
        t.y[xs(random)] = -static_cast<double>(random() % 50);
    t.nData = 0;
    t.nY = 0;
    for (int x = 1; x <= kMaxX; ++x)
        if (t.y[x]) {
            t.nData = x;
            t.nY += *t.y[x] > 0;
        }
    return t;
}

}  // namespace

// The errors of every method agree with refitting it without each standard, unweighted and
// weighted by the errors of Y: the least-squares methods (the mean is the one of degree 0) in
// long double by other means, the zigzag by the generic refit with the standard rejected.
TEST(LeaveOneOut, AgreesWithRefitsWithoutEachStandard)
{
    State s = startedState();
    s.settings.degreeText = "6";
    const std::pair<const char*, int> leastSquares[] = {{"mean", 0},  {"linear", 1}, {"log", 1},
                                                        {"poly2", 2}, {"poly3", 3},  {"poly4", 4},
                                                        {"poly5", 5}, {"poly", 6}};
    std::mt19937 random(2024);
    int compared = 0;
    for (int round = 0; round < 120; ++round) {
        s.table() = randomTable(random, 3 + round % 38);
        s.settings.weightByErrors = round % 3 == 2;
        for (int x = 0; x <= s.table().nData; ++x)
            s.table().yErr[x] = 0.5 + x % 7;
        const DataTable& t = s.table();
        const DataStats stats = computeDataStats(t, true);
        const FitInput input{t, stats, s.student, s.settings};
        LooWorkspace workspace(t);
        const std::span<const double> xs = workspace.x(), ys = workspace.y(), err = workspace.err();
        for (const auto& [name, degree] : leastSquares) {
            const FitMethod& m = fitMethods()[method(name)];
            // The driver asks no method for fewer standards than it needs.
            if (stats.nOK - 1 < m.minPoints)
                continue;
            const LooErrors errors = m.leaveOneOut(input, workspace);
            auto tOf = [&](std::size_t k) {
                return std::string_view(name) == "log" ? std::log(Wide(xs[k])) : Wide(xs[k]);
            };
            for (std::size_t i = 0; i < xs.size(); ++i) {
                std::vector<Wide> ts, w;
                std::vector<double> rest;
                for (std::size_t k = 0; k < xs.size(); ++k)
                    if (k != i) {
                        ts.push_back(tOf(k));
                        w.push_back(s.settings.weightByErrors ? 1 / (Wide(err[k]) * err[k]) : 1);
                        rest.push_back(ys[k]);
                    }
                ASSERT_EQ(errors[i].has_value(), static_cast<int>(ts.size()) > degree)
                    << name << " at X = " << xs[i] << " of " << stats.nOK;
                if (errors[i]) {
                    const double expected =
                        static_cast<double>(ys[i] - wideFit(ts, rest, w, degree).value(tOf(i)));
                    // The mean's is a sum of n values: exact but for its rounding.
                    const double tolerance = degree == 0 ? 1e-12 : 1e-9;
                    EXPECT_NEAR(*errors[i], expected, tolerance * std::max(std::abs(expected), 1.0))
                        << name << " at X = " << xs[i];
                    ++compared;
                }
            }
        }
        const FitMethod& zigzag = fitMethods()[method("zigzag")];
        const LooErrors quick = zigzag.leaveOneOut(input, workspace);
        const std::vector<std::optional<double>> fast(quick.begin(), quick.end());
        const LooErrors refitted = refitLeaveOneOut(zigzag, input, workspace);
        for (std::size_t i = 0; i < xs.size(); ++i) {
            ASSERT_EQ(fast[i].has_value(), refitted[i].has_value()) << "zigzag at X = " << xs[i];
            if (refitted[i]) {
                EXPECT_NEAR(*fast[i], *refitted[i], 1e-9 * std::abs(ys[i])) << xs[i];
            }
        }
    }
    EXPECT_GT(compared, 10000);
}

TEST(LeaveOneOut, ErrorPercentAndSuggestedOutliers)
{
    State s = startedState();  // linear, log, degree 2 and zigzag, as at start
    auto drift = [](int x) { return 1000 + 4 * x - 0.05 * x * x; };

    // A smooth drift of 20 standards with one gross outlier: only that one is suggested.
    for (int planted : {1, 9, 20}) {
        s.table() = test::tableOf({});
        for (int x = 1; x <= 20; ++x)
            s.table().y[x] = drift(x) * (x == planted ? 1.2 : 1 + 0.001 * std::sin(7.0 * x));
        s.table().nData = s.table().nY = 20;
        plotAndCalculate(s, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
        EXPECT_EQ(s.results().suggested, std::vector<int>{planted}) << planted;
    }

    // The RMS and mean relative error of the zigzag on isolated standards: without one, the
    // line joins its neighbours (Y = X but 7 at X = 5); the ends have no prediction.
    s.table() = test::tableOf({{1, 1}, {3, 3}, {5, 7}, {7, 7}, {9, 9}});
    plotAndCalculate(s, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
    const LeaveOneOut& zigzag = *s.results().fit(method("zigzag"))->loo;
    EXPECT_DOUBLE_EQ(*zigzag.error, std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(*zigzag.percent, (1.0 / 3 + 2.0 / 7 + 1.0 / 7) / 3 * 100);
    // Every standard predicted exactly: an error of 0, not no result.
    s.table() = test::tableOf({{1, 5}, {3, 5}, {5, 5}, {7, 5}});
    plotAndCalculate(s, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
    EXPECT_EQ(s.results().fit(method("zigzag"))->loo->error, 0.0);

    // Gaussian noise alone: at most 5 % of the tables get any suggestion. The method that
    // predicts best has the smallest "LOO %" as the grid shows it, also where another has
    // the smaller root mean square.
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 3);
    int withSuggestion = 0, smallerRootMeanSquare = 0;
    for (int table = 0; table < 1000; ++table) {
        for (int x = 1; x <= 20; ++x)
            s.table().y[x] = drift(x) + noise(random);
        s.table().nData = s.table().nY = 20;
        plotAndCalculate(s, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
        withSuggestion += !s.results().suggested.empty();
        const Captions c = makeCaptions(s.results(), NumberFormat{}, Figures::Shown);
        ASSERT_TRUE(s.results().bestPredictor);
        const std::size_t best = *s.results().bestPredictor;
        for (std::size_t m = 0; m < fitMethods().size(); ++m) {
            if (c.looPercent[m].empty())
                continue;
            EXPECT_LE(std::stod(c.looPercent[best]), std::stod(c.looPercent[m])) << table;
            smallerRootMeanSquare +=
                *s.results().fit(m)->loo->error < *s.results().fit(best)->loo->error;
        }
    }
    EXPECT_LE(withSuggestion, 50);
    EXPECT_GT(smallerRootMeanSquare, 0);
    RecordProperty("tables with a suggestion", withSuggestion);
}
