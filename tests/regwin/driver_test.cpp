#include "regwin/driver.h"
#include "support/test_support.h"

using namespace kalibrix;
using kalibrix::test::startedState;
using kalibrix::test::tableOf;

namespace {

struct DriverRun {
    State state = startedState();
    RegControls controls;
    NumberFormat fmt;
    RunReport report;

    DriverRun& go()
    {
        report = A_PLOT(state, controls, fmt);
        return *this;
    }
    const StatLabels& labels() const { return controls.labels; }
};

}  // namespace

TEST(Driver, NothingHappensBeforeALevelIsChosen)
{
    DriverRun r;
    r.state.probCol.reset();
    r.go();
    EXPECT_FALSE(r.report.ran);
    EXPECT_FALSE(r.state.results.computed);
    EXPECT_EQ(r.labels(), StatLabels{});
}

TEST(Driver, DemonstrationLabels)
{
    DriverRun r;
    r.go();
    const StatLabels& l = r.labels();
    EXPECT_EQ(l.lblNData, "27");
    EXPECT_EQ(l.lblnDataOK, "5");
    EXPECT_EQ(l.lblRej, "0");
    EXPECT_EQ(l.lbl_LRa, "1022");
    EXPECT_EQ(l.lbl_LRb, "-19.63");
    EXPECT_EQ(l.lbl_LRr, "0.95");
    EXPECT_EQ(l.lblDiff, "33.24");
    EXPECT_EQ(l.lblDiffProc, "4.38");
    EXPECT_EQ(l.lbl_LoRa, "1416");
    EXPECT_EQ(l.lbl_LoRb, "-272.6");
    EXPECT_EQ(l.lbl_LoRr, "0.99");
    EXPECT_EQ(l.lblDiffLog, "14.44");
    EXPECT_EQ(l.lblDiffProcLog, "2.28");
    EXPECT_EQ(l.lblDiffPoly[2], "21.36");
    EXPECT_EQ(l.lblDiffProcPoly[2], "3.18");
    EXPECT_EQ(l.lblDiffPoly[3], "");
    EXPECT_TRUE(r.report.messages.empty());
    ASSERT_TRUE(r.state.results.band);
    EXPECT_DOUBLE_EQ(r.state.results.band->tValue, 3.18245);
}

TEST(Driver, GuardsOnThePointCount)
{
    DriverRun r;
    r.controls.chkPoly = {0, 1, 1, 1, 1, 1};
    r.controls.comboBox1Text = "2";

    // One point: counts written, no fit, the zigzag still built.
    r.state.table = tableOf({{3, 50}});
    r.go();
    EXPECT_EQ(r.labels().lblNData, "3");
    EXPECT_EQ(r.labels().lblnDataOK, "1");
    EXPECT_EQ(r.labels().lblRej, "0");
    EXPECT_EQ(r.labels().lbl_LRa, "");
    EXPECT_FALSE(r.state.results.linear);
    EXPECT_TRUE(r.state.results.zigzag);
    EXPECT_TRUE(r.report.messages.empty());

    // Two points: the line, nothing else whatever is ticked.
    r.state.table = tableOf({{10, 770}, {27, 500}});
    r.go();
    EXPECT_EQ(r.labels().lbl_LRb, "-15.88");
    EXPECT_EQ(r.labels().lbl_LRr, "");
    EXPECT_EQ(r.labels().lblDiff, "");
    EXPECT_FALSE(r.state.results.band);
    EXPECT_FALSE(r.state.results.log);
    EXPECT_EQ(r.labels().lbl_LoRa, "");
    for (int s = 1; s <= 5; ++s)
        EXPECT_FALSE(r.state.results.poly[s]) << s;

    // Three points: band, log and the polynomials up to degree 2; the higher ones refused.
    r.state.table = tableOf({{1, 10}, {2, 14}, {4, 11}});
    r.go();
    EXPECT_TRUE(r.state.results.band);
    EXPECT_TRUE(r.state.results.log);
    EXPECT_TRUE(r.state.results.poly[1]);
    EXPECT_TRUE(r.state.results.poly[2]);
    EXPECT_FALSE(r.state.results.poly[3]);
    EXPECT_EQ(r.labels().lblDiffPoly[3], "");
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
    ASSERT_TRUE(r.state.results.poly[1]);
    ASSERT_TRUE(r.state.results.poly[3]);
    EXPECT_EQ(r.state.results.poly[1]->yPoly, r.state.results.poly[3]->yPoly);
    EXPECT_EQ(r.labels().lblDiffPoly[1], r.labels().lblDiffPoly[3]);
    EXPECT_EQ(r.labels().Label2.rfind("P0 = 1370.82", 0), 0u);
}

TEST(Driver, RefusedDegreesHaveNoResult)
{
    DriverRun r;
    r.controls.chkPoly = {0, 1, 0, 0, 0, 0};
    for (const char* text : {"24", "-1", "abc", "2.5", ""}) {
        r.controls.comboBox1Text = "2";
        r.go();  // a good fit first, so nothing of it may survive
        ASSERT_TRUE(r.state.results.poly[1]);
        r.controls.comboBox1Text = text;
        r.go();
        EXPECT_FALSE(r.state.results.poly[1]) << text;
        EXPECT_EQ(r.labels().lblDiffPoly[1], "") << text;
        EXPECT_EQ(r.labels().Label2, "") << text;
        ASSERT_EQ(r.report.messages.size(), 1u) << text;
        EXPECT_EQ(r.report.messages[0].text, kDegreeRangeMessage);
    }
    r.controls.comboBox1Text = " 4 ";
    r.go();
    EXPECT_TRUE(r.state.results.poly[1]);
}

TEST(Driver, EveryRunStartsFromNoResult)
{
    DriverRun r;
    r.controls.chkPoly[3] = kTicked;
    r.go();
    ASSERT_TRUE(r.state.results.log);
    ASSERT_TRUE(r.state.results.poly[3]);

    r.controls.chkLog = kGrey;  // grey is not ticked
    r.controls.chkPoly[3] = kUnticked;
    r.controls.chkZigZag = kUnticked;
    r.go();
    EXPECT_FALSE(r.state.results.log);
    EXPECT_FALSE(r.state.results.poly[3]);
    EXPECT_FALSE(r.state.results.zigzag);
    EXPECT_EQ(r.labels().lbl_LoRb, "");

    // Rejections are counted at the next run; Y <= 0 never counts as rejected.
    r.state.table.rejFlag[5] = 1;
    r.state.table.y[6] = -3;
    r.state.table.nY = 5;
    r.go();
    EXPECT_EQ(r.labels().lblRej, "1");
    EXPECT_EQ(r.state.results.stats.nOK, 4);
}
