#include "cli/settings_options.h"

#include "cli/command_line.h"
#include "cli/messages.h"
#include "engine/method_table.h"
#include "run/known_values.h"
#include "run/session.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <span>

namespace kalibrix::cli {

namespace {

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

// The methods a list option names, out of `names`; an empty vector for "none"; none when
// the option is not given.
std::optional<std::vector<std::string>> methodList(const QCommandLineParser& parser,
                                                   const QString& option,
                                                   const std::vector<std::string>& names)
{
    if (!parser.isSet(option))
        return std::nullopt;
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

// The trimmed UTF-8 text of a one-value option.
std::string optionText(const QCommandLineParser& parser, const char* option)
{
    return str(text(parser.value(QLatin1String(option))).trimmed());
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

// --show and --export: the methods fitted and exported, and whether the band is shown.
void takeMethodOptions(const QCommandLineParser& parser, Settings& settings)
{
    const std::optional<std::vector<std::string>> shown =
        methodList(parser, QStringLiteral("show"), showNames());
    const std::optional<std::vector<std::string>> exported =
        methodList(parser, QStringLiteral("export"), exportNames());
    tickMethods(settings, shown, exported);
    if (shown)
        settings.showBand = std::find(shown->begin(), shown->end(), kBandName) != shown->end()
                                ? kTicked
                                : kUnticked;
}

// --zoom: the picture's axes on "Zoom".
void takeZoom(const QCommandLineParser& parser, Settings& settings)
{
    for (const QString& axis : listItems(parser, QStringLiteral("zoom"))) {
        if (axis == u"x")
            settings.scaleXFull = false;
        else if (axis == u"y")
            settings.scaleYFull = false;
        else
            throw UsageError{"--zoom: '" + str(axis) + "' is not x or y"};
    }
}

// --band and --residual-plot: what the picture draws.
void takePlotOptions(const QCommandLineParser& parser, Settings& settings)
{
    if (parser.isSet(QStringLiteral("band"))) {
        const std::string method = optionText(parser, "band");
        if (!methodNamed(method))
            throw UsageError{"--band: unknown method '" + method + "'"};
        settings.bandMethod = method;
    }
    if (parser.isSet(QStringLiteral("residual-plot")))
        settings.plotResiduals = true;
}

// --level: one of the levels of the t table.
int levelOption(const QCommandLineParser& parser)
{
    const QString level = text(parser.value(QStringLiteral("level"))).trimmed();
    const std::span<const char* const> names = levelNames();
    const auto it = std::find_if(names.begin(), names.end(),
                                 [&](const char* n) { return level == QLatin1String(n); });
    if (it == names.end())
        throw UsageError{"--level: '" + str(level) + "' is not one of 80, 90, 95, 98, 99, 99.8"};
    return static_cast<int>(it - names.begin());
}

// --degree, --level, --uncertainty and --weights: how the methods are fitted and what their
// export holds.
void takeFitOptions(const QCommandLineParser& parser, Settings& settings)
{
    if (parser.isSet(QStringLiteral("degree")))
        settings.degreeText = str(text(parser.value(QStringLiteral("degree"))));
    if (parser.isSet(QStringLiteral("level")))
        settings.level = levelOption(parser);
    if (parser.isSet(QStringLiteral("uncertainty"))) {
        const int kind = optionChoice(parser, "uncertainty", std::array{"curve", "new", "none"});
        settings.exportUncertainties = kind != 2;
        if (kind != 2)
            settings.uncertaintyKind =
                kind == 0 ? UncertaintyKind::Curve : UncertaintyKind::Reading;
    }
    if (parser.isSet(QStringLiteral("weights")))
        settings.weightByErrors =
            optionChoice(parser, "weights", std::array{"none", "errors"}) == 1;
}

// The options of a run table: its standard and check standard, and how its samples are
// corrected.
void takeRunOptions(const QCommandLineParser& parser, Settings& settings)
{
    if (parser.isSet(QStringLiteral("standard")))
        settings.standardPattern = optionText(parser, "standard");
    if (parser.isSet(QStringLiteral("check")))
        settings.checkPattern = optionText(parser, "check");
    if (parser.isSet(QStringLiteral("correction")))
        settings.correction =
            static_cast<CorrectionKind>(optionChoice(parser, "correction", kCorrectionNames));
    if (parser.isSet(QStringLiteral("correct-with"))) {
        settings.correctWith = optionText(parser, "correct-with");
        if (settings.correctWith != kBestMethod && !methodNamed(settings.correctWith))
            throw UsageError{"--correct-with: unknown method '" + settings.correctWith + "'"};
    }
    if (parser.isSet(QStringLiteral("max-gap")))
        settings.maxGap = maxGap(parser);
    if (parser.isSet(QStringLiteral("reference")))
        settings.known = knownValues(parser, "reference");
    if (parser.isSet(QStringLiteral("check-reference")))
        settings.checkKnown = knownValues(parser, "check-reference");
}

}  // namespace

void tickMethods(Settings& settings, const std::optional<std::vector<std::string>>& shown,
                 const std::optional<std::vector<std::string>>& exported)
{
    auto tick = [](const std::vector<std::string>& names, const char* name) {
        return std::find(names.begin(), names.end(), name) != names.end() ? kTicked : kUnticked;
    };
    for (const FitMethod& m : fitMethods()) {
        if (shown && !m.alwaysFitted)
            settings.show[m.name] = tick(*shown, m.name);
        if (exported)
            settings.exported[m.name] = tick(*exported, m.name);
    }
}

Settings settingsFrom(const QCommandLineParser& parser, std::optional<Settings> base)
{
    Settings settings = base ? std::move(*base) : defaultSettings();
    if (!base)
        settings.level = kDefaultLevel;
    takeMethodOptions(parser, settings);
    takeZoom(parser, settings);
    takeFitOptions(parser, settings);
    takePlotOptions(parser, settings);
    takeRunOptions(parser, settings);
    return settings;
}

}  // namespace kalibrix::cli
