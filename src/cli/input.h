#pragma once

#include "cli/cli.h"
#include "cli/command_line.h"
#include "run/state.h"

#include <QCommandLineParser>

#include <string>

namespace kalibrix::cli {

// Puts the run's table into `state`: a session's (its rejections, the analyte it shows and
// its settings, the options' over them) or the table read, with where it came from. The
// import's messages go to `err`. Throws RunFailure when the input cannot be read or is
// refused, UsageError when --standard matches none of its lines.
void takeInput(State& state, const Input& input, const QCommandLineParser& parser,
               const CliEnvironment& env, std::string& err);

}  // namespace kalibrix::cli
