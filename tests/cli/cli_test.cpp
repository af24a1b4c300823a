// Runs the real kalibrix-cli as a process and checks its exit status and output streams.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "engine/method_table.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <tuple>

namespace {

const QByteArray kDemo = "5\t980\n10\t770\n15\t700\n25\t550\n27\t500\n";
const char* const kTitle = "* * *  KALIBRIX  -  Export of interpolated data";
const char* const kBin = KALIBRIX_BIN_DIR "/kalibrix-cli";

struct Outcome {
    int status = -1;
    QByteArray out;
    QByteArray err;
    QStringList lines() const { return QString::fromUtf8(out).split(u'\n'); }
};

Outcome cli(const QStringList& args, const QByteArray& input = kDemo, const char* locale = "C",
            const QString& program = kBin)
{
    static int argc = 1;
    static char name[] = "cli_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", locale);
    env.insert("LANG", locale);
    p.setProcessEnvironment(env);
    p.start(program, args);
    EXPECT_TRUE(p.waitForStarted());
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

// Runs `script` in bash with kalibrix-cli as $0 and `args` after it, for redirections and
// file names that are no UTF-8.
Outcome shell(const QString& script, const QStringList& args = {}, const QByteArray& input = kDemo)
{
    return cli(QStringList{"-c", script, kBin} + args, input, "C", "/bin/bash");
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A failure: the status, nothing on standard output and `message` on standard error.
void expectFailure(const Outcome& r, int status, const QString& message)
{
    EXPECT_EQ(r.status, status);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(message.toUtf8())) << r.err.toStdString();
}

TEST(Cli, ExportsWithLineFeedsOrRawCarriageReturnsForTheChosenMethodsAndLevel)
{
    // The golden tests pin the export with CR; the default has LF, the text ends with one.
    const Outcome lf = cli({});
    ASSERT_EQ(lf.status, 0) << lf.err.toStdString();
    EXPECT_TRUE(lf.err.isEmpty() && lf.out.endsWith("\n"));
    const Outcome raw = cli({"--raw"});
    EXPECT_EQ(raw.status, 0);
    EXPECT_FALSE(raw.out.contains('\n'));
    EXPECT_EQ(QByteArray(raw.out).replace('\r', '\n'), lf.out);

    EXPECT_EQ(cli({"--export", "none"}).lines(), QStringList{kTitle} + QStringList(31, QString()));
    const Outcome level80 = cli({"--export", "linear", "--level", "80"});
    EXPECT_EQ(level80.status, 0);
    EXPECT_NE(level80.out, cli({"--export", "linear", "--level", "99.8"}).out);
    EXPECT_EQ(cli({"--export", "linear", "--level", "95"}).out, cli({"--export", "linear"}).out);
}

TEST(Cli, ReadsAFileStandardInputOrDashAndFailsWithStatusOne)
{
    QTemporaryDir dir;
    const Outcome fromStdin = cli({"--summary"});
    ASSERT_EQ(fromStdin.status, 0);
    EXPECT_EQ(cli({"--summary", "-"}).out, fromStdin.out);
    expectFailure(cli({dir.filePath("absent.txt")}), 1, "absent.txt");
    // A file is read, its name, also one that is no UTF-8, used and shown as its bytes are.
    const QStringList inDir{dir.path()};
    EXPECT_EQ(
        shell(R"(cd "$1" && cat > $'t\xff' && "$0" --summary $'t\xff'; rm $'t\xff')", inDir).out,
        fromStdin.out);
    EXPECT_TRUE(shell(R"(exec "$0" $'no\xff')").err.contains("cannot read no\xff: No such file"));
    // An endless input is read only as far as the paste limits: its writer finds the pipe
    // closed, from standard input and from a named pipe alike.
    const Outcome lines = shell(R"(yes 1 | head -n 1000000 | "$0"; echo "${PIPESTATUS[1]}")");
    EXPECT_NE(lines.out, "0\n");
    EXPECT_TRUE(lines.err.contains("6000")) << lines.err.toStdString();
    const Outcome fifo = shell(R"(cd "$1" && mkfifo f && { head -c 100000000 /dev/zero > f & }
                                  "$0" f; s=$?; wait $!; echo $s $?)",
                               inDir);
    EXPECT_TRUE(fifo.out.startsWith("1 ") && fifo.out != "1 0\n") << fifo.out.toStdString();
    expectFailure(cli({}, "5\t980\n"), 1, "Please check the format of the copied table.");
    // What the table took otherwise than written goes to standard error, as the window's
    // status line says it.
    const Outcome noted = cli({"--summary"}, "5\t980\n10\t770\n10.4\t760\n15\t0\n25\t550\n");
    EXPECT_EQ(noted.status, 0);
    EXPECT_EQ(noted.err.toStdString(),
              "kalibrix-cli: standard input: 1 line rounded to a whole X (line 3: X \"10.4\" "
              "taken as 10); 1 line replaced by a later line of the same X (line 2 by line 3: X "
              "10); 1 line left out with Y \u2264 0 (line 4: X 15)\n");
    const QString lonely = dir.filePath("kalibrix-cli");  // without student.dat beside it
    ASSERT_TRUE(QFile::copy(kBin, lonely));
    expectFailure(cli({}, kDemo, "C", lonely), 1, "student.dat");
}

TEST(Cli, ReadsTableFilesOfCommasSemicolonsOrUtf16AndNamesTheFileInRefusals)
{
    QTemporaryDir dir;
    const Outcome demo = cli({"--summary"});
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    const struct {
        const char* name;
        QByteArray bytes;
        const char* refusal;  // none: the demonstration table's summary
    } cases[] = {
        {"demo.csv", "\"5\",980\n10,770\n15,700\n25,550\n27,500", nullptr},
        {"demo.txt", "5;980,0\r\n10;770\r\n15;700\r\n25;550\r\n27;500\r\n", nullptr},
        {"demo.tab", utf16.encode(QString::fromUtf8(kDemo).replace("\n", "\r\n")), nullptr},
        {"bad.csv", "5,980\n10,\"7,70\"\n15,700\n",
         "bad.csv, line 2, cell 2: \"7,70\" is not a number.\n"},
    };
    for (const auto& c : cases) {
        QFile file(dir.filePath(c.name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        const Outcome r = cli({"--summary", file.fileName()});
        if (c.refusal) {
            EXPECT_EQ(r.status, 1) << c.name;
            EXPECT_EQ(r.err.toStdString(), c.refusal);
        } else {
            EXPECT_EQ(r.out, demo.out) << c.name << ": " << r.err.toStdString();
        }
    }
}

TEST(Cli, UsageErrorsExitWithTwoAndHelpWithZero)
{
    for (const char* args : {"--level 97",
                             "--show foo",
                             "--show none,log",
                             "--export ",
                             "--reject 2.5",
                             "--reject 30001",
                             "--bogus",
                             "--raw --summary",
                             "a.txt b.txt",
                             "--plot p.bmp",
                             "--plot p.png --size 0x10",
                             "--size 100x100",
                             "--uncertainty both",
                             "--weights yes",
                             "--band band",
                             "--correction ratios",
                             "--max-gap 0",
                             "--max-gap x",
                             "--reference x",
                             "--reference Cu=",
                             "--reference =5",
                             "--reference 5\u00b1-1",
                             "--reference 1,2",
                             "--reference Cu=1,Cu=2",
                             "--samples --summary",
                             "--raw --samples",
                             "--format tall",
                             "--format long --summary",
                             "--format csv --raw",
                             "--xlsx book.xls"}) {
        SCOPED_TRACE(args);
        expectFailure(cli(QString(args).split(u' ')), 2, "Usage: kalibrix-cli");
    }
    expectFailure(cli({"--reject", "7"}), 2, "--reject: no standard with Y > 0 at X = 7");
    expectFailure(cli({"--uncertainty", "reading"}), 2,
                  "--uncertainty: 'reading' is not one of curve, new, none");
    expectFailure(cli({"--band", "poly9"}), 2, "--band: unknown method 'poly9'");
    // The correction's options: refused with what is wrong, before anything is written.
    QTemporaryDir dir;
    const QString session = dir.filePath("s.kalibrix");
    for (const auto& [args, message] :
         {std::pair{QStringList{"--correct-with", "poly9"},
                    "--correct-with: unknown method 'poly9'"},
          {{"--reference", "0"}, "--reference: 0: a ratio needs a known value above 0"},
          {{"--correction", "delta", "--reference", "-1000+-2"},
           "--reference: -1000\u00b12: a delta needs a known value above -1000"},
          {{"--reference", "5,Cu=1"},
           "--reference: the table has no names line, so no analyte 'Cu'"},
          {{"--reference", "1 +- 0.1 +- 2"}, "--reference: '1 +- 0.1 +- 2' is not VALUE"},
          {{"--samples"}, "--samples: the table has no ID column"},
          {{"--standard", "STD"}, "--standard: the table has no ID column"},
          {{"--residuals", "--samples"}, "--samples and --residuals cannot be combined"},
          {{"--residuals", "--summary"}, "--summary and --residuals cannot be combined"},
          {{"--raw", "--residuals"}, "--raw and --residuals cannot be combined"},
          {{"--format", "csv", "--samples"}, "--format csv and --samples cannot be combined"},
          {{"--format", "x"}, "--format: 'x' is not one of wide, long, csv"},
          {{"--residual-plot"}, "--residual-plot needs --plot or --report"}}) {
        expectFailure(cli(args + QStringList{"--save-session", session}), 2, message);
        EXPECT_FALSE(QFile::exists(session));
    }
    // A difference or a delta takes any known value a ratio refuses, "+-" as "\u00b1".
    EXPECT_EQ(cli({"--correction", "difference", "--reference", "-5+-0.5"}).status, 0);
    EXPECT_EQ(cli({"--correction", "delta", "--reference", "-999"}).status, 0);

    const Outcome help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: kalibrix-cli") && help.err.isEmpty());
}

// The cell under `title` of the --residuals line of the standard at X = `x`.
QString residualCell(const Outcome& r, int x, const QString& title)
{
    const QStringList lines = r.lines();
    const qsizetype column = lines.value(0).split(u'\t').indexOf(title);
    for (const QString& line : lines.mid(1))
        if (line.split(u'\t').value(0).toInt() == x)
            return column < 0 ? QStringLiteral("no column") : line.split(u'\t').value(column);
    return QStringLiteral("no line");
}

// The --summary line whose first cell is `label`, and its cell under `title`.
QString summaryRow(const QStringList& lines, const QString& label)
{
    for (const QString& line : lines)
        if (line.section(u'\t', 0, 0) == label)
            return line;
    return QStringLiteral("no line");
}
QString summaryCell(const QStringList& lines, const QString& label, const QString& title)
{
    const qsizetype column = lines.value(0).split(u'\t').indexOf(title);
    return column < 0 ? QStringLiteral("no column")
                      : summaryRow(lines, label).split(u'\t').value(column);
}

// --residuals: per standard X, Y, its state and each shown method's value, residual and
// leave-one-out residual; on an exact line every residual is 0, also without the standard.
TEST(Cli, ResidualsOfEveryStandard)
{
    const Outcome r =
        cli({"--residuals", "--show", "none", "--reject", "4"}, "1\t12\n2\t14\n3\t16\n4\t18\n");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines().value(0),
              "X\tY\tState\tLinear regression\tLinear regression residual\t"
              "Linear regression LOO residual");
    auto number = [&r](int x, const QString& title) {  // NaN for an empty or missing cell
        bool ok = false;
        const double value = residualCell(r, x, title).toDouble(&ok);
        return ok ? value : std::nan("");
    };
    for (const auto& [x, state] : {std::pair{2, "standard"}, {4, "rejected"}}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(residualCell(r, x, "State"), state);
        EXPECT_EQ(residualCell(r, x, "Y"), QString::number(10 + 2 * x));
        EXPECT_NEAR(number(x, "Linear regression"), 10 + 2 * x, 1e-12);
        EXPECT_NEAR(number(x, "Linear regression residual"), 0, 1e-12);
        EXPECT_NEAR(number(x, "Linear regression LOO residual"), 0, 1e-12);
    }
}

// The golden summaries pin the figures; here: a degree out of range, locales whose
// separators or minus are not ASCII, and tables of large and small values.
TEST(Cli, SummaryOfADegreeOutOfRangeAndInLocales)
{
    const Outcome tooHigh = cli({"--summary", "--show", "poly", "--degree", "30"});
    EXPECT_EQ(tooHigh.status, 0);
    EXPECT_TRUE(tooHigh.err.contains("Polynomial degree must be a whole number from 0 to 23."));
    const QStringList high = tooHigh.lines();  // --show replaces the ticks: no log fit
    for (const QString label :
         {"Logarithmic regression", "30 ord.", "Zigzag between clusters of standards"})
        EXPECT_EQ(summaryRow(high, label), label + QString(7, u'\t'));
    EXPECT_EQ(summaryRow(high, "Suggested"), "Suggested");
    EXPECT_EQ(summaryRow(high, "P0"), "no line");
    // The smoothing spline's effective degrees of freedom, a column only while it is shown.
    const QStringList demo = cli({"--summary"}).lines();
    bool isNumber = false;
    const double edf = summaryCell(demo, "Smoothing spline", "edf").toDouble(&isNumber);
    EXPECT_TRUE(isNumber && edf >= 2 && edf <= 5)
        << summaryRow(demo, "Smoothing spline").toStdString();
    EXPECT_EQ(summaryCell(demo, "Linear regression", "edf"), "");
    EXPECT_EQ(summaryCell(high, "Row", "edf"), "no column");
    // Counts near 2.5e10 and concentrations near 2.5e-6 (the demonstration table scaled):
    // four significant digits, the zigzag's leave-one-out figures in its row.
    for (const auto& [scale, rows] :
         {std::pair{
              2.5e7,
              QStringList{"Linear regression\t2.555E+10\t-4.907E+08\t0.95\t8.309E+08\t"
                          "4.383\t1.786E+09\t7.524",
                          "2 ord.\t\t\t\t5.340E+08\t3.177\t2.088E+09\t9.459",
                          "Zigzag between clusters of standards\t\t\t\t\t\t1.040E+09\t4.199"}},
          {2.5e-9,
           QStringList{"Linear regression\t2.555E-06\t-4.907E-08\t0.95\t8.309E-08\t4.383\t"
                       "1.786E-07\t7.524",
                       "Logarithmic regression\t3.540E-06\t-6.815E-07\t0.99\t3.609E-08\t2.283\t"
                       "5.887E-08\t3.541"}}}) {
        QByteArray table;
        for (const auto& [x, y] : {std::pair{5, 980}, {10, 770}, {15, 700}, {25, 550}, {27, 500}})
            table += QByteArray::number(x) + "\t" + QByteArray::number(y * scale, 'g', 17) + "\n";
        const QStringList summary = cli({"--summary"}, table).lines();
        for (const QString& row : rows) {
            const QString line = summaryRow(summary, row.section(u'\t', 0, 0));
            EXPECT_TRUE(line == row || line.startsWith(row + u'\t')) << line.toStdString();
        }
    }
    // A gross outlier: suggested, and with --reject suggested the export of the run without it.
    QByteArray drift;
    for (int x = 1; x <= 20; ++x)
        drift +=
            QByteArray::number(x) + "\t" + QByteArray::number(x == 9 ? 1300 : 1000 + 4 * x) + "\n";
    EXPECT_EQ(summaryRow(cli({"--summary"}, drift).lines(), "Suggested"), "Suggested\t9");
    EXPECT_EQ(cli({"--reject", "suggested"}, drift).out, cli({"--reject", "9"}, drift).out);
    // The locale's decimal point, but the ASCII minus and no direction marks.
    for (const auto& [locale, cell] : {std::pair{"de_DE.UTF-8", "\t-19,63\t"},
                                       {"sv_SE.UTF-8", "\t-19,63\t"},
                                       {"fa_IR.UTF-8", "\t-19\u066b63\t"}})
        EXPECT_TRUE(summaryRow(cli({"--summary"}, kDemo, locale).lines(), "Linear regression")
                        .contains(QString::fromUtf8(cell)))
            << locale;
}

// --uncertainty adds the "±" cells (none to the line's "C.I.", which is the curve's),
// --weights errors weighs the fits, says which standard keeps it from it and gives the
// summary its last column, MSWD; a session keeps all of it, --band too.
TEST(Cli, UncertaintiesWeightsAndTheBand)
{
    const QByteArray withErrors = "5\t980\t9\n10\t770\t8\n15\t700\t7\n25\t550\t6\n27\t500\t5\n";
    const Outcome plain = cli({"--export", "linear,poly2"});
    EXPECT_EQ(cli({"--export", "linear,poly2", "--uncertainty", "none"}).out, plain.out);
    const Outcome reading = cli({"--export", "linear,poly2", "--uncertainty", "new"});
    ASSERT_EQ(reading.status, 0) << reading.err.toStdString();
    EXPECT_EQ(reading.lines()[3].count(QStringLiteral("\t\u00b1\t")), 2);
    EXPECT_EQ(cli({"--export", "linear,poly2", "--uncertainty", "curve"})
                  .lines()[3]
                  .count(QStringLiteral("\t\u00b1\t")),
              1);

    const Outcome unweighted = cli({"--summary", "--weights", "errors"});
    EXPECT_EQ(unweighted.status, 0);
    EXPECT_EQ(unweighted.err.toStdString(),
              "kalibrix-cli: not weighted by the errors: the "
              "standard at X = 5 has no error above 0\n");
    EXPECT_EQ(summaryCell(unweighted.lines(), "Linear regression", "MSWD"), "");
    const QStringList weighted = cli({"--summary", "--weights", "errors"}, withErrors).lines();
    EXPECT_NE(summaryCell(weighted, "Linear regression", "MSWD"), "");
    EXPECT_EQ(summaryRow(weighted, "Linear regression").count(u'\t'), weighted[0].count(u'\t'));
    EXPECT_EQ(summaryCell(cli({"--summary"}, withErrors).lines(), "Row", "MSWD"), "no column");
    EXPECT_NE(cli({"--weights", "errors"}, withErrors).out, cli({}, withErrors).out);

    QTemporaryDir dir;
    const QString saved = dir.filePath("s.kalibrix");
    const QStringList options{"--uncertainty", "new", "--weights", "errors", "--band", "poly2"};
    const Outcome first = cli(options + QStringList{"--save-session", saved}, withErrors);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    const QByteArray session = contents(saved);
    for (const char* key : {"\"bandOf\": \"poly2\"", "\"exportUncertainties\": true",
                            "\"uncertainty\": \"new\"", "\"weights\": \"errors\""})
        EXPECT_TRUE(session.contains(key)) << key;
    EXPECT_EQ(cli({"--session", saved}, "").out, first.out);
    EXPECT_EQ(cli({"--session", saved, "--uncertainty", "none", "--weights", "none"}, "").out,
              cli({}, withErrors).out);
}

// A named table: the analytes kept and their order, rejections in all or one, the summary's
// first column, messages led by the name and one picture per analyte.
TEST(Cli, NamedTablesByAnalyte)
{
    const QByteArray named =
        "Pos\tCu\tCu err\tZn/66\tPb\n5\t980\t9\t50\t7\n10\t770\t8\t\t6\n"
        "15\t700\t\t60\t5\n25\t550\t5\t70\t4\n27\t500\t5\t80\t3\n";
    const Outcome chosen = cli({"--analyte", "Pb,Cu"}, named);
    ASSERT_EQ(chosen.status, 0) << chosen.err.toStdString();
    EXPECT_EQ(chosen.out, cli({},
                              "X\tPb\tCu\tCu sd\n5\t7\t980\t9\n10\t6\t770\t8\n"
                              "15\t5\t700\n25\t4\t550\t5\n27\t3\t500\t5\n")
                              .out);
    // Each analyte's name, summary, titles and values start in the first column of its block.
    const QStringList lines = chosen.lines();
    const QStringList names = lines[0].split(u'\t');
    const qsizetype cu = names.indexOf("Cu");
    EXPECT_EQ(names.first(), "Pb");
    EXPECT_EQ(lines[1].split(u'\t').value(cu), "L.R. aver.diff. /diff.%");
    EXPECT_EQ(lines[3].split(u'\t').value(cu), "No.");
    EXPECT_EQ(lines[8].split(u'\t').mid(cu, 2), QStringList({"5", "980"}));  // X = 5

    const Outcome summary = cli({"--summary", "--reject", "Cu:10,25"}, named);
    ASSERT_EQ(summary.status, 0) << summary.err.toStdString();
    const QStringList rows = summary.lines();
    EXPECT_TRUE(rows[0].startsWith("Analyte\tRow\ta\t"));
    EXPECT_TRUE(rows.contains("Cu\tRejected:\t2") && rows.contains("Zn/66\tRejected:\t1") &&
                rows.contains("Pb\tRejected:\t1"));
    const Outcome degree = cli({"--show", "poly", "--degree", "30"}, named);
    EXPECT_TRUE(degree.err.startsWith("Cu: Polynomial degree must be a whole number"));
    EXPECT_EQ(degree.err.count('\n'), 3);

    for (const auto& [args, message] :
         {std::pair{QStringList{"--analyte", "Fe"}, "--analyte: the table has no analyte 'Fe'"},
          {{"--reject", "Zn/66:10"}, "--reject: Zn/66 has no standard with Y > 0 at X = 10"},
          {{"--reject", "Fe:10"}, "--reject: no analyte 'Fe' among those fitted"},
          {{"--reject", "7"}, "--reject: no analyte has a standard with Y > 0 at X = 7"}})
        expectFailure(cli(args, named), 2, message);
    expectFailure(cli({"--analyte", "Cu"}), 2, "the table has no names line");
    expectFailure(cli({"--analyte", "Fe"}, "X\tCu\tFe\n5\t980\n10\t770\n15\t700\n"), 2,
                  "--analyte: the analyte 'Fe' has no values");

    QTemporaryDir dir;
    ASSERT_EQ(cli({"--plot", dir.filePath("p-%a.png")}, named).status, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList({"p-Cu.png", "p-Pb.png", "p-Zn_66.png"}));
    expectFailure(cli({"--plot", dir.filePath("%a.png")}), 2, "%a needs a table with a names line");
}

// A run table: the standard "STD" (Cu = 100 + 10 X, Zn = 50 + 5 X, both fitted exactly by
// the line), samples between and after its lines and a check standard "QC".
const QByteArray kRun =
    "Pos\tID\tCu\tCu err\tZn\n1\tSTD\t110\t\t55\n2\tA\t60\t0.5\t30\n"
    "3\tSTD\t130\t\t65\n4\tQC\t130\t\t65\n5\tSTD\t150\t\t75\n"
    "6\tA\t75\t\t35\n7\tSTD\t170\t\t85\n8\tB\t180\t\t90\n";

// The cell under `title` of the --samples line of `analyte` and `id` at X = `x`.
QString sampleCell(const Outcome& r, const QString& analyte, const QString& id, int x,
                   const QString& title)
{
    const QStringList lines = r.lines();
    const qsizetype column = lines.value(0).split(u'\t').indexOf(title);
    for (const QString& line : lines.mid(1)) {
        const QStringList cells = line.split(u'\t');
        if (cells.value(0) == analyte && cells.value(1) == id && cells.value(2).toInt() == x)
            return column < 0 ? QStringLiteral("no column") : cells.value(column);
    }
    return QStringLiteral("no line");
}

// --samples corrects every sample of every analyte with the chosen standard, method, kind and
// known values; the standard defaults to the most frequent ID, said on standard error; the
// summary gets the check standard's rows; a session keeps it all.
TEST(Cli, RunTablesGiveTheirCorrectedSamples)
{
    const QStringList options{"--samples", "--correct-with", "linear", "--reference", "Cu=2"};
    const Outcome r = cli(options, kRun);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.startsWith("Analyte\tID\tX\tReading\tReading err\tStandard\t"
                         "Standard \u00b1\tCorrected\tCorrected \u00b1\tMethod\tFlag\n"))
        << r.out.toStdString();
    EXPECT_FALSE(r.out.contains('\r'));
    EXPECT_EQ(r.err.toStdString(),
              "kalibrix-cli: standard input: the standard is 'STD', the most "
              "frequent ID (--standard chooses another)\n");
    // Cu at X = 2: 60 * 2 / (100 + 10 * 2); Zn at X = 6 (known value 1): 35 / 80; B beyond the
    // last standard: extrapolated.
    EXPECT_NEAR(sampleCell(r, "Cu", "A", 2, "Corrected").toDouble(), 1.0, 1e-12);
    EXPECT_NEAR(sampleCell(r, "Cu", "A", 2, "Standard").toDouble(), 120.0, 1e-10);
    EXPECT_EQ(sampleCell(r, "Cu", "A", 2, "Reading err"), "0.5");
    EXPECT_NEAR(sampleCell(r, "Zn", "A", 6, "Corrected").toDouble(), 35.0 / 80, 1e-12);
    EXPECT_EQ(sampleCell(r, "Cu", "B", 8, "Flag"), "extrapolated");
    EXPECT_EQ(sampleCell(r, "Cu", "A", 6, "Flag"), "");
    EXPECT_NEAR(sampleCell(cli(options + QStringList{"--correction", "difference"}, kRun), "Cu",
                           "A", 2, "Corrected")
                    .toDouble(),
                60.0 - 120 + 2, 1e-10);
    // The standard by its ID or a pattern: the same samples, nothing said; a pattern that
    // matches no line is refused.
    for (const char* pattern : {"STD", "S?D", "S*"}) {
        const Outcome chosen = cli(options + QStringList{"--standard", pattern}, kRun);
        EXPECT_EQ(chosen.out, r.out) << pattern;
        EXPECT_TRUE(chosen.err.isEmpty()) << chosen.err.toStdString();
    }
    expectFailure(cli(options + QStringList{"--standard", "X*"}, kRun), 2,
                  "--standard: No line's ID matches the standard \"X*\".");
    // What the paste took otherwise than written is said of the chosen standard's values.
    const QByteArray twice = "Pos\tID\tCu\n1\tSTD\t10\n2\tB\t5\n2\tB\t6\n3\tSTD\t12\n";
    EXPECT_FALSE(cli({}, twice).err.contains("replaced"));
    EXPECT_TRUE(cli({"--standard", "B"}, twice)
                    .err.contains("1 value replaced by a later line of the same X (line 3 by line "
                                  "4: Cu at X 2)"));
    expectFailure(cli({"--reference", "Fe=2"}, kRun), 2,
                  "--reference: the table has no analyte 'Fe'");

    // The check standard "QC" at X = 4: Cu 130 * 2 / 140 against its known value 2.
    const QStringList check{"--check",        "QC",     "--check-reference", "Cu=2",
                            "--correct-with", "linear", "--reference",       "Cu=2"};
    const QStringList summary = cli(QStringList{"--summary"} + check, kRun).lines();
    EXPECT_TRUE(summary.contains("Cu\tCheck count:\t1") &&
                summary.contains("Cu\tCheck mean:\t1.857") &&
                summary.contains("Cu\tCheck bias:\t-0.1429"))
        << summary.join(u'|').toStdString();
    EXPECT_FALSE(cli({"--summary"}, kRun).out.contains("Check"));

    QTemporaryDir dir;
    const QString saved = dir.filePath("run.kalibrix");
    const QStringList all = check + QStringList{"--standard", "S?D", "--max-gap", "0.5"};
    const Outcome first = cli(all + QStringList{"--samples", "--save-session", saved}, kRun);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(sampleCell(first, "Cu", "A", 6, "Flag"), "gap");  // 1 from either standard
    EXPECT_EQ(cli({"--session", saved, "--samples"}, "").out, first.out);
    EXPECT_EQ(
        cli({"--session", saved, "--samples", "--max-gap", "none", "--reference", "1"}, "").out,
        cli(check.mid(0, 6) + QStringList{"--samples", "--reference", "1"}, kRun).out);
    // Another standard for a session: its rejections stay where that one has a standard.
    ASSERT_EQ(cli({"--reject", "5", "--save-session", saved}, kRun).status, 0);
    for (const auto& [pattern, rejected] : {std::pair{"S?D", "Cu\tRejected:\t1"},
                                            {"*", "Cu\tRejected:\t1"},
                                            {"QC", "Cu\tRejected:\t0"}})
        EXPECT_TRUE(cli({"--session", saved, "--standard", pattern, "--summary"}, "")
                        .lines()
                        .contains(rejected))
            << pattern;
}

// A number as the texts write it ("," in a German locale) or Python's repr gives it.
std::optional<double> numberOf(QString text)
{
    text.replace(u',', u'.');
    const std::string s = text.toStdString();
    double v = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || error != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

// Cells by analyte, column title and X (or a row's key).
using Cells = std::map<std::tuple<QString, QString, QString>, QString>;

// The cells of a named table's export: of each method's group of columns ("No.", "Data", its
// title, then "C.I." and "±") the Data, the value under its title and the others under its
// title followed by theirs ("Lin.Reg. C.I.").
Cells exportCells(const QByteArray& out)
{
    Cells cells;
    const QStringList lines = QString::fromUtf8(out).split(u'\n');
    const QStringList names = lines.value(0).split(u'\t');
    const QStringList titles = lines.value(3).split(u'\t');
    QString analyte;
    for (qsizetype g = 0; g < titles.size(); ++g) {
        if (!names.value(g).isEmpty())
            analyte = names[g];
        if (titles[g] != "No.")
            continue;
        const QString method = titles.value(g + 2);
        for (const QString& line : lines.mid(4)) {
            const QStringList row = line.split(u'\t');
            const QString x = row.value(g);
            if (x.isEmpty())
                continue;
            cells[{analyte, "Data", x}] = row.value(g + 1);
            cells[{analyte, method, x}] = row.value(g + 2);
            for (qsizetype c = g + 3;
                 c < titles.size() && !titles[c].isEmpty() && titles[c] != "No."; ++c)
                cells[{analyte, method + " " + titles[c], x}] = row.value(c);
        }
    }
    return cells;
}

// The cells of a tidy text (--residuals, --samples) under their titles, each row keyed by its
// first `keys` cells joined by tabs and X.
Cells tidyCells(const QByteArray& out, int keys)
{
    Cells cells;
    const QStringList lines = QString::fromUtf8(out).split(u'\n');
    const QStringList titles = lines.value(0).split(u'\t');
    const qsizetype xColumn = titles.indexOf("X");
    for (const QString& line : lines.mid(1)) {
        const QStringList row = line.split(u'\t');
        for (qsizetype c = 0; c < row.size(); ++c)
            cells[{row.mid(0, keys).join(u'\t'), titles.value(c), row.value(xColumn)}] = row[c];
    }
    return cells;
}

// The system's Python, which has the Debian packages (another python3 on the PATH may not).
QString python()
{
    return QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3") : "python3";
}

// The sheets of an XLSX workbook as openpyxl reads them (tests/data/read_workbook.py).
QJsonArray readWorkbook(const QString& file)
{
    QProcess p;
    p.start(python(), {KALIBRIX_SOURCE_DIR "/tests/data/read_workbook.py", file});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

// A workbook's cell holds the text's cell: nothing for an empty text, the same text, or the
// same number (the text read as a double, bit for bit).
void expectCell(const QJsonValue& cell, const QString& text, const std::string& where)
{
    SCOPED_TRACE(where + " '" + text.toStdString() + "'");
    if (text.isEmpty())
        EXPECT_TRUE(cell.isNull());
    else if (cell.isString())
        EXPECT_EQ(cell.toString(), text);
    else
        EXPECT_EQ(numberOf(cell.toArray()[0].toString()), numberOf(text));
}

// The export's numbers in their form for scripts, under the names the method table gives.
const QByteArray kNamedRun =
    "Pos\tID\tCu\tCu err\tZn/66\tCd,114\n1\tSTD\t110.1\t\t55\t3.3\n2\tA\t60\t0.5\t30\t2\n"
    "3\tSTD\t130\t\t65.7\t3.1\n4\tQC\t130\t\t65\t3\n5\tSTD\t150.3\t\t75\t2.9\n"
    "6\tA\t75\t\t35\t1\n7\tSTD\t170\t\t85.1\t2.7\n8\tB\t180\t\t90\t3\n9\tSTD\t191\t\t94\t2.65\n";

QStringList everyMethod()
{
    QStringList names, shown;
    for (const kalibrix::FitMethod& m : kalibrix::fitMethods()) {
        names.append(m.name);
        if (!m.alwaysFitted)
            shown.append(m.name);
    }
    return {"--export", names.join(u','), "--show", shown.join(u','), "--uncertainty", "new"};
}

// The number format that shows a number as `text` writes it, in any locale: as many decimals,
// in exponent form when the text is, and "General" for a whole number.
QString shownAs(const QString& text)
{
    const qsizetype e = text.indexOf(QRegularExpression("[eE]"));
    const QString mantissa = e < 0 ? text : text.left(e);
    const qsizetype point = std::max(mantissa.indexOf(u'.'), mantissa.indexOf(u','));
    const qsizetype decimals = point < 0 ? 0 : mantissa.size() - point - 1;
    if (decimals == 0 && e < 0)
        return QStringLiteral("General");
    return (decimals ? "0." + QString(decimals, u'0') : QStringLiteral("0")) +
           (e < 0 ? QString() : QStringLiteral("E+00"));
}

TEST(Cli, TheWorkbookHoldsTheNumbersOfTheTexts)
{
    const QStringList options = everyMethod() + QStringList{"--check", "QC"};
    QTemporaryDir dir;
    const QString book = dir.filePath("run.xlsx");
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        SCOPED_TRACE(locale);
        const Outcome written = cli(options + QStringList{"--xlsx", book}, kNamedRun, locale);
        ASSERT_EQ(written.status, 0) << written.err.toStdString();
        EXPECT_EQ(written.out, cli(options, kNamedRun, locale).out);
        const Cells exported = exportCells(written.out);
        const Cells residuals =
            tidyCells(cli(options + QStringList{"--residuals"}, kNamedRun, locale).out, 1);
        const Cells samples =
            tidyCells(cli(options + QStringList{"--samples"}, kNamedRun, locale).out, 2);
        const QStringList summary =
            QString::fromUtf8(cli(options + QStringList{"--summary"}, kNamedRun, locale).out)
                .split(u'\n');
        const QJsonArray sheets = readWorkbook(book);
        QStringList names;
        for (const QJsonValue& sheet : sheets) {
            names.append(sheet["title"].toString());
            EXPECT_EQ(sheet["freeze"].toString(), "A2") << names.last().toStdString();
        }
        EXPECT_EQ(names, QStringList({"Cu", "Zn_66", "Cd,114", "Summary", "Samples", "Settings"}));
        int numbers = 0;
        for (const auto& [analyte, sheet] : {std::pair{"Cu", 0}, {"Zn/66", 1}, {"Cd,114", 2}}) {
            const QJsonArray rows = sheets[sheet]["rows"].toArray();
            const QJsonArray titles = rows[0].toArray();
            EXPECT_EQ(rows.size(), 10);  // the titles and a row per line of the table
            EXPECT_EQ(titles[0], "X");
            EXPECT_EQ(titles[1], "Data");
            EXPECT_EQ(titles[2], "State");
            for (qsizetype r = 1; r < rows.size(); ++r) {
                const QJsonArray cells = rows[r].toArray();
                const QString x = cells[0].toArray()[0].toString().chopped(2);  // "1.0"
                for (qsizetype c = 3; c < titles.size(); ++c) {
                    const QString title = titles[c].toString();
                    const Cells& texts = title.endsWith(" residual") ? residuals : exported;
                    const auto it = texts.find({analyte, title, x});
                    expectCell(
                        cells[c], it == texts.end() ? QString() : it->second,
                        std::string(analyte) + " " + title.toStdString() + " X " + x.toStdString());
                    if (cells[c].isArray()) {
                        EXPECT_EQ(cells[c][1].toString(), shownAs(it->second));
                        ++numbers;
                    }
                }
                if (cells[1].isArray() || exported.count({analyte, "Data", x}))
                    expectCell(cells[1], exported.at({analyte, "Data", x}), "Data");
            }
            EXPECT_GE(sheets[sheet]["widths"]["D"].toDouble(), 10);  // "Lin.Reg." and a margin
        }
        EXPECT_GT(numbers, 300);
        // The samples under the titles of --samples.
        const QJsonArray sampleRows = sheets[4]["rows"].toArray();
        const QJsonArray sampleTitles = sampleRows[0].toArray();
        for (qsizetype r = 1; r < sampleRows.size(); ++r) {
            const QJsonArray cells = sampleRows[r].toArray();
            const QString key = cells[0].toString() + "\t" + cells[1].toString();
            const QString x = cells[2].toArray()[0].toString().chopped(2);
            for (qsizetype c = 0; c < sampleTitles.size(); ++c)
                expectCell(cells[c], samples.at({key, sampleTitles[c].toString(), x}),
                           key.toStdString());
        }
        EXPECT_EQ(sampleRows.size(), 1 + 3 * 4);  // 4 samples (QC among them) of 3 analytes
        // The summary's rows, each analyte's followed by the method that predicts best.
        int best = 0;
        qsizetype line = 0;
        for (const QJsonValue& row : sheets[3]["rows"].toArray()) {
            const QJsonArray cells = row.toArray();
            if (cells[1] == "Best method:") {
                EXPECT_TRUE(cells[2].isString());
                ++best;
                continue;
            }
            const QStringList texts = summary.value(line++).split(u'\t');
            for (qsizetype c = 0; c < cells.size(); ++c)
                expectCell(cells[c], texts.value(c), "Summary " + texts.value(1).toStdString());
        }
        EXPECT_EQ(best, 3);
        EXPECT_EQ(line + 1, summary.size());  // the text ends with its line end
    }
    // Written whole or not at all, and never onto a file another option names.
    expectFailure(cli({"--xlsx", dir.filePath("no/such/folder/a.xlsx")}, kNamedRun), 1,
                  "cannot write");
    expectFailure(cli({"--xlsx", book, "--save-session", book}, kNamedRun), 2,
                  "--save-session and --xlsx name one file");
    expectFailure(cli({"--xlsx", dir.filePath("a.xls")}), 2,
                  "--xlsx: the file name must end in .xlsx");
}

// The rows of comma-separated values as Python's csv module reads them
// (tests/data/read_csv.py).
std::vector<QStringList> csvRows(const QByteArray& text)
{
    QProcess p;
    p.start(python(), {KALIBRIX_SOURCE_DIR "/tests/data/read_csv.py"});
    p.write(text);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    std::vector<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(p.readAllStandardOutput()).array())
        rows.push_back(row.toVariant().toStringList());
    return rows;
}

TEST(Cli, LongAndCsvFormatsHoldTheExportsNumbers)
{
    const QStringList options = everyMethod();
    const char* locale = "de_DE.UTF-8";
    const Cells exported = exportCells(cli(options, kNamedRun, locale).out);
    std::map<QString, QString> titles;  // by kalibrix-cli name
    for (const kalibrix::FitMethod& m : kalibrix::fitMethods())
        titles[m.name] = QString::fromStdString(kalibrix::withDegree(m.exportTitle, "6"));

    const Outcome longText = cli(options + QStringList{"--format", "long"}, kNamedRun, locale);
    ASSERT_EQ(longText.status, 0) << longText.err.toStdString();
    const QStringList lines = longText.lines();
    EXPECT_EQ(lines[0], "Analyte\tX\tData\tState\tMethod\tValue\t\u00b1");
    int values = 0;
    for (const QString& line : lines.mid(1, lines.size() - 2)) {
        const QStringList c = line.split(u'\t');
        ASSERT_EQ(c.size(), 7) << line.toStdString();
        const QString title = titles.at(c[4]);
        auto text = [&](const QString& column) {
            const auto it = exported.find({c[0], column, c[1]});
            return it == exported.end() ? QString() : it->second;
        };
        EXPECT_EQ(c[2], text("Data")) << line.toStdString();
        EXPECT_EQ(c[5], text(title)) << line.toStdString();
        EXPECT_EQ(c[6], text(title + " \u00b1")) << line.toStdString();
        values += !c[5].isEmpty();
    }
    EXPECT_GT(values, 150);
    EXPECT_TRUE(lines.contains("Cu\t1\t110,1\tstandard\tlinear\t" +
                               exported.at({"Cu", titles.at("linear"), "1"}) + "\t" +
                               exported.at({"Cu", titles.at("linear") + " \u00b1", "1"})));
    EXPECT_TRUE(lines.value(2).startsWith("Cu\t1\t110,1\tstandard\t"));

    const Outcome csv = cli(options + QStringList{"--format", "csv"}, kNamedRun, locale);
    ASSERT_EQ(csv.status, 0) << csv.err.toStdString();
    EXPECT_TRUE(csv.out.startsWith("X,Cu Data,") && csv.out.contains(",\"Cd,114 Data\","));
    const std::vector<QStringList> rows = csvRows(csv.out);
    ASSERT_EQ(rows.size(), 10u);  // the titles and X = 1..9
    int numbers = 0;
    for (const QStringList& row : std::vector<QStringList>(rows.begin() + 1, rows.end())) {
        ASSERT_EQ(row.size(), rows[0].size());
        for (qsizetype c = 1; c < row.size(); ++c) {
            const QString& head = rows[0][c];
            const QString analyte = head.startsWith("Cu ")      ? "Cu"
                                    : head.startsWith("Zn/66 ") ? "Zn/66"
                                                                : "Cd,114";
            const auto it = exported.find({analyte, head.mid(analyte.size() + 1), row[0]});
            const QString text = it == exported.end() ? QString() : it->second;
            EXPECT_EQ(row[c].isEmpty(), text.isEmpty()) << head.toStdString();
            EXPECT_EQ(numberOf(row[c]), numberOf(text))
                << head.toStdString() << " " << row[0].toStdString();
            EXPECT_FALSE(row[c].contains(u','));
            numbers += !row[c].isEmpty();
        }
    }
    EXPECT_GT(numbers, 150);
}

TEST(Cli, WritesThePlotAsPngOrSvgAndFailsWithOneWhenAWriteFails)
{
    QTemporaryDir dir;
    const QStringList inDir{dir.path()};
    const QString png = dir.filePath("plot.png");
    const Outcome a = cli({"--plot", png});
    ASSERT_TRUE(a.status == 0 && a.err.isEmpty()) << a.err.toStdString();
    EXPECT_EQ(a.out, cli({}).out);  // the picture comes on top of the usual output
    EXPECT_TRUE(contents(png).startsWith("\x89PNG"));
    const QString svg = dir.filePath("plot.SVG");
    ASSERT_EQ(cli({"--plot", svg, "--size", "1200x700"}).status, 0);
    EXPECT_TRUE(contents(svg).contains("<svg"));
    const QString residuals = dir.filePath("residuals.png");
    ASSERT_EQ(cli({"--plot", residuals, "--residual-plot"}).status, 0);
    EXPECT_TRUE(contents(residuals).startsWith("\x89PNG"));
    ASSERT_EQ(cli({"--plot", dir.filePath("plot.pdf")}).status, 0);
    EXPECT_TRUE(contents(dir.filePath("plot.pdf")).startsWith("%PDF-"));
    expectFailure(cli({"--plot", dir.filePath("missing/folder/p.png")}), 1, "cannot write");

    // A link to a regular file: the file gets the picture, the link stays.
    const QString target = dir.filePath("target.png");
    const QString link = dir.filePath("link.png");
    ASSERT_TRUE(QFile::copy(svg, target) && QFile::link(target, link));
    ASSERT_EQ(cli({"--plot", link}).status, 0);
    EXPECT_TRUE(QFileInfo(link).isSymLink() && contents(target).startsWith("\x89PNG"));
    // A failed write leaves the old file whole and no other file behind.
    const QByteArray before = contents(target);
    const QStringList files = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
    expectFailure(
        shell(R"(cd "$1" && trap '' XFSZ && ulimit -f 1 && exec "$0" --plot target.png)", inDir), 1,
        "kalibrix-cli: cannot write target.png: File too large");
    EXPECT_EQ(contents(target), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), files);
    // A device is written, never replaced; so is standard output, whether or not the text
    // fits the output buffer.
    const QString full = dir.filePath("full.png");
    ASSERT_TRUE(QFile::link("/dev/full", full));
    expectFailure(cli({"--plot", full}), 1, "cannot write " + full + ": No space left on device");
    for (const QByteArray& input : {kDemo, QByteArray("1\t5\n2\t6\n30000\t9\n")})
        expectFailure(shell(R"(exec "$0" > /dev/full)", {}, input), 1,
                      "kalibrix-cli: cannot write standard output: No space left on device");

    // A name that is no UTF-8 is written as its bytes are.
    ASSERT_EQ(shell(R"(cd "$1" && exec "$0" --plot $'p\xff.png')", inDir).status, 0);
    EXPECT_TRUE(std::filesystem::remove(dir.path().toStdString() +
                                        "/p\xff.png"));  // QTemporaryDir could not

    // Negative numbers in the export and the tick labels get the ASCII minus in every locale.
    const QString negative = dir.filePath("negative.svg");
    const Outcome sv = cli({"--plot", negative}, "1\t-5\n2\t-30\n3\t-10\n", "sv_SE.UTF-8");
    EXPECT_TRUE(sv.lines()[4].startsWith("1\t-5\t")) << sv.out.toStdString();
    EXPECT_TRUE(contents(negative).contains(">-30<") && !contents(negative).contains("\u2212"));
}

// Every save (picture, session, report) writes as the shell's "> FILE" may: the name is opened
// by the kernel, which follows a link only where it allows and refuses a file without write
// permission; the file is still replaced whole, and the hidden file of a save killed midway
// is gone after the next save.
TEST(Cli, SavesWriteAsTheShellWouldAndLeaveNothingBehind)
{
    QTemporaryDir dir;
    const QStringList inDir{dir.path()};
    // A link that leads to no file: nothing is created through it.
    const QString dangling = dir.filePath("dangling.kalibrix");
    ASSERT_TRUE(QFile::link(dir.filePath("absent.kalibrix"), dangling));
    expectFailure(cli({"--save-session", dangling}), 1,
                  "cannot write " + dangling + ": the symbolic link leads to no file");
    EXPECT_FALSE(QFile::exists(dir.filePath("absent.kalibrix")));
    // /dev/stdout, a link to a link to a pipe, is opened by its name and written through.
    const Outcome piped = cli({"--save-session", "/dev/stdout", "--export", "none"});
    EXPECT_EQ(piped.status, 0) << piped.err.toStdString();
    EXPECT_TRUE(piped.out.startsWith("{\n") && piped.out.contains("\"KALIBRIX session\""));

    // A file without write permission, also through a link, is refused and stays; root may
    // write it (as in the shell), so then the saves run as the user "nobody".
    const Outcome readOnly = shell(
        R"sh(cd "$1" && mkdir ro && cd ro && cat > t.txt && echo kept > ro.kalibrix && chmod 444 ro.kalibrix &&
           ln -s ro.kalibrix link.kalibrix || exit 9
           as=
           if [ "$(id -u)" = 0 ]; then
               chown -R 65534:65534 . && as="setpriv --reuid=65534 --regid=65534 --clear-groups"
           fi
           for f in ro.kalibrix link.kalibrix; do $as "$0" --save-session $f t.txt > /dev/null; echo $?; done
           cat ro.kalibrix; ls -A)sh",
        inDir);
    EXPECT_EQ(readOnly.out, "1\n1\nkept\nlink.kalibrix\nro.kalibrix\nt.txt\n");
    EXPECT_TRUE(readOnly.err.contains("cannot write ro.kalibrix: Permission denied") &&
                readOnly.err.contains("cannot write link.kalibrix: Permission denied"))
        << readOnly.err.toStdString();

    // A save killed midway (beyond the file size limit) leaves its hidden file; the next save
    // of that file removes it, but not the hidden file of a save still running (locked).
    const Outcome killed = shell(
        R"sh(cd "$1" && mkdir killed && cd killed && cat > t.txt || exit 9
           (ulimit -f 1; exec "$0" --plot p.png t.txt > /dev/null); echo $?
           ls -A | grep -c '^\.p\.png\.kalibrix-......$'
           exec 9> .p.png.kalibrix-Held00 && flock 9 || exit 9
           "$0" --plot p.png t.txt > /dev/null 9>&-; echo $?
           ls -A)sh",
        inDir);
    EXPECT_EQ(killed.out, "153\n1\n0\n.p.png.kalibrix-Held00\np.png\nt.txt\n");
}

// Memory running out (a large session under a memory limit) is a message and status 1, not a
// crash. Where the program cannot even start under the limit (a sanitizer build) it is not
// tried.
TEST(Cli, OutOfMemoryIsAMessage)
{
    QTemporaryDir dir;
    const Outcome starved = shell(
        R"sh(cd "$1" && { printf '{"format": "KALIBRIX session", "note": "'
                           head -c 60000000 /dev/zero | tr '\0' a; printf '"}'; } > big.kalibrix
           (ulimit -v 200000 && "$0" --export none > /dev/null) || exit 77
           ulimit -v 200000 && exec "$0" --session big.kalibrix)sh",
        {dir.path()});
    if (starved.status == 77)
        GTEST_SKIP() << "kalibrix-cli does not start within 200 MB";
    EXPECT_EQ(starved.status, 1);
    EXPECT_EQ(starved.err, "kalibrix-cli: out of memory\n");
}

// A session saved by a run opens to the same export and saves to the same bytes; the options
// given change it; what cannot be read or written exits with one; --report writes a PDF.
TEST(Cli, SessionsAndReports)
{
    QTemporaryDir dir;
    const QString saved = dir.filePath("s.kalibrix"), again = dir.filePath("again.kalibrix");
    const QStringList options{"--reject", "15", "--degree", "3", "--show", "poly", "--zoom", "y"};
    const Outcome first =
        cli(options + QStringList{"--save-session", saved, "--report", dir.filePath("r.pdf")});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(contents(dir.filePath("r.pdf")).startsWith("%PDF"));
    const Outcome opened = cli({"--session", saved, "--save-session", again}, "");
    EXPECT_EQ(opened.status, 0);
    EXPECT_EQ(opened.out, first.out);
    EXPECT_EQ(contents(again), contents(saved));
    EXPECT_EQ(cli({"--session", saved, "--level", "80", "--reject", "10"}, "").out,
              cli(options + QStringList{"--level", "80", "--reject", "10"}).out);
    const QByteArray named = "X\tCu\tZn\n5\t980\t50\n10\t770\t40\n15\t700\t60\n";
    ASSERT_EQ(cli({"--reject", "Zn:10", "--save-session", saved}, named).status, 0);
    EXPECT_EQ(cli({"--session", saved, "--analyte", "Zn", "--summary"}, "").out,
              cli({"--analyte", "Zn", "--reject", "10", "--summary"}, named).out);
    // Saved again with one analyte chosen: the others keep their rejections.
    ASSERT_EQ(cli({"--reject", "Cu:5", "--save-session", saved}, named).status, 0);
    ASSERT_EQ(
        cli({"--session", saved, "--analyte", "Zn", "--reject", "5", "--save-session", saved}, "")
            .status,
        0);
    EXPECT_EQ(cli({"--session", saved, "--summary"}, "").out,
              cli({"--reject", "5", "--summary"}, named).out);

    QFile bad(dir.filePath("bad.kalibrix"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write("{\"format\": \"KALIBRIX session\"}"));
    bad.close();
    expectFailure(cli({"--session", bad.fileName()}), 1,
                  bad.fileName() + ": The session is damaged: \"formatVersion\" is missing.");
    expectFailure(cli({"--session", dir.filePath("absent")}), 1,
                  "cannot read " + dir.filePath("absent"));
    expectFailure(cli({"--session", saved, "t.txt"}), 2,
                  "--session and a table FILE cannot be combined");
    expectFailure(cli({"--report", "r.png"}), 2, "--report: the file name must end in .pdf");
    // One file named twice is a usage error, also under another name; nothing is written.
    const QString twice = dir.filePath("twice.pdf");
    for (const QStringList& args :
         {QStringList{"--plot", twice, "--report", twice},
          QStringList{"--plot", dir.path() + "/./twice.pdf", "--save-session", twice},
          QStringList{"--save-session", twice, "--report",
                      dir.path() + "/../" + QDir(dir.path()).dirName() + "/twice.pdf"}})
        expectFailure(cli(args), 2, "name one file: ");
    EXPECT_FALSE(QFile::exists(twice));
    for (const char* option : {"--save-session", "--report"})
        expectFailure(
            cli({option, dir.filePath("missing/f.pdf")}), 1,
            "kalibrix-cli: cannot write " + dir.filePath("missing/f.pdf") + ": No such file");
    expectFailure(cli({"--save-session", saved}, "X\tCu\xff\tZn\n5\t9\t5\n10\t7\t4\n15\t6\t3\n"), 1,
                  "the table is not UTF-8 text");
}

}  // namespace
