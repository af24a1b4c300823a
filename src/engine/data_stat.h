#pragma once

#include "model/data_stats.h"
#include "model/data_table.h"

namespace kalibrix {

// Returns the counts of `table`. With allData, firstX/yMax/yMin cover every point that has
// a value, rejected ones included (the plot keeps its scale); otherwise only points in use.
DataStats computeDataStats(const DataTable& table, bool allData);

}  // namespace kalibrix
