#include "regwin/rejection.h"
#include "support/test_support.h"

#include <cmath>

using namespace kalibrix;
using kalibrix::test::tableOf;

namespace {

State clickableState(DataTable table)
{
    State s;
    s.table = std::move(table);
    s.plot.pict1Scale = {0, 1100, 1000, -1000};  // window: 5 units in X and in Y
    s.plot.markDX = 3;
    s.plot.markDY = 4;
    return s;
}

}  // namespace

TEST(Rejection, LeftClickFlipsAndMarksThePoint)
{
    State s = clickableState(tableOf({{100, 500}, {300, 600}}));
    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Right, 100, 500), 0);
    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Middle, 100, 500), 0);
    EXPECT_EQ(s.table.rejFlag[100], 0);

    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Left, 103, 497), 1);
    EXPECT_EQ(s.table.rejFlag[100], 1);
    ASSERT_EQ(s.plot.pict1.shapes.size(), 1u);
    EXPECT_EQ(s.plot.pict1.shapes[0].kind, ShapeKind::Rectangle);
    EXPECT_EQ(s.plot.pict1.shapes[0].colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(s.plot.pict1.pointsOf(s.plot.pict1.shapes[0])[0], (PointF{97, 496}));

    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Left, 100, 500), 1);  // taken back
    EXPECT_EQ(s.table.rejFlag[100], 0);
    EXPECT_FALSE(s.plot.pict1.shapes[1].colour);  // foreground colour
}

TEST(Rejection, HitWindowIsStrictAndCoversNeighbours)
{
    State s = clickableState(tableOf({{0, 700}, {100, 500}, {101, 501}, {300, 0}, {301, -5}}));
    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Left, 95, 500), 0);  // exactly on the edge
    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Left, 100, 495), 0);
    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Left, 200, 500), 0);  // between points
    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Left, 300, 0), 0);    // Y of 0 is never hit
    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Left, 301, -5), 0);
    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Left, 0, 700), 0);        // X = 0 holds no standard
    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Left, 100.5, 500.5), 2);  // both neighbours flip
    EXPECT_EQ(s.table.rejFlag[100] + s.table.rejFlag[101], 2);

    restoreAllData(s);
    EXPECT_EQ(s.table.rejFlag[100] + s.table.rejFlag[101], 0);

    // pict1's Y in units of 2^-1020: the click is in those units, the mark too.
    const double unit = std::ldexp(1.0, -1020);
    s = clickableState(tableOf({{100, 500 * unit}}));
    s.plot.yUnit = unit;
    EXPECT_EQ(pict1_MouseDown(s, MouseButton::Left, 100, 503), 1);
    EXPECT_EQ(s.plot.pict1.pointsOf(s.plot.pict1.shapes[0])[1], (PointF{103, 504}));
}
