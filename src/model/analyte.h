#pragma once

#include "model/data_table.h"
#include "model/run_results.h"

#include <string>

namespace kalibrix {

// One measured quantity of a table: its standards, with its own rejections, and what its
// last run computed. A plain table (X, Y and an error) holds one analyte without a name; a
// named table one per named column.
struct Analyte {
    std::string name;
    DataTable table;
    RunResults results;
};

}  // namespace kalibrix
