#include "cli/input.h"

#include "cli/messages.h"
#include "cli/settings_options.h"
#include "run/paste_table.h"
#include "run/run_split.h"
#include "run/session.h"
#include "run/status_text.h"
#include "run/table_file.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace kalibrix::cli {

namespace {

// Reads the open file `fd` in pieces, handing each to `take`, up to its end or until `take`
// says it has enough (returns false); false, with the reason in `error`, when a read fails.
template <class Take>
bool readPieces(int fd, std::string& error, Take&& take)
{
    std::vector<char> buffer(65536);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::strerror(errno);
            return false;
        }
        if (n == 0 || !take(std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return true;
    }
}

// The open file `fd` up to its end, or its first `limit` bytes.
std::optional<std::string> readUpTo(int fd, std::size_t limit, std::string& error)
{
    std::string text;
    const bool read = readPieces(fd, error, [&](std::string_view piece) {
        text.append(piece.substr(0, limit - text.size()));
        return text.size() < limit;
    });
    return read ? std::optional<std::string>(std::move(text)) : std::nullopt;
}

[[noreturn]] void cannotRead(const std::string& name, const std::string& error)
{
    throw RunFailure{std::string(kProgram) + ": cannot read " + name + ": " + error + "\n"};
}

// Reads the file `name` with `read` (the open file, the reason of a failure), which says
// whether it could.
template <class Read>
void readFile(const std::string& name, Read&& read)
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        cannotRead(name, std::strerror(errno));
    std::string error;
    const bool done = read(fd, error);
    ::close(fd);
    if (!done)
        cannotRead(name, error);
}

// A session file as far as a session may be long (one byte more, for the reader to refuse).
std::string sessionBytes(const std::string& name)
{
    std::optional<std::string> text;
    readFile(name, [&](int fd, std::string& error) {
        text = readUpTo(fd, kMaxSessionBytes + 1, error);
        return text.has_value();
    });
    return std::move(*text);
}

// Standard input as far as the paste limits allow.
std::string stdinBytes(const CliEnvironment& env)
{
    std::optional<std::string> read = env.readStdin ? env.readStdin() : std::nullopt;
    if (!read)
        throw RunFailure{std::string(kProgram) + ": cannot read standard input\n"};
    return std::move(*read);
}

// The table of the file `name`, read as far as the paste limits allow; a refusal names the
// file without its folder.
TableFileResult tableOfFile(const std::string& name, const QLocale& locale)
{
    TableFileIntake intake;
    readFile(name, [&](int fd, std::string& error) {
        return readPieces(fd, error, [&](std::string_view piece) { return intake.add(piece); });
    });
    return intake.finish(QFileInfo(QFile::decodeName(name.c_str())).fileName().toStdString(),
                         locale);
}

// Of a run pasted, the analytes whose standards are the lines matching `pattern` (none: the
// paste's, of the most frequent ID), with the notes of their values taken again. Why not
// when no line matches.
std::optional<std::string> takePastedStandard(PastedTable& table, const std::string& pattern)
{
    if (!table.run || pattern.empty())
        return std::nullopt;
    table.notes.replaced = table.notes.leftOut = table.notes.lonelyErrors = {};
    RunSplit split = standardsOf(*table.run, pattern, table.notes);
    if (!split.analytes) {
        std::string why = split.message ? split.message->text : "no line matches '" + pattern + "'";
        std::erase(why, '\r');
        return why;
    }
    table.analytes = std::move(*split.analytes);
    return std::nullopt;
}

// The session in `contents`, the options over its settings.
void takeSession(State& state, const std::string& contents, const std::string& name,
                 const QCommandLineParser& parser)
{
    std::variant<SessionContents, std::string> session = readSessionText(contents);
    if (const std::string* refusal = std::get_if<std::string>(&session))
        throw RunFailure{std::string(kProgram) + ": " + name + ": " + *refusal + "\n"};
    applySession(state, std::move(std::get<SessionContents>(session)));
    state.settings = settingsFrom(parser, std::move(state.settings));
}

// The table read from `source`, with what its reading said.
void takeTable(State& state, PastedTable table, TableSource source, const Input& input,
               std::string& err)
{
    if (const auto refusal = takePastedStandard(table, state.settings.standardPattern))
        throw UsageError{"--standard: " + *refusal};
    if (table.notes.any())  // what the window's status line says after the paste
        err += std::string(kProgram) + ": " + input.name() + ": " + pasteNotesText(table) + "\n";
    state.replaceAnalytes(std::move(table.analytes), table.named, std::move(table.run));
    state.source = std::move(source);
}

// The table pasted from `contents` (standard input), by the clipboard's rules.
void takePasted(State& state, std::string contents, const Input& input, const QLocale& locale,
                std::string& err)
{
    PasteResult pasted = parseTable(contents, locale);
    if (pasted.message)
        appendMessage(err, *pasted.message);
    if (!pasted.table)
        throw RunFailure{};
    takeTable(state, std::move(*pasted.table),
              {std::move(contents), locale.name().toStdString(), input.name()}, input, err);
}

// The table of the file FILE.
void takeFile(State& state, const Input& input, const QLocale& locale, std::string& err)
{
    TableFileResult read = tableOfFile(input.file, locale);
    if (const UserMessage* refusal = std::get_if<UserMessage>(&read)) {
        appendMessage(err, *refusal);
        throw RunFailure{};
    }
    TableFile& file = std::get<TableFile>(read);
    file.source.origin = input.name();
    takeTable(state, std::move(file.table), std::move(file.source), input, err);
}

}  // namespace

std::optional<std::string> readTable(int fd, std::string& error)
{
    PasteIntake intake;
    if (!readPieces(fd, error, [&](std::string_view piece) { return intake.add(piece); }))
        return std::nullopt;
    return std::move(intake.text());
}

std::optional<std::string> readStdin()
{
    std::string error;
    return readTable(STDIN_FILENO, error);
}

void takeInput(State& state, const Input& input, const QCommandLineParser& parser,
               const CliEnvironment& env, std::string& err)
{
    if (input.session)
        takeSession(state, sessionBytes(*input.session), *input.session, parser);
    else if (input.file.empty() || input.file == "-")
        takePasted(state, stdinBytes(env), input, env.locale, err);
    else
        takeFile(state, input, env.locale, err);
}

}  // namespace kalibrix::cli
