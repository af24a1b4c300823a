#include "cli/cli.h"

#include "fit/method_table.h"
#include "fit/weights.h"
#include "regwin/captions.h"
#include "regwin/driver.h"
#include "regwin/export.h"
#include "regwin/known_values.h"
#include "regwin/paste_table.h"
#include "regwin/rounding.h"
#include "regwin/run_split.h"
#include "regwin/samples.h"
#include "regwin/session.h"
#include "regwin/state.h"
#include "regwin/status_text.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace kalibrix::cli {

namespace {

constexpr const char* kProgram = "kalibrix-cli";

// The name of --show that ticks "Show confidence band".
constexpr const char* kBandName = "band";

// The name of --correct-with that corrects with the method that predicts best.
constexpr const char* kBestMethod = "best";

// Method names of --show: every method that is not fitted anyway, then the band.
std::vector<std::string> showNames()
{
    std::vector<std::string> names;
    for (const FitMethod& m : fitMethods())
        if (!m.alwaysFitted)
            names.push_back(m.name);
    names.push_back(kBandName);
    return names;
}

// Method names of --export, at their position in the method table.
std::vector<std::string> exportNames()
{
    std::vector<std::string> names;
    for (const FitMethod& m : fitMethods())
        names.push_back(m.name);
    return names;
}

struct UsageError {
    std::string text;
};

std::string str(const QString& s) { return s.toStdString(); }

// The parser sees every byte of the command line as one character (Latin-1), so that no
// byte is lost; these turn such a text back into its bytes, or into the UTF-8 text it holds.
std::string bytes(const QString& latin1) { return latin1.toLatin1().toStdString(); }

QString text(const QString& latin1) { return QString::fromUtf8(latin1.toLatin1()); }

std::string shortUsage()
{
    return std::string("Usage: ") + kProgram + " [OPTIONS] [FILE]\nTry '" + kProgram +
           " --help' for more information.\n";
}

CliResult usageFailure(const std::string& text)
{
    return {kExitUsage, {}, std::string(kProgram) + ": " + text + "\n" + shortUsage()};
}

// The items of every occurrence of a comma-separated list option, blanks around them trimmed.
QStringList listItems(const QCommandLineParser& parser, const QString& option)
{
    QStringList items;
    for (const QString& value : parser.values(option))
        for (const QString& item : text(value).split(u','))
            items.append(item.trimmed());
    return items;
}

// The listed methods; an empty vector for "none".
std::vector<std::string> methodList(const QCommandLineParser& parser, const QString& option,
                                    const std::vector<std::string>& names)
{
    const QStringList items = listItems(parser, option);
    std::vector<std::string> chosen;
    bool none = false;
    for (const QString& item : items) {
        if (item.isEmpty())
            throw UsageError{"--" + str(option) + ": empty method name in the list"};
        if (item == u"none") {
            none = true;
            continue;
        }
        if (std::find(names.begin(), names.end(), str(item)) == names.end())
            throw UsageError{"--" + str(option) + ": unknown method '" + str(item) + "'"};
        chosen.push_back(str(item));
    }
    if (none && (!chosen.empty() || items.size() > 1))
        throw UsageError{"--" + str(option) + ": 'none' cannot be combined with other methods"};
    return chosen;
}

// One item of --reject: X in every analyte, or NAME:X in the analyte of that name.
struct Rejection {
    std::optional<std::string> analyte;
    int x = 0;
};

// --reject: the listed X and whether "suggested" is among them.
struct Rejections {
    std::vector<Rejection> xs;
    bool suggested = false;
};

Rejections rejectList(const QCommandLineParser& parser)
{
    Rejections r;
    for (const QString& item : listItems(parser, QStringLiteral("reject"))) {
        if (item == u"suggested") {
            r.suggested = true;
            continue;
        }
        // NAME:X; a name may itself hold a colon, X never does.
        const qsizetype colon = item.lastIndexOf(u':');
        const QString position = colon < 0 ? item : item.sliced(colon + 1).trimmed();
        const bool digits = !position.isEmpty() && position.size() <= 5 &&
                            std::all_of(position.begin(), position.end(),
                                        [](QChar c) { return c >= u'0' && c <= u'9'; });
        const int x = digits ? position.toInt() : -1;
        if (x < 0 || x > kMaxX)
            throw UsageError{"--reject: '" + str(item) + "' is not a whole number from 0 to " +
                             std::to_string(kMaxX) + ", NAME:X nor 'suggested'"};
        Rejection rejection{std::nullopt, x};
        if (colon >= 0)
            rejection.analyte = str(item.first(colon).trimmed());
        r.xs.push_back(std::move(rejection));
    }
    return r;
}

struct PlotRequest {
    std::string file;         // the name's bytes
    QSize size;               // empty: the designed size
    bool perAnalyte = false;  // "%a" in the name: one picture per analyte
};

constexpr std::string_view kAnalyteField = "%a";

constexpr int kMaxPictureSide = 20000;

// --plot FILE (.png, .svg or .pdf) and --size WxH.
std::optional<PlotRequest> plotRequest(const QCommandLineParser& parser)
{
    const bool sized = parser.isSet(QStringLiteral("size"));
    if (!parser.isSet(QStringLiteral("plot"))) {
        if (sized)
            throw UsageError{"--size needs --plot"};
        return std::nullopt;
    }
    const QString name = parser.value(QStringLiteral("plot"));
    PlotRequest request{bytes(name), {}};
    request.perAnalyte = request.file.find(kAnalyteField) != std::string::npos;
    const QString lower = name.toLower();
    if (!lower.endsWith(u".png") && !lower.endsWith(u".svg") && !lower.endsWith(u".pdf"))
        throw UsageError{"--plot: the file name must end in .png, .svg or .pdf"};
    if (sized) {
        const QString value = text(parser.value(QStringLiteral("size")));
        const QStringList parts = value.split(u'x');
        bool okW = false;
        bool okH = false;
        const int w = parts.size() == 2 ? parts[0].toInt(&okW) : 0;
        const int h = parts.size() == 2 ? parts[1].toInt(&okH) : 0;
        if (!okW || !okH || w < 1 || h < 1 || w > kMaxPictureSide || h > kMaxPictureSide)
            throw UsageError{"--size: '" + str(value) + "' is not WxH in pixels (1 to " +
                             std::to_string(kMaxPictureSide) + " each)"};
        request.size = QSize(w, h);
    }
    return request;
}

// The value of a one-word option: its position among `words`.
std::size_t optionChoice(const QCommandLineParser& parser, const char* option,
                         std::span<const char* const> words)
{
    const QString value = text(parser.value(QLatin1String(option))).trimmed();
    for (std::size_t at = 0; at < words.size(); ++at)
        if (value == QLatin1String(words[at]))
            return at;
    std::string known;
    for (const char* word : words)
        known += (known.empty() ? "" : ", ") + std::string(word);
    throw UsageError{"--" + std::string(option) + ": '" + str(value) + "' is not one of " + known};
}

// --reference and --check-reference: VALUE for every analyte, NAME=VALUE for one, each value
// with its uncertainty as VALUE±U or VALUE+-U.
std::map<std::string, KnownValue> knownValues(const QCommandLineParser& parser, const char* option)
{
    std::map<std::string, KnownValue> known;
    for (const QString& item : listItems(parser, QLatin1String(option))) {
        const qsizetype equals = item.lastIndexOf(u'=');  // a name may hold one, a value never
        const std::string name = equals < 0 ? std::string() : str(item.first(equals).trimmed());
        const std::optional<KnownValue> value =
            readKnownValue(str(equals < 0 ? item : item.sliced(equals + 1)));
        if (!value || (equals >= 0 && name.empty()))
            throw UsageError{"--" + std::string(option) + ": '" + str(item) +
                             "' is not VALUE, VALUE\u00b1U or NAME=VALUE\u00b1U"};
        if (!known.emplace(name, *value).second)
            throw UsageError{"--" + std::string(option) + ": " +
                             (name.empty() ? std::string("more than one VALUE for every analyte")
                                           : "'" + name + "' is listed twice")};
    }
    return known;
}

// --max-gap: a number above 0, or none.
std::optional<double> maxGap(const QCommandLineParser& parser)
{
    const QString value = text(parser.value(QStringLiteral("max-gap"))).trimmed();
    if (value == u"none")
        return std::nullopt;
    bool ok = false;
    const double gap = QLocale::c().toDouble(value, &ok);
    if (!ok || !std::isfinite(gap) || gap <= 0)
        throw UsageError{"--max-gap: '" + str(value) + "' is not a number above 0 nor 'none'"};
    return gap;
}

// The options of a run table: its standard and check standard, and how its samples are
// corrected.
void takeRunOptions(const QCommandLineParser& parser, Settings& s)
{
    auto value = [&parser](const char* option) {
        return str(text(parser.value(QLatin1String(option))).trimmed());
    };
    if (parser.isSet(QStringLiteral("standard")))
        s.standardPattern = value("standard");
    if (parser.isSet(QStringLiteral("check")))
        s.checkPattern = value("check");
    if (parser.isSet(QStringLiteral("correction")))
        s.correction =
            static_cast<CorrectionKind>(optionChoice(parser, "correction", kCorrectionNames));
    if (parser.isSet(QStringLiteral("correct-with"))) {
        s.correctWith = value("correct-with");
        if (s.correctWith != kBestMethod && !methodNamed(s.correctWith))
            throw UsageError{"--correct-with: unknown method '" + s.correctWith + "'"};
    }
    if (parser.isSet(QStringLiteral("max-gap")))
        s.maxGap = maxGap(parser);
    if (parser.isSet(QStringLiteral("reference")))
        s.known = knownValues(parser, "reference");
    if (parser.isSet(QStringLiteral("check-reference")))
        s.checkKnown = knownValues(parser, "check-reference");
}

// The settings of the window at start-up at the 95 % level, or `base`, changed by the
// options.
Settings settingsFrom(const QCommandLineParser& parser, std::optional<Settings> base = {})
{
    Settings s = base ? std::move(*base) : defaultSettings();
    if (!base)
        s.level = kDefaultLevel;
    const std::span<const FitMethod> methods = fitMethods();
    if (parser.isSet(QStringLiteral("show"))) {
        const std::vector<std::string> chosen =
            methodList(parser, QStringLiteral("show"), showNames());
        auto listed = [&](const std::string& name) {
            return std::find(chosen.begin(), chosen.end(), name) != chosen.end();
        };
        for (std::size_t m = 0; m < methods.size(); ++m)
            if (!methods[m].alwaysFitted)
                s.show[methods[m].name] = listed(methods[m].name) ? kTicked : kUnticked;
        s.showBand = listed(kBandName) ? kTicked : kUnticked;
    }
    if (parser.isSet(QStringLiteral("export"))) {
        const std::vector<std::string> chosen =
            methodList(parser, QStringLiteral("export"), exportNames());
        for (std::size_t m = 0; m < methods.size(); ++m)
            s.exported[methods[m].name] = std::find(chosen.begin(), chosen.end(), methods[m].name) != chosen.end()
                                ? kTicked
                                : kUnticked;
    }
    for (const QString& axis : listItems(parser, QStringLiteral("zoom"))) {
        if (axis == u"x")
            s.scaleXFull = false;
        else if (axis == u"y")
            s.scaleYFull = false;
        else
            throw UsageError{"--zoom: '" + str(axis) + "' is not x or y"};
    }
    if (parser.isSet(QStringLiteral("degree")))
        s.degreeText = str(text(parser.value(QStringLiteral("degree"))));
    if (parser.isSet(QStringLiteral("level"))) {
        const QString level = text(parser.value(QStringLiteral("level"))).trimmed();
        const std::span<const char* const> names = levelNames();
        const auto it = std::find_if(names.begin(), names.end(),
                                     [&](const char* n) { return level == QLatin1String(n); });
        if (it == names.end())
            throw UsageError{"--level: '" + str(level) +
                             "' is not one of 80, 90, 95, 98, 99, 99.8"};
        s.level = static_cast<int>(it - names.begin());
    }
    if (parser.isSet(QStringLiteral("uncertainty"))) {
        const int kind = optionChoice(parser, "uncertainty", std::array{"curve", "new", "none"});
        s.exportUncertainties = kind != 2;
        if (kind != 2)
            s.uncertaintyKind = kind == 0 ? UncertaintyKind::Curve : UncertaintyKind::Reading;
    }
    if (parser.isSet(QStringLiteral("weights")))
        s.weightByErrors = optionChoice(parser, "weights", std::array{"none", "errors"}) == 1;
    if (parser.isSet(QStringLiteral("band"))) {
        const std::string method = str(text(parser.value(QStringLiteral("band"))).trimmed());
        if (!methodNamed(method))
            throw UsageError{"--band: unknown method '" + method + "'"};
        s.bandMethod = method;
    }
    takeRunOptions(parser, s);
    return s;
}

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
std::optional<std::string> readFile(const std::string& name, std::string& error,
                                    bool session = false)
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

std::string withLineFeeds(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', '\n');
    return text;
}

void appendMessage(std::string& err, const UserMessage& message)
{
    std::string text = message.text;
    std::erase(text, '\r');
    err += text;
    err += '\n';
}

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

// Where the analytes that --analyte keeps stand in the table, in the order given. An analyte
// the table does not have or that has no values (its column is empty) is refused.
std::vector<std::size_t> chosenAnalytes(const std::vector<Analyte>& analytes, bool named,
                                        const QCommandLineParser& parser)
{
    if (!named)
        throw UsageError{"--analyte: the table has no names line, so no analytes to choose"};
    std::vector<std::size_t> taken;
    for (const QString& item : listItems(parser, QStringLiteral("analyte"))) {
        const std::string name = str(item);
        const auto it = std::find_if(analytes.begin(), analytes.end(),
                                     [&](const Analyte& a) { return a.name == name; });
        if (it == analytes.end())
            throw UsageError{"--analyte: the table has no analyte '" + name + "'"};
        if (!it->table.anyValue())
            throw UsageError{"--analyte: the analyte '" + name + "' has no values"};
        const auto index = static_cast<std::size_t>(it - analytes.begin());
        if (std::find(taken.begin(), taken.end(), index) != taken.end())
            throw UsageError{"--analyte: '" + name + "' is listed twice"};
        taken.push_back(index);
    }
    return taken;
}

// The analytes --analyte left out, kept for the session of the run.
struct LeftOut {
    std::vector<Analyte> all;         // the table's analytes; those chosen moved to the state
    std::vector<std::size_t> chosen;  // where the state's analytes stand among them
};

// Keeps in `state` only the analytes --analyte chooses, in its order, showing the first.
LeftOut keepChosen(State& state, const QCommandLineParser& parser)
{
    LeftOut left;
    if (!parser.isSet(QStringLiteral("analyte")))
        return left;
    left.chosen = chosenAnalytes(state.analytes, state.named, parser);
    left.all = std::move(state.analytes);
    state.analytes.clear();
    for (std::size_t at : left.chosen)
        state.analytes.push_back(std::move(left.all[at]));
    state.selected = 0;
    return left;
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

// Flags the standards --reject names; the check that each holds a standard with Y > 0.
void applyRejections(State& state, const std::vector<Rejection>& rejections)
{
    for (const Rejection& r : rejections) {
        const auto x = static_cast<std::size_t>(r.x);
        const auto standard = [x](const Analyte& a) { return a.table.y[x].value_or(0) > 0; };
        if (!state.named && r.analyte)
            throw UsageError{"--reject: the table has no names line, so no analyte '" + *r.analyte +
                             "'"};
        if (r.analyte) {
            const auto it = std::find_if(state.analytes.begin(), state.analytes.end(),
                                         [&](const Analyte& a) { return a.name == *r.analyte; });
            if (it == state.analytes.end())
                throw UsageError{"--reject: no analyte '" + *r.analyte + "' among those fitted"};
            if (!standard(*it))
                throw UsageError{"--reject: " + *r.analyte +
                                 " has no standard with Y > 0 at X = " + std::to_string(r.x)};
            it->table.rejFlag[x] = 1;
            continue;
        }
        bool any = false;
        for (Analyte& a : state.analytes) {
            if (standard(a)) {
                a.table.rejFlag[x] = 1;
                any = true;
            }
        }
        if (!any)
            throw UsageError{std::string("--reject: no ") + (state.named ? "analyte has a " : "") +
                             "standard with Y > 0 at X = " + std::to_string(r.x)};
    }
}

// Where the table of a run comes from: a session, a table file or standard input.
struct Input {
    std::optional<std::string> session;  // the bytes of --session's file name
    std::string file;                    // the table file's; empty or "-": standard input

    std::string name() const
    {
        return session ? *session : file.empty() || file == "-" ? "standard input" : file;
    }
};

// The options that need a run table, each refused without one.
constexpr std::array<const char*, 4> kRunOptions{"standard", "check", "check-reference", "samples"};

// The analytes of a session's run whose standards are the lines matching `pattern`; a
// rejection of the session stays where the analyte still has a standard with Y > 0.
void takeStandards(State& state, const std::string& pattern)
{
    RunSplit split = standardsOf(*state.run, pattern);
    if (!split.analytes) {
        std::string why = split.message ? split.message->text : "no line matches '" + pattern + "'";
        std::erase(why, '\r');
        throw UsageError{"--standard: " + why};
    }
    for (Analyte& fresh : *split.analytes) {
        const auto old = std::find_if(state.analytes.begin(), state.analytes.end(),
                                      [&](const Analyte& a) { return a.name == fresh.name; });
        for (std::size_t x = 1; old != state.analytes.end() && x < fresh.table.y.size(); ++x)
            if (old->table.rejFlag[x] && fresh.table.y[x].value_or(0) > 0)
                fresh.table.rejFlag[x] = 1;
    }
    std::optional<RunTable> run = std::move(state.run);
    state.replaceAnalytes(std::move(*split.analytes), true, std::move(run));
}

// The known values of --reference and --check-reference (or a session's): each of an
// analyte of the table, the standard's such as the correction takes.
void checkKnownValues(const State& state)
{
    const Settings& s = state.settings;
    for (const auto* known : {&s.known, &s.checkKnown})
        for (const auto& [name, value] : *known) {
            const std::string option = known == &s.known ? "--reference" : "--check-reference";
            if (!name.empty() && !state.named)
                throw UsageError{option + ": the table has no names line, so no analyte '" + name +
                                 "'"};
            if (!name.empty() && std::none_of(state.analytes.begin(), state.analytes.end(),
                                              [&](const Analyte& a) { return a.name == name; }))
                throw UsageError{option + ": the table has no analyte '" + name + "'"};
            const std::optional<std::string> problem = knownValueProblem(s.correction, value);
            if (problem && known == &s.known)
                throw UsageError{option + ": " + (name.empty() ? "" : name + "=") +
                                 knownValueText(value) + ": " + *problem};
        }
}

// Of a run table: the standard the options choose for a session (a table read has taken it
// already; the most frequent ID when neither they nor a session name one, said on standard
// error) and the known values checked against its analytes and the correction. Without a
// run, the options that need one are refused.
void takeRun(State& state, const QCommandLineParser& parser, const Input& in, std::string& err)
{
    if (!state.run) {
        for (const char* option : kRunOptions)
            if (parser.isSet(QLatin1String(option)))
                throw UsageError{"--" + std::string(option) +
                                 ": the table has no ID column (ID, Sample, Sample ID, Name or "
                                 "Label), so no samples"};
    } else if (parser.isSet(QStringLiteral("standard"))) {
        if (in.session)
            takeStandards(state, state.settings.standardPattern);
    } else if (state.settings.standardPattern.empty()) {
        err += std::string(kProgram) + ": " + in.name() + ": the standard is '" +
               standardPatternOf(*state.run, "") +
               "', the most frequent ID (--standard chooses another)\n";
    }
    checkKnownValues(state);
}

// Readies the run of the input for the fits: the standard of a run table, the analytes
// --analyte keeps and the rejections --reject asks for.
LeftOut prepareRun(State& state, const QCommandLineParser& parser,
                   const std::vector<Rejection>& rejections, const Input& in, std::string& err)
{
    takeRun(state, parser, in, err);
    LeftOut left = keepChosen(state, parser);
    applyRejections(state, rejections);
    return left;
}

// The messages of a run: for a named table every analyte's, each line led by its name.
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

// `text` as lines of at most kHelpWidth characters, the first starting with `first`, the
// others with as many blanks, broken between words.
constexpr std::size_t kHelpWidth = 78;

std::string wrapped(std::string_view first, std::string_view text)
{
    const std::string indent(first.size(), ' ');
    std::string out;
    std::string line(first);
    bool empty = true;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty())
            continue;
        if (!empty && line.size() + 1 + word.size() > kHelpWidth) {
            out += line + "\n";
            line = indent;
            empty = true;
        }
        line += empty ? std::string(word) : " " + std::string(word);
        empty = false;
    }
    return out + line + "\n";
}

std::string joined(const std::vector<std::string>& items, const char* separator)
{
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

// The lines of --show and --export in the help, from the method table.
std::string methodOptionsHelp()
{
    const std::span<const FitMethod> methods = fitMethods();
    std::vector<std::string> shown, shownAtStart, exported, exportedAtStart;
    std::string alwaysFitted;
    for (const FitMethod& m : methods) {
        exported.push_back(m.name);
        if (m.exportedAtStart)
            exportedAtStart.push_back(m.name);
        if (m.alwaysFitted) {
            alwaysFitted = m.name;
            continue;
        }
        shown.push_back(m.cliNote ? std::string(m.name) + " " + m.cliNote : m.name);
        if (m.shownAtStart)
            shownAtStart.push_back(m.name);
    }
    shown.push_back(kBandName);
    shownAtStart.push_back(kBandName);
    return wrapped("  --show LIST     ",
                   "methods fitted, comma-separated: " + joined(shown, ", ") + "; or none. The " +
                       alwaysFitted + " fit always runs. Default: " + joined(shownAtStart, ",")) +
           wrapped("  --export LIST   ", "methods exported: " + joined(exported, ", ") +
                                             "; or none. A method not fitted gets empty cells. "
                                             "Default: " +
                                             joined(exportedAtStart, ","));
}

// A method's row in the summary: its own name for it, or its caption in the window.
std::string summaryLabel(const FitMethod& m) { return m.summaryRow ? m.summaryRow : m.caption; }

// The rows of the summary in the help, from the method table.
std::string summaryHelp()
{
    std::vector<std::string> rows;
    std::string listed;
    for (const FitMethod& m : fitMethods()) {
        rows.push_back(withDegree(summaryLabel(m), "<degree>"));
        if (m.listsParameters)
            listed = m.name;
    }
    return wrapped("  ",
                   "then one row per method with its a, b, r^2, average difference, per cent, "
                   "leave-one-out error and leave-one-out per cent (empty where the method has "
                   "no such figure): " +
                       joined(rows, ", ") +
                       ". Every figure but r^2 (two decimals) shows at least four significant "
                       "digits, outside 0.001 to 9999999 in exponent form (2.565E+10).") +
           "  Suggested  <the X suggested for rejection, one a cell>\n"
           "  then one row per parameter of the \"" +
           listed + "\" fit: P0 <value> ... dsig <value>\n" +
           wrapped("  ",
                   "and with --check the check standard's rows: Check count, Check mean, "
                   "Check SD, Check bias, Check z (empty where there is no such figure).");
}

}  // namespace

namespace {

// One analyte's rows of the summary, each led by `lead` (the analyte's name and a tab, or
// nothing for a plain table).
void summaryRows(std::string& s, const RunResults& results, const NumberFormat& fmt,
                 const std::string& lead, bool mswd)
{
    const Captions c = makeCaptions(results, fmt, Figures::Shown);
    auto row = [&s, &lead](const std::vector<std::string_view>& cells) {
        s += lead;
        bool first = true;
        for (std::string_view cell : cells) {
            if (!first)
                s += '\t';
            s += cell;
            first = false;
        }
        s += '\n';
    };
    row({"Maximum:", c.nData});
    row({"Number of data:", c.nDataOK});
    row({"Rejected:", c.rejected});
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const auto& cells = c.cells[m];
        const std::string label = withDegree(summaryLabel(methods[m]), results.degreeText);
        std::vector<std::string_view> figures = {label,
                                                 cells[kCellA],
                                                 cells[kCellB],
                                                 cells[kCellRSquared],
                                                 cells[kCellDiff],
                                                 cells[kCellDiffProc],
                                                 c.looError[m],
                                                 c.looPercent[m]};
        const FitResult* fit = results.fit(m);
        const std::string value =
            fit && fit->weighted && fit->mswd ? Rounding(fit->mswd->value, fmt) : std::string();
        if (mswd)
            figures.push_back(value);
        row(figures);
    }
    s += lead;
    s += "Suggested";
    for (int x : results.suggested)
        s += "\t" + std::to_string(x);
    s += '\n';
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const FitResult* fit = results.fit(m);
        if (!methods[m].listsParameters || !fit)
            continue;
        for (std::size_t i = 0; i < fit->coef.size(); ++i)
            row({"P" + std::to_string(i), fmt.general(fit->coef[i])});
        row({"dsig", fmt.general(fit->dsig)});
    }
}

// The check standard's rows of analyte `a` in the summary, with a check standard in a run:
// how many of its lines were corrected, their mean, standard deviation, bias from its known
// value and z (bias over its uncertainty).
void checkRows(std::string& s, const State& state, std::size_t a, const NumberFormat& fmt,
               const std::string& lead)
{
    if (!state.run || state.settings.checkPattern.empty())
        return;
    const CheckSummary c = correctSamples(state, a).check.value_or(CheckSummary{});
    for (const auto& [label, figure] :
         {std::pair<const char*, std::string>{"Check count:", std::to_string(c.count)},
          {"Check mean:", Rounding(c.mean, fmt)},
          {"Check SD:", Rounding(c.sd, fmt)},
          {"Check bias:", Rounding(c.bias, fmt)},
          {"Check z:", Rounding(c.z, fmt)}})
        s += lead + label + "\t" + figure + "\n";
}

constexpr const char* kSummaryHeader = "Row\ta\tb\tr^2\tAver. diff.\t%\tLOO\tLOO %";

}  // namespace

std::string summaryText(const State& state, const NumberFormat& fmt)
{
    // The MSWD column only when weights were asked for, so that other summaries keep their
    // bytes.
    const bool mswd = state.settings.weightByErrors;
    std::string s =
        std::string(state.named ? "Analyte\t" : "") + kSummaryHeader + (mswd ? "\tMSWD\n" : "\n");
    for (std::size_t a = 0; a < state.analytes.size(); ++a) {
        const std::string lead = state.named ? state.analytes[a].name + "\t" : "";
        summaryRows(s, state.analytes[a].results, fmt, lead, mswd);
        checkRows(s, state, a, fmt, lead);
    }
    return s;
}

std::string usageText()
{
    return std::string("Usage: ") + kProgram +
           R"( [OPTIONS] [FILE]

Fits a table of standards as the regression window does at start-up and writes
the value of every exported fit at every X as tab-separated text.

The table (X, Y and an optional error per line, as pasted into the window) is
read from FILE, or from standard input when FILE is absent or "-", or is the
table of a session (--session). A first line of names makes it a named table:
X, then one column per analyte, each followed by its errors where a column is
named after it with " err", " error", " sd" or " ±"; an empty cell is no
value. Its export is the analytes' exports side by side, each headed by its
name. As in the window, a table may have at most 6000 lines (besides a names
line) and 32 MB; a longer input is refused as soon as it is beyond that,
without reading the rest. Numbers are read and written with the decimal
separator of the user's locale; negative numbers are written with the ASCII
minus sign "-" in every locale. File names are used as given, byte for byte,
whatever their encoding.

)"
           "Options:\n" +
           methodOptionsHelp() +
           R"(  --degree TEXT   degree of "poly", as typed into the window. Default: 6
  --level L       confidence level in per cent: 80, 90, 95, 98, 99 or 99.8.
                  Default: 95
  --uncertainty K after each exported method's value, its half-width at the
                  level in a cell titled "±": K is curve (how well the fit
                  knows the drift; the line's "C.I." is that figure, so it gets
                  none), new (where a new reading would fall) or none.
                  Default: none
  --band METHOD   the method whose band the picture draws (a name as in
                  --export). Default: linear
  --weights W     errors: every fit weighs each standard by 1 / err^2 (a
                  standard in use without an error above 0 leaves the run
                  unweighted, and standard error names its X); none.
                  Default: none
  --analyte LIST  of a named table, only these analytes, in this order; each
                  must have values.
  --reject LIST   whole X positions to reject before the fit; each must hold a
                  standard with Y > 0 (in a named table: X in every analyte
                  with a standard there, NAME:X in that analyte only).
                  "suggested" rejects the standards a first run suggests
                  (their leave-one-out errors lie far outside the others'),
                  then fits again.
  --standard PATTERN
                  of a run table (a named table with an ID column: ID, Sample,
                  Sample ID, Name or Label, in any case), the lines whose ID
                  matches PATTERN are the standard, fitted as above; the others
                  are samples. "*" stands for any characters, "?" for one.
                  Default: the most frequent ID (named on standard error).
  --check PATTERN the lines of a check standard, corrected as samples and
                  summed up (--summary, --report): count, mean, standard
                  deviation, bias from its known value and z = bias / u.
                  Default: none
  --correction K  how --samples corrects a reading r with the standard's value
                  S at its X and the standard's known value R: ratio (r R / S),
                  difference (r - S + R) or delta (per mil:
                  (r / S (1 + R / 1000) - 1) 1000). Default: ratio
  --correct-with METHOD
                  the method that gives S: a name as in --export (it must be
                  fitted, see --show), or best: the one that predicts best (the
                  smallest leave-one-out error). Default: best
  --reference LIST
                  the standard's known value R: VALUE for every analyte,
                  NAME=VALUE for one (comma-separated), "." as decimal point;
                  VALUE±U or VALUE+-U adds its standard uncertainty U. R must
                  be above 0 for a ratio and above -1000 for a delta.
                  Default: 1 for a ratio, 0 otherwise. Replaces a session's
                  known values.
  --check-reference LIST
                  the check standard's known values, written as --reference.
  --max-gap N     flag a sample farther than N from the nearest standard in use
                  before or after it ("gap"); none: no such flag. Default: none
  --samples       write the corrected samples of a run table instead of the
                  export (see Samples below).
  --raw           write the export with CR line ends, exactly as the clipboard
                  gets it (default: LF line ends).
  --summary       write the statistics of the window instead of the export.
  --plot FILE     also write the plot as a picture, PNG, SVG or PDF by the
                  ending. An existing file is replaced only by a complete
                  picture, and only where the shell could write it (a link is
                  followed where the system allows it; a link to no file is
                  refused; a device or FIFO is written directly). No file may
                  be named by two of --plot, --save-session and --report. Of a
                  named table the first analyte is drawn; with
                  "%a" in FILE every analyte, "%a" replaced by its name
                  (characters other than letters, digits and "-_.+" as "_").
  --size WxH      size of that picture in pixels. Default: 777x433
  --zoom LIST     x, y or x,y: those axes of the picture on "Zoom" (the range
                  of the data) rather than "Full" (from 0).
  --session FILE  read a session (.kalibrix, as the window saves it)
                  instead of a table: its table, rejections and settings
                  apply, and --plot draws the analyte it shows; the options
                  given change them (--reject adds rejections, --analyte
                  chooses among its analytes). A damaged or foreign file is
                  refused.
  --save-session FILE
                  also write the session of the run: the table read, the
                  settings and every rejection (also those of --reject), as
                  the window opens it, also of the analytes --analyte leaves
                  out. Written whole or not at all.
  --report FILE   also write the report of the run as PDF (FILE ends in .pdf):
                  for each analyte a page with the figures of the window, the
                  rejected standards, the settings and the plot.
  -h, --help      show this text and exit.

Summary (tab-separated, LF line ends, an empty cell means no result; of a
named table every row starts with the analyte's name, under "Analyte"):
  Row  a  b  r^2  Aver. diff.  %  LOO  LOO %  (and with --weights errors MSWD,
                  empty where the fit was not weighted)
  Maximum:  <largest X>
  Number of data:  <standards with Y > 0>
  Rejected:  <how many of them are rejected>
)" + summaryHelp() +
           R"(
Samples (--samples; tab-separated, LF line ends, one title line, then a line
per sample of each analyte with a reading, in the table's order):
  Analyte  ID  X  Reading  Reading err  Standard  Standard ±  Corrected
  Corrected ±  Method  Flag
  Standard is S at the sample's X, Corrected its corrected reading, each ± the
  half-width at the level (the reading's error, S's uncertainty of the curve
  and that of the known value combined). Flag: extrapolated (before the first
  or after the last standard in use), gap (see --max-gap), no value (the
  method has none at X), joined by ", "; a flagged sample still gets its
  number.

Messages of the fit go to standard error, one per line.

Exit status:
  0  done (also when the fit wrote messages)
  1  the t table (student.dat beside the program) could not be read, the input
     could not be read, the table or session was refused, or the picture, the
     session, the report or standard output could not be written, or memory
     ran out (message on standard error)
  2  usage error
)";
}

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

namespace {

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

// Puts the run's table into `state`: a session's (its rejections, the analyte it shows and
// its settings, the options' over them) or the table read, with where it came from. The
// import's messages go to `err`; on failure returns the result to give.
std::optional<CliResult> takeInput(State& state, const Input& in, const QCommandLineParser& parser,
                                   const CliEnvironment& env, std::string& err)
{
    const std::string name = in.session ? *in.session : in.file;
    std::string error;
    std::optional<std::string> bytesRead;
    if (!in.session && (in.file.empty() || in.file == "-")) {
        bytesRead = env.readStdin ? env.readStdin() : std::nullopt;
        if (!bytesRead)
            return CliResult{
                kExitFailure, {}, std::string(kProgram) + ": cannot read standard input\n"};
    } else if (!(bytesRead = readFile(name, error, in.session.has_value()))) {
        return CliResult{kExitFailure,
                         {},
                         std::string(kProgram) + ": cannot read " + name + ": " + error + "\n"};
    }

    if (in.session) {
        std::variant<SessionContents, std::string> contents = readSessionText(*bytesRead);
        if (const std::string* refusal = std::get_if<std::string>(&contents))
            return CliResult{
                kExitFailure, {}, std::string(kProgram) + ": " + name + ": " + *refusal + "\n"};
        applySession(state, std::move(std::get<SessionContents>(contents)));
        state.settings = settingsFrom(parser, std::move(state.settings));
        return std::nullopt;
    }
    PasteResult pasted = Paste_Table(*bytesRead, env.locale);
    if (pasted.message)
        appendMessage(err, *pasted.message);
    if (!pasted.table)
        return CliResult{kExitFailure, {}, err};
    if (const auto refusal = takePastedStandard(*pasted.table, state.settings.standardPattern))
        return CliResult{kExitUsage, {}, err + usageFailure("--standard: " + *refusal).err};
    if (pasted.table->notes.any())  // what the window's status line says after the paste
        err +=
            std::string(kProgram) + ": " + in.name() + ": " + pasteNotesText(*pasted.table) + "\n";
    state.replaceAnalytes(std::move(pasted.table->analytes), pasted.table->named,
                          std::move(pasted.table->run));
    state.source = {std::move(*bytesRead), env.locale.name().toStdString(), in.name()};
    return std::nullopt;
}

// At most one of the texts standard output may get instead of the export.
void checkOutputChoice(const QCommandLineParser& parser)
{
    std::vector<std::string> chosen;
    for (const char* option : {"raw", "summary", "samples"})
        if (parser.isSet(QLatin1String(option)))
            chosen.push_back("--" + std::string(option));
    if (chosen.size() > 1)
        throw UsageError{chosen[0] + " and " + chosen[1] + " cannot be combined"};
}

// Whether what is written needs the leave-one-out errors: the summary and the report show
// them, the samples corrected with the method that predicts best need them to know it.
bool needsLeaveOneOut(const QCommandLineParser& parser, const Settings& settings)
{
    return parser.isSet(QStringLiteral("summary")) || parser.isSet(QStringLiteral("report")) ||
           (parser.isSet(QStringLiteral("samples")) && settings.correctWith == kBestMethod);
}

// What standard output gets: the summary, the samples or the export.
std::string outputText(const State& state, const NumberFormat& fmt,
                       const QCommandLineParser& parser)
{
    if (parser.isSet(QStringLiteral("summary")))
        return summaryText(state, fmt);
    if (parser.isSet(QStringLiteral("samples")))
        return samplesText(state, fmt);
    if (parser.isSet(QStringLiteral("raw")))
        return exportText(state, fmt);
    return withLineFeeds(exportText(state, fmt));
}

// --report FILE: a name ending in .pdf.
std::optional<std::string> reportRequest(const QCommandLineParser& parser)
{
    if (!parser.isSet(QStringLiteral("report")))
        return std::nullopt;
    const QString name = parser.value(QStringLiteral("report"));
    if (!name.toLower().endsWith(u".pdf"))
        throw UsageError{"--report: the file name must end in .pdf"};
    return bytes(name);
}

}  // namespace

CliResult runCli(const std::vector<std::string>& arguments, const CliEnvironment& env)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    parser.addOption(help);
    for (const char* name : {"show", "export", "degree", "level", "reject", "analyte",
                             "uncertainty", "band", "weights", "standard", "check", "correction",
                             "correct-with", "reference", "check-reference", "max-gap"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("x")));
    parser.addOption(QCommandLineOption(QStringLiteral("zoom"), {}, QStringLiteral("x")));
    for (const char* name : {"raw", "summary", "samples"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    for (const char* name : {"plot", "session", "save-session", "report"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("file")));
    parser.addOption(QCommandLineOption(QStringLiteral("size"), {}, QStringLiteral("WxH")));

    QStringList latin1;
    for (const std::string& argument : arguments)
        latin1.append(QString::fromLatin1(argument));
    if (!parser.parse(latin1))
        return usageFailure(bytes(parser.errorText()));
    if (parser.isSet(help))
        return {kExitOk, usageText(), {}};

    Input in;
    if (parser.isSet(QStringLiteral("session")))
        in.session = bytes(parser.value(QStringLiteral("session")));
    if (!parser.positionalArguments().isEmpty())
        in.file = bytes(parser.positionalArguments().front());
    std::optional<std::string> sessionFile;
    if (parser.isSet(QStringLiteral("save-session")))
        sessionFile = bytes(parser.value(QStringLiteral("save-session")));
    Settings settings;
    Rejections rejects;
    std::optional<PlotRequest> plot;
    std::optional<std::string> report;
    try {
        if (parser.positionalArguments().size() > 1)
            throw UsageError{"more than one input file"};
        if (in.session && !parser.positionalArguments().isEmpty())
            throw UsageError{"--session and a table FILE cannot be combined"};
        checkOutputChoice(parser);
        settings = settingsFrom(parser);
        rejects = rejectList(parser);
        plot = plotRequest(parser);
        report = reportRequest(parser);
    } catch (const UsageError& e) {
        return usageFailure(e.text);
    }

    CliResult result;
    StudentLoad student =
        env.loadStudent ? env.loadStudent() : StudentLoad{std::nullopt, "no t table"};
    if (!student.table) {
        result.status = kExitFailure;
        result.err = student.error + "\n";
        return result;
    }
    State state;
    state.student = *student.table;
    state.settings = std::move(settings);
    if (std::optional<CliResult> failure = takeInput(state, in, parser, env, result.err))
        return *failure;

    const NumberFormat fmt = NumberFormat::forExport(env.locale);
    LeftOut leftOut;
    try {
        leftOut = prepareRun(state, parser, rejects.xs, in, result.err);
        if (plot && plot->perAnalyte && !state.named)
            throw UsageError{"--plot: %a needs a table with a names line"};
    } catch (const UsageError& e) {
        CliResult failure = usageFailure(e.text);
        failure.err.insert(0, result.err);
        return failure;
    }

    if (rejects.suggested) {  // a first run says which standards to reject
        A_PLOT(state, fmt, Drawing::Skip, LeaveOneOutErrors::Compute);
        for (Analyte& analyte : state.analytes)
            for (int x : analyte.results.suggested)
                analyte.table.rejFlag[static_cast<size_t>(x)] = 1;
    }
    A_PLOT(state, fmt, Drawing::Skip,
           needsLeaveOneOut(parser, state.settings) ? LeaveOneOutErrors::Compute
                                                    : LeaveOneOutErrors::Skip);
    appendRunMessages(result.err, state);
    if (state.settings.weightByErrors)
        for (const Analyte& analyte : state.analytes)
            if (const std::optional<int> x = firstStandardWithoutError(analyte.table))
                result.err +=
                    std::string(kProgram) + ": " + (state.named ? analyte.name + ": " : "") +
                    "not weighted by the errors: the standard at X = " + std::to_string(*x) +
                    " has no error above 0\n";

    auto cannotWrite = [&result](const std::string& file, const std::string& why) {
        result.status = kExitFailure;
        result.err += std::string(kProgram) + ": cannot write " + file + ": " + why + "\n";
        return result;
    };
    // Every file the run writes, by the option that names it: the pictures (one of the
    // analyte shown, the first or the session's, or with "%a" one per analyte), the session
    // and the report. No file may be named twice, nor written twice.
    struct Output {
        const char* option;
        std::string file;
        std::size_t analyte = 0;  // of a picture
    };
    std::vector<Output> outputs;
    const std::size_t shown = state.selected;
    if (plot)
        for (std::size_t a = plot->perAnalyte ? 0 : shown;
             a < (plot->perAnalyte ? state.analytes.size() : shown + 1); ++a)
            outputs.push_back({"--plot",
                               plot->perAnalyte
                                   ? withAnalyte(plot->file, safeFileName(state.analytes[a].name))
                                   : plot->file,
                               a});
    if (sessionFile)
        outputs.push_back({"--save-session", *sessionFile});
    if (report)
        outputs.push_back({"--report", *report});
    for (std::size_t i = 0; i < outputs.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            if (!oneFile(outputs[j].file, outputs[i].file))
                continue;
            const std::string& file = outputs[i].file;
            CliResult failure =
                usageFailure(std::string_view(outputs[i].option) == outputs[j].option
                                 ? "--plot: analytes '" + state.analytes[outputs[j].analyte].name +
                                       "' and '" + state.analytes[outputs[i].analyte].name +
                                       "' would both be drawn into " + file
                                 : std::string(outputs[j].option) + " and " + outputs[i].option +
                                       " name one file: " + file);
            failure.err.insert(0, result.err);
            return failure;
        }

    for (const Output& picture : outputs) {
        if (picture.option != std::string_view("--plot"))
            continue;
        showAnalyte(state, fmt, picture.analyte);
        const std::optional<std::string> error =
            env.writePlot
                ? env.writePlot(state.plot, std::filesystem::path(picture.file), plot->size)
                : std::optional<std::string>("pictures are not available here");
        if (error)
            return cannotWrite(picture.file, *error);
    }
    state.selected = shown;
    if (sessionFile)
        if (const std::optional<std::string> error = saveRunSession(state, leftOut, *sessionFile))
            return cannotWrite(*sessionFile, *error);
    if (report) {
        const std::optional<std::string> error =
            env.writeReport ? env.writeReport(state, NumberFormat::fromLocale(env.locale),
                                              std::filesystem::path(*report), in.name())
                            : std::optional<std::string>("reports are not available here");
        if (error)
            return cannotWrite(*report, *error);
    }

    result.out = outputText(state, fmt, parser);
    return result;
}

}  // namespace kalibrix::cli
