#include "engine/data_stat.h"
#include "run/driver.h"
#include "run/paste_table.h"
#include "run/plot.h"
#include "run/plot_scale.h"
#include "run/rejection.h"
#include "support/test_support.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

using namespace kalibrix;
using kalibrix::test::method;
using kalibrix::test::tableOf;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

constexpr Rgb kRed{255, 0, 0};

State stateOf(const DataTable& t, bool allData = true)
{
    State s;
    s.table() = t;
    s.results().stats = computeDataStats(t, allData);
    return s;
}

PlotDisplay plotOf(State s, bool fullX = true, bool fullY = true, NumberFormat fmt = {})
{
    s.settings.scaleXFull = fullX;
    s.settings.scaleYFull = fullY;
    return buildPlot(s, fmt);
}

// Captions of the visible labels, as "index:caption" when indexed.
std::vector<std::string> shown(std::span<const TickLabel> labels, bool indexed = false)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < labels.size(); ++i)
        if (labels[i].visible)
            out.push_back((indexed ? std::to_string(i) + ":" : "") + labels[i].caption);
    return out;
}

// Starts of the pict2 lines `length` twips long: vertical ones are X ticks, others Y ticks.
std::vector<PointF> ticks(const PlotDisplay& p, double length, bool vertical)
{
    std::vector<PointF> starts;
    for (const Shape& s : p.pict2.shapes) {
        const auto pts = p.pict2.pointsOf(s);
        const PointF d{pts[1].x - pts[0].x, pts[1].y - pts[0].y};
        if ((vertical ? d.x : d.y) == 0 && std::abs(vertical ? d.y : d.x) == length)
            starts.push_back(pts[0]);
    }
    return starts;
}

// pict1 from X 0 to 1000 and Y 100 to 1100, marks 3 by 4 units.
State clickableState(DataTable table)
{
    State s;
    s.table() = std::move(table);
    s.plot.pict1Scale = {0, 1100, 1000, -1000};
    s.plot.markDX = 3;
    s.plot.markDY = 4;
    return s;
}

int rejectedCount(const DataTable& t)
{
    return static_cast<int>(std::count(t.rejFlag.begin(), t.rejFlag.end(), 1));
}

}  // namespace

TEST(PlotAxes, XTicksAndLabelsByExtent)
{
    struct Case {
        int firstX, nData;
        bool full;
        size_t minor, major, labels;
        std::string first, last;
    } const cases[] = {
        {5, 27, true, 28, 3, 3, "0:0", "2:20"},
        {5, 27, false, 23, 2, 2, "1:10", "2:20"},
        {5, 2000, true, 201, 21, 21, "0:0", "20:2000"},
        // Five-digit captions every 1000 would touch: every other one is left out.
        {5, 20000, true, 201, 21, 11, "0:0", "20:20000"},
        {5, 25000, true, 26, 3, 3, "0:0", "2:20000"},
        // Fewer than two multiples of 10 (of 1000) on the axis: labels every 2 (every 50).
        {1, 4, false, 4, 2, 2, "1:2", "2:4"},
        {5510, 5638, false, 13, 2, 2, "0:5550", "1:5600"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nData << (c.full ? " Full" : " Zoom"));
        const PlotDisplay p = plotOf(stateOf(tableOf({{c.firstX, 100}, {c.nData, 200}})), c.full);
        const auto minor = ticks(p, kMinorTickTwips, true);
        EXPECT_EQ(minor.size(), c.minor);
        EXPECT_EQ(minor.front().x, p.plotLeft);  // Xs at the plot's left edge
        EXPECT_EQ(ticks(p, kMajorTickTwips, true).size(), c.major);
        const auto labels = shown(p.lblX, true);
        ASSERT_EQ(labels.size(), c.labels);
        EXPECT_EQ(labels.front() + " " + labels.back(), c.first + " " + c.last);
        EXPECT_DOUBLE_EQ(p.pict1Scale.left + p.pict1Scale.width, 1.05 * c.nData);
        // Every label stands where the plot area draws its X.
        const UserScale& sc = p.pict1Scale;
        for (const TickLabel& l : p.lblX) {
            if (l.visible) {
                EXPECT_NEAR(
                    l.rect.left + l.rect.width / 2,
                    p.plotLeft + (std::stod(l.caption) - sc.left) / sc.width * p.pict1Rect.width,
                    1e-6)
                    << l.caption;
            }
        }
        // The Zoom view's extra line left of the plot, over its whole height.
        EXPECT_EQ(ticks(p, p.pict1Rect.height, true).size(), c.full ? 0u : 1u);
    }
}

TEST(PlotAxes, YStepsAndCaptions)
{
    constexpr double kMax = std::numeric_limits<double>::max();
    const NumberFormat comma{",", "-", "."};  // the locale's separators
    struct Case {
        std::vector<double> ys;
        bool full;
        size_t minor;  // 0: not checked
        std::vector<std::string> captions;
        NumberFormat fmt = {};
    } const cases[] = {
        // One major tick in the range: labels every 5 of the minor step.
        {{600, 1234}, true, 14, {"500", "1,000"}},
        {{1234}, true, 0, {"500", "1.000"}, comma},
        {{0.15}, true, 0, {"0,05", "0,10", "0,15"}, comma},
        {{0.2, 0.5}, true, 56, {"0.1", "0.2", "0.3", "0.4", "0.5"}},
        {{1000, 1050, 1100}, false, 13, {"1,000", "1,100"}},
        {{1.5e6, 2.5e6}, true, 28, {"1.0E06", "2.0E06"}},
        {{1e-6, 3e-6}, true, 0, {"1E-06", "2E-06", "3E-06"}},
        {{1e-6, 1.1e-6}, false, 0, {"1.0E-06", "1.1E-06"}},  // as many decimals as needed
        {{-50, 30}, false, 97, {"-50", "-40", "-30", "-20", "-10", "0", "10", "20", "30"}},
        // Only the multiples near 1e7 are visited, never the 1e8 steps up from 0.
        {{1e7 - 1, 1e7, 1e7 + 1}, false, 0, {"9999999", "10000000", "10000001"}},
        // At the ends of the doubles: only ticks whose value is a double.
        {{1e-308, 2e-308, 3e-308}, true, 0, {"1E-308", "2E-308", "3E-308"}},
        {{1.7e308}, true, 0, {"5.0E307", "1.0E308", "1.5E308"}},
        {{kMax, -kMax}, false, 0, {"-1.0E308", "0", "1.0E308"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ys.back());
        DataTable t;
        for (double y : c.ys)
            t.y[++t.nData] = y;
        const PlotDisplay p = plotOf(stateOf(t), true, c.full, c.fmt);
        EXPECT_THAT(shown(p.lblY), ElementsAreArray(c.captions));
        if (c.minor) {
            EXPECT_EQ(ticks(p, kMinorTickTwips, false).size(), c.minor);
        }
        EXPECT_EQ(ticks(p, kMajorTickTwips, false).size(), c.captions.size());
    }
}

TEST(PlotPoints, MarksErrorBarsAndRejection)
{
    DataTable t = demonstrationTable();
    t.rejFlag[10] = 1;
    PlotDisplay p = plotOf(stateOf(t), false, false);  // the window checks the marks are square
    ASSERT_EQ(p.pict1.shapes[0].kind, ShapeKind::Rectangle);
    auto pts = [&](size_t i) { return p.pict1.pointsOf(p.pict1.shapes[i]); };
    EXPECT_THAT(pts(0), ElementsAre(PointF{5 - p.markDX, 980 - p.markDY},
                                    PointF{5 + p.markDX, 980 + p.markDY}));
    EXPECT_EQ(p.pict1.shapes[0].colour, (Rgb{0, 0, 0}));
    EXPECT_EQ(p.pict1.shapes[1].colour, (Rgb{0, 0, 0}));  // X = 15: the rejected X = 10 comes last
    EXPECT_EQ(p.pict1.shapes.back().colour, kRed);

    t.nCol = 3;
    t.yErr[5] = 20;
    p = plotOf(stateOf(t));
    EXPECT_THAT(pts(0), ElementsAre(PointF{5 - p.markDX, 980}, PointF{5 + p.markDX, 980}));
    EXPECT_THAT(pts(1), ElementsAre(PointF{5, 960}, PointF{5, 1000}));
    const size_t last = p.pict1.shapes.size() - 1;
    EXPECT_THAT(pts(last), ElementsAre(PointF{10, 770}, PointF{10, 770}));  // no error value
    EXPECT_EQ(p.pict1.shapes[last].colour, kRed);

    // The values no fit takes (X = 0, Y <= 0) come first, grey and dotted, rejected or not;
    // the standards stay solid.
    DataTable out = tableOf({{0, 300}, {5, 980}, {10, 0}, {15, -20}});
    out.rejFlag[15] = 1;
    p = plotOf(stateOf(out), true, false);
    ASSERT_GE(p.pict1.shapes.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const bool left = i < 3;
        const std::array xs{0, 10, 15, 5};
        const Rgb colour = left ? Rgb{128, 128, 128} : Rgb{0, 0, 0};
        EXPECT_EQ(pts(i)[0].x, xs[i] - p.markDX);
        EXPECT_EQ(p.pict1.shapes[i].colour, colour);
        EXPECT_EQ(p.pict1.shapes[i].style, left ? PenStyle::Dotted : PenStyle::Solid);
    }
    EXPECT_TRUE(std::none_of(p.pict1.shapes.begin(), p.pict1.shapes.end(),
                             [](const Shape& sh) { return sh.colour == kRed; }));
}

// A run's samples, marked under the X axis: the lines not of the standard where the analyte
// has a reading, in text order, a check standard's marked as such (a line of the standard
// stays a standard); the picture of a run marks those of the analyte shown, no other none.
TEST(PlotPoints, SamplesOfARunMarkedAtTheirX)
{
    PasteResult pasted = parseTable(
        "X\tID\tCu\tZn\n1\tSTD\t100\t50\n2\tA\t210\t\n"
        "3\tSTD\t102\t51\n4\tQC\t105\t52\n5\tSTD\t104\t50\n"
        "6\tSTD2\t99\t49\n",
        QLocale::c());
    ASSERT_TRUE(pasted.table && pasted.table->run);
    State s = kalibrix::test::startedState();
    s.replaceAnalytes(pasted.table->analytes, true, pasted.table->run);
    using M = SampleMark;
    EXPECT_THAT(sampleMarksOf(s, "Cu"), ElementsAre(M{2, false}, M{4, false}, M{6, false}));
    EXPECT_THAT(sampleMarksOf(s, "Zn"), ElementsAre(M{4, false}, M{6, false}));
    EXPECT_TRUE(sampleMarksOf(s, "Fe").empty());
    s.settings.standardPattern = "STD*";
    s.settings.checkPattern = "Q?";
    EXPECT_THAT(sampleMarksOf(s, "Cu"), ElementsAre(M{2, false}, M{4, true}));
    s.settings.checkPattern = "*";
    EXPECT_THAT(sampleMarksOf(s, "Cu"), ElementsAre(M{2, true}, M{4, true}));

    s.selected = 1;
    plotAndCalculate(s, NumberFormat{});
    EXPECT_EQ(s.plot.sampleMarks, sampleMarksOf(s, "Zn"));
    EXPECT_TRUE(plotOf(stateOf(demonstrationTable())).sampleMarks.empty());
}

TEST(PlotCurves, OrderNodesBandAndLogStart)
{
    State s = kalibrix::test::startedState();  // linear with band, log, degree 2, zigzag
    plotAndCalculate(s, NumberFormat{});
    RunResults& r = s.results();

    const PlotDisplay p = plotOf(s);
    const auto& sh = p.pict1.shapes;
    ASSERT_EQ(sh.size(), 12u);  // 5 points, axis, zigzag, line, two band edges, log, poly
    const std::pair<PenColour, uint32_t> expected[] = {
        {std::nullopt, 2},  {Rgb{255, 128, 0}, 5},  {std::nullopt, 2},   {std::nullopt, 23},
        {std::nullopt, 23}, {Rgb{255, 0, 255}, 24}, {Rgb{0, 255, 0}, 23}};  // colour, nodes
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(std::make_pair(sh[5 + i].colour, sh[5 + i].count), expected[i]) << 5 + i;
    EXPECT_EQ(p.pict1.pointsOf(sh[7])[0], (PointF{0, *r.fit(method("linear"))->a}));
    auto edge = [&](size_t shape, int x) { return p.pict1.pointsOf(sh[shape])[x - 5].y; };
    auto width = [&](int x) { return edge(8, x) - edge(9, x); };
    EXPECT_TRUE(width(5) > width(16) && width(27) > width(16));  // narrowest near the mean X
    r.fits[method("zigzag")]->nodes = {{5, 980}};  // one node: no segment, checked below

    r.stats.firstX = 0;  // ln X needs X >= 1: 27 segments from X = 1 to 28
    const PlotDisplay q = plotOf(s);
    EXPECT_EQ(q.pict1.shapes[9].count, 28u);
    EXPECT_EQ(q.pict1.pointsOf(q.pict1.shapes[9])[0].x, 1);

    // A rejected standard's red mark lies above every curve and the band.
    s.table().rejFlag[10] = 1;
    const PlotDisplay red = plotOf(s);
    ASSERT_EQ(red.pict1.shapes.size(), 11u);  // the zigzag without a segment
    EXPECT_EQ(red.pict1.shapes[10].colour, kRed);
    EXPECT_EQ(red.pict1.pointsOf(red.pict1.shapes[10])[0].x, 10 - red.markDX);
}

// Of each run of nodes in one column of device pixels a curve keeps the first, the lowest,
// the highest and the last, in their order; a node back in a column left before starts a
// new run there.
TEST(PlotCurves, ReducedToTheExtremesOfEachPixelColumn)
{
    const std::vector<PointF> device{
        {0.1, 5},  {0.2, 3},  {0.3, 1}, {0.4, 7}, {0.5, 9}, {0.6, 6}, {0.9, 4},  // 0..6
        {1.0, 4},                                                                // 7
        {2.5, 3},  {2.7, 3},                                                     // 8, 9
        {3.1, 5},  {3.2, 9},  {3.3, 1}, {3.4, 4}, {3.5, 2},                      // 10..14
        {1.5, 0},                                                                // 15
        {-0.5, 2}, {-0.2, 8},                                                    // 16, 17
    };
    std::vector<std::uint32_t> keep;
    columnExtremes(device, keep);
    EXPECT_THAT(keep, ElementsAre(0, 2, 4, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 17));
    columnExtremes({}, keep);
    EXPECT_TRUE(keep.empty());
}

// The band belongs to the method and kind the settings name: value +/- t * u at every X; a
// method not shown, or the band not ticked, draws none.
TEST(PlotCurves, BandOfAnyMethodAndKind)
{
    State s = kalibrix::test::startedState();  // linear with band, log, degree 2, zigzag
    s.settings.bandMethod = "poly2";
    plotAndCalculate(s, NumberFormat{});
    const FitResult& fit = *s.results().fit(method("poly2"));
    const int probCol = *s.settings.level + 1;
    const auto count = [&](const PlotDisplay& p, PenColour pen) {
        return std::count_if(p.pict1.shapes.begin(), p.pict1.shapes.end(),
                             [&](const Shape& sh) { return sh.colour == pen; });
    };
    const PenColour pen = fitMethods()[method("poly2")].pen;
    for (const UncertaintyKind kind : {UncertaintyKind::Curve, UncertaintyKind::Reading}) {
        s.settings.uncertaintyKind = kind;
        const PlotDisplay p = plotOf(s);
        ASSERT_EQ(count(p, pen), 3);            // the curve and two edges
        EXPECT_EQ(p.pict1.shapes.size(), 12u);  // and no band of the line
        std::vector<const Shape*> edges;
        for (const Shape& sh : p.pict1.shapes)
            if (sh.colour == pen)
                edges.push_back(&sh);
        const PointF upper = p.pict1.pointsOf(*edges[1])[16 - 5];
        const PointF lower = p.pict1.pointsOf(*edges[2])[16 - 5];
        ASSERT_EQ(upper.x, 16);
        const double h = *fit.uncertainty(16)->halfWidth(kind, s.student, probCol);
        EXPECT_DOUBLE_EQ(upper.y, p.toPict1Y(*fit.value(16) + h));
        EXPECT_DOUBLE_EQ(lower.y, p.toPict1Y(*fit.value(16) - h));
    }
    s.settings.showBand = kUnticked;
    EXPECT_EQ(count(plotOf(s), pen), 1);
    s.settings.showBand = kTicked;
    s.results().fits[method("poly2")].reset();     // not shown: not fitted
    EXPECT_EQ(plotOf(s).pict1.shapes.size(), 9u);  // 5 points, axis, zigzag, line, log
}

// The residual view: every standard at its Y less the band's method's value at its X, marked
// as in the data view, a line at zero and the method's band of a new reading about it, the
// Y axis over them; of a method not fitted, the linear fit's residuals.
TEST(PlotResiduals, StandardsAtTheirResidualsWithTheBandAboutZero)
{
    State s = kalibrix::test::startedState();  // linear with band, log, degree 2, zigzag
    // Y = 2 X and the residuals 1, -2, 0, 2, -1, which leave the line through them at Y = 2 X.
    s.table() = tableOf({{1, 3}, {2, 2}, {3, 6}, {4, 10}, {5, 9}});
    s.settings.plotResiduals = true;
    plotAndCalculate(s, NumberFormat{});
    s.table().rejFlag[4] = 1;  // marked since the run: red, at its residual of the run
    s.results().suggested = {2};

    for (const char* band : {"linear", "poly5"}) {  // poly5 is not shown, so not fitted
        SCOPED_TRACE(band);
        s.settings.bandMethod = band;
        const PlotDisplay p = plotOf(s);
        EXPECT_EQ(p.residualMethod, method("linear"));
        std::map<int, std::pair<double, PenColour>> marks;  // X: the centre's Y and colour
        std::vector<PointF> rings, zero, upper;
        for (const Shape& sh : p.pict1.shapes) {
            const auto pts = p.pict1.pointsOf(sh);
            for (const PointF& pt : pts)
                EXPECT_TRUE(std::isfinite(pt.x) && std::isfinite(pt.y));
            const PointF centre{(pts[0].x + pts[1].x) / 2, (pts[0].y + pts[1].y) / 2};
            if (sh.kind == ShapeKind::Rectangle)
                marks[int(std::lround(centre.x))] = {centre.y, sh.colour};
            else if (sh.kind == ShapeKind::Ellipse)
                rings.push_back(centre);
            else if (sh.count == 2 && pts[0].y == 0 && pts[1].y == 0)
                zero.assign(pts.begin(), pts.end());
            else if (sh.count == 5 && upper.empty())
                upper.assign(pts.begin(), pts.end());
        }
        const std::map<int, std::pair<double, Rgb>> expected{{1, {1, {0, 0, 0}}},
                                                             {2, {-2, {0, 0, 0}}},
                                                             {3, {0, {0, 0, 0}}},
                                                             {4, {2, kRed}},
                                                             {5, {-1, {0, 0, 0}}}};
        ASSERT_EQ(marks.size(), expected.size());
        for (const auto& [x, mark] : expected) {
            EXPECT_NEAR(marks[x].first, mark.first, 1e-9) << x;
            EXPECT_EQ(marks[x].second, mark.second) << x;
        }
        // A click picks a standard where it is drawn, at its residual, not at its Y.
        const PlotGeometry g(p, 1024, 512);
        EXPECT_EQ(pointNear(s.table(), p, g, g.userToPixels({2, p.toPict1Y(-2)})), 2);
        EXPECT_EQ(pointNear(s.table(), p, g, g.userToPixels({5, p.toPict1Y(-1)})), 5);
        EXPECT_EQ(pointNear(s.table(), p, g, g.userToPixels({2, p.toPict1Y(2)})), std::nullopt);
        ASSERT_EQ(rings.size(), 1u);
        EXPECT_NEAR(rings[0].x, 2, 1e-9);
        EXPECT_NEAR(rings[0].y, -2, 1e-9);
        ASSERT_EQ(zero.size(), 2u);
        EXPECT_TRUE(zero[0].x <= 1 && zero[1].x >= 5);
        // The band of a new reading at X = 3, t * u about zero, and the scale over it all.
        const FitResult& line = *s.results().fit(method("linear"));
        const double h = *line.uncertainty(3)->halfWidth(UncertaintyKind::Reading, s.student,
                                                         *s.settings.level + 1);
        ASSERT_EQ(upper.size(), 5u);
        EXPECT_EQ(upper[2].x, 3);
        EXPECT_NEAR(upper[2].y, h, 1e-9);
        const UserScale& sc = p.pict1Scale;
        EXPECT_GT(sc.top, std::max(2.0, h));
        EXPECT_LT(sc.top + sc.height, std::min(-2.0, -h));
    }

    // Another method's residuals, in its own pen.
    s.settings.bandMethod = "poly2";
    const PlotDisplay p = plotOf(s);
    EXPECT_EQ(p.residualMethod, method("poly2"));
    const double r3 = 6 - *s.results().fit(method("poly2"))->value(3);
    EXPECT_NEAR(*plottedY(p, s.table(), 3), r3, 1e-12);
    EXPECT_NEAR(markOf(p, s.table(), 3).a.y + p.markDY, r3, 1e-9);
    EXPECT_TRUE(std::any_of(p.pict1.shapes.begin(), p.pict1.shapes.end(), [](const Shape& sh) {
        return sh.colour == fitMethods()[method("poly2")].pen;
    }));

    // A single standard: no fit, so no residual to mark (and no mark at its Y).
    s.table() = tableOf({{3, 6}});
    plotAndCalculate(s, NumberFormat{});
    const PlotDisplay none = plotOf(s);
    EXPECT_EQ(none.residualMethod, std::nullopt);
    EXPECT_TRUE(std::none_of(none.pict1.shapes.begin(), none.pict1.shapes.end(),
                             [](const Shape& sh) { return sh.kind == ShapeKind::Rectangle; }));
}

// The fuzz target checks that every coordinate is finite and the scale not empty.
TEST(PlotScale, DegenerateTablesKeepTheDataInViewAndTwoLabels)
{
    constexpr double kMax = std::numeric_limits<double>::max();
    DataTable allRejected = demonstrationTable();
    for (int x : {5, 10, 15, 25, 27})
        allRejected.rejFlag[x] = 1;
    DataTable tinyWithFarErrorBar = tableOf({{0, 12.345}, {2, 2e-308}, {3, 3e-308}});
    tinyWithFarErrorBar.nCol = 3;
    tinyWithFarErrorBar.yErr[0] = 1;
    struct Case {
        const char* what;
        DataTable table;
        bool allData, fullX, fullY;
    } const cases[] = {
        {"no data", DataTable{}, true, false, false},
        {"Full Y, nothing above 0", tableOf({{3, -20}, {7, 0}}), true, true, true},
        {"Full Y, all 0", tableOf({{3, 0}, {4, 0}}), true, true, true},
        {"Zoom Y, all equal", tableOf({{3, 999}, {9, 999}}), true, true, false},
        {"Zoom Y, equal to 15 digits", tableOf({{3, 1}, {9, 1 + 1e-15}}), true, true, false},
        {"Zoom Y, all 0", tableOf({{3, 0}, {9, 0}}), true, true, false},
        {"Zoom X on one X", tableOf({{27, 500}}), true, false, false},
        {"Zoom, the first Y below 0", tableOf({{3, -20}, {7, 5}, {9, 6}}), true, false, false},
        {"Zoom, nothing counted", allRejected, false, false, false},
        // Range, margins or twips per unit beyond the doubles when taken as they are.
        {"Full Y near 1e-308", tableOf({{1, 1e-308}, {2, 2e-308}, {3, 3e-308}}), true, true, true},
        {"Zoom Y near 1e-308", tableOf({{1, 1e-308}, {2, 2e-308}, {3, 3e-308}}), true, true, false},
        {"Full Y at 1.7e308", tableOf({{1, 1.7e308}, {2, 1.7e308}}), true, true, true},
        {"Zoom Y at +-max", tableOf({{1, kMax}, {2, -kMax}}), true, true, false},
        // A standard with an error bar far beyond a scale of about 1e-308: X = 0 is drawn
        // but not counted.
        {"error bar beyond the doubles", tinyWithFarErrorBar, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        State s = stateOf(c.table, c.allData);
        const PlotDisplay p = plotOf(s, c.fullX, c.fullY);
        const UserScale& sc = p.pict1Scale;
        EXPECT_TRUE(std::all_of(p.pict1.points.begin(), p.pict1.points.end(),
                                [](PointF q) { return std::isfinite(q.x) && std::isfinite(q.y); }));
        // At least two labelled major ticks on each axis, except for no data: an empty plot
        // area without ticks.
        const bool none = c.table.nData == 0;
        EXPECT_EQ(ticks(p, kMajorTickTwips, false).size(), shown(p.lblY).size());
        EXPECT_EQ(ticks(p, kMinorTickTwips, true).empty(), none);
        for (const size_t labels : {shown(p.lblX).size(), shown(p.lblY).size()})
            EXPECT_TRUE(none ? labels == 0 : labels >= 2);
        for (int x = 1; x <= c.table.nData; ++x) {
            if (!c.table.hasValue(x) || (!c.allData && !c.table.inUse(x)))
                continue;
            const double y = p.toPict1Y(*c.table.y[x]);
            EXPECT_TRUE(x >= sc.left && x < sc.left + sc.width)
                << "X " << x;  // Zoom X starts on the first X
            EXPECT_TRUE(y > sc.top + sc.height && y < sc.top) << "X " << x;
        }
    }
}

// Clicks on the plot (clickOnPlot). The window's tests click with every button and
// "Restore all data".
TEST(Rejection, LeftClickFlipsAndMarksThePoint)
{
    // At the designed size: 0.705 pixels per X unit, 0.385 per Y unit.
    State s = clickableState(tableOf({{100, 500}, {300, 600}}));
    EXPECT_EQ(clickOnPlot(s, MouseButton::Left, 103, 497), 100);
    EXPECT_EQ(s.table().rejFlag[100], 1);
    ASSERT_EQ(s.plot.pict1.shapes.size(), 1u);
    EXPECT_EQ(s.plot.pict1.shapes[0].kind, ShapeKind::Rectangle);
    EXPECT_EQ(s.plot.pict1.shapes[0].colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(s.plot.pict1.pointsOf(s.plot.pict1.shapes[0])[0], (PointF{97, 496}));
    EXPECT_EQ(clickOnPlot(s, MouseButton::Right, 100, 500), std::nullopt);  // no flip
    EXPECT_EQ(clickOnPlot(s, MouseButton::Left, 100, 500), 100);            // taken back
    EXPECT_EQ(s.table().rejFlag[100], 0);
    EXPECT_EQ(s.plot.pict1.shapes[1].colour, (Rgb{0, 0, 0}));  // as a run draws it in use

    // With errors the whole mark, stroke and error bar, is drawn again in its new colour,
    // over the red one a run drew.
    DataTable withErrors = tableOf({{100, 500}, {300, 600}});
    withErrors.nCol = 3;
    withErrors.yErr[100] = 20;
    withErrors.rejFlag[100] = 1;
    s = clickableState(withErrors);
    EXPECT_EQ(clickOnPlot(s, MouseButton::Left, 100, 500), 100);
    ASSERT_EQ(s.plot.pict1.shapes.size(), 2u);
    for (const Shape& shape : s.plot.pict1.shapes)
        EXPECT_TRUE(shape.kind == ShapeKind::Polyline && shape.colour == (Rgb{0, 0, 0}));
    EXPECT_THAT(s.plot.pict1.pointsOf(s.plot.pict1.shapes[1]),
                ElementsAre(PointF{100, 480}, PointF{100, 520}));

    // pict1's Y in units of 2^-1020: the click is in those units, the mark too.
    const double unit = std::ldexp(1.0, -1020);
    s = clickableState(tableOf({{100, 500 * unit}}));
    s.plot.yUnit = unit;
    EXPECT_EQ(clickOnPlot(s, MouseButton::Left, 100, 503), 100);
    EXPECT_EQ(s.plot.pict1.pointsOf(s.plot.pict1.shapes[0])[1], (PointF{103, 504}));

    // 30000 standards, some 45 to a pixel: one click, one standard.
    DataTable full;
    for (int x = 1; x <= kMaxX; ++x)
        full.y[x] = 500;
    full.nData = kMaxX;
    s = stateOf(full);
    s.plot = plotOf(s);
    EXPECT_EQ(clickOnPlot(s, MouseButton::Left, 15000, 500), 15000);
    EXPECT_EQ(rejectedCount(s.table()), 1);
    // 5 pixels, some 220 X, beside a lone standard.
    s = stateOf(tableOf({{1000, 500}, {kMaxX, 500}}));
    s.plot = plotOf(s);
    const double fivePixels = 5 * s.plot.pict1Scale.width / designedPixels(s.plot.pict1Rect.width);
    EXPECT_EQ(clickOnPlot(s, MouseButton::Left, 1000 - fivePixels, 500), 1000);
}

// Which standard a click picks: the one nearest within kPickPixels, or the one whose mark
// lies under the pointer.
TEST(Rejection, ClickPicksTheNearestStandardWithinReachOrUnderItsMark)
{
    DataTable bars = tableOf({{300, 300}});
    bars.nCol = 3;
    bars.yErr[300] = 40;
    struct Case {
        const char* what;
        DataTable table;
        double mark;  // pixels
        PointF at;
        std::optional<int> picked;
        std::optional<int> over = std::nullopt;  // the value no fit takes there (leftOutNear)
    } const cases[] = {
        {"the nearer of two", tableOf({{100, 300}, {104, 300}}), 2, {101, 300}, 100},
        {"the nearer of two", tableOf({{100, 300}, {104, 300}}), 2, {103, 301}, 104},
        {"midway: the smaller X", tableOf({{100, 300}, {104, 300}}), 2, {102, 300}, 100},
        {"6 pixels away", tableOf({{200, 300}}), 2, {200, 306}, 200},
        {"7 pixels away", tableOf({{200, 300}}), 2, {207, 300}, std::nullopt},
        {"the corner of a large mark", tableOf({{300, 300}}), 10, {310, 310}, 300},
        {"the pixel of its edge", tableOf({{300, 300}}), 10, {300, 289}, 300},
        {"beyond its edge", tableOf({{300, 300}}), 10, {300, 288}, std::nullopt},
        {"an error bar's end", bars, 2, {300, 340}, 300},
        {"beside an error bar", bars, 2, {303, 330}, std::nullopt},
        {"Y = 0", tableOf({{400, 0}, {402, -3}}), 2, {400, 1}, std::nullopt, 400},
        {"the nearer of two Y = 0", tableOf({{400, 0}, {404, 0}}), 2, {403, 1}, std::nullopt, 404},
        {"a standard before a nearer Y = 0", tableOf({{400, 0}, {403, 3}}), 2, {401, 1}, 403},
        {"X = 0 holds no standard", tableOf({{0, 300}}), 2, {0, 300}, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        State s;
        s.table() = c.table;
        // A plot of 1024 by 512 pixels that is all pict1, a unit a pixel (Y upward).
        s.plot.pict2Rect = s.plot.pict1Rect = {0, 0, 1024, 512};
        s.plot.pict1Scale = {0, 512, 1024, -512};
        s.plot.markDX = s.plot.markDY = c.mark;
        const PlotGeometry geometry(s.plot, 1024, 512);
        if (!c.picked) {
            EXPECT_EQ(leftOutNear(s.table(), s.plot, geometry, geometry.userToPixels(c.at)),
                      c.over);
        }
        EXPECT_EQ(clickOnPlot(s, MouseButton::Left, s.plot, geometry, geometry.userToPixels(c.at)),
                  c.picked);
        EXPECT_EQ(rejectedCount(s.table()), c.picked ? 1 : 0);
    }
}
