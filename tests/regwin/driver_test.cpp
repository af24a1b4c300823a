#include "regwin/driver.h"
#include "support/test_support.h"

#include <algorithm>

using namespace kalibrix;
using kalibrix::test::startedState;
using kalibrix::test::tableOf;

namespace {

struct DriverRun {
    State state = startedState();
    RegControls controls;
    RunReport report;
    const RunResults& results = state.results;
    const StatLabels& labels = controls.labels;

    void go() { report = A_PLOT(state, controls, NumberFormat{}); }
};

}  // namespace

TEST(Driver, NothingHappensBeforeALevelIsChosen)
{
    DriverRun r;
    r.state.probCol.reset();
    r.go();
    EXPECT_FALSE(r.report.ran || r.results.computed);
    EXPECT_EQ(r.labels, StatLabels{});
}

TEST(Driver, DemonstrationLabels)
{
    DriverRun r;
    r.go();
    const StatLabels expected{"27", "5", "0",                             // counters
                              "1022", "-19.63", "0.95", "33.24", "4.38",  // linear
                              "1416", "-272.6", "0.99", "14.44", "2.28",  // logarithmic
                              {"", "", "21.36"}, {"", "", "3.18"}, ""};   // degree 2
    EXPECT_EQ(r.labels, expected);
    EXPECT_TRUE(r.report.messages.empty());
    ASSERT_TRUE(r.results.band);
    EXPECT_DOUBLE_EQ(r.results.band->tValue, 3.18245);
}

TEST(Driver, GuardsOnThePointCount)
{
    DriverRun r;
    r.controls.chkPoly = {0, 1, 1, 1, 1, 1};
    r.controls.comboBox1Text = "2";

    // One point: counts written, no fit, the zigzag still built.
    r.state.table = tableOf({{3, 50}});
    r.go();
    EXPECT_EQ(r.labels.lblNData + "/" + r.labels.lblnDataOK + "/" + r.labels.lblRej, "3/1/0");
    EXPECT_EQ(r.labels.lbl_LRa, "");
    EXPECT_TRUE(!r.results.linear && r.results.zigzag && r.report.messages.empty());

    // Two points: the line, nothing else whatever is ticked.
    r.state.table = tableOf({{10, 770}, {27, 500}});
    r.go();
    EXPECT_EQ(r.labels.lbl_LRb, "-15.88");
    EXPECT_EQ(r.labels.lbl_LRr + r.labels.lblDiff + r.labels.lbl_LoRa, "");
    EXPECT_FALSE(r.results.band || r.results.log);
    EXPECT_TRUE(std::ranges::none_of(r.results.poly, [](const auto& p) { return p.has_value(); }));
    EXPECT_TRUE(r.report.messages.empty());

    // Three points: band, log and the polynomials up to degree 2; the higher ones refused.
    r.state.table = tableOf({{1, 10}, {2, 14}, {4, 11}});
    r.go();
    EXPECT_TRUE(r.results.band && r.results.log && r.results.poly[1] && r.results.poly[2]);
    EXPECT_FALSE(r.results.poly[3]);
    EXPECT_EQ(r.labels.lblDiffPoly[3], "");
    EXPECT_EQ(r.report.messages.size(), 3u);
    EXPECT_EQ(r.report.messages[0],
              (UserMessage{kTooFewDataMessage, MessageIcon::None, kAppTitle}));
}

TEST(Driver, ChosenDegreeSlotMatchesTheFixedSlot)
{
    DriverRun r;
    r.controls.chkPoly = {0, 1, 0, 1, 0, 0};
    r.controls.comboBox1Text = "3";
    r.go();
    ASSERT_TRUE(r.results.poly[1] && r.results.poly[3]);
    EXPECT_EQ(r.results.poly[1]->yPoly, r.results.poly[3]->yPoly);
    EXPECT_EQ(r.labels.lblDiffPoly[1], r.labels.lblDiffPoly[3]);
    EXPECT_TRUE(r.labels.Label2.starts_with("P0 = 1370.82"));
}

TEST(Driver, RefusedDegreesHaveNoResult)
{
    DriverRun r;
    r.controls.chkPoly = {0, 1, 0, 0, 0, 0};
    for (const char* text : {"24", "-1", "abc", "2.5", ""}) {
        r.controls.comboBox1Text = "2";
        r.go();  // a good fit first, so nothing of it may survive
        ASSERT_TRUE(r.results.poly[1]);
        r.controls.comboBox1Text = text;
        r.go();
        EXPECT_FALSE(r.results.poly[1]) << text;
        EXPECT_EQ(r.labels.lblDiffPoly[1] + r.labels.Label2, "") << text;
        ASSERT_EQ(r.report.messages.size(), 1u) << text;
        EXPECT_EQ(r.report.messages[0].text, kDegreeRangeMessage);
    }
    r.controls.comboBox1Text = " 4 ";
    r.go();
    EXPECT_TRUE(r.results.poly[1]);
}

TEST(Driver, EveryRunStartsFromNoResult)
{
    DriverRun r;
    r.controls.chkPoly[3] = kTicked;
    r.go();
    ASSERT_TRUE(r.results.log && r.results.poly[3]);

    r.controls.chkLog = kGrey;  // grey is not ticked
    r.controls.chkPoly[3] = kUnticked;
    r.controls.chkZigZag = kUnticked;
    r.go();
    EXPECT_FALSE(r.results.log || r.results.poly[3] || r.results.zigzag);
    EXPECT_EQ(r.labels.lbl_LoRb, "");

    // Rejections are counted at the next run; Y <= 0 never counts as rejected.
    r.state.table.rejFlag[5] = 1;
    r.state.table.y[6] = -3;
    r.state.table.nY = 5;
    r.controls.chkConf = kUnticked;  // the band is computed all the same
    r.go();
    EXPECT_EQ(r.labels.lblnDataOK + "/" + r.labels.lblRej, "5/1");
    EXPECT_EQ(r.results.stats.nOK, 4);
    EXPECT_TRUE(r.results.band);
}
