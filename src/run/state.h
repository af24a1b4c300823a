#pragma once

#include "engine/method_table.h"
#include "model/analyte.h"
#include "model/data_table.h"
#include "model/run_results.h"
#include "model/run_table.h"
#include "model/settings.h"
#include "model/student_table.h"
#include "run/display_list.h"

namespace kalibrix {

// Where the table came from, as a session keeps it: the text as it was pasted or read, the
// name of the locale its numbers were read in (QLocale::name(), "C" for the demonstration)
// and, for the report, a few words on where it came from ("clipboard", a file's name).
struct TableSource {
    std::string text;
    std::string locale;
    std::string origin;
};

// The program's one working state, passed by reference to every front end and procedure
// that needs it: the t table, the analytes of the table (each with its standards, its
// rejections and what the last plot-and-calculate run computed), the user's settings, which
// apply to every analyte, and the picture of the analyte shown.
struct State {
    StudentTable student;
    std::vector<Analyte> analytes = std::vector<Analyte>(1);  // one, unnamed, when plain
    bool named = false;                                       // the table's first line held names
    // A named table with an ID column: every line of the run, samples included; the
    // analytes hold its standards only.
    std::optional<RunTable> run;
    std::size_t selected = 0;  // the analyte the window shows
    TableSource source;        // of the table the analytes were read from
    Settings settings = defaultSettings();
    PlotDisplay plot;  // the picture of the selected analyte's last run, plus click marks since

    DataTable& table() { return analytes[selected].table; }
    const DataTable& table() const { return analytes[selected].table; }
    RunResults& results() { return analytes[selected].results; }
    const RunResults& results() const { return analytes[selected].results; }

    // The analyte of a new table to show: the one with the name of the analyte shown now
    // when both tables are named and it has one, else the first.
    std::size_t keptSelection(const std::vector<Analyte>& fresh, bool isNamed) const
    {
        std::size_t keep = 0;
        for (std::size_t a = 0; a < fresh.size(); ++a)
            if (named && isNamed && fresh[a].name == analytes[selected].name)
                keep = a;
        return keep;
    }

    // Takes the analytes of a new table (no rejections, nothing computed yet), showing the
    // one keptSelection chooses.
    void replaceAnalytes(std::vector<Analyte> fresh, bool isNamed,
                         std::optional<RunTable> freshRun = std::nullopt)
    {
        selected = keptSelection(fresh, isNamed);
        analytes = std::move(fresh);
        named = isNamed;
        run = std::move(freshRun);
    }
};

}  // namespace kalibrix
