#include "cli/output_files.h"

#include "cli/messages.h"
#include "run/driver.h"
#include "run/session.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace kalibrix::cli {

namespace {

// An analyte's name as part of a file name: letters, digits and "-_.+" stay, every other
// character (path separators, blanks, control characters, ...) becomes "_"; a name of dots
// only becomes as many "_".
std::string safeFileName(const std::string& name)
{
    QString safe;
    const QList<uint> chars = QString::fromStdString(name).toUcs4();
    for (uint c : chars) {
        const bool kept = QChar::isLetterOrNumber(static_cast<char32_t>(c)) || c == '-' ||
                          c == '_' || c == '.' || c == '+';
        safe += kept ? QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1)
                     : QStringLiteral("_");
    }
    if (std::all_of(safe.begin(), safe.end(), [](QChar c) { return c == u'.'; }))
        safe.fill(u'_');
    return safe.toStdString();
}

// The file name with every "%a" replaced by `field`.
std::string withAnalyte(std::string file, const std::string& field)
{
    for (std::size_t at = file.find(kAnalyteField); at != std::string::npos;
         at = file.find(kAnalyteField, at + field.size()))
        file.replace(at, kAnalyteField.size(), field);
    return file;
}

// Whether two names name one file: the same path once links, "." and ".." are resolved, or
// one existing file (also under two hard links).
bool oneFile(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    std::error_code errorA, errorB, error;
    const std::filesystem::path canonicalA = std::filesystem::weakly_canonical(a, errorA);
    const std::filesystem::path canonicalB = std::filesystem::weakly_canonical(b, errorB);
    if (!errorA && !errorB && canonicalA == canonicalB)
        return true;
    return std::filesystem::equivalent(a, b, error) && !error;
}

bool isPicture(const OutputFile& output) { return output.option == std::string_view("--plot"); }

// Refuses a file named by two options, or a picture of two analytes drawn into one file.
void refuseOneFileTwice(const State& state, const std::vector<OutputFile>& files)
{
    for (std::size_t i = 0; i < files.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            if (!oneFile(files[j].file, files[i].file))
                continue;
            const std::string& file = files[i].file;
            throw UsageError{std::string_view(files[i].option) == files[j].option
                                 ? "--plot: analytes '" + state.analytes[files[j].analyte].name +
                                       "' and '" + state.analytes[files[i].analyte].name +
                                       "' would both be drawn into " + file
                                 : std::string(files[j].option) + " and " + files[i].option +
                                       " name one file: " + file};
        }
}

RunFailure cannotWrite(const std::string& file, const std::string& why)
{
    return {std::string(kProgram) + ": cannot write " + file + ": " + why + "\n"};
}

// Draws each picture of `files`, showing its analyte, then shows the analyte shown before.
void writePictures(State& state, const std::vector<OutputFile>& files, const PlotRequest& plot,
                   const CliEnvironment& env, const NumberFormat& fmt)
{
    const std::size_t shown = state.selected;
    for (const OutputFile& picture : files) {
        if (!isPicture(picture))
            continue;
        showAnalyte(state, fmt, picture.analyte);
        const std::optional<std::string> error =
            env.writePlot
                ? env.writePlot(state.plot, std::filesystem::path(picture.file), plot.size)
                : std::optional<std::string>("pictures are not available here");
        if (error)
            throw cannotWrite(picture.file, *error);
    }
    state.selected = shown;
}

// Saves the session of the run: of all the table's analytes, those --analyte left out with
// the rejections they came with (a session's), the analyte shown being the one drawn.
std::optional<std::string> saveRunSession(State& state, LeftOut& left, const std::string& file)
{
    if (left.chosen.empty())
        return saveSession(state, file);
    auto swapIn = [&] {
        for (std::size_t i = 0; i < left.chosen.size(); ++i)
            std::swap(left.all[left.chosen[i]], state.analytes[i]);
        std::swap(left.all, state.analytes);
    };
    auto swapOut = [&] {
        std::swap(left.all, state.analytes);
        for (std::size_t i = 0; i < left.chosen.size(); ++i)
            std::swap(left.all[left.chosen[i]], state.analytes[i]);
    };
    swapIn();
    const std::size_t shown = std::exchange(state.selected, left.chosen[state.selected]);
    std::optional<std::string> error = saveSession(state, file);
    state.selected = shown;
    swapOut();
    return error;
}

// Writes the report of the run, its figures as the locale writes them.
void writeReport(const State& state, const std::string& file, const Input& input,
                 const CliEnvironment& env)
{
    const std::optional<std::string> error =
        env.writeReport ? env.writeReport(state, NumberFormat::fromLocale(env.locale),
                                          std::filesystem::path(file), input.name())
                        : std::optional<std::string>("reports are not available here");
    if (error)
        throw cannotWrite(file, *error);
}

// Writes the workbook of the run.
void writeWorkbook(const State& state, const std::string& file, const Input& input,
                   const CliEnvironment& env, const NumberFormat& fmt)
{
    const std::optional<std::string> error =
        env.writeWorkbook ? env.writeWorkbook(state, fmt, std::filesystem::path(file), input.name())
                          : std::optional<std::string>("workbooks are not available here");
    if (error)
        throw cannotWrite(file, *error);
}

}  // namespace

std::vector<OutputFile> outputFiles(const State& state, const CliOptions& options)
{
    std::vector<OutputFile> files;
    if (const std::optional<PlotRequest>& plot = options.plot) {
        const std::size_t first = plot->perAnalyte ? 0 : state.selected;
        const std::size_t end = plot->perAnalyte ? state.analytes.size() : state.selected + 1;
        for (std::size_t a = first; a < end; ++a)
            files.push_back({"--plot",
                             plot->perAnalyte
                                 ? withAnalyte(plot->file, safeFileName(state.analytes[a].name))
                                 : plot->file,
                             a});
    }
    if (options.sessionOut)
        files.push_back({"--save-session", *options.sessionOut});
    if (options.report)
        files.push_back({"--report", *options.report});
    if (options.workbook)
        files.push_back({"--xlsx", *options.workbook});
    refuseOneFileTwice(state, files);
    return files;
}

void writeFiles(State& state, LeftOut& leftOut, const std::vector<OutputFile>& files,
                const CliOptions& options, const CliEnvironment& env, const NumberFormat& fmt)
{
    if (options.plot)
        writePictures(state, files, *options.plot, env, fmt);
    if (options.sessionOut)
        if (const std::optional<std::string> error =
                saveRunSession(state, leftOut, *options.sessionOut))
            throw cannotWrite(*options.sessionOut, *error);
    if (options.report)
        writeReport(state, *options.report, options.input, env);
    if (options.workbook)
        writeWorkbook(state, *options.workbook, options.input, env, fmt);
}

}  // namespace kalibrix::cli
