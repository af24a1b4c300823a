#include "fit/zigzag.h"

#include "fit/finite.h"
#include "fit/leave_one_out.h"

#include <algorithm>
#include <array>

namespace kalibrix {

ZigZagClusters zigzagClusters(const DataTable& table)
{
    ZigZagClusters clusters;
    clusters.start.push_back(0);
    ZigZagNode open;  // running sums of the cluster being built
    int count = 0;

    auto positive = [&](int x) { return x >= 1 && table.y[x] && *table.y[x] > 0; };
    auto add = [&](int x) {
        open.x += x;
        open.y += *table.y[x];
        ++count;
        clusters.members.push_back(x);
    };
    auto push = [&] {
        clusters.nodes.push_back({open.x / count, open.y / count});
        clusters.start.push_back(clusters.members.size());
        open = {};
        count = 0;
    };
    // Closes the open cluster when the point before x is in use; a cluster whose last point
    // was rejected has been closed already (or never started).
    auto close = [&](int x) {
        if (table.inUse(x - 1) && count > 0)
            push();
    };

    for (int x = 1; x <= table.nData; ++x) {
        const bool v = positive(x);
        const bool p = positive(x - 1);
        if (v && !p) {
            if (table.inUse(x))
                add(x);
        } else if (v && p) {
            if (!table.inUse(x))
                close(x);
            else
                add(x);
        } else if (!v && p) {
            close(x);
        }
    }
    if (count > 0)
        push();
    return clusters;
}

std::vector<ZigZagNode> ZigZag(const DataTable& table)
{
    return zigzagClusters(table).nodes;
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

LooErrors looZigZag(const FitInput& in, LooWorkspace& workspace)
{
    const ZigZagClusters clusters = zigzagClusters(in.table);
    const std::vector<ZigZagNode>& nodes = clusters.nodes;
    std::vector<std::optional<double>>& errors = workspace.scratch();
    errors.clear();
    errors.reserve(workspace.x().size());
    for (std::size_t c = 0; c < nodes.size(); ++c) {
        const std::size_t first = clusters.start[c];
        const std::size_t end = clusters.start[c + 1];
        double sumX = 0, sumY = 0;  // of the cluster's members before the one left out
        double allX = 0, allY = 0;
        for (std::size_t k = first; k < end; ++k) {
            allX += clusters.members[k];
            allY += *in.table.y[clusters.members[k]];
        }
        for (std::size_t k = first; k < end; ++k) {
            const int x = clusters.members[k];
            const double y = *in.table.y[x];
            // The nodes around the standard at x once it is left out.
            std::array<ZigZagNode, 4> around;
            std::size_t count = 0;
            if (c > 0)
                around[count++] = nodes[c - 1];
            const double before = static_cast<double>(k - first);
            const double after = static_cast<double>(end - k - 1);
            if (before > 0)
                around[count++] = {sumX / before, sumY / before};
            if (after > 0)
                around[count++] = {(allX - sumX - x) / after, (allY - sumY - y) / after};
            if (c + 1 < nodes.size())
                around[count++] = nodes[c + 1];
            const std::optional<double> predicted =
                zigzagValue(std::span(around).first(count), x);
            errors.push_back(predicted ? finiteOrNone(y - *predicted) : std::nullopt);
            sumX += x;
            sumY += y;
        }
    }
    return errors;
}

}  // namespace kalibrix
