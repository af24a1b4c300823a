#include "regwin/captions.h"
#include "regwin/driver.h"
#include "support/test_support.h"

#include <algorithm>

using namespace kalibrix;
using kalibrix::test::method;
using kalibrix::test::startedState;
using kalibrix::test::tableOf;

namespace {

const std::size_t kLinear = method("linear"), kLog = method("log"), kPoly2 = method("poly2"),
                  kPoly3 = method("poly3"), kChosen = method("poly"), kZigzag = method("zigzag");

struct DriverRun {
    State state = startedState();
    Settings& settings = state.settings;
    RunReport report;
    Captions captions;
    const RunResults& results = state.results;

    void go()
    {
        report = A_PLOT(state, NumberFormat{});
        captions = makeCaptions(results, NumberFormat{});
    }
    const FitResult* fit(std::size_t m) const { return results.fit(m); }
    std::string cells(std::size_t m) const
    {
        std::string s;
        for (const std::string& c : captions.cells[m])
            s += c + "|";
        return s;
    }
};

}  // namespace

TEST(Driver, NothingHappensBeforeALevelIsChosen)
{
    DriverRun r;
    r.settings.level.reset();
    r.go();
    EXPECT_FALSE(r.report.ran || r.results.computed);
    EXPECT_EQ(r.captions.nData + r.cells(kLinear) + r.captions.listing, "|||||");
}

TEST(Driver, DemonstrationCaptions)
{
    DriverRun r;
    r.go();
    EXPECT_EQ(r.captions.nData + "/" + r.captions.nDataOK + "/" + r.captions.rejected, "27/5/0");
    EXPECT_EQ(r.cells(kLinear), "1022|-19.63|0.95|33.24|4.38|");
    EXPECT_EQ(r.cells(kLog), "1416|-272.6|0.99|14.44|2.28|");
    EXPECT_EQ(r.cells(kPoly2), "|||21.36|3.18|");
    EXPECT_EQ(r.cells(kPoly3) + r.cells(kChosen) + r.cells(kZigzag) + r.captions.listing,
              "|||||||||||||||");
    EXPECT_TRUE(r.report.messages.empty());
    ASSERT_TRUE(r.fit(kLinear)->band);
    EXPECT_DOUBLE_EQ(r.fit(kLinear)->band->tValue, 3.18245);
}

TEST(Driver, GuardsOnThePointCount)
{
    DriverRun r;
    for (const char* name : {"poly", "poly2", "poly3", "poly4", "poly5"})
        r.settings.show[method(name)] = kTicked;
    r.settings.degreeText = "2";

    // One point: counts written, no fit, the zigzag still built.
    r.state.table = tableOf({{3, 50}});
    r.go();
    EXPECT_EQ(r.captions.nData + "/" + r.captions.nDataOK + "/" + r.captions.rejected, "3/1/0");
    EXPECT_TRUE(!r.fit(kLinear) && r.fit(kZigzag) && r.report.messages.empty());

    // Two points: the line, nothing else whatever is ticked.
    r.state.table = tableOf({{10, 770}, {27, 500}});
    r.go();
    EXPECT_EQ(r.cells(kLinear), "928.8|-15.88||||");
    EXPECT_FALSE(r.fit(kLinear)->band || r.fit(kLog) || r.fit(kPoly2) || r.fit(kChosen));
    EXPECT_TRUE(r.report.messages.empty());

    // Three points: band, log and the polynomials up to degree 2; the higher ones refused,
    // each with its message, the chosen degree first.
    r.state.table = tableOf({{1, 10}, {2, 14}, {4, 11}});
    r.go();
    EXPECT_TRUE(r.fit(kLinear)->band && r.fit(kLog) && r.fit(kChosen) && r.fit(kPoly2));
    EXPECT_FALSE(r.fit(kPoly3));
    EXPECT_EQ(r.cells(kPoly3), "|||||");
    ASSERT_EQ(r.report.messages.size(), 3u);
    EXPECT_EQ(r.report.messages[0],
              (UserMessage{kTooFewDataMessage, MessageIcon::None, kAppTitle}));
    ASSERT_EQ(r.results.warnings.size(), 3u);
    EXPECT_EQ(r.results.warnings[0].method, kPoly3);
    EXPECT_EQ(r.results.warnings[0].degree + "/" + std::to_string(r.results.warnings[0].nOK),
              "3/3");
}

TEST(Driver, ChosenDegreeMatchesTheFixedDegreeAndListsItsParameters)
{
    DriverRun r;
    r.settings.show[kChosen] = kTicked;
    r.settings.show[kPoly3] = kTicked;
    r.settings.degreeText = "3";
    r.go();
    ASSERT_TRUE(r.fit(kChosen) && r.fit(kPoly3));
    EXPECT_EQ(r.fit(kChosen)->coef, r.fit(kPoly3)->coef);
    EXPECT_EQ(r.captions.cells[kChosen], r.captions.cells[kPoly3]);
    EXPECT_TRUE(r.captions.listing.starts_with("P0 = 1370.82")) << r.captions.listing;
    EXPECT_NE(r.captions.listing.find("\r\n\r\n\r\ndsig=8.380"), std::string::npos)
        << r.captions.listing;
}

TEST(Driver, RefusedDegreesHaveNoResult)
{
    DriverRun r;
    r.settings.show[kChosen] = kTicked;
    for (const char* text : {"24", "-1", "abc", "2.5", ""}) {
        r.settings.degreeText = "2";
        r.go();  // a good fit first, so nothing of it may survive
        ASSERT_TRUE(r.fit(kChosen));
        r.settings.degreeText = text;
        r.go();
        EXPECT_FALSE(r.fit(kChosen)) << text;
        EXPECT_EQ(r.cells(kChosen) + r.captions.listing, "|||||") << text;
        ASSERT_EQ(r.report.messages.size(), 1u) << text;
        EXPECT_EQ(r.report.messages[0].text, kDegreeRangeMessage);
        EXPECT_EQ(r.results.warnings[0].degree, text);
    }
    r.settings.degreeText = " 4 ";
    r.go();
    EXPECT_TRUE(r.fit(kChosen));
}

TEST(Driver, EveryRunStartsFromNoResult)
{
    DriverRun r;
    r.settings.show[kPoly3] = kTicked;
    r.go();
    ASSERT_TRUE(r.fit(kLog) && r.fit(kPoly3));

    r.settings.show[kLog] = kGrey;  // grey is not ticked
    r.settings.show[kPoly3] = kUnticked;
    r.settings.show[kZigzag] = kUnticked;
    r.go();
    EXPECT_FALSE(r.fit(kLog) || r.fit(kPoly3) || r.fit(kZigzag));
    EXPECT_EQ(r.cells(kLog), "|||||");

    // Rejections are counted at the next run; Y <= 0 never counts as rejected.
    r.state.table.rejFlag[5] = 1;
    r.state.table.y[6] = -3;
    r.settings.showBand = kUnticked;  // the band is computed all the same
    r.go();
    EXPECT_EQ(r.captions.nDataOK + "/" + r.captions.rejected, "5/1");
    EXPECT_EQ(r.results.stats.nOK, 4);
    EXPECT_TRUE(r.fit(kLinear)->band);
}
