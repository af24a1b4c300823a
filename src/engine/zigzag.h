#pragma once

#include "engine/fit_method.h"
#include "model/data_table.h"
#include "model/fit_result.h"

#include <optional>
#include <span>
#include <vector>

namespace kalibrix {

// Returns the nodes of the zigzag line in increasing X: one per cluster of consecutive
// positions with Y > 0. A rejected point inside a run closes the cluster before it; the
// points in use after it start the next one. Empty positions and values of 0 or below end
// a run.
std::vector<ZigZagNode> ZigZag(const DataTable& table);

// The clusters behind the nodes of ZigZag: node c is the mean of the standards
// members[start[c]] .. members[start[c + 1] - 1] (their X, consecutive, in use, Y > 0).
// Every standard in use belongs to exactly one cluster. Weighted, each node is the mean of
// its standards' X and Y weighted by 1 / err^2 (every standard in use has an error above 0).
struct ZigZagClusters {
    std::vector<ZigZagNode> nodes;
    std::vector<int> members;
    std::vector<std::size_t> start;  // nodes.size() + 1 entries
    std::vector<double> weight;      // of each member: (unit / err)^2, or 1 unweighted
    double unit = 1;                 // the power of two the weights are taken in
};
ZigZagClusters zigzagClusters(const DataTable& table, bool weighted = false);

// Returns the value on the zigzag line at x: linear interpolation on the first segment whose
// ends enclose x; no result outside the first..last node or with fewer than two nodes.
std::optional<double> zigzagValue(std::span<const ZigZagNode> nodes, double x);

// The zigzag method: the nodes, and the line through them. Its uncertainty at X between
// nodes i and i+1 at fraction f: u^2 = (1 - f)^2 u_i^2 + f^2 u_(i+1)^2, beyond the end nodes
// the end node's u; u_i the standard error of node i's mean (unweighted: its standards'
// standard deviation over sqrt(count), for a node of one standard the pooled within-node
// standard deviation, no result without one; weighted: 1 / sqrt(sum of weights), times
// sqrt(MSWD) when the within-node MSWD lies above its range, Mswd::scales). A new reading
// adds the pooled within-node variance (weighted: the reading variance at X, scaled alike).
FitOutcome fitZigZag(const FitInput& input);

// The zigzag's leave-one-out errors: without a standard its cluster loses it (a cluster of
// one goes, one left out in its middle splits in two, as a gap there would), and only the
// nodes around it change.
LooErrors looZigZag(const FitInput& input, LooWorkspace& workspace);

}  // namespace kalibrix
