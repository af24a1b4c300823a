#include "fit/zigzag.h"

#include <algorithm>

namespace kalibrix {

std::vector<ZigZagNode> ZigZag(const DataTable& table)
{
    std::vector<ZigZagNode> nodes;
    ZigZagNode open;  // running sums of the cluster being built
    int count = 0;

    auto positive = [&](int x) { return x >= 1 && table.y[x] && *table.y[x] > 0; };
    // Closes the open cluster when the point before x is in use; a cluster whose last point
    // was rejected has been closed already (or never started).
    auto close = [&](int x) {
        if (!table.inUse(x - 1) || count == 0)
            return;
        nodes.push_back({open.x / count, open.y / count});
        open = {};
        count = 0;
    };

    for (int x = 1; x <= table.nData; ++x) {
        const bool v = positive(x);
        const bool p = positive(x - 1);
        if (v && !p) {
            if (table.inUse(x)) {
                open = {static_cast<double>(x), *table.y[x]};
                count = 1;
            }
        } else if (v && p) {
            if (!table.inUse(x)) {
                close(x);
            } else {
                open.x += x;
                open.y += *table.y[x];
                ++count;
            }
        } else if (!v && p) {
            close(x);
        }
    }
    if (count > 0)
        nodes.push_back({open.x / count, open.y / count});
    return nodes;
}

std::optional<double> zigzagValue(std::span<const ZigZagNode> nodes, double x)
{
    if (nodes.size() < 2 || x < nodes.front().x || x > nodes.back().x)
        return std::nullopt;
    // First segment j whose right end is at or beyond x.
    auto right = std::lower_bound(nodes.begin() + 1, nodes.end(), x,
                                  [](const ZigZagNode& n, double v) { return n.x < v; });
    const ZigZagNode& b = *right;
    const ZigZagNode& a = *(right - 1);
    return a.y + (b.y - a.y) / (b.x - a.x) * (x - a.x);
}

FitOutcome fitZigZag(const FitInput& in)
{
    FitResult result;
    result.nodes = ZigZag(in.table);
    result.valueAt = [nodes = result.nodes](double x) { return zigzagValue(nodes, x); };
    return {std::move(result), std::nullopt};
}

}  // namespace kalibrix
