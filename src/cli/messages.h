#pragma once

#include "cli/cli.h"
#include "model/user_message.h"
#include "run/state.h"

#include <string>

namespace kalibrix::cli {

inline constexpr const char* kProgram = "kalibrix-cli";

// An option or its value refused: exit status 2, `text` and a short usage on standard error.
struct UsageError {
    std::string text;
};

// A run that cannot go on (a file unread or unwritten, a table refused): exit status 1,
// `text` on standard error after what the run had said there.
struct RunFailure {
    std::string text;
};

// The result of a usage error: `text` and how to get help.
CliResult usageFailure(const std::string& text);

// `message` as one line of standard error (its CR dropped).
void appendMessage(std::string& err, const UserMessage& message);

// The messages of a run: for a named table every analyte's, each line led by its name.
void appendRunMessages(std::string& err, const State& state);

// Of a run with --weights errors, each analyte whose standard in use has no error above 0,
// which leaves it unweighted.
void appendWeightMessages(std::string& err, const State& state);

}  // namespace kalibrix::cli
