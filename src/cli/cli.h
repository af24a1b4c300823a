#pragma once

#include "regwin/controls.h"

#include <QLocale>
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
