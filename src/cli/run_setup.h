#pragma once

#include "cli/command_line.h"
#include "run/state.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kalibrix::cli {

// The analytes --analyte left out, kept for the session of the run.
struct LeftOut {
    std::vector<Analyte> all;         // the table's analytes; those chosen moved to the state
    std::vector<std::size_t> chosen;  // where the state's analytes stand among them
};

// Readies the run of the input for the fits: the standard of a run table (the most frequent
// ID, said in `err`, when neither the options nor a session name one) and the known values
// checked against its analytes, the analytes --analyte keeps and the rejections --reject asks
// for. Throws UsageError at the first option the table refuses.
LeftOut prepareRun(State& state, const CliOptions& options, std::string& err);

}  // namespace kalibrix::cli
