#pragma once

#include "cli/command_line.h"
#include "run/number_format.h"
#include "run/state.h"

#include <string>

namespace kalibrix::cli {

// What standard output gets of the run: the export (with LF or, raw, CR line ends; or in
// `format`), the summary, the samples or the residuals.
std::string outputText(const State& state, const NumberFormat& fmt, OutputText output,
                       ExportFormat format = ExportFormat::Wide);

}  // namespace kalibrix::cli
