#pragma once

#include "regwin/controls.h"
#include "regwin/display_list.h"

#include <QLocale>
#include <QSize>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kalibrix::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // start-up failed, input unreadable or refused
inline constexpr int kExitUsage = 2;

// What the batch front end needs from its process, so that it can also be driven in-process.
struct CliEnvironment {
    std::filesystem::path appPath;                          // folder holding student.dat
    std::function<std::optional<std::string>()> readStdin;  // whole input, nullopt on failure
    QLocale locale = QLocale::system();
    // Writes the picture of a run to `file` (PNG or SVG by its ending) at `size` pixels, or
    // at the designed size when `size` is empty; returns the reason when it cannot.
    std::function<std::optional<std::string>(const PlotDisplay&, const QString& file, QSize size)>
        writePlot;
};

// The bytes for standard output and standard error, and the exit status.
struct CliResult {
    int status = kExitOk;
    std::string out;
    std::string err;
};

// kalibrix-cli [OPTIONS] [FILE]: `arguments` starts with the program name.
CliResult runCli(const QStringList& arguments, const CliEnvironment& env);

// The --help text.
std::string usageText();

// The statistics table of --summary, built from the labels of a run.
std::string summaryText(const RegControls& controls);

// Reads standard input whole, as bytes.
std::optional<std::string> readAllStdin();

}  // namespace kalibrix::cli
