#pragma once

#include "app/data_table.h"
#include "app/student_table.h"
#include "regwin/display_list.h"
#include "regwin/run_results.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kalibrix {

// The program's one working state: created by Main and passed by reference to every
// front end and procedure that needs it.
struct State {
    std::filesystem::path appPath;  // folder of the running executable
    StudentTable student;
    bool allData = true;            // "All data" (true) or "Only unrejected" for the Y scale
    std::optional<int> probCol;     // t-table column 1..6; empty until the window is set up
    DataTable table;
    RunResults results;             // what the last plot-and-calculate run computed
    PlotDisplay plot;               // the picture of the last run, plus click marks since
};

// Either the started state or the reason start-up failed.
struct StartUp {
    std::optional<State> state;
    std::string error;
};

// Start-up: loads the t table (student.dat beside the executable in appPath, else in the
// installed data folder, see studentFolder) and holds the demonstration table.
StartUp Main(const std::filesystem::path& appPath);

}  // namespace kalibrix
