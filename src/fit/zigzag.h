#pragma once

#include "app/data_table.h"

#include <optional>
#include <span>
#include <vector>

namespace kalibrix {

// Mean X and mean Y of one cluster of consecutive standards in use.
struct ZigZagNode {
    double x = 0;
    double y = 0;
    bool operator==(const ZigZagNode&) const = default;
};

// Returns the nodes of the zigzag line in increasing X: one per cluster of consecutive
// positions with Y > 0. A rejected point inside a run closes the cluster before it; the
// points in use after it start the next one. Empty positions and values of 0 or below end
// a run.
std::vector<ZigZagNode> ZigZag(const DataTable& table);

// Returns the value on the zigzag line at x: linear interpolation on the first segment whose
// ends enclose x; no result outside the first..last node or with fewer than two nodes.
std::optional<double> zigzagValue(std::span<const ZigZagNode> nodes, double x);

}  // namespace kalibrix
