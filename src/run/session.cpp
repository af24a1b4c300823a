#include "run/session.h"

#include "engine/method_table.h"
#include "model/user_message.h"
#include "model/version.h"
#include "run/known_values.h"
#include "run/paste_table.h"
#include "run/run_split.h"
#include "run/save_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace kalibrix {

namespace {

constexpr std::array<const char*, 6> kLevelNames{"80", "90", "95", "98", "99", "99.8"};

// The choices of the option pairs, the first being the one whose setting is true.
constexpr std::array<const char*, 2> kScaleNames{"full", "zoom"};
constexpr std::array<const char*, 2> kPlotNames{"data", "residuals"};
constexpr std::array<const char*, 2> kYScalingNames{"all data", "only unrejected"};
// By UncertaintyKind, and by weightByErrors (false, true).
constexpr std::array<const char*, 2> kUncertaintyNames{"curve", "new"};
constexpr std::array<const char*, 2> kWeightsNames{"none", "errors"};

// Most characters of a text that a message quotes.
constexpr qsizetype kQuoteLength = 40;

// A session refused, on its way out of the reader.
struct Refusal {
    std::string message;
};

[[noreturn]] void damaged(const std::string& what)
{
    throw Refusal{"The session is damaged: " + what + "."};
}

QString qstr(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// The table's text as a session holds it: every character of the UTF-8 text, a byte order
// mark at its start too (which QString::fromUtf8 would drop), so that the table comes back
// as it was read; nullopt when the text is no UTF-8.
std::optional<QString> tableText(std::string_view text)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    QString s = utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (utf8.hasError())
        return std::nullopt;
    return s;
}

// A text in quotes as the file writes it (line breaks and the like escaped), shortened.
std::string quoted(const QString& s)
{
    const QString shortened = s.size() > kQuoteLength ? s.first(kQuoteLength) + u'…' : s;
    const QByteArray json = QJsonDocument(QJsonArray{shortened}).toJson(QJsonDocument::Compact);
    return json.sliced(1, json.size() - 2).toStdString();  // without the list's brackets
}

// The values of a JSON text, counted without building them: at most one more than its
// commas and opening brackets outside texts (every value but the first of a list or object
// follows a comma, a key counting as a value), and the opening brackets alone, which stand
// for the lists and objects. Whether the text is JSON at all is left to the parser.
struct JsonSize {
    std::size_t values = 1;
    std::size_t containers = 0;
};

JsonSize jsonSize(std::string_view bytes)
{
    JsonSize size;
    bool inText = false;
    bool escaped = false;
    for (const char c : bytes) {
        if (inText) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inText = false;
            continue;
        }
        if (c == '"') {
            inText = true;
        } else if (c == ',') {
            ++size.values;
        } else if (c == '[' || c == '{') {
            ++size.values;
            ++size.containers;
        }
    }
    return size;
}

std::string number(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest).toStdString();
}

// A value as a message shows it: texts, numbers and truth values themselves, else its kind.
std::string shown(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::String:
        return quoted(v.toString());
    case QJsonValue::Double:
        return number(v.toDouble());
    case QJsonValue::Bool:
        return v.toBool() ? "true" : "false";
    case QJsonValue::Array:
        return "a list";
    case QJsonValue::Object:
        return "an object";
    default:
        return "null";
    }
}

template <std::size_t N>
std::string joined(const std::array<const char*, N>& names, const char* quote)
{
    std::string s;
    for (const char* n : names)
        s += (s.empty() ? "" : ", ") + std::string(quote) + n + quote;
    return s;
}

// A value of the session with the path that names it in messages ("settings"."level").
class Field {
public:
    Field(QJsonValue value, std::string path) : m_value(std::move(value)), m_path(std::move(path))
    {}

    const std::string& path() const { return m_path; }
    const QJsonValue& value() const { return m_value; }

    Field operator[](const char* key) const
    {
        const QJsonObject o = object();
        const std::string path = (m_path.empty() ? "" : m_path + ".") + "\"" + key + "\"";
        if (!o.contains(QLatin1String(key)))
            damaged(path + " is missing");
        return {o.value(QLatin1String(key)), path};
    }
    bool has(const char* key) const { return object().contains(QLatin1String(key)); }

    QJsonObject object() const { return expect(m_value.isObject(), "an object").toObject(); }
    QJsonArray list() const { return expect(m_value.isArray(), "a list").toArray(); }
    QString text() const { return expect(m_value.isString(), "a text").toString(); }
    bool truth() const { return expect(m_value.isBool(), "true or false").toBool(); }
    double number() const { return expect(m_value.isDouble(), "a number").toDouble(); }
    // A whole number from `lo` to `hi`.
    int whole(int lo, int hi) const
    {
        const double v = number();
        if (v != std::floor(v) || v < lo || v > hi)
            damaged(m_path + " is " + shown(m_value) + ", not a whole number from " +
                    std::to_string(lo) + " to " + std::to_string(hi));
        return static_cast<int>(v);
    }
    // The position of the text among `names`.
    template <std::size_t N>
    std::size_t choice(const std::array<const char*, N>& names) const
    {
        const QString t = text();
        for (std::size_t i = 0; i < N; ++i)
            if (t == QLatin1String(names[i]))
                return i;
        damaged(m_path + " is " + shown(m_value) + ", not one of " + joined(names, "\""));
    }

private:
    const QJsonValue& expect(bool ok, const char* kind) const
    {
        if (!ok)
            damaged(m_path + " is " + shown(m_value) + ", not " + kind);
        return m_value;
    }

    QJsonValue m_value;
    std::string m_path;
};

// "linear, log, ...": the names of the methods.
std::string methodNames()
{
    std::string known;
    for (const FitMethod& method : fitMethods())
        known += (known.empty() ? "" : ", ") + std::string(method.name);
    return known;
}

// The check value of every method's box from a list of method names.
MethodBoxes ticks(const Field& names, bool show)
{
    const std::span<const FitMethod> methods = fitMethods();
    MethodBoxes values;
    for (const FitMethod& method : methods)
        values[method.name] = show && method.alwaysFitted ? kTicked : kUnticked;
    std::vector<bool> listed(methods.size(), false);
    for (const QJsonValue& item : names.list()) {
        const Field name(item, names.path());
        const QString text = name.text();
        const std::optional<std::size_t> m = methodNamed(text.toStdString());
        if (!m)
            damaged(names.path() + " names the method " + quoted(text) + ", not one of " +
                    methodNames());
        if (listed[*m])
            damaged(names.path() + " lists " + quoted(text) + " twice");
        listed[*m] = true;
        values[methods[*m].name] = kTicked;
    }
    return values;
}

QJsonArray names(const MethodBoxes& values, bool show)
{
    QJsonArray list;
    for (const FitMethod& method : fitMethods())
        if (ticked(boxOf(values, method.name)) && !(show && method.alwaysFitted))
            list.append(QLatin1String(method.name));
    return list;
}

// Known values by analyte name ("" for every analyte): {"Cu": {"u": 0.2, "value": 1000}}.
QJsonObject knownObject(const std::map<std::string, KnownValue>& known)
{
    QJsonObject o;
    for (const auto& [name, value] : known) {
        QJsonObject entry{{"value", value.value}};
        if (value.u)
            entry["u"] = *value.u;
        o[qstr(name)] = entry;
    }
    return o;
}

// The known values of `f`; those of the standard (`kind` given) such as that correction
// takes.
std::map<std::string, KnownValue> readKnown(const Field& f,
                                            std::optional<CorrectionKind> kind = std::nullopt)
{
    std::map<std::string, KnownValue> known;
    const QJsonObject byName = f.object();
    for (auto it = byName.begin(); it != byName.end(); ++it) {
        const Field entry(it.value(), f.path() + "." + quoted(it.key()));
        KnownValue value{entry["value"].number(), std::nullopt};
        if (entry.has("u")) {
            value.u = entry["u"].number();
            if (*value.u < 0)
                damaged(entry["u"].path() + " is " + number(*value.u) + ", below 0");
        }
        if (const auto problem = kind ? knownValueProblem(*kind, value) : std::nullopt)
            damaged(entry["value"].path() + " is " + number(value.value) + ", but " + *problem);
        known[it.key().toStdString()] = value;
    }
    return known;
}

// The settings of a run table's samples; sessions of before them lack these keys, and theirs
// are the defaults.
void readRunSettings(const Field& f, Settings& s)
{
    if (f.has("standardPattern"))
        s.standardPattern = f["standardPattern"].text().toStdString();
    if (f.has("checkPattern"))
        s.checkPattern = f["checkPattern"].text().toStdString();
    if (f.has("correction"))
        s.correction = static_cast<CorrectionKind>(f["correction"].choice(kCorrectionNames));
    if (f.has("correctWith")) {
        const Field with = f["correctWith"];
        s.correctWith = with.text().toStdString();
        if (s.correctWith != "best" && !methodNamed(s.correctWith))
            damaged(with.path() + " names the method " + quoted(with.text()) + ", not one of " +
                    methodNames() + ", best");
    }
    if (f.has("maxGap") && !f["maxGap"].value().isNull()) {
        s.maxGap = f["maxGap"].number();
        if (!(*s.maxGap > 0))
            damaged(f["maxGap"].path() + " is " + number(*s.maxGap) + ", not above 0");
    }
    if (f.has("known"))
        s.known = readKnown(f["known"], s.correction);
    if (f.has("checkKnown"))
        s.checkKnown = readKnown(f["checkKnown"]);
}

QJsonObject settingsObject(const Settings& s)
{
    QJsonObject o;
    o["band"] = ticked(s.showBand);
    o["bandOf"] = qstr(s.bandMethod);
    o["degree"] = qstr(s.degreeText);
    o["export"] = names(s.exported, false);
    o["exportUncertainties"] = s.exportUncertainties;
    const std::size_t level = static_cast<std::size_t>(s.level.value_or(kDefaultLevel));
    o["level"] = QByteArray(kLevelNames.at(level)).toDouble();
    o["show"] = names(s.show, true);
    o["uncertainty"] =
        QLatin1String(kUncertaintyNames[s.uncertaintyKind == UncertaintyKind::Curve ? 0 : 1]);
    o["weights"] = QLatin1String(kWeightsNames[s.weightByErrors ? 1 : 0]);
    o["xScale"] = QLatin1String(kScaleNames[s.scaleXFull ? 0 : 1]);
    o["yScale"] = QLatin1String(kScaleNames[s.scaleYFull ? 0 : 1]);
    o["yScalingAtRejection"] = QLatin1String(kYScalingNames[s.allData ? 0 : 1]);
    o["standardPattern"] = qstr(s.standardPattern);
    o["checkPattern"] = qstr(s.checkPattern);
    o["correction"] = QLatin1String(correctionName(s.correction));
    o["correctWith"] = qstr(s.correctWith);
    o["maxGap"] = s.maxGap ? QJsonValue(*s.maxGap) : QJsonValue(QJsonValue::Null);
    o["known"] = knownObject(s.known);
    o["checkKnown"] = knownObject(s.checkKnown);
    // Only the residual view is written, so that a session of the data view reads as before.
    if (s.plotResiduals)
        o["plot"] = QLatin1String(kPlotNames[1]);
    return o;
}

Settings readSettings(const Field& f)
{
    Settings s = defaultSettings();
    s.show = ticks(f["show"], true);
    s.exported = ticks(f["export"], false);
    s.showBand = f["band"].truth() ? kTicked : kUnticked;
    s.degreeText = f["degree"].text().toStdString();
    const Field level = f["level"];
    const double percent = level.number();
    const auto it = std::find_if(kLevelNames.begin(), kLevelNames.end(), [&](const char* n) {
        return QByteArray(n).toDouble() == percent;
    });
    if (it == kLevelNames.end())
        damaged(level.path() + " is " + number(percent) + ", not one of " +
                joined(kLevelNames, ""));
    s.level = static_cast<int>(it - kLevelNames.begin());
    s.scaleXFull = f["xScale"].choice(kScaleNames) == 0;
    s.scaleYFull = f["yScale"].choice(kScaleNames) == 0;
    s.allData = f["yScalingAtRejection"].choice(kYScalingNames) == 0;
    // Sessions of before the uncertainties lack these: theirs are the defaults.
    if (f.has("bandOf")) {
        const Field bandOf = f["bandOf"];
        s.bandMethod = bandOf.text().toStdString();
        if (!methodNamed(s.bandMethod))
            damaged(bandOf.path() + " names the method " + quoted(bandOf.text()) + ", not one of " +
                    methodNames());
    }
    if (f.has("exportUncertainties"))
        s.exportUncertainties = f["exportUncertainties"].truth();
    if (f.has("uncertainty"))
        s.uncertaintyKind = f["uncertainty"].choice(kUncertaintyNames) == 0
                                ? UncertaintyKind::Curve
                                : UncertaintyKind::Reading;
    if (f.has("weights"))
        s.weightByErrors = f["weights"].choice(kWeightsNames) == 1;
    if (f.has("plot"))
        s.plotResiduals = f["plot"].choice(kPlotNames) == 1;
    readRunSettings(f, s);
    return s;
}

QJsonArray rejectedX(const DataTable& t)
{
    QJsonArray xs;
    for (int x = 1; x <= kMaxX; ++x)  // X = 0 holds no standard: it cannot be rejected
        if (!t.inUse(x))
            xs.append(x);
    return xs;
}

// Flags the X of `xs` in `analyte`, each of them a standard with Y > 0.
void reject(Analyte& analyte, const Field& xs, bool named)
{
    for (const QJsonValue& item : xs.list()) {
        const auto x = static_cast<std::size_t>(Field(item, xs.path()).whole(1, kMaxX));
        if (analyte.table.y[x].value_or(0) <= 0)
            damaged(xs.path() + " rejects X = " + std::to_string(x) +
                    (named ? " of " + quoted(qstr(analyte.name)) : std::string()) +
                    ", where the table has no standard with Y > 0");
        analyte.table.rejFlag[x] = 1;
    }
}

// The place of a paste's refusal: the second line of its message when it has one (the first
// line then says only that the clipboard's table has a format error).
std::string refusalOf(const UserMessage& message)
{
    std::string text = message.text;
    if (const std::size_t lf = text.find('\n'); lf != std::string::npos)
        text.erase(0, lf + 1);
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::erase(text, '\r');
    return text;
}

SessionContents read(const Field& top)
{
    const int version = top["formatVersion"].whole(1, INT_MAX);
    if (version > kSessionFormatVersion)
        throw Refusal{"The session is of format version " + std::to_string(version) +
                      ", written by a newer KALIBRIX; this one (" + std::string(kProgramVersion) +
                      ") reads format version " + std::to_string(kSessionFormatVersion) + "."};
    top["program"].text();
    top["version"].text();

    SessionContents c;
    c.settings = readSettings(top["settings"]);

    const Field table = top["table"];
    const Field text = table["text"];
    c.source = {text.text().toStdString(), table["locale"].text().toStdString(),
                table["origin"].text().toStdString()};
    if (c.source.text.empty())
        damaged(text.path() + " is empty");
    const QLocale locale(qstr(c.source.locale));
    if (locale.name().toStdString() != c.source.locale)
        damaged(table["locale"].path() + " is " + quoted(qstr(c.source.locale)) +
                ", which is no locale this KALIBRIX knows");
    PasteResult pasted = parseTable(c.source.text, locale);
    if (!pasted.table)
        throw Refusal{"The session's table is refused: " +
                      (pasted.message ? refusalOf(*pasted.message) : std::string())};
    c.analytes = std::move(pasted.table->analytes);
    c.named = pasted.table->named;
    c.run = std::move(pasted.table->run);
    if (c.run && !c.settings.standardPattern.empty()) {
        RunSplit split = standardsOf(*c.run, c.settings.standardPattern);
        if (!split.analytes)
            throw Refusal{"The session's table is refused: " +
                          (split.message ? refusalOf(*split.message)
                                         : "no line matches the standard " +
                                               quoted(qstr(c.settings.standardPattern)))};
        c.analytes = std::move(*split.analytes);
    }

    auto analyteNamed = [&](const QString& name) {
        return std::find_if(c.analytes.begin(), c.analytes.end(),
                            [&](const Analyte& a) { return qstr(a.name) == name; });
    };
    const Field rejected = top["rejected"];
    if (!c.named) {
        reject(c.analytes.front(), Field(rejected.list(), rejected.path()), false);
    } else {
        const QJsonObject byName = rejected.object();
        for (auto it = byName.begin(); it != byName.end(); ++it) {
            const auto analyte = analyteNamed(it.key());
            const Field xs(it.value(), rejected.path() + "." + quoted(it.key()));
            if (analyte == c.analytes.end())
                damaged(rejected.path() + " names the analyte " + quoted(it.key()) +
                        ", which the table does not have");
            reject(*analyte, xs, true);
        }
        const Field shownName = top["shown"];
        const auto analyte = analyteNamed(shownName.text());
        if (analyte == c.analytes.end())
            damaged(shownName.path() + " is " + shown(shownName.value()) +
                    ", which the table does not have");
        c.selected = static_cast<std::size_t>(analyte - c.analytes.begin());
    }
    return c;
}

}  // namespace

std::span<const char* const> levelNames() { return kLevelNames; }

std::string sessionText(const State& state)
{
    QJsonObject o;
    o["format"] = QLatin1String(kSessionFormat);
    o["formatVersion"] = kSessionFormatVersion;
    o["program"] = QLatin1String(kAppTitle);
    o["version"] = qstr(kProgramVersion);
    o["table"] =
        QJsonObject{{"text", tableText(state.source.text).value_or(qstr(state.source.text))},
                    {"locale", qstr(state.source.locale)},
                    {"origin", qstr(state.source.origin)}};
    if (state.named) {
        QJsonObject byName;
        for (const Analyte& analyte : state.analytes)
            if (QJsonArray xs = rejectedX(analyte.table); !xs.isEmpty())
                byName[qstr(analyte.name)] = xs;
        o["rejected"] = byName;
        o["shown"] = qstr(state.analytes[state.selected].name);
    } else {
        o["rejected"] = rejectedX(state.table());
    }
    o["settings"] = settingsObject(state.settings);
    return QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
}

std::optional<std::string> saveSession(const State& state, const std::string& file)
{
    if (!tableText(state.source.text))
        return "the table is not UTF-8 text, which a session holds";
    return saveFile(file, sessionText(state));
}

std::variant<SessionContents, std::string> readSessionText(std::string_view bytes)
{
    constexpr const char* kForeign = "The file is not a KALIBRIX session";
    if (bytes.size() > kMaxSessionBytes)
        return std::string(kForeign) + " (it is larger than " +
               std::to_string(kMaxSessionBytes / 1'000'000) + " MB).";
    if (const JsonSize size = jsonSize(bytes); size.values > kMaxSessionValues)
        return std::string(kForeign) + " (it holds more than " + std::to_string(kMaxSessionValues) +
               " values).";
    else if (size.containers > kMaxSessionContainers)
        return std::string(kForeign) + " (it holds more than " +
               std::to_string(kMaxSessionContainers) + " lists and objects).";
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())), &error);
    const std::string marker = std::string("\"") + kSessionFormat + "\"";
    if (doc.isNull()) {
        const std::string where =
            error.errorString().toStdString() + " at byte " + std::to_string(error.offset);
        // Cut short or changed by hand: it still says what it is.
        if (bytes.find(marker) != std::string_view::npos)
            return "The session is damaged: it is no longer JSON (" + where + ").";
        return std::string(kForeign) + " (it is not JSON: " + where + ").";
    }
    if (!doc.isObject())
        return std::string(kForeign) + " (it is not a JSON object).";
    const QJsonObject root = doc.object();
    if (!root.contains(QLatin1String("format")))
        return std::string(kForeign) + " (no \"format\").";
    if (root.value(QLatin1String("format")) != QLatin1String(kSessionFormat))
        return std::string(kForeign) + " (its \"format\" is " +
               shown(root.value(QLatin1String("format"))) + ").";
    try {
        return read(Field(root, ""));
    } catch (const Refusal& refusal) {
        return refusal.message;
    }
}

void applySession(State& state, SessionContents contents)
{
    state.analytes = std::move(contents.analytes);
    state.named = contents.named;
    state.run = std::move(contents.run);
    state.selected = contents.selected;
    state.source = std::move(contents.source);
    state.settings = std::move(contents.settings);
    state.plot = PlotDisplay{};
}

}  // namespace kalibrix
