#pragma once

#include "fit/fit_method.h"
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
// Every standard in use belongs to exactly one cluster.
struct ZigZagClusters {
    std::vector<ZigZagNode> nodes;
    std::vector<int> members;
    std::vector<std::size_t> start;  // nodes.size() + 1 entries
};
ZigZagClusters zigzagClusters(const DataTable& table);

// Returns the value on the zigzag line at x: linear interpolation on the first segment whose
// ends enclose x; no result outside the first..last node or with fewer than two nodes.
std::optional<double> zigzagValue(std::span<const ZigZagNode> nodes, double x);

// The zigzag method: the nodes, and the line through them.
FitOutcome fitZigZag(const FitInput& input);

// The zigzag's leave-one-out errors: without a standard its cluster loses it (a cluster of
// one goes, one left out in its middle splits in two, as a gap there would), and only the
// nodes around it change.
LooErrors looZigZag(const FitInput& input, LooWorkspace& workspace);

}  // namespace kalibrix
