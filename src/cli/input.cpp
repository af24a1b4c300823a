#include "cli/input.h"

#include "cli/messages.h"
#include "cli/settings_options.h"
#include "run/paste_table.h"
#include "run/run_split.h"
#include "run/session.h"
#include "run/status_text.h"

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

// A table file as far as the paste limits allow, or a session file as far as a session may
// be long (one byte more, for the reader to refuse).
std::optional<std::string> readFile(const std::string& name, std::string& error, bool session)
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::optional<std::string> text =
        session ? readUpTo(fd, kMaxSessionBytes + 1, error) : readTable(fd, error);
    ::close(fd);
    return text;
}

// The bytes of the input: of the session file, the table file or standard input.
std::string inputBytes(const Input& input, const CliEnvironment& env)
{
    if (!input.session && (input.file.empty() || input.file == "-")) {
        std::optional<std::string> read = env.readStdin ? env.readStdin() : std::nullopt;
        if (!read)
            throw RunFailure{std::string(kProgram) + ": cannot read standard input\n"};
        return std::move(*read);
    }
    const std::string& name = input.session ? *input.session : input.file;
    std::string error;
    std::optional<std::string> read = readFile(name, error, input.session.has_value());
    if (!read)
        throw RunFailure{std::string(kProgram) + ": cannot read " + name + ": " + error + "\n"};
    return std::move(*read);
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

// The table pasted from `contents`, with what its paste said.
void takeTable(State& state, std::string contents, const Input& input, const QLocale& locale,
               std::string& err)
{
    PasteResult pasted = parseTable(contents, locale);
    if (pasted.message)
        appendMessage(err, *pasted.message);
    if (!pasted.table)
        throw RunFailure{};
    if (const auto refusal = takePastedStandard(*pasted.table, state.settings.standardPattern))
        throw UsageError{"--standard: " + *refusal};
    if (pasted.table->notes.any())  // what the window's status line says after the paste
        err += std::string(kProgram) + ": " + input.name() + ": " + pasteNotesText(*pasted.table) +
               "\n";
    state.replaceAnalytes(std::move(pasted.table->analytes), pasted.table->named,
                          std::move(pasted.table->run));
    state.source = {std::move(contents), locale.name().toStdString(), input.name()};
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
    std::string contents = inputBytes(input, env);
    if (input.session)
        takeSession(state, contents, *input.session, parser);
    else
        takeTable(state, std::move(contents), input, env.locale, err);
}

}  // namespace kalibrix::cli
