// Leave-one-out errors against refits without each standard, and the suggested outliers.
#include "fit/data_stat.h"
#include "fit/leave_one_out.h"
#include "fit/zigzag.h"
#include "regwin/captions.h"
#include "regwin/driver.h"
#include "support/test_support.h"

#include <cmath>
#include <random>

using namespace kalibrix;
using kalibrix::test::method;
using kalibrix::test::startedState;

namespace {

using Wide = __float128;  // 113 bits: beyond doubt for these systems

Wide magnitude(Wide v) { return v < 0 ? -v : v; }

// The value at `at` of the least-squares polynomial of `degree` in t through the points,
// in quadruple precision: normal equations in Chebyshev polynomials of t mapped onto
// [-1, 1], solved by Gaussian elimination with partial pivoting.
std::optional<Wide> refit(const std::vector<Wide>& t, const std::vector<Wide>& y, int degree,
                          Wide at)
{
    const std::size_t k = static_cast<std::size_t>(degree) + 1;
    if (t.size() < k)
        return std::nullopt;
    const auto [lo, hi] = std::minmax_element(t.begin(), t.end());
    const Wide low = std::min(*lo, at), high = std::max(*hi, at);
    auto basis = [&](Wide v) {
        const Wide s = high > low ? (2 * v - low - high) / (high - low) : 0;
        std::vector<Wide> b(k);
        for (std::size_t j = 0; j < k; ++j)
            b[j] = j == 0 ? 1 : j == 1 ? s : 2 * s * b[j - 1] - b[j - 2];
        return b;
    };
    std::vector<std::vector<Wide>> a(k, std::vector<Wide>(k + 1, 0));
    for (std::size_t i = 0; i < t.size(); ++i) {
        const auto b = basis(t[i]);
        for (std::size_t r = 0; r < k; ++r) {
            for (std::size_t c = 0; c < k; ++c)
                a[r][c] += b[r] * b[c];
            a[r][k] += b[r] * y[i];
        }
    }
    for (std::size_t c = 0; c < k; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < k; ++r)
            if (magnitude(a[r][c]) > magnitude(a[p][c]))
                p = r;
        std::swap(a[c], a[p]);
        if (magnitude(a[c][c]) < Wide(1e-30) * magnitude(a[0][0]))
            return std::nullopt;
        for (std::size_t r = c + 1; r < k; ++r) {
            const Wide f = a[r][c] / a[c][c];
            for (std::size_t j = c; j <= k; ++j)
                a[r][j] -= f * a[c][j];
        }
    }
    std::vector<Wide> coef(k);
    for (std::size_t c = k; c-- > 0;) {
        Wide v = a[c][k];
        for (std::size_t j = c + 1; j < k; ++j)
            v -= a[c][j] * coef[j];
        coef[c] = v / a[c][c];
    }
    const auto b = basis(at);
    Wide value = 0;
    for (std::size_t j = 0; j < k; ++j)
        value += coef[j] * b[j];
    return value;
}

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

// The errors of every method agree with refitting it without each standard: the least-squares
// methods in quadruple precision, the zigzag by the generic refit with the standard rejected.
TEST(LeaveOneOut, AgreesWithRefitsWithoutEachStandard)
{
    State s = startedState();
    s.settings.degreeText = "6";
    const std::span<const FitMethod> methods = fitMethods();
    const std::pair<const char*, int> leastSquares[] = {{"linear", 1}, {"log", 1},   {"poly2", 2},
                                                        {"poly3", 3},  {"poly4", 4}, {"poly5", 5},
                                                        {"poly", 6}};
    std::mt19937 random(2024);
    int compared = 0;
    for (int round = 0; round < 120; ++round) {
        s.table() = randomTable(random, 3 + round % 38);
        const DataTable& t = s.table();
        const DataStats stats = Data_Stat(t, true);
        const FitInput input{t, stats, s.student, s.settings};
        LooWorkspace workspace(t);
        const std::span<const double> xs = workspace.x(), ys = workspace.y();
        for (const auto& [name, degree] : leastSquares) {
            const FitMethod& m = methods[method(name)];
            const LooErrors errors = m.leaveOneOut(input, workspace);
            const bool logarithmic = std::string_view(name) == "log";
            for (std::size_t i = 0; i < xs.size(); ++i) {
                std::vector<Wide> ts, rest;
                for (std::size_t k = 0; k < xs.size(); ++k)
                    if (k != i) {
                        ts.push_back(logarithmic ? Wide(std::log(static_cast<long double>(xs[k])))
                                                 : Wide(xs[k]));
                        rest.push_back(ys[k]);
                    }
                const Wide at =
                    logarithmic ? Wide(std::log(static_cast<long double>(xs[i]))) : Wide(xs[i]);
                std::optional<Wide> predicted;
                if (static_cast<int>(ts.size()) >= m.minPoints)
                    predicted = refit(ts, rest, degree, at);
                // The driver asks no method for fewer standards than it needs.
                if (stats.nOK - 1 < m.minPoints)
                    continue;
                ASSERT_EQ(errors[i].has_value(), predicted.has_value())
                    << name << " at X = " << xs[i] << " of " << stats.nOK;
                if (predicted) {
                    const double expected = static_cast<double>(ys[i] - *predicted);
                    EXPECT_NEAR(*errors[i], expected, 1e-9 * std::max(std::abs(expected), 1.0))
                        << name << " at X = " << xs[i];
                    ++compared;
                }
            }
        }
        const FitMethod& zigzag = methods[method("zigzag")];
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
        A_PLOT(s, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
        EXPECT_EQ(s.results().suggested, std::vector<int>{planted}) << planted;
    }

    // The RMS and mean relative error of the zigzag on isolated standards: without one, the
    // line joins its neighbours (Y = X but 7 at X = 5); the ends have no prediction.
    s.table() = test::tableOf({{1, 1}, {3, 3}, {5, 7}, {7, 7}, {9, 9}});
    A_PLOT(s, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
    const LeaveOneOut& zigzag = *s.results().fit(method("zigzag"))->loo;
    const DataStats stats = Data_Stat(s.table(), true);
    LooWorkspace workspace(s.table());
    const LooErrors errors = fitMethods()[method("zigzag")].leaveOneOut(
        {s.table(), stats, s.student, s.settings}, workspace);
    EXPECT_FALSE(errors[0] || errors[4]);
    EXPECT_DOUBLE_EQ(*errors[1], 3 - 4.0);
    EXPECT_DOUBLE_EQ(*errors[2], 7 - 5.0);
    EXPECT_DOUBLE_EQ(*errors[3], 7 - 8.0);
    EXPECT_DOUBLE_EQ(*zigzag.error, std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(*zigzag.percent, (1.0 / 3 + 2.0 / 7 + 1.0 / 7) / 3 * 100);
    // Every standard predicted exactly: an error of 0, not no result.
    s.table() = test::tableOf({{1, 5}, {3, 5}, {5, 5}, {7, 5}});
    A_PLOT(s, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
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
        A_PLOT(s, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
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
