#include "cli/messages.h"

#include "engine/weights.h"
#include "run/driver.h"

namespace kalibrix::cli {

CliResult usageFailure(const std::string& text)
{
    return {kExitUsage,
            {},
            std::string(kProgram) + ": " + text + "\nUsage: " + kProgram +
                " [OPTIONS] [FILE]\nTry '" + kProgram + " --help' for more information.\n"};
}

void appendMessage(std::string& err, const UserMessage& message)
{
    std::string text = message.text;
    std::erase(text, '\r');
    err += text;
    err += '\n';
}

void appendRunMessages(std::string& err, const State& state)
{
    for (const Analyte& analyte : state.analytes)
        for (const FitWarning& warning : analyte.results.warnings) {
            const UserMessage message = messageFor(warning);
            if (state.named)
                err += analyte.name + ": ";
            appendMessage(err, message);
        }
}

void appendWeightMessages(std::string& err, const State& state)
{
    if (!state.settings.weightByErrors)
        return;
    for (const Analyte& analyte : state.analytes)
        if (const std::optional<int> x = firstStandardWithoutError(analyte.table))
            err += std::string(kProgram) + ": " + (state.named ? analyte.name + ": " : "") +
                   "not weighted by the errors: the standard at X = " + std::to_string(*x) +
                   " has no error above 0\n";
}

}  // namespace kalibrix::cli
