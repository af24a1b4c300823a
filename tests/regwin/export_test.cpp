#include "regwin/driver.h"
#include "regwin/export.h"
#include "support/test_support.h"

#include <algorithm>
#include <cmath>
#include <ranges>

using namespace kalibrix;
using kalibrix::test::method;
using kalibrix::test::nearRel;
using kalibrix::test::startedState;
using kalibrix::test::tableOf;

namespace {

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    for (const auto part : std::views::split(text, sep))
        parts.emplace_back(part.begin(), part.end());
    return parts;
}

struct Exported {
    State state = startedState();
    Settings& settings = state.settings;
    NumberFormat fmt;

    // The lines of the export after a run, each ended by CR.
    std::vector<std::string> lines()
    {
        A_PLOT(state, fmt);
        const std::string text = exportText(state, fmt);
        EXPECT_EQ(text.find('\n'), std::string::npos);
        EXPECT_EQ(text.back(), '\r');
        auto l = split(text.substr(0, text.size() - 1), '\r');
        EXPECT_EQ(l.size(), static_cast<size_t>(4 + state.table.nData));
        return l;
    }
};

}  // namespace

TEST(Export, DemonstrationTableWithStartUpSettings)
{
    Exported e;
    const auto lines = e.lines();
    EXPECT_EQ(lines[0], "* * *  KALIBRIX  -  Export of interpolated data");
    EXPECT_EQ(lines[1],
              "L.R. aver.diff. /diff.%\t33.2360801781737\t4.38273673510708\t\t"
              "Log.R. aver.diff. /diff.%\t14.4353403880493\t2.2832641845472\t\t"
              "Poly2.R. aver.diff. /diff.%\t21.36\t3.18\t\t");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3],
              "No.\tData\tLin.Reg.\tC.I.\t\tNo.\tData\tLog.Reg.\t\tNo.\tData\tPoly2.Reg.\t\t");
    EXPECT_EQ(lines[4 + 4].substr(0, 30), "5\t980\t923.747216035635\t118.710");

    // Every data line against the fitted formulas, evaluated independently.
    const double b = -35250.0 / 1796.0;
    const double a = (3500 - b * 82) / 5;
    const FitResult& log = *e.state.results.fit(method("log"));
    const auto& c2 = e.state.results.fit(method("poly2"))->coef;
    for (int x = 1; x <= 27; ++x) {
        SCOPED_TRACE(x);
        const auto cells = split(lines[3 + x], '\t');
        ASSERT_EQ(cells.size(), 14u);
        const auto y = e.state.table.y[x];
        const std::string xy = std::to_string(x) + " " + (y ? std::to_string(int(*y)) : "");
        for (size_t group : {0, 5, 9})
            EXPECT_EQ(cells[group] + " " + cells[group + 1], xy) << group;
        EXPECT_TRUE(nearRel(std::stod(cells[2]), a + b * x, 1e-13));
        const double h = 3.18245 * 49.76616 * std::sqrt(0.2 + (x - 16.4) * (x - 16.4) / 359.2);
        EXPECT_TRUE(nearRel(std::stod(cells[3]), h, 2e-6));
        EXPECT_TRUE(nearRel(std::stod(cells[7]), *log.a + *log.b * std::log(x), 1e-13));
        EXPECT_TRUE(nearRel(std::stod(cells[11]), c2[0] + c2[1] * x + c2[2] * x * x, 1e-13));
        EXPECT_EQ(cells[4] + cells[8] + cells[12] + cells[13], "");
    }
}

TEST(Export, NothingZigzagAndMethodsTheRunDidNotCompute)
{
    Exported e;
    e.settings.exported = {0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::ranges::count(e.lines(), ""), 4 + 27 - 1);  // all but the title

    e.settings.exported[method("zigzag")] = kTicked;
    auto lines = e.lines();
    EXPECT_EQ(lines[1], "Zigzag");
    EXPECT_EQ(lines[3], "No.\tData\tZigzag");
    EXPECT_EQ(lines[4 + 3], "");                 // X = 4, before the first node
    EXPECT_EQ(lines[4 + 4], "5\t980\t980\t\t");  // on the first node
    EXPECT_EQ(lines[4 + 19], "20\t\t625\t\t");   // halfway between (15, 700) and (25, 550)
    EXPECT_EQ(lines[4 + 26], "27\t500\t500\t\t");

    e.settings.exported = {0, 0, 0, 1, 0, 0, 1, 1};  // poly3, chosen degree, zigzag: none computed
    e.settings.show[method("zigzag")] = kUnticked;
    lines = e.lines();
    EXPECT_EQ(lines[1],
              "Poly3.R. aver.diff. /diff.%\t\t\t\tPoly6.R. aver.diff. /diff.%\t\t\t\t"
              "Zigzag");
    EXPECT_EQ(lines[3], "No.\tData\tPoly3.Reg.\t\tNo.\tData\tPoly6.Reg.\t\tNo.\tData\tZigzag");
    EXPECT_EQ(lines[4], "1\t\t\t\t1\t\t\t\t1\t\t\t\t");
    EXPECT_EQ(lines[4 + 4], "5\t980\t\t\t5\t980\t\t\t5\t980\t\t\t");
}

TEST(Export, TwoPointsGiveALineWithoutConfidenceCells)
{
    Exported e;
    e.state.table = tableOf({{10, 770}, {27, 500}});
    e.settings.exported = {1, 1, 0, 0, 0, 0, 0, 0};
    const auto lines = e.lines();
    EXPECT_EQ(lines[1], "L.R. aver.diff. /diff.%\t\t\t\tLog.R. aver.diff. /diff.%\t\t\t\t");
    EXPECT_EQ(lines[4 + 9], "10\t770\t770\t\t\t10\t770\t\t\t");  // no band, no log fit
}

TEST(Export, ChosenDegreeLocaleAndLaterRejections)
{
    Exported e;
    e.fmt.decimalPoint = ",";
    e.settings.exported = {1, 0, 0, 0, 0, 0, 1, 0};
    e.settings.show[method("poly")] = kTicked;
    e.settings.degreeText = "3";
    e.settings.showBand = kUnticked;  // the band is exported whether or not it is shown
    auto lines = e.lines();
    EXPECT_EQ(lines[3], "No.\tData\tLin.Reg.\tC.I.\t\tNo.\tData\tPoly3.Reg.\t\t");
    EXPECT_EQ(lines[4 + 4].substr(0, 30), "5\t980\t923,747216035635\t118,710");

    // Neither a rejection clicked after the run nor a degree typed since changes anything
    // until the next run.
    const std::string before = exportText(e.state, e.fmt);
    e.state.table.rejFlag[5] = 1;
    e.settings.degreeText = "4";
    EXPECT_EQ(exportText(e.state, e.fmt), before);
}
