#pragma once

#include "fit/method_table.h"
#include "model/data_table.h"
#include "model/run_results.h"
#include "model/settings.h"
#include "model/student_table.h"
#include "regwin/display_list.h"

namespace kalibrix {

// The program's one working state, passed by reference to every front end and procedure
// that needs it: the t table, the table of standards, the user's settings, what the last
// plot-and-calculate run computed and its picture.
struct State {
    StudentTable student;
    DataTable table;
    Settings settings = defaultSettings();
    RunResults results;  // what the last plot-and-calculate run computed
    PlotDisplay plot;    // the picture of the last run, plus click marks since
};

}  // namespace kalibrix
