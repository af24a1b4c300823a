// The corrected samples of a run: the tidy table's text, the flags, and generated runs with
// drift against an independent least-squares computation in long double.
#include "regwin/driver.h"
#include "regwin/samples.h"
#include "support/test_support.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace kalibrix;
using kalibrix::test::method;

namespace {

using Wide = long double;
using Cells = std::vector<std::optional<double>>;

void addLine(RunTable& run, std::string id, int x, Cells readings, Cells errors = {})
{
    errors.resize(readings.size());
    run.reading.resize(readings.size());
    run.error.resize(readings.size());
    for (std::size_t a = 0; a < readings.size(); ++a) {
        run.reading[a].push_back(readings[a]);
        run.error[a].push_back(errors[a]);
    }
    run.lines.push_back({std::move(id), x, run.lines.size() + 2});
    run.nData = std::max(run.nData, x);
}

// The started state holding `run`, each analyte's table built of the lines with ID "STD".
State stateOf(const RunTable& run, Settings settings)
{
    std::vector<Analyte> analytes;
    for (std::size_t a = 0; a < run.analytes.size(); ++a) {
        Analyte& analyte = analytes.emplace_back();
        analyte.name = run.analytes[a];
        DataTable& t = analyte.table;
        t.nData = run.nData;
        for (std::size_t i = 0; i < run.lines.size(); ++i)
            if (run.lines[i].id == "STD" && run.reading[a][i]) {
                t.y[run.lines[i].x] = run.reading[a][i];
                t.nY += *run.reading[a][i] > 0;
            }
    }
    State state = test::startedState();
    settings.standardPattern = "STD";
    state.settings = settings;
    state.replaceAnalytes(std::move(analytes), true, run);
    return state;
}

Settings settingsWith(std::string correctWith)
{
    Settings s = test::startedState().settings;
    s.correctWith = std::move(correctWith);
    return s;
}

void run(State& state)
{
    ASSERT_TRUE(A_PLOT(state, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute).ran);
}

// Solves g z = rhs (Gaussian elimination with partial pivoting).
std::vector<Wide> solve(std::vector<std::vector<Wide>> g, std::vector<Wide> z)
{
    const std::size_t n = z.size();
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t p = k;
        for (std::size_t i = k + 1; i < n; ++i)
            if (std::fabs(g[i][k]) > std::fabs(g[p][k]))
                p = i;
        std::swap(g[k], g[p]);
        std::swap(z[k], z[p]);
        for (std::size_t i = 0; i < n; ++i)
            if (i != k) {
                const Wide f = g[i][k] / g[k][k];
                for (std::size_t j = k; j < n; ++j)
                    g[i][j] -= f * g[k][j];
                z[i] -= f * z[k];
            }
    }
    for (std::size_t k = 0; k < n; ++k)
        z[k] /= g[k][k];
    return z;
}

// The least-squares polynomial through (x, y) in long double, by the normal equations in
// (x - mid) / half: its value, the uncertainty of the curve s sqrt(phi' G^-1 phi) and n - p.
struct WideFit {
    Wide mid = 0, half = 1, s = 0;
    int dof = 0;
    std::vector<std::vector<Wide>> gram;
    std::vector<Wide> coef;

    WideFit(const std::vector<Wide>& x, const std::vector<Wide>& y, int degree)
        : mid((x.front() + x.back()) / 2), half((x.back() - x.front()) / 2),
          dof(static_cast<int>(x.size()) - degree - 1),
          gram(degree + 1, std::vector<Wide>(degree + 1, 0))
    {
        std::vector<Wide> rhs(degree + 1, 0);
        for (std::size_t i = 0; i < x.size(); ++i) {
            const std::vector<Wide> p = basis(x[i]);
            for (std::size_t j = 0; j < p.size(); ++j) {
                rhs[j] += p[j] * y[i];
                for (std::size_t k = 0; k < p.size(); ++k)
                    gram[j][k] += p[j] * p[k];
            }
        }
        coef = solve(gram, rhs);
        Wide sse = 0;
        for (std::size_t i = 0; i < x.size(); ++i)
            sse += (y[i] - value(x[i])) * (y[i] - value(x[i]));
        s = std::sqrt(sse / dof);
    }
    std::vector<Wide> basis(Wide x) const
    {
        std::vector<Wide> p(gram.size(), 1);
        for (std::size_t j = 1; j < p.size(); ++j)
            p[j] = p[j - 1] * (x - mid) / half;
        return p;
    }
    Wide value(Wide x) const
    {
        const std::vector<Wide> p = basis(x);
        Wide v = 0;
        for (std::size_t j = 0; j < p.size(); ++j)
            v += coef[j] * p[j];
        return v;
    }
    Wide u(Wide x) const
    {
        const std::vector<Wide> p = basis(x), z = solve(gram, p);
        Wide h = 0;
        for (std::size_t j = 0; j < p.size(); ++j)
            h += p[j] * z[j];
        return s * std::sqrt(h);
    }
};

// One corrected value by the textbook formulas, in long double: value, standard uncertainty
// and the half-width at t column probCol with the Welch-Satterthwaite degrees of freedom.
struct Expected {
    Wide value, u, halfWidth;
};
Expected expectedOf(CorrectionKind kind, Wide r, Wide ur, Wide S, Wide uS, int dofS,
                    KnownValue known, const StudentTable& student, int probCol)
{
    const Wide R = known.value, uR = known.u.value_or(0);
    Wide value = 0, cr = 1, cS = 1, cR = 1;
    switch (kind) {
    case CorrectionKind::Ratio:
        value = r * R / S, cr = R / S, cS = r * R / (S * S), cR = r / S;
        break;
    case CorrectionKind::Difference:
        value = r - S + R;
        break;
    case CorrectionKind::Delta:
        value = (r / S * (1 + R / 1000) - 1) * 1000;
        cr = (1000 + R) / S, cS = r * (1000 + R) / (S * S), cR = r / S;
        break;
    }
    const Wide standard2 = cS * cS * uS * uS;
    const Wide u2 = cr * cr * ur * ur + standard2 + cR * cR * uR * uR;
    const Wide nu = dofS * (u2 / standard2) * (u2 / standard2);
    const std::optional<int> row = nu >= 101 ? std::nullopt : std::optional<int>(static_cast<int>(nu));
    return {value, std::sqrt(u2), student.quantile(probCol, row) * std::sqrt(u2)};
}

::testing::AssertionResult near(std::optional<double> actual, Wide expected)
{
    if (actual && std::fabs(*actual - expected) <= 1e-12L * std::fabs(expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << ::testing::PrintToString(actual) << " against "
                                         << static_cast<double>(expected);
}

}  // namespace

// The tidy table, worked out by hand: standards on exact lines (Cu = 96 + 2 X, Zn = 20), so
// that S(X) is exact and its uncertainty 0; numbers with the export's decimal point and
// the ASCII minus; a sample without a reading of an analyte left out of its rows.
TEST(Samples, TidyTableAndClipboardText)
{
    RunTable r;
    r.idColumn = "ID";
    r.analytes = {"Cu", "Zn"};
    addLine(r, "STD", 2, {100, 20});
    addLine(r, "A", 3, {51, -10.2}, {5.1, {}});
    addLine(r, "STD", 4, {104, 20});
    addLine(r, "B", 5, {{}, 21});
    addLine(r, "STD", 6, {108, 20});
    addLine(r, "STD", 8, {112, 20});
    addLine(r, "C", 9, {56, 20});
    Settings settings = settingsWith("linear");
    settings.known["Cu"] = {2, {}};  // Zn: the ratio's default 1
    State state = stateOf(r, settings);
    NumberFormat comma;
    comma.decimalPoint = ",";
    comma.minusSign = "\u2212";
    const std::string title =
        "ID\tX\tReading\tReading err\tStandard\tStandard \u00b1\tCorrected\tCorrected \u00b1\t"
        "Method\tFlag";
    EXPECT_EQ(samplesText(state, comma), "Analyte\t" + title + "\n");  // before a run
    run(state);
    // 51 * 2 / 102 = 1, its u 2 / 102 * 5.1 = 0.1 with the large-sample t 1.95996.
    EXPECT_EQ(samplesText(state, comma),
              "Analyte\t" + title + "\n"
              "Cu\tA\t3\t51\t5,1\t102\t0\t1\t0,195996\tlinear\t\n"
              "Cu\tC\t9\t56\t\t114\t0\t0,982456140350877\t0\tlinear\textrapolated\n"
              "Zn\tA\t3\t-10,2\t\t20\t0\t-0,51\t0\tlinear\t\n"
              "Zn\tB\t5\t21\t\t20\t0\t1,05\t0\tlinear\t\n"
              "Zn\tC\t9\t20\t\t20\t0\t1\t0\tlinear\textrapolated\n");
    EXPECT_EQ(samplesClipboardText(state, 1, comma),
              title + "\r\n"
              "A\t3\t-10,2\t\t20\t0\t-0,51\t0\tlinear\t\r\n"
              "B\t5\t21\t\t20\t0\t1,05\t0\tlinear\t\r\n"
              "C\t9\t20\t\t20\t0\t1\t0\tlinear\textrapolated\r\n");
}

// Flags come from the standards the run fitted (a rejection since counts at the next run);
// a method without a value at X still lists the sample, with "no value".
TEST(Samples, Flags)
{
    RunTable r;
    r.idColumn = "ID";
    r.analytes = {"Cu"};
    for (int x : {10, 20, 30, 40, 80, 90})
        addLine(r, "STD", x, {1000.0 + x * (x % 20 == 0 ? 1.01 : 1)});
    for (int x : {1, 5, 15, 50, 75, 85})
        addLine(r, "S" + std::to_string(x), x, {500});
    Settings settings = settingsWith("linear");
    settings.maxGap = 8;
    State state = stateOf(r, settings);
    state.analytes[0].table.rejFlag[90] = 1;
    run(state);
    state.analytes[0].table.rejFlag[90] = 0;  // a click since: not yet in the run
    auto flags = [&state] {
        std::string s;
        for (const CorrectedSample& c : correctSamples(state, 0).samples)
            s += std::to_string(c.x) + ":" + flagText(c.flags) + (c.corrected ? "" : " -") + ";";
        return s;
    };
    EXPECT_EQ(flags(), "1:extrapolated, gap;5:extrapolated;15:;50:gap;75:gap;85:extrapolated;");
    state.settings.maxGap.reset();
    EXPECT_EQ(flags(), "1:extrapolated;5:extrapolated;15:;50:;75:;85:extrapolated;");
    state.settings.correctWith = "poly5";  // not shown, so not fitted
    EXPECT_EQ(flags(), "1:extrapolated, no value -;5:extrapolated, no value -;15:no value -;"
                       "50:no value -;75:no value -;85:extrapolated, no value -;");
    EXPECT_EQ(correctSamples(state, 0).method, method("poly5"));
    state.settings.correctWith = "best";
    ASSERT_TRUE(state.analytes[0].results.bestPredictor);
    EXPECT_EQ(correctSamples(state, 0).method, state.analytes[0].results.bestPredictor);
    ASSERT_TRUE(A_PLOT(state, NumberFormat{}, Drawing::Skip).ran);  // no leave-one-out
    EXPECT_FALSE(correctSamples(state, 0).method);
    EXPECT_EQ(flagText(kFlagExtrapolated | kFlagGap | kFlagNoValue), "extrapolated, gap, no value");
}

// S(X) = 0 and below (standards on 10 - X): no result, never a NaN or infinity in the text.
TEST(Samples, NoNumberWhereTheStandardIsZero)
{
    for (CorrectionKind kind : {CorrectionKind::Ratio, CorrectionKind::Delta}) {
        RunTable r;
        r.idColumn = "ID";
        r.analytes = {"Cu"};
        for (int x : {1, 3, 5, 7, 9})
            addLine(r, "STD", x, {10.0 - x});
        addLine(r, "A", 10, {0.5}, {0.1});
        addLine(r, "B", 11, {0.5}, {0.1});
        Settings settings = settingsWith("linear");
        settings.correction = kind;
        State state = stateOf(r, settings);
        run(state);
        const std::string text = samplesText(state, NumberFormat{});
        EXPECT_EQ(text.find("nan"), std::string::npos) << text;
        EXPECT_EQ(text.find("inf"), std::string::npos) << text;
        const AnalyteSamples s = correctSamples(state, 0);
        ASSERT_EQ(s.samples.size(), 2u);
        EXPECT_FALSE(s.samples[0].corrected) << text;
        EXPECT_TRUE(s.samples[1].corrected) << text;
    }
}

// Generated runs with linear and quadratic drift, 150 lines of two analytes (standards at
// every third X, one of them rejected; samples with and without errors, some without a
// reading of Zn; a check standard every ninth X): every S(X), corrected value and their
// half-widths, and the check's summary, agree with the long double computation above to
// 1e-12 relative, for each kind, with known values of the analyte's own and for every
// analyte.
TEST(Samples, DriftRunsAgreeWithAnIndependentComputation)
{
    constexpr int kRejected = 40;
    const KnownValue checkKnown{1, 0.02};
    for (int degree : {1, 2}) {
        std::mt19937 random(static_cast<unsigned>(degree));
        auto noise = [&random] { return random() / 4294967296.0 - 0.5; };
        RunTable r;
        r.idColumn = "ID";
        r.analytes = {"Cu", "Zn"};
        for (int x = 1; x <= 150; ++x) {
            Cells readings;
            for (double base : {1000.0, 50.0}) {
                const double drift =
                    base * (degree == 1 ? 1 + 0.002 * x : 1 + 0.004 * x - 0.00002 * x * x);
                const double sign = noise() < 0 ? -1 : 1;
                const double factor = x % 3 == 1   ? 1 + 0.004 * noise()
                                      : x % 9 == 2 ? 1.2 + 0.004 * noise()
                                                   : 1 + sign * (0.05 + 0.9 * std::fabs(noise()));
                readings.push_back(drift * factor);
            }
            if (x % 21 == 5)
                readings[1].reset();
            Cells errors = {x % 2 ? std::optional(0.003 * *readings[0]) : std::nullopt,
                            x % 4 == 2 ? std::optional(0.001 * readings[1].value_or(0))
                                       : std::nullopt};
            addLine(r, x % 3 == 1 ? "STD" : x % 9 == 2 ? "QC" : "S" + std::to_string(x), x,
                    readings, errors);
        }
        Settings settings = settingsWith(degree == 1 ? "linear" : "poly2");
        settings.level = 3;
        settings.checkPattern = "QC";
        settings.checkKnown[""] = checkKnown;
        State state = stateOf(r, settings);
        for (Analyte& a : state.analytes)
            a.table.rejFlag[kRejected] = 1;
        run(state);
        const int probCol = 4;
        const std::pair<CorrectionKind, std::pair<KnownValue, KnownValue>> kinds[] = {
            {CorrectionKind::Ratio, {{2.5, 0.01}, {1.2, {}}}},
            {CorrectionKind::Difference, {{100, 1}, {0, {}}}},
            {CorrectionKind::Delta, {{-15, 0.3}, {5, {}}}},
        };
        for (const auto& [kind, known] : kinds) {
            state.settings.correction = kind;
            state.settings.known = {{"Cu", known.first}, {"", known.second}};
            for (std::size_t a = 0; a < 2; ++a) {
                SCOPED_TRACE("degree " + std::to_string(degree) + " kind " +
                             std::to_string(static_cast<int>(kind)) + " analyte " +
                             r.analytes[a]);
                std::vector<Wide> x, y;
                for (std::size_t i = 0; i < r.lines.size(); ++i)
                    if (r.lines[i].id == "STD" && r.lines[i].x != kRejected) {
                        x.push_back(r.lines[i].x);
                        y.push_back(*r.reading[a][i]);
                    }
                const WideFit fit(x, y, degree);
                const AnalyteSamples got = correctSamples(state, a);
                std::size_t expectedCount = 0;
                std::vector<Wide> check, checkU;
                for (std::size_t i = 0; i < r.lines.size(); ++i)
                    expectedCount += r.lines[i].id != "STD" && r.reading[a][i].has_value();
                ASSERT_EQ(got.samples.size(), expectedCount);
                for (const CorrectedSample& c : got.samples) {
                    const Wide X = c.x;
                    const Expected e = expectedOf(
                        kind, *r.reading[a][c.line], r.error[a][c.line].value_or(0),
                        fit.value(X), fit.u(X), fit.dof, a == 0 ? known.first : known.second,
                        state.student, probCol);
                    EXPECT_TRUE(near(c.standard, fit.value(X))) << "X " << c.x;
                    EXPECT_TRUE(near(c.standardHalfWidth,
                                     state.student.quantile(probCol, fit.dof) * fit.u(X)))
                        << "X " << c.x;
                    EXPECT_TRUE(near(c.corrected, e.value)) << "X " << c.x;
                    EXPECT_TRUE(near(c.correctedHalfWidth, e.halfWidth)) << "X " << c.x;
                    EXPECT_EQ(c.check, r.lines[c.line].id == "QC");
                    EXPECT_EQ(c.flags, c.x > 148 ? kFlagExtrapolated : kFlagNone) << c.x;
                    if (c.check) {
                        check.push_back(e.value);
                        checkU.push_back(e.u);
                    }
                }
                ASSERT_TRUE(got.check);
                const Wide n = static_cast<Wide>(check.size());
                Wide mean = 0, squares = 0, u2 = 0;
                for (std::size_t k = 0; k < check.size(); ++k)
                    mean += check[k] / n, u2 += checkU[k] * checkU[k];
                for (Wide v : check)
                    squares += (v - mean) * (v - mean);
                EXPECT_EQ(got.check->count, static_cast<int>(check.size()));
                EXPECT_TRUE(near(got.check->mean, mean));
                EXPECT_TRUE(near(got.check->sd, std::sqrt(squares / (n - 1))));
                EXPECT_TRUE(near(got.check->bias, mean - 1));
                EXPECT_TRUE(near(got.check->z, (mean - 1) / std::sqrt(u2 / (n * n) + 0.0004L)));
            }
        }
    }
}
