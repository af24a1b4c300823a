#include "cli/cli.h"

#include "cli/command_line.h"
#include "cli/input.h"
#include "cli/messages.h"
#include "cli/output_files.h"
#include "cli/output_text.h"
#include "cli/run_setup.h"
#include "cli/settings_options.h"
#include "run/driver.h"

#include <QCommandLineParser>

#include <cerrno>
#include <cstring>

namespace kalibrix::cli {

namespace {

// The t table, which every run needs.
void takeStudent(State& state, const CliEnvironment& env)
{
    StudentLoad student =
        env.loadStudent ? env.loadStudent() : StudentLoad{std::nullopt, "no t table"};
    if (!student.table)
        throw RunFailure{student.error + "\n"};
    state.student = *student.table;
}

// One picture per analyte needs the analytes' names.
void checkPictureNames(const State& state, const std::optional<PlotRequest>& plot)
{
    if (plot && plot->perAnalyte && !state.named)
        throw UsageError{"--plot: %a needs a table with a names line"};
}

// Whether what is written needs the leave-one-out errors: the summary, the report and the
// workbook show them, the residuals the standards suggested for rejection, and the samples corrected with
// the method that predicts best need them to know it.
bool needsLeaveOneOut(const CliOptions& options, const Settings& settings)
{
    return options.output == OutputText::Summary || options.output == OutputText::Residuals ||
           options.report || options.workbook ||
           (options.output == OutputText::Samples && settings.correctWith == kBestMethod);
}

// The fits of the run; with --reject suggested a first run says which standards to reject.
void runFits(State& state, const CliOptions& options, const NumberFormat& fmt)
{
    if (options.rejections.suggested) {
        plotAndCalculate(state, fmt, Drawing::Skip, LeaveOneOutErrors::Compute);
        for (Analyte& analyte : state.analytes)
            for (int x : analyte.results.suggested)
                analyte.table.rejFlag[static_cast<size_t>(x)] = 1;
    }
    plotAndCalculate(state, fmt, Drawing::Skip,
                     needsLeaveOneOut(options, state.settings) ? LeaveOneOutErrors::Compute
                                                               : LeaveOneOutErrors::Skip);
}

// The run of a command line, its messages gathered in `result`.
void run(const QCommandLineParser& parser, const CliEnvironment& env, CliResult& result)
{
    CliOptions options = readOptions(parser);
    State state;
    takeStudent(state, env);
    state.settings = std::move(options.settings);
    takeInput(state, options.input, parser, env, result.err);
    const NumberFormat fmt = NumberFormat::forExport(env.locale);
    LeftOut leftOut = prepareRun(state, options, result.err);
    checkPictureNames(state, options.plot);
    runFits(state, options, fmt);
    appendRunMessages(result.err, state);
    appendWeightMessages(result.err, state);
    const std::vector<OutputFile> files = outputFiles(state, options);
    writeFiles(state, leftOut, files, options, env, fmt);
    result.out = outputText(state, fmt, options.output, options.format);
}

}  // namespace

CliResult runCli(const std::vector<std::string>& arguments, const CliEnvironment& env)
{
    CliResult result;
    try {
        QCommandLineParser parser;
        addOptions(parser);
        if (!parseArguments(parser, arguments))
            return {kExitOk, usageText(), {}};
        run(parser, env, result);
        return result;
    } catch (const UsageError& e) {
        CliResult failure = usageFailure(e.text);
        failure.err.insert(0, result.err);
        return failure;
    } catch (const RunFailure& e) {
        return {kExitFailure, {}, result.err + e.text};
    }
}

int emitResult(const CliResult& result, std::FILE* out, std::FILE* err)
{
    auto written = [](std::FILE* stream, const std::string& bytes) {
        return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
               std::fflush(stream) == 0;
    };
    const bool said = written(err, result.err);  // when not, there is nowhere to say why
    if (!written(out, result.out)) {
        written(err, std::string(kProgram) +
                         ": cannot write standard output: " + std::strerror(errno) + "\n");
        return kExitFailure;
    }
    return said ? result.status : kExitFailure;
}

}  // namespace kalibrix::cli
