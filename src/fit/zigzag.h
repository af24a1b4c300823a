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

// Returns the value on the zigzag line at x: linear interpolation on the first segment whose
// ends enclose x; no result outside the first..last node or with fewer than two nodes.
std::optional<double> zigzagValue(std::span<const ZigZagNode> nodes, double x);

// The zigzag method: the nodes, and the line through them.
FitOutcome fitZigZag(const FitInput& input);

}  // namespace kalibrix
