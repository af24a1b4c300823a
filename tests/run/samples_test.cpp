// The corrected samples of a run: the tidy table's text, the flags, and generated runs with
// drift against an independent least-squares computation in long double.
#include "run/driver.h"
#include "run/samples.h"
#include "support/test_support.h"
#include "support/wide_fit.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace kalibrix;

namespace {

using test::relativelyNear;
using test::Wide;
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

// The started state holding `run`, each analyte's table built of the lines with ID "STD",
// correcting with `correctWith`.
State stateOf(const RunTable& run, const char* correctWith)
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
    state.settings.standardPattern = "STD";
    state.settings.correctWith = correctWith;
    state.replaceAnalytes(std::move(analytes), true, run);
    return state;
}

void run(State& state)
{
    ASSERT_TRUE(
        plotAndCalculate(state, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute).ran);
}

// The least-squares polynomial through the standards in use, in long double: S(X), the
// curve's uncertainty s sqrt(h(X)), s^2 = SSE / (n - p), and n - p.
struct Reference {
    test::WideFit fit;
    int dof;
    Wide s = 0;
    Reference(const std::vector<Wide>& x, const std::vector<double>& y, int degree)
        : fit(test::wideFit(x, y, std::vector<Wide>(x.size(), 1), degree)),
          dof(static_cast<int>(x.size()) - degree - 1)
    {
        for (std::size_t i = 0; i < x.size(); ++i) {
            const Wide residual = y[i] - fit.value(x[i]);
            s += residual * residual / dof;
        }
        s = std::sqrt(s);
    }
    Wide u(Wide x) const { return s * std::sqrt(fit.leverage(x)); }
};

// One corrected value by the textbook formulas, in long double: value, standard uncertainty
// and half-width at t column probCol with the Welch-Satterthwaite degrees of freedom.
struct Expected {
    Wide value, u, halfWidth;
};

Expected expectedOf(CorrectionKind kind, Wide r, Wide ur, Wide S, Wide uS, int dofS,
                    KnownValue known, const StudentTable& student, int probCol)
{
    const Wide R = known.value, uR = known.u.value_or(0);
    Wide value = r - S + R, cr = 1, cS = 1, cR = 1;  // a difference
    if (kind == CorrectionKind::Ratio)
        value = r * R / S, cr = R / S, cS = r * R / (S * S), cR = r / S;
    if (kind == CorrectionKind::Delta)
        value = (r / S * (1 + R / 1000) - 1) * 1000, cr = (1000 + R) / S,
        cS = r * (1000 + R) / (S * S), cR = r / S;
    const Wide standard2 = cS * cS * uS * uS;
    const Wide u2 = cr * cr * ur * ur + standard2 + cR * cR * uR * uR;
    const Wide nu = dofS * (u2 / standard2) * (u2 / standard2);
    const std::optional<int> row = nu >= 101 ? std::nullopt : std::optional(static_cast<int>(nu));
    return {value, std::sqrt(u2), student.quantile(probCol, row) * std::sqrt(u2)};
}

// 150 lines of Cu and Zn drifting linearly (degree 1) or quadratically: the standard at
// every third X, a check standard "QC" at every ninth, samples between with and without
// errors, some without a reading of Zn.
RunTable driftRun(int degree)
{
    std::mt19937 random(static_cast<unsigned>(degree));
    auto noise = [&random] { return random() / 4294967296.0 - 0.5; };
    RunTable r;
    r.analytes = {"Cu", "Zn"};
    for (int x = 1; x <= 150; ++x) {
        Cells readings;
        for (double base : {1000.0, 50.0}) {
            const double sign = noise() < 0 ? -1 : 1;
            readings.push_back(base *
                               (degree == 1 ? 1 + 0.002 * x : 1 + 0.004 * x - 0.00002 * x * x) *
                               (x % 3 == 1   ? 1 + 0.004 * noise()
                                : x % 9 == 2 ? 1.2 + 0.004 * noise()
                                             : 1 + sign * (0.05 + 0.9 * std::fabs(noise()))));
        }
        if (x % 21 == 5)
            readings[1].reset();
        const Cells errors = {
            x % 2 ? std::optional(0.003 * *readings[0]) : std::nullopt,
            x % 4 == 2 ? std::optional(0.001 * readings[1].value_or(0)) : std::nullopt};
        const std::string id = x % 3 == 1 ? "STD" : x % 9 == 2 ? "QC" : "S" + std::to_string(x);
        addLine(r, id, x, readings, errors);
    }
    return r;
}

}  // namespace

// The tidy table, worked out by hand: standards on exact lines (Cu = 96 + 2 X, Zn = 20), so
// that S(X) is exact and its uncertainty 0; numbers with the export's decimal point and
// the ASCII minus; a sample without a reading of an analyte left out of its rows.
TEST(Samples, TidyTableAndClipboardText)
{
    RunTable r;
    r.analytes = {"Cu", "Zn"};
    addLine(r, "STD", 2, {100, 20});
    addLine(r, "A", 3, {51, -10.2}, {5.1, {}});
    addLine(r, "STD", 4, {104, 20});
    addLine(r, "B", 5, {{}, 21});
    addLine(r, "STD", 6, {108, 20});
    addLine(r, "STD", 8, {112, 20});
    addLine(r, "C", 9, {56, 20});
    State state = stateOf(r, "linear");
    state.settings.known["Cu"] = {2, {}};  // Zn: the ratio's default 1
    NumberFormat comma;
    comma.decimalPoint = ",";
    comma.minusSign = "\u2212";
    const std::string title =
        "ID\tX\tReading\tReading err\tStandard\tStandard \u00b1\tCorrected\tCorrected \u00b1\t"
        "Method\tFlag";
    EXPECT_EQ(samplesText(state, comma), "Analyte\t" + title + "\n");  // before a run
    run(state);
    // 51 * 2 / 102 = 1, its u 2 / 102 * 5.1 = 0.1 with the large-sample t 1.95996.
    const std::string cu =
        "Cu\tA\t3\t51\t5,1\t102\t0\t1\t0,195996\tlinear\t\n"
        "Cu\tC\t9\t56\t\t114\t0\t0,982456140350877\t0\tlinear\textrapolated\n";
    const std::string zn[] = {"A\t3\t-10,2\t\t20\t0\t-0,51\t0\tlinear\t",
                              "B\t5\t21\t\t20\t0\t1,05\t0\tlinear\t",
                              "C\t9\t20\t\t20\t0\t1\t0\tlinear\textrapolated"};
    EXPECT_EQ(samplesText(state, comma), "Analyte\t" + title + "\n" + cu + "Zn\t" + zn[0] +
                                             "\nZn\t" + zn[1] + "\nZn\t" + zn[2] + "\n");
    EXPECT_EQ(samplesClipboardText(state, 1, comma),
              title + "\r\n" + zn[0] + "\r\n" + zn[1] + "\r\n" + zn[2] + "\r\n");
}

// Flags come from the standards the run fitted (a rejection since counts at the next run);
// a method without a value at X still lists the sample, with "no value"; a line of both the
// standard and the check standard is a standard.
TEST(Samples, Flags)
{
    RunTable r;
    r.analytes = {"Cu"};
    for (int x : {10, 20, 30, 40, 80, 90})
        addLine(r, "STD", x, {1000.0 + x * (x % 20 == 0 ? 1.01 : 1)});
    for (int x : {1, 5, 15, 50, 75, 85})
        addLine(r, "S" + std::to_string(x), x, {500});
    State state = stateOf(r, "linear");
    state.settings.maxGap = 8;
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
    state.settings.checkPattern = "STD";  // a line that matches both is a standard
    EXPECT_EQ(correctSamples(state, 0).samples.size(), 6u);
    EXPECT_EQ(correctSamples(state, 0).check->count, 0);
    state.settings.correctWith = "poly5";  // not shown, so not fitted
    EXPECT_EQ(flags(),
              "1:extrapolated, no value -;5:extrapolated, no value -;15:no value -;"
              "50:no value -;75:no value -;85:extrapolated, no value -;");
    EXPECT_EQ(correctSamples(state, 0).method, test::method("poly5"));
    state.settings.correctWith = "best";
    ASSERT_TRUE(state.analytes[0].results.bestPredictor);
    EXPECT_EQ(correctSamples(state, 0).method, state.analytes[0].results.bestPredictor);
    ASSERT_TRUE(plotAndCalculate(state, NumberFormat{}, Drawing::Skip).ran);  // no leave-one-out
    EXPECT_FALSE(correctSamples(state, 0).method);
}

// Generated runs with linear and quadratic drift, 150 lines of two analytes (standards at
// every third X, one of them rejected; samples with and without errors, some without a
// reading of Zn; a check standard every ninth X): every S(X), corrected value and their
// half-widths, and the check's summary, agree with the long double computation above to
// 1e-12 relative, for each kind, with known values of the analyte's own and for every
// analyte.
TEST(Samples, DriftRunsAgreeWithAnIndependentComputation)
{
    constexpr int kRejected = 40, kProbCol = 4;
    for (int degree : {1, 2}) {
        const RunTable r = driftRun(degree);
        State state = stateOf(r, degree == 1 ? "linear" : "poly2");
        state.settings.level = kProbCol - 1;
        state.settings.checkPattern = "QC";
        state.settings.checkKnown[""] = {1, 0.02};
        for (Analyte& a : state.analytes)
            a.table.rejFlag[kRejected] = 1;
        run(state);
        const std::pair<CorrectionKind, std::pair<KnownValue, KnownValue>> kinds[] = {
            {CorrectionKind::Ratio, {{2.5, 0.01}, {1.2, {}}}},
            {CorrectionKind::Difference, {{100, 1}, {0, {}}}},
            {CorrectionKind::Delta, {{-15, 0.3}, {5, {}}}},
        };
        for (const auto& [kind, known] : kinds)
            for (std::size_t a = 0; a < 2; ++a) {
                SCOPED_TRACE("degree " + std::to_string(degree) + " kind " +
                             std::to_string(static_cast<int>(kind)) + " " + r.analytes[a]);
                state.settings.correction = kind;
                state.settings.known = {{"Cu", known.first}, {"", known.second}};
                std::vector<Wide> x;
                std::vector<double> y;
                std::size_t samples = 0;
                for (std::size_t i = 0; i < r.lines.size(); ++i)
                    if (r.lines[i].id != "STD")
                        samples += r.reading[a][i].has_value();
                    else if (r.lines[i].x != kRejected)
                        x.push_back(r.lines[i].x), y.push_back(*r.reading[a][i]);
                const Reference ref(x, y, degree);
                const AnalyteSamples got = correctSamples(state, a);
                ASSERT_EQ(got.samples.size(), samples);
                Wide n = 0, sum = 0, squares = 0, u2 = 0;
                for (const CorrectedSample& c : got.samples) {
                    SCOPED_TRACE("X " + std::to_string(c.x));
                    const Wide S = ref.fit.value(c.x), uS = ref.u(c.x);
                    const Expected e = expectedOf(
                        kind, *r.reading[a][c.line], r.error[a][c.line].value_or(0), S, uS, ref.dof,
                        a == 0 ? known.first : known.second, state.student, kProbCol);
                    EXPECT_TRUE(relativelyNear(c.standard, S, 1e-12));
                    EXPECT_TRUE(relativelyNear(c.standardHalfWidth,
                                               state.student.quantile(kProbCol, ref.dof) * uS,
                                               1e-12));
                    EXPECT_TRUE(relativelyNear(c.corrected, e.value, 1e-12));
                    EXPECT_TRUE(relativelyNear(c.correctedHalfWidth, e.halfWidth, 1e-12));
                    EXPECT_EQ(c.check, r.lines[c.line].id == "QC");
                    EXPECT_EQ(c.flags, c.x > 148 ? kFlagExtrapolated : kFlagNone);
                    if (c.check)
                        n += 1, sum += e.value, squares += e.value * e.value, u2 += e.u * e.u;
                }
                const Wide mean = sum / n;
                ASSERT_TRUE(got.check);
                EXPECT_EQ(got.check->count, n);
                EXPECT_TRUE(relativelyNear(got.check->mean, mean, 1e-12));
                EXPECT_TRUE(relativelyNear(
                    got.check->sd, std::sqrt((squares - n * mean * mean) / (n - 1)), 1e-12));
                EXPECT_TRUE(relativelyNear(got.check->bias, mean - 1, 1e-12));
                EXPECT_TRUE(relativelyNear(got.check->z,
                                           (mean - 1) / std::sqrt(u2 / (n * n) + 0.0004L), 1e-12));
            }
    }
}
