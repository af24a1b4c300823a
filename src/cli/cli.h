#pragma once

#include "model/run_results.h"
#include "model/student_table.h"
#include "run/display_list.h"
#include "run/number_format.h"
#include "run/state.h"

#include <QLocale>
#include <QSize>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalibrix::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // start-up failed, input unreadable or refused
inline constexpr int kExitUsage = 2;

// What the batch front end needs from its process, so that it can also be driven in-process.
struct CliEnvironment {
    // Reads the t table (student.dat) once the options are understood.
    std::function<StudentLoad()> loadStudent;
    // Standard input up to its end, or only as far as the paste limits (the text kept then
    // ends just past them); nullopt on failure.
    std::function<std::optional<std::string>()> readStdin;
    QLocale locale = QLocale::system();
    // Writes the picture of a run to `file` (PNG, SVG or PDF by its ending) at `size` pixels, or
    // at the designed size when `size` is empty; returns the reason when it cannot.
    std::function<std::optional<std::string>(const PlotDisplay&, const std::filesystem::path& file,
                                             QSize size)>
        writePlot;
    // Writes the PDF report of a run to `file`, its figures as `fmt` writes them and its
    // table's source called `source`; returns the reason when it cannot.
    std::function<std::optional<std::string>(const State&, const NumberFormat& fmt,
                                             const std::filesystem::path& file,
                                             std::string_view source)>
        writeReport;
    // Writes the XLSX workbook of a run to `file`, as writeReport; returns the reason when it
    // cannot.
    std::function<std::optional<std::string>(const State&, const NumberFormat& fmt,
                                             const std::filesystem::path& file,
                                             std::string_view source)>
        writeWorkbook;
};

// The bytes for standard output and standard error, and the exit status.
struct CliResult {
    int status = kExitOk;
    std::string out;
    std::string err;
};

// kalibrix-cli [OPTIONS] [FILE | --session FILE]: `arguments` are the bytes of the command line, starting
// with the program name. File names are used as these bytes; other option values are read
// as UTF-8.
CliResult runCli(const std::vector<std::string>& arguments, const CliEnvironment& env);

// Writes the result's standard error, then its standard output, and returns the exit status:
// the result's own, or kExitFailure when a write failed (said on standard error when it can).
int emitResult(const CliResult& result, std::FILE* out, std::FILE* err);

// The --help text.
std::string usageText();

// The statistics table of --summary: the captions the window shows for the results of the
// last run, and the parameters of the chosen-degree polynomial as numbers; for a named table
// every analyte's rows, each led by the analyte's name in a first column "Analyte".
std::string summaryText(const State& state, const NumberFormat& fmt);

// Reads the open file `fd` to its end, or only as far as the paste limits allow (the text
// kept then ends just past them, for parseTable to refuse), so that an endless input is
// refused without being read whole. Returns nullopt and the reason in `error` on failure.
std::optional<std::string> readTable(int fd, std::string& error);

// readTable of standard input.
std::optional<std::string> readStdin();

}  // namespace kalibrix::cli
