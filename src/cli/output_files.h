#pragma once

#include "cli/cli.h"
#include "cli/command_line.h"
#include "cli/run_setup.h"
#include "run/number_format.h"
#include "run/state.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kalibrix::cli {

// A file the run writes, by the option that names it.
struct OutputFile {
    const char* option;
    std::string file;
    std::size_t analyte = 0;  // of a picture
};

// Every file the run writes: the pictures (one of the analyte shown, the first or the
// session's, or with "%a" one per analyte), the session, the report and the workbook. Throws UsageError
// when one file would be named twice, or written twice.
std::vector<OutputFile> outputFiles(const State& state, const CliOptions& options);

// Writes `files`; throws RunFailure at the first that cannot be written.
void writeFiles(State& state, LeftOut& leftOut, const std::vector<OutputFile>& files,
                const CliOptions& options, const CliEnvironment& env, const NumberFormat& fmt);

}  // namespace kalibrix::cli
