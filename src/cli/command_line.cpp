#include "cli/command_line.h"

#include "cli/messages.h"
#include "cli/settings_options.h"
#include "model/data_table.h"

#include <QCommandLineOption>

#include <algorithm>
#include <array>
#include <utility>

namespace kalibrix::cli {

std::string str(const QString& s) { return s.toStdString(); }

std::string bytes(const QString& latin1) { return latin1.toLatin1().toStdString(); }

QString text(const QString& latin1) { return QString::fromUtf8(latin1.toLatin1()); }

QStringList listItems(const QCommandLineParser& parser, const QString& option)
{
    QStringList items;
    for (const QString& value : parser.values(option))
        for (const QString& item : text(value).split(u','))
            items.append(item.trimmed());
    return items;
}

void addOptions(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, {}));
    for (const char* name : {"show", "export", "degree", "level", "reject", "analyte",
                             "uncertainty", "band", "weights", "standard", "check", "correction",
                             "correct-with", "reference", "check-reference", "max-gap"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("x")));
    parser.addOption(QCommandLineOption(QStringLiteral("zoom"), {}, QStringLiteral("x")));
    parser.addOption(QCommandLineOption(QStringLiteral("format"), {}, QStringLiteral("x")));
    for (const char* name : {"raw", "summary", "samples", "residuals", "residual-plot"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    for (const char* name : {"plot", "session", "save-session", "report", "xlsx"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("file")));
    parser.addOption(QCommandLineOption(QStringLiteral("size"), {}, QStringLiteral("WxH")));
}

bool parseArguments(QCommandLineParser& parser, const std::vector<std::string>& arguments)
{
    QStringList latin1;
    for (const std::string& argument : arguments)
        latin1.append(QString::fromLatin1(argument));
    if (!parser.parse(latin1))
        throw UsageError{bytes(parser.errorText())};
    return !parser.isSet(QStringLiteral("help"));
}

namespace {

// The options that need a run table, each refused without one.
constexpr std::array<const char*, 4> kRunOptions{"standard", "check", "check-reference", "samples"};

constexpr int kMaxPictureSide = 20000;

// The input: --session's file, or the table FILE (none: standard input), not both.
Input inputOf(const QCommandLineParser& parser)
{
    Input input;
    if (parser.isSet(QStringLiteral("session")))
        input.session = bytes(parser.value(QStringLiteral("session")));
    if (!parser.positionalArguments().isEmpty())
        input.file = bytes(parser.positionalArguments().front());
    if (parser.positionalArguments().size() > 1)
        throw UsageError{"more than one input file"};
    if (input.session && !parser.positionalArguments().isEmpty())
        throw UsageError{"--session and a table FILE cannot be combined"};
    return input;
}

// At most one of the texts standard output may get instead of the export.
OutputText outputChoice(const QCommandLineParser& parser)
{
    constexpr std::array<std::pair<const char*, OutputText>, 4> texts{
        {{"raw", OutputText::Raw},
         {"summary", OutputText::Summary},
         {"samples", OutputText::Samples},
         {"residuals", OutputText::Residuals}}};
    std::vector<std::string> chosen;
    OutputText output = OutputText::Export;
    for (const auto& [option, kind] : texts)
        if (parser.isSet(QLatin1String(option))) {
            chosen.push_back("--" + std::string(option));
            output = kind;
        }
    if (chosen.size() > 1)
        throw UsageError{chosen[0] + " and " + chosen[1] + " cannot be combined"};
    return output;
}

Rejections rejectList(const QCommandLineParser& parser)
{
    Rejections rejections;
    for (const QString& item : listItems(parser, QStringLiteral("reject"))) {
        if (item == u"suggested") {
            rejections.suggested = true;
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
        rejections.xs.push_back(std::move(rejection));
    }
    return rejections;
}

// --size WxH.
QSize pictureSize(const QCommandLineParser& parser)
{
    const QString value = text(parser.value(QStringLiteral("size")));
    const QStringList parts = value.split(u'x');
    bool okW = false;
    bool okH = false;
    const int w = parts.size() == 2 ? parts[0].toInt(&okW) : 0;
    const int h = parts.size() == 2 ? parts[1].toInt(&okH) : 0;
    if (!okW || !okH || w < 1 || h < 1 || w > kMaxPictureSide || h > kMaxPictureSide)
        throw UsageError{"--size: '" + str(value) + "' is not WxH in pixels (1 to " +
                         std::to_string(kMaxPictureSide) + " each)"};
    return QSize(w, h);
}

// --plot FILE (.png, .svg or .pdf) and the options that need it, --size WxH and
// --residual-plot (which a report takes as well).
std::optional<PlotRequest> plotRequest(const QCommandLineParser& parser)
{
    const bool sized = parser.isSet(QStringLiteral("size"));
    if (!parser.isSet(QStringLiteral("plot"))) {
        if (sized)
            throw UsageError{"--size needs --plot"};
        if (parser.isSet(QStringLiteral("residual-plot")) &&
            !parser.isSet(QStringLiteral("report")))
            throw UsageError{"--residual-plot needs --plot or --report"};
        return std::nullopt;
    }
    const QString name = parser.value(QStringLiteral("plot"));
    PlotRequest request{bytes(name), {}};
    request.perAnalyte = request.file.find(kAnalyteField) != std::string::npos;
    const QString lower = name.toLower();
    if (!lower.endsWith(u".png") && !lower.endsWith(u".svg") && !lower.endsWith(u".pdf"))
        throw UsageError{"--plot: the file name must end in .png, .svg or .pdf"};
    if (sized)
        request.size = pictureSize(parser);
    return request;
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

// --xlsx FILE: a name ending in .xlsx.
std::optional<std::string> workbookRequest(const QCommandLineParser& parser)
{
    if (!parser.isSet(QStringLiteral("xlsx")))
        return std::nullopt;
    const QString name = parser.value(QStringLiteral("xlsx"));
    if (!name.toLower().endsWith(u".xlsx"))
        throw UsageError{"--xlsx: the file name must end in .xlsx"};
    return bytes(name);
}

// --format wide, long or csv; only the export takes long and csv.
ExportFormat exportFormat(const QCommandLineParser& parser, OutputText output)
{
    if (!parser.isSet(QStringLiteral("format")))
        return ExportFormat::Wide;
    constexpr std::array<std::pair<const char*, ExportFormat>, 3> formats{
        {{"wide", ExportFormat::Wide}, {"long", ExportFormat::Long}, {"csv", ExportFormat::Csv}}};
    const std::string value = str(text(parser.value(QStringLiteral("format"))));
    const auto it = std::find_if(formats.begin(), formats.end(),
                                 [&value](const auto& f) { return value == f.first; });
    if (it == formats.end())
        throw UsageError{"--format: '" + value + "' is not one of wide, long, csv"};
    constexpr std::array<std::pair<const char*, OutputText>, 4> others{
        {{"raw", OutputText::Raw},
         {"summary", OutputText::Summary},
         {"samples", OutputText::Samples},
         {"residuals", OutputText::Residuals}}};
    if (it->second != ExportFormat::Wide)
        for (const auto& [option, kind] : others)
            if (output == kind)
                throw UsageError{"--format " + value + " and --" + option + " cannot be combined"};
    return it->second;
}

// --analyte's names, when it is given.
std::optional<std::vector<std::string>> analyteList(const QCommandLineParser& parser)
{
    if (!parser.isSet(QStringLiteral("analyte")))
        return std::nullopt;
    std::vector<std::string> names;
    for (const QString& item : listItems(parser, QStringLiteral("analyte")))
        names.push_back(str(item));
    return names;
}

std::optional<std::string> firstRunOption(const QCommandLineParser& parser)
{
    for (const char* option : kRunOptions)
        if (parser.isSet(QLatin1String(option)))
            return "--" + std::string(option);
    return std::nullopt;
}

}  // namespace

CliOptions readOptions(const QCommandLineParser& parser)
{
    CliOptions options;
    options.input = inputOf(parser);
    if (parser.isSet(QStringLiteral("save-session")))
        options.sessionOut = bytes(parser.value(QStringLiteral("save-session")));
    options.output = outputChoice(parser);
    options.settings = settingsFrom(parser);
    options.rejections = rejectList(parser);
    options.plot = plotRequest(parser);
    options.report = reportRequest(parser);
    options.workbook = workbookRequest(parser);
    options.format = exportFormat(parser, options.output);
    options.analytes = analyteList(parser);
    options.needsRunTable = firstRunOption(parser);
    options.standardGiven = parser.isSet(QStringLiteral("standard"));
    return options;
}

}  // namespace kalibrix::cli
