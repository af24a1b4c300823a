#include "cli/cli.h"

#include "app/state.h"
#include "fit/number_format.h"
#include "regwin/driver.h"
#include "regwin/export.h"
#include "regwin/paste_table.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace kalibrix::cli {

namespace {

constexpr const char* kProgram = "kalibrix-cli";

// Method names of --show and the check box each one ticks.
struct ShowMethod {
    const char* name;
    int& (*box)(RegControls&);
};
const std::array<ShowMethod, 8> kShowMethods{{
    {"log", [](RegControls& c) -> int& { return c.chkLog; }},
    {"poly2", [](RegControls& c) -> int& { return c.chkPoly[2]; }},
    {"poly3", [](RegControls& c) -> int& { return c.chkPoly[3]; }},
    {"poly4", [](RegControls& c) -> int& { return c.chkPoly[4]; }},
    {"poly5", [](RegControls& c) -> int& { return c.chkPoly[5]; }},
    {"poly", [](RegControls& c) -> int& { return c.chkPoly[1]; }},
    {"zigzag", [](RegControls& c) -> int& { return c.chkZigZag; }},
    {"band", [](RegControls& c) -> int& { return c.chkConf; }},
}};

// Method names of --export, at their chkEX index.
constexpr std::array<const char*, kExportMethods> kExportNames{
    "linear", "log", "poly2", "poly3", "poly4", "poly5", "poly", "zigzag"};

// --level values, at their comboProbIndex.
constexpr std::array<const char*, 6> kLevelNames{"80", "90", "95", "98", "99", "99.8"};

struct UsageError {
    std::string text;
};

std::string str(const QString& s)
{
    return s.toStdString();
}

// The parser sees every byte of the command line as one character (Latin-1), so that no
// byte is lost; these turn such a text back into its bytes, or into the UTF-8 text it holds.
std::string bytes(const QString& latin1)
{
    return latin1.toLatin1().toStdString();
}

QString text(const QString& latin1)
{
    return QString::fromUtf8(latin1.toLatin1());
}

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

// Positions in `names` of the listed methods; an empty vector for "none".
template <size_t N>
std::vector<size_t> methodList(const QCommandLineParser& parser, const QString& option,
                               const std::array<const char*, N>& names)
{
    const QStringList items = listItems(parser, option);
    std::vector<size_t> chosen;
    bool none = false;
    for (const QString& item : items) {
        if (item.isEmpty())
            throw UsageError{"--" + str(option) + ": empty method name in the list"};
        if (item == u"none") {
            none = true;
            continue;
        }
        const auto it = std::find_if(names.begin(), names.end(),
                                     [&](const char* n) { return item == QLatin1String(n); });
        if (it == names.end())
            throw UsageError{"--" + str(option) + ": unknown method '" + str(item) + "'"};
        chosen.push_back(static_cast<size_t>(it - names.begin()));
    }
    if (none && (!chosen.empty() || items.size() > 1))
        throw UsageError{"--" + str(option) + ": 'none' cannot be combined with other methods"};
    return chosen;
}

std::array<const char*, kShowMethods.size()> showNames()
{
    std::array<const char*, kShowMethods.size()> names{};
    for (size_t i = 0; i < kShowMethods.size(); ++i)
        names[i] = kShowMethods[i].name;
    return names;
}

std::vector<int> rejectList(const QCommandLineParser& parser)
{
    std::vector<int> xs;
    for (const QString& item : listItems(parser, QStringLiteral("reject"))) {
        const bool digits = !item.isEmpty() && item.size() <= 5 &&
                            std::all_of(item.begin(), item.end(),
                                        [](QChar c) { return c >= u'0' && c <= u'9'; });
        const int x = digits ? item.toInt() : -1;
        if (x < 0 || x > kMaxX)
            throw UsageError{"--reject: '" + str(item) + "' is not a whole number from 0 to " +
                             std::to_string(kMaxX)};
        xs.push_back(x);
    }
    return xs;
}

struct PlotRequest {
    std::string file;  // the name's bytes
    QSize size;        // empty: the designed size
};

constexpr int kMaxPictureSide = 20000;

// --plot FILE (.png or .svg) and --size WxH.
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
    const QString lower = name.toLower();
    if (!lower.endsWith(u".png") && !lower.endsWith(u".svg"))
        throw UsageError{"--plot: the file name must end in .png or .svg"};
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

// The controls of the window at start-up, changed by the options.
RegControls controlsFrom(const QCommandLineParser& parser)
{
    RegControls c;
    if (parser.isSet(QStringLiteral("show"))) {
        for (const ShowMethod& m : kShowMethods)
            m.box(c) = kUnticked;
        for (size_t i : methodList(parser, QStringLiteral("show"), showNames()))
            kShowMethods[i].box(c) = kTicked;
    }
    if (parser.isSet(QStringLiteral("export"))) {
        c.chkEX.fill(kUnticked);
        for (size_t i : methodList(parser, QStringLiteral("export"), kExportNames))
            c.chkEX[i] = kTicked;
    }
    if (parser.isSet(QStringLiteral("degree"))) {
        c.comboBox1Text = str(text(parser.value(QStringLiteral("degree"))));
        const auto& items = comboBox1Items();
        const auto it = std::find(items.begin(), items.end(), c.comboBox1Text);
        c.comboBox1Index = it == items.end() ? -1 : static_cast<int>(it - items.begin());
    }
    if (parser.isSet(QStringLiteral("level"))) {
        const QString level = text(parser.value(QStringLiteral("level"))).trimmed();
        const auto it = std::find_if(kLevelNames.begin(), kLevelNames.end(),
                                     [&](const char* n) { return level == QLatin1String(n); });
        if (it == kLevelNames.end())
            throw UsageError{"--level: '" + str(level) +
                             "' is not one of 80, 90, 95, 98, 99, 99.8"};
        c.comboProbIndex = static_cast<int>(it - kLevelNames.begin());
    }
    return c;
}

std::optional<std::string> readFile(const std::string& name, std::string& error)
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::optional<std::string> text = readTable(fd, error);
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

// "P0 = 1.5" and "dsig=0.3" become "P0<TAB>1.5" and "dsig<TAB>0.3"; empty lines are skipped.
std::string_view trimmed(std::string_view s)
{
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string parameterRows(const std::string& listing)
{
    std::string rows;
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = listing.size();
        const std::string_view line = trimmed({listing.data() + start, end - start});
        start = end + 1;
        if (line.empty())
            continue;
        const size_t eq = line.find('=');
        rows += trimmed(line.substr(0, eq));
        rows += '\t';
        if (eq != std::string_view::npos)
            rows += trimmed(line.substr(eq + 1));
        rows += '\n';
    }
    return rows;
}

}  // namespace

std::string summaryText(const RegControls& controls)
{
    const StatLabels& l = controls.labels;
    std::string s;
    auto row = [&s](std::initializer_list<std::string_view> cells) {
        bool first = true;
        for (std::string_view cell : cells) {
            if (!first)
                s += '\t';
            s += cell;
            first = false;
        }
        s += '\n';
    };
    row({"Row", "a", "b", "r^2", "Aver. diff.", "%"});
    row({"Maximum:", l.lblNData});
    row({"Number of data:", l.lblnDataOK});
    row({"Rejected:", l.lblRej});
    row({"Linear regression", l.lbl_LRa, l.lbl_LRb, l.lbl_LRr, l.lblDiff, l.lblDiffProc});
    row({"Logarithmic regression", l.lbl_LoRa, l.lbl_LoRb, l.lbl_LoRr, l.lblDiffLog,
         l.lblDiffProcLog});
    for (int slot = 2; slot <= kPolySlots; ++slot)
        row({std::to_string(slot) + " ord.", "", "", "", l.lblDiffPoly[slot],
             l.lblDiffProcPoly[slot]});
    row({controls.comboBox1Text + " ord.", "", "", "", l.lblDiffPoly[1], l.lblDiffProcPoly[1]});
    s += parameterRows(l.Label2);
    return s;
}

std::string usageText()
{
    return std::string("Usage: ") + kProgram + R"( [OPTIONS] [FILE]

Fits a table of standards as the regression window does at start-up and writes
the value of every exported fit at every X as tab-separated text.

The table (X, Y and an optional error per line, as pasted into the window) is
read from FILE, or from standard input when FILE is absent or "-". As in the
window, it may have at most 6000 lines and 32 MB; a longer input is refused as
soon as it is beyond that, without reading the rest. Numbers are read and
written with the decimal separator of the user's locale; negative numbers are
written with the ASCII minus sign "-" in every locale. File names are used as
given, byte for byte, whatever their encoding.

Options:
  --show LIST     methods fitted, comma-separated: log, poly2, poly3, poly4,
                  poly5, poly (the degree of --degree), zigzag, band; or none.
                  The linear fit always runs. Default: log,poly2,zigzag,band
  --export LIST   methods exported: linear, log, poly2, poly3, poly4, poly5,
                  poly, zigzag; or none. A method not fitted gets empty cells.
                  Default: linear,log,poly2
  --degree TEXT   degree of "poly", as typed into the window. Default: 6
  --level L       confidence level in per cent: 80, 90, 95, 98, 99 or 99.8.
                  Default: 95
  --reject LIST   whole X positions to reject before the fit; each must hold a
                  standard with Y > 0.
  --raw           write the export with CR line ends, exactly as the clipboard
                  gets it (default: LF line ends).
  --summary       write the statistics of the window instead of the export.
  --plot FILE     also write the plot as a picture, PNG or SVG by the ending.
                  An existing file is replaced only by a complete picture (a
                  link is followed; a device or FIFO is written directly).
  --size WxH      size of that picture in pixels. Default: 777x433
  -h, --help      show this text and exit.

Summary (tab-separated, LF line ends, an empty cell means no result):
  Row  a  b  r^2  Aver. diff.  %
  Maximum:  <largest X>
  Number of data:  <standards with Y > 0>
  Rejected:  <how many of them are rejected>
  Linear regression  <a>  <b>  <r^2>  <diff>  <%>
  Logarithmic regression  <a>  <b>  <r^2>  <diff>  <%>
  2 ord. ... 5 ord., then <degree> ord.: <diff> and <%> in the last two cells
  then one row per parameter of the "poly" fit: P0 <value> ... dsig <value>

Messages of the fit go to standard error, one per line.

Exit status:
  0  done (also when the fit wrote messages)
  1  the t table (student.dat beside the program) could not be read, the input
     could not be read, the table was refused, or the picture or standard
     output could not be written (message on standard error)
  2  usage error
)";
}

std::optional<std::string> readTable(int fd, std::string& error)
{
    PasteIntake intake;
    std::vector<char> buffer(65536);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::strerror(errno);
            return std::nullopt;
        }
        if (n == 0 || !intake.add({buffer.data(), static_cast<size_t>(n)}))
            return std::move(intake.text());
    }
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
        written(err, std::string(kProgram) + ": cannot write standard output: " +
                         std::strerror(errno) + "\n");
        return kExitFailure;
    }
    return said ? result.status : kExitFailure;
}

CliResult runCli(const std::vector<std::string>& arguments, const CliEnvironment& env)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    parser.addOption(help);
    for (const char* name : {"show", "export", "degree", "level", "reject"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("x")));
    parser.addOption(QCommandLineOption(QStringLiteral("raw")));
    parser.addOption(QCommandLineOption(QStringLiteral("summary")));
    parser.addOption(QCommandLineOption(QStringLiteral("plot"), {}, QStringLiteral("file")));
    parser.addOption(QCommandLineOption(QStringLiteral("size"), {}, QStringLiteral("WxH")));

    QStringList latin1;
    for (const std::string& argument : arguments)
        latin1.append(QString::fromLatin1(argument));
    if (!parser.parse(latin1))
        return usageFailure(bytes(parser.errorText()));
    if (parser.isSet(help))
        return {kExitOk, usageText(), {}};

    const bool summary = parser.isSet(QStringLiteral("summary"));
    const bool raw = parser.isSet(QStringLiteral("raw"));
    RegControls controls;
    std::vector<int> rejects;
    std::optional<PlotRequest> plot;
    try {
        if (parser.positionalArguments().size() > 1)
            throw UsageError{"more than one input file"};
        if (summary && raw)
            throw UsageError{"--raw and --summary cannot be combined"};
        controls = controlsFrom(parser);
        rejects = rejectList(parser);
        plot = plotRequest(parser);
    } catch (const UsageError& e) {
        return usageFailure(e.text);
    }

    CliResult result;
    StartUp startUp = Main(env.appPath);
    if (!startUp.state) {
        result.status = kExitFailure;
        result.err = startUp.error + "\n";
        return result;
    }
    State& state = *startUp.state;

    const std::string file = parser.positionalArguments().isEmpty()
                                 ? std::string()
                                 : bytes(parser.positionalArguments().front());
    std::optional<std::string> input;
    if (file.empty() || file == "-") {
        input = env.readStdin ? env.readStdin() : std::nullopt;
        if (!input)
            return {kExitFailure, {}, std::string(kProgram) + ": cannot read standard input\n"};
    } else {
        std::string error;
        input = readFile(file, error);
        if (!input)
            return {kExitFailure, {},
                    std::string(kProgram) + ": cannot read " + file + ": " + error + "\n"};
    }

    PasteResult pasted = Paste_Table(*input, env.locale);
    if (pasted.message)
        appendMessage(result.err, *pasted.message);
    if (!pasted.table) {
        result.status = kExitFailure;
        return result;
    }
    state.table = std::move(*pasted.table);

    for (int x : rejects) {
        const auto& y = state.table.y[static_cast<size_t>(x)];
        if (!y || !(*y > 0)) {
            CliResult failure =
                usageFailure("--reject: no standard with Y > 0 at X = " + std::to_string(x));
            failure.err.insert(0, result.err);
            return failure;
        }
        state.table.rejFlag[static_cast<size_t>(x)] = 1;
    }

    state.probCol = controls.comboProbIndex + 1;
    const NumberFormat fmt = NumberFormat::forExport(env.locale);
    const RunReport report = A_PLOT(state, controls, fmt, plot ? Drawing::Build : Drawing::Skip);
    for (const UserMessage& message : report.messages)
        appendMessage(result.err, message);

    if (plot) {
        const std::optional<std::string> error =
            env.writePlot ? env.writePlot(state.plot, std::filesystem::path(plot->file), plot->size)
                          : std::optional<std::string>("pictures are not available here");
        if (error) {
            result.status = kExitFailure;
            result.err +=
                std::string(kProgram) + ": cannot write " + plot->file + ": " + *error + "\n";
            return result;
        }
    }

    if (summary)
        result.out = summaryText(controls);
    else if (raw)
        result.out = exportText(state, controls, fmt);
    else
        result.out = withLineFeeds(exportText(state, controls, fmt));
    return result;
}

}  // namespace kalibrix::cli
