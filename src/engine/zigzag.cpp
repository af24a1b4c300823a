#include "engine/zigzag.h"

#include "engine/finite.h"
#include "engine/leave_one_out.h"
#include "engine/uncertainty.h"
#include "engine/weights.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kalibrix {

ZigZagClusters zigzagClusters(const DataTable& table, bool weighted)
{
    ZigZagClusters clusters;
    clusters.start.push_back(0);
    ZigZagNode open;  // running sums of the cluster being built
    int count = 0;
    double weight = 0;  // the sum of its weights (count, unweighted)
    if (weighted) {
        std::vector<double> err;
        for (int x = 1; x <= table.nData; ++x)
            if (table.isFitted(x))
                err.push_back(*table.yErr[static_cast<std::size_t>(x)]);
        clusters.unit = errorUnit(err);
    }

    auto positive = [&](int x) { return x >= 1 && table.y[x] && *table.y[x] > 0; };
    auto add = [&](int x) {
        double w = 1;
        if (weighted) {
            const double r = clusters.unit / *table.yErr[static_cast<std::size_t>(x)];
            w = r * r;
        }
        open.x += w * x;
        open.y += w * *table.y[x];
        weight += w;
        ++count;
        clusters.members.push_back(x);
        clusters.weight.push_back(w);
    };
    auto push = [&] {
        clusters.nodes.push_back({open.x / weight, open.y / weight});
        clusters.start.push_back(clusters.members.size());
        open = {};
        count = 0;
        weight = 0;
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

std::vector<ZigZagNode> ZigZag(const DataTable& table) { return zigzagClusters(table).nodes; }

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

namespace {

// A node's X and the square of its standard error (in Y units, or in units of the weights'
// unit squared with weights).
struct NodeSpread {
    double x = 0;
    double u2 = 0;
};

// u^2 at x on the broken line through the nodes (at least two).
double zigzagVariance(std::span<const NodeSpread> nodes, double x)
{
    if (x <= nodes.front().x)
        return nodes.front().u2;
    if (x >= nodes.back().x)
        return nodes.back().u2;
    auto right = std::lower_bound(nodes.begin() + 1, nodes.end(), x,
                                  [](const NodeSpread& n, double v) { return n.x < v; });
    const NodeSpread& b = *right;
    const NodeSpread& a = *(right - 1);
    const double f = (x - a.x) / (b.x - a.x);
    return (1 - f) * (1 - f) * a.u2 + f * f * b.u2;
}

// Gives the zigzag's result its uncertainty (and with weights its MSWD).
void addZigZagUncertainty(FitResult& result, const FitInput& in, const ZigZagClusters& clusters)
{
    const std::size_t p = clusters.nodes.size();
    if (p < 2)
        return;
    std::vector<NodeSpread> spread(p);
    std::vector<double> within(p);  // sum of w (y - node y)^2 over each node's standards
    double chi = 0;                 // with weights: sum ((y - node y) / err)^2
    int n = 0;
    for (std::size_t c = 0; c < p; ++c) {
        spread[c].x = clusters.nodes[c].x;
        double weight = 0;
        for (std::size_t k = clusters.start[c]; k < clusters.start[c + 1]; ++k) {
            const int x = clusters.members[k];
            const double d = *in.table.y[x] - clusters.nodes[c].y;
            within[c] += clusters.weight[k] * d * d;
            weight += clusters.weight[k];
            if (result.weighted) {
                const double z = d / *in.table.yErr[static_cast<std::size_t>(x)];
                chi += z * z;
            }
            ++n;
        }
        spread[c].u2 = 1 / weight;  // weighted: in units of unit^2
    }
    const int dof = n - static_cast<int>(p);
    if (result.weighted) {
        if (dof >= 1)
            if (const std::optional<double> m = finiteOrNone(chi / dof))
                result.mswd = Mswd{*m, dof};
        const bool scaled = result.mswd && result.mswd->scales();
        const double factor = scaled ? result.mswd->value : 1.0;
        const std::optional<int> tDof = scaled ? std::optional<int>(dof) : std::nullopt;
        result.uncertaintyAt = [spread = std::move(spread), readings = sharedReadings(in),
                                scale = clusters.unit * std::sqrt(factor),
                                tDof](double x) -> std::optional<Uncertainty> {
            const double u2 = zigzagVariance(spread, x);
            const double curve = scale * std::sqrt(u2);
            const double reading = scale * std::sqrt(u2 + readings->at(x));
            if (!std::isfinite(curve) || !std::isfinite(reading))
                return std::nullopt;
            return Uncertainty{curve, reading, tDof};
        };
        return;
    }
    if (dof < 1)
        return;  // every node a single standard: no within-node scatter to go by
    double pooled = 0;
    for (double w : within)
        pooled += w;
    pooled /= dof;
    for (std::size_t c = 0; c < p; ++c) {
        const double count = static_cast<double>(clusters.start[c + 1] - clusters.start[c]);
        spread[c].u2 = count > 1 ? within[c] / (count - 1) / count : pooled;
    }
    result.uncertaintyAt = [spread = std::move(spread), pooled,
                            dof](double x) -> std::optional<Uncertainty> {
        const double u2 = zigzagVariance(spread, x);
        const double curve = std::sqrt(u2);
        const double reading = std::sqrt(u2 + pooled);
        if (!std::isfinite(curve) || !std::isfinite(reading))
            return std::nullopt;
        return Uncertainty{curve, reading, dof};
    };
}

}  // namespace

FitOutcome fitZigZag(const FitInput& in)
{
    FitResult result;
    result.weighted = weighsByErrors(in);
    const ZigZagClusters clusters = zigzagClusters(in.table, result.weighted);
    result.nodes = clusters.nodes;
    result.valueAt = [nodes = result.nodes](double x) { return zigzagValue(nodes, x); };
    addZigZagUncertainty(result, in, clusters);
    return {std::move(result), std::nullopt};
}

LooErrors looZigZag(const FitInput& in, LooWorkspace& workspace)
{
    const ZigZagClusters clusters = zigzagClusters(in.table, weighsByErrors(in));
    const std::vector<ZigZagNode>& nodes = clusters.nodes;
    std::vector<std::optional<double>>& errors = workspace.scratch();
    errors.clear();
    errors.reserve(workspace.x().size());
    for (std::size_t c = 0; c < nodes.size(); ++c) {
        const std::size_t first = clusters.start[c];
        const std::size_t end = clusters.start[c + 1];
        // Weighted sums of the cluster's members before the one left out, and of them all.
        double sumX = 0, sumY = 0, sumW = 0;
        double allX = 0, allY = 0, allW = 0;
        for (std::size_t k = first; k < end; ++k) {
            const double w = clusters.weight[k];
            allX += w * clusters.members[k];
            allY += w * *in.table.y[clusters.members[k]];
            allW += w;
        }
        for (std::size_t k = first; k < end; ++k) {
            const int x = clusters.members[k];
            const double y = *in.table.y[x];
            const double w = clusters.weight[k];
            // The nodes around the standard at x once it is left out.
            std::array<ZigZagNode, 4> around;
            std::size_t count = 0;
            if (c > 0)
                around[count++] = nodes[c - 1];
            if (k > first)
                around[count++] = {sumX / sumW, sumY / sumW};
            if (k + 1 < end) {
                const double after = allW - sumW - w;
                around[count++] = {(allX - sumX - w * x) / after, (allY - sumY - w * y) / after};
            }
            if (c + 1 < nodes.size())
                around[count++] = nodes[c + 1];
            const std::optional<double> predicted = zigzagValue(std::span(around).first(count), x);
            errors.push_back(predicted ? finiteOrNone(y - *predicted) : std::nullopt);
            sumX += w * x;
            sumY += w * y;
            sumW += w;
        }
    }
    return errors;
}

}  // namespace kalibrix
