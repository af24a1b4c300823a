// plotAndCalculate's guards, what a run leaves behind and how its captions round; the figures
// themselves are in the golden exports and summaries.
#include "run/captions.h"
#include "run/driver.h"
#include "run/export.h"
#include "run/rejection.h"
#include "run/rounding.h"
#include "support/test_support.h"

#include <QLocale>

using namespace kalibrix;
using kalibrix::test::method;
using kalibrix::test::tableOf;

namespace {

const std::size_t kLinear = method("linear"), kLog = method("log"), kPoly2 = method("poly2"),
                  kPoly3 = method("poly3"), kChosen = method("poly"), kZigzag = method("zigzag");

struct DriverRun {
    State state = kalibrix::test::startedState();
    Settings& settings = state.settings;
    const RunResults& results = state.results();
    RunReport report;
    Captions captions;

    void go()
    {
        report = plotAndCalculate(state, NumberFormat{});
        captions = makeCaptions(results, NumberFormat{}, Figures::Shown);
    }
    const FitResult* fit(std::size_t m) const { return results.fit(m); }
    // The counters and the cells of method m, "|" after each.
    std::string cells(std::size_t m) const
    {
        // The counts, then the figures or "none" when the row has none.
        std::string s = captions.nData + "|" + captions.nDataOK + "|" + captions.rejected + "|";
        std::string figures;
        for (const std::string& c : captions.cells[m])
            figures += c.empty() ? "" : c + "|";
        return s + (figures.empty() ? "none" : figures);
    }
};

}  // namespace

TEST(Driver, GuardsOnTheLevelAndThePointCount)
{
    DriverRun r;
    r.settings.level.reset();  // nothing happens before a level is chosen
    r.go();
    EXPECT_FALSE(r.report.ran || r.results.computed);
    EXPECT_EQ(r.cells(kLinear) + r.captions.listing, "|||none");

    r.settings.level = kDefaultLevel;
    for (const char* name : {"poly", "poly2", "poly3", "poly4", "poly5"})
        r.settings.show[name] = kTicked;
    r.settings.degreeText = "2";
    // One point: counts written, no fit, the zigzag still built.
    r.state.table() = tableOf({{3, 50}});
    r.go();
    EXPECT_EQ(r.cells(kLinear), "3|1|0|none");
    EXPECT_TRUE(!r.fit(kLinear) && r.fit(kZigzag) && r.report.messages.empty());

    // Three points: band, log and the polynomials up to degree 2; the higher ones refused,
    // each with its message, the chosen degree first.
    r.state.table() = tableOf({{1, 10}, {2, 14}, {4, 11}});
    r.go();
    EXPECT_TRUE(r.fit(kLinear)->band && r.fit(kLog) && r.fit(kChosen) && r.fit(kPoly2));
    EXPECT_EQ(r.cells(kPoly3), "4|3|0|none");
    ASSERT_EQ(r.report.messages.size(), 3u);
    EXPECT_EQ(r.report.messages[0],
              (UserMessage{kTooFewDataMessage, MessageIcon::None, kAppTitle}));
    EXPECT_EQ(r.results.warnings[0].method, kPoly3);
    EXPECT_EQ(r.results.warnings[0].degree + "/" + std::to_string(r.results.warnings[0].nOK),
              "3/3");
}

// A refused degree leaves nothing of an earlier fit; a good one is the fixed degree's fit,
// with its parameters listed.
TEST(Driver, ChosenDegree)
{
    DriverRun r;
    r.settings.show["poly"] = kTicked;
    for (const char* text : {"24", "-1", "abc", "2.5", ""}) {
        r.settings.degreeText = "2";
        r.go();
        ASSERT_TRUE(r.fit(kChosen));
        r.settings.degreeText = text;
        r.go();
        EXPECT_FALSE(r.fit(kChosen)) << text;
        EXPECT_EQ(r.cells(kChosen) + r.captions.listing, "27|5|0|none") << text;
        ASSERT_EQ(r.report.messages.size(), 1u) << text;
        EXPECT_EQ(r.report.messages[0].text, kDegreeRangeMessage);
        EXPECT_EQ(r.results.warnings[0].degree, text);
    }
    // Every degree the list offers runs, given the standards it needs.
    r.state.table() = DataTable{};
    for (int x = 1; x <= 40; ++x)
        r.state.table().y[x] = 1000 + 3 * x + (x % 3);
    r.state.table().nData = 40;
    r.state.table().nY = 40;
    for (const std::string& item : degreeItems()) {
        r.settings.degreeText = item;
        r.go();
        EXPECT_TRUE(r.fit(kChosen) && r.report.messages.empty()) << item;
    }
    r.state.table() = demonstrationTable();
    r.settings.show["poly3"] = kTicked;
    r.settings.degreeText = " 3 ";
    r.go();
    ASSERT_TRUE(r.fit(kChosen) && r.fit(kPoly3));
    EXPECT_EQ(r.fit(kChosen)->coef, r.fit(kPoly3)->coef);
    EXPECT_TRUE(r.captions.listing.starts_with("P0 = 1370.82")) << r.captions.listing;
    EXPECT_NE(r.captions.listing.find("\r\n\r\n\r\ndsig=8.380"), std::string::npos);
}

TEST(Driver, EveryRunStartsFromNoResult)
{
    DriverRun r;
    r.settings.show["poly3"] = kTicked;
    r.go();
    ASSERT_TRUE(r.fit(kLog) && r.fit(kPoly3));
    r.settings.show["log"] = kGrey;  // grey is not ticked
    r.settings.show["poly3"] = kUnticked;
    r.settings.show["zigzag"] = kUnticked;
    r.go();
    EXPECT_FALSE(r.fit(kLog) || r.fit(kPoly3) || r.fit(kZigzag));
    EXPECT_EQ(r.cells(kLog), "27|5|0|none");

    // Rejections are counted at the next run; Y <= 0 never counts as rejected.
    r.state.table().rejFlag[5] = 1;
    r.state.table().y[6] = -3;
    r.settings.showBand = kUnticked;  // the band is computed all the same
    r.go();
    EXPECT_EQ(r.cells(kLinear).substr(0, 13), "27|5|1|929.4|");  // without X = 5
    EXPECT_TRUE(r.fit(kLinear)->band);
}

// The export holds the latest run: methods it did not compute have empty cells, the band
// whether shown or not, and neither a rejection clicked nor a degree typed since changes
// anything until the next run.
TEST(Driver, ExportHoldsTheLatestRun)
{
    DriverRun r;
    r.settings.exported = {{"poly3", kTicked}, {"poly", kTicked}, {"zigzag", kTicked}};
    r.settings.show["zigzag"] = kUnticked;
    r.go();
    EXPECT_TRUE(
        exportText(r.state, {})
            .starts_with(
                "* * *  KALIBRIX  -  Export of interpolated data\r"
                "Poly3.R. aver.diff. /diff.%\t\t\t\tPoly6.R. aver.diff. /diff.%\t\t\t\tZigzag\r\r"
                "No.\tData\tPoly3.Reg.\t\tNo.\tData\tPoly6.Reg.\t\tNo.\tData\tZigzag\r"
                "1\t\t\t\t1\t\t\t\t1\t\t\t\t\r"));
    r.settings.exported["linear"] = kTicked;
    r.settings.show["zigzag"] = kTicked;
    r.settings.showBand = kUnticked;  // the band is exported whether or not it is shown
    r.go();
    const std::string before = exportText(r.state, {});
    EXPECT_NE(before.find("\r5\t980\t923.747216035635\t118.710220325163\t"), std::string::npos);
    r.state.table().rejFlag[5] = 1;
    r.settings.degreeText = "4";
    EXPECT_EQ(exportText(r.state, {}), before);
    // The marks since the run, which the export does not hold yet, are counted: a mark
    // made and taken back again is none.
    EXPECT_EQ(pendingMarks(r.state), 1u);
    r.state.table().rejFlag[10] = 1;
    r.state.table().rejFlag[10] = 0;
    EXPECT_EQ(pendingMarks(r.state), 1u);
    r.go();
    EXPECT_EQ(pendingMarks(r.state), 0u);
    EXPECT_EQ(r.results.rejected, std::vector<int>{5});
}

// "Export uncertainties": each method's value is followed by its half-width of the kind
// chosen under the title "±", t times the engine's uncertainty; the linear fit's "C.I."
// stays, and is the curve's half-width, so that only the new reading adds its "±".
TEST(Driver, ExportGivesEachMethodsHalfWidthOfTheKindChosen)
{
    DriverRun r;
    for (const FitMethod& method : fitMethods())
        r.settings.exported[method.name] = r.settings.show[method.name] = kTicked;
    r.settings.exportUncertainties = true;
    const NumberFormat fmt = NumberFormat{}.forExport();
    const int probCol = *r.settings.level + 1;
    for (const UncertaintyKind kind : {UncertaintyKind::Curve, UncertaintyKind::Reading}) {
        SCOPED_TRACE(kind == UncertaintyKind::Curve ? "curve" : "new reading");
        r.settings.uncertaintyKind = kind;
        r.go();
        const QStringList lines = QString::fromStdString(exportText(r.state, {})).split(u'\r');
        const QStringList titles = lines[3].split(u'\t');
        // The cell of X in the column `offset` cells after the title of method m.
        auto cell = [&](std::size_t m, int x, qsizetype offset) {
            const qsizetype at = titles.indexOf(QString::fromStdString(
                withDegree(fitMethods()[m].exportTitle, r.results.degreeText)));
            EXPECT_GE(at, 0);
            return lines[3 + x].split(u'\t').value(at + offset).toStdString();
        };
        auto halfWidth = [&](std::size_t m, int x) {
            return fmt.general(r.fit(m)->uncertainty(x)->halfWidth(kind, r.state.student, probCol));
        };
        const int nData = r.state.table().nData;
        const bool curve = kind == UncertaintyKind::Curve;
        EXPECT_EQ(titles.count(QStringLiteral("\u00b1")),
                  static_cast<qsizetype>(fitMethods().size()) - (curve ? 1 : 0));
        for (int x = 1; x <= nData; ++x) {
            const std::string ci = cell(kLinear, x, 1);
            if (curve) {  // the same figure, but reached by other sums: to the last digits
                const double u =
                    *r.fit(kLinear)->uncertainty(x)->curveHalfWidth(r.state.student, probCol);
                EXPECT_NEAR(std::stod(ci), u, 1e-13 * u) << x;
            } else {
                EXPECT_EQ(cell(kLinear, x, 2), halfWidth(kLinear, x)) << x;
                EXPECT_NE(cell(kLinear, x, 2), ci) << x;
            }
        }
        for (const int x : {1, nData}) {
            EXPECT_EQ(cell(kPoly2, x, 1), halfWidth(kPoly2, x)) << x;
            EXPECT_FALSE(cell(kPoly2, x, 1).empty());
        }
    }
}

// The figures the window shows: at least four significant digits, in exponent form outside
// 0.001 .. 9999999; and the export's first-design texts, which never change.
TEST(Rounding, FourSignificantDigitsAndTheExportsFixedDecimals)
{
    const NumberFormat fmt;
    const struct {
        double value;
        const char* shown;
        const char* exported;
    } cases[] = {{1234.567, "1235", "1235"},
                 {1000, "1000.0", "1000.0"},
                 {941.0690, "941.1", "941.1"},
                 {-19.62695, "-19.63", "-19.63"},
                 {4.38274, "4.383", "4.383"},
                 {0.5, "0.5000", "0.5000"},
                 {0.1, "0.10000", "0.10000"},
                 {0.0123456, "0.01235", "0.01235"},
                 {0.01, "0.01000", "0.01000"},
                 {0, "0.00000", "0.00000"},
                 {100, "100.00", "100.00"},
                 {10, "10.000", "10.000"},
                 {1, "1.0000", "1.0000"},
                 {9999999.4, "9999999", "9999999"},
                 {0.0099999996, "0.010000", "0.01000"},
                 {0.00123456, "0.001235", "0.00123"},
                 {-0.001, "-0.001000", "-0.00100"},
                 {0.00099999, "1.000E-03", "0.00100"},
                 {0.000987654, "9.877E-04", "0.00099"},
                 {9999999.6, "1.000E+07", "10000000"},
                 {25645916851.2, "2.565E+10", "25645916851"},
                 {-123456789012.0, "-1.235E+11", "-123456789012"},
                 {2.4567e-6, "2.457E-06", "0.00000"},
                 {-0.000004, "-4.000E-06", "0.00000"},
                 {1.5e-300, "1.500E-300", "0.00000"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Rounding(c.value, fmt), c.shown) << c.value;
        EXPECT_EQ(fixedRounding(c.value, fmt), c.exported) << c.value;
    }
    EXPECT_EQ(shownValue(25645916851.2), 2.565e10);
    EXPECT_EQ(shownValue(3.0249), 3.025);
}

// The export's and the listing's numbers (the golden exports hold many more): 15 significant
// digits, the locale's decimal point, never grouped.
TEST(NumberFormat, GeneralConversion)
{
    const NumberFormat fmt;
    const struct {
        double value;
        const char* text;
    } cases[] = {{1156.56612345678901, "1156.56612345679"}, {1e16, "1E+16"}, {-0.0001, "-0.0001"}};
    for (const auto& c : cases)
        EXPECT_EQ(fmt.general(c.value), c.text) << c.value;
    const NumberFormat de = NumberFormat::fromLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.general(1234.5) + " " + Rounding(0.5, de) + " " + Rounding(-2.5e10, de) + " " +
                  de.groupSeparator,
              "1234,5 0,5000 -2,500E+10 .");
}
