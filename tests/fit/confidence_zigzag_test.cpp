#include "fit/zigzag.h"
#include "support/test_support.h"

using namespace kalibrix;
using kalibrix::test::tableOf;
using Nodes = std::vector<ZigZagNode>;

TEST(ZigZag, ClustersRejectionsAndRunEnds)
{
    EXPECT_EQ(ZigZag(demonstrationTable()),
              (Nodes{{5, 980}, {10, 770}, {15, 700}, {25, 550}, {27, 500}}));

    DataTable t = tableOf({{1, 100}, {2, 102}, {3, 104}, {8, 90}, {9, 92}});
    EXPECT_EQ(ZigZag(t), (Nodes{{2, 102}, {8.5, 91}}));
    t.rejFlag[2] = 1;  // a rejected point splits its run
    EXPECT_EQ(ZigZag(t), (Nodes{{1, 100}, {3, 104}, {8.5, 91}}));
    t.rejFlag[2] = 0;
    t.rejFlag[9] = 1;  // a run whose last point is rejected keeps the node of the others
    EXPECT_EQ(ZigZag(t), (Nodes{{2, 102}, {8, 90}}));
    t.rejFlag[8] = 1;  // a run with only rejected points gives no node
    EXPECT_EQ(ZigZag(t), (Nodes{{2, 102}}));

    EXPECT_TRUE(ZigZag(tableOf({{1, 0}, {2, -3}})).empty());
    // Values at or below 0 end a run: without them the runs would merge into one node.
    EXPECT_EQ(ZigZag(tableOf({{1, 10}, {2, 20}, {3, -5}, {4, 40}, {5, 50}})),
              (Nodes{{1.5, 15}, {4.5, 45}}));
    EXPECT_EQ(ZigZag(tableOf({{1, 10}, {2, 0}, {3, 30}})), (Nodes{{1, 10}, {3, 30}}));
}

TEST(ZigZag, EveryClusterGetsItsNode)
{
    DataTable t;
    for (int x = 1; x <= 999; x += 3)  // 333 isolated standards
        t.y[x] = x;
    t.nData = 999;
    const Nodes nodes = ZigZag(t);
    ASSERT_EQ(nodes.size(), 333u);
    EXPECT_EQ(nodes.back(), (ZigZagNode{997, 997}));
}

TEST(ZigZag, ValueOnTheLine)
{
    const Nodes nodes{{2, 102}, {8.5, 91}, {12, 95}};
    EXPECT_FALSE(zigzagValue(nodes, 1) || zigzagValue(nodes, 13));  // beyond the ends
    EXPECT_DOUBLE_EQ(*zigzagValue(nodes, 2), 102);
    EXPECT_DOUBLE_EQ(*zigzagValue(nodes, 8.5), 91);
    EXPECT_DOUBLE_EQ(*zigzagValue(nodes, 5), 102 + (91 - 102) / 6.5 * 3);
    EXPECT_DOUBLE_EQ(*zigzagValue(nodes, 12), 95);
    EXPECT_FALSE(zigzagValue(Nodes{{4, 10}}, 4));
}
