// Runs the real kalibrix-cli as a process and checks its exit status and output streams.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const QByteArray kDemo = "5\t980\n10\t770\n15\t700\n25\t550\n27\t500\n";

struct Outcome {
    int status = -1;
    QByteArray out;
    QString err;
    QStringList lines() const { return QString::fromUtf8(out).split(u'\n'); }
};

Outcome cli(const QStringList& args, const QByteArray& input = kDemo, const char* locale = "C",
            const QString& program = KALIBRIX_BIN_DIR "/kalibrix-cli")
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
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

TEST(Cli, ExportsTheDemonstrationTableWithLineFeedsOrRawCarriageReturns)
{
    const Outcome lf = cli({});
    ASSERT_EQ(lf.status, 0) << lf.err.toStdString();
    EXPECT_TRUE(lf.err.isEmpty());
    EXPECT_FALSE(lf.out.contains('\r'));
    const QStringList lines = lf.lines();
    ASSERT_EQ(lines.size(), 4 + 27 + 1);  // the text ends with a line end
    EXPECT_EQ(lines.front(), "* * *  KALIBRIX  -  Export of interpolated data");
    EXPECT_TRUE(lines.back().isEmpty());

    const Outcome raw = cli({"--raw"});
    EXPECT_EQ(raw.status, 0);
    EXPECT_FALSE(raw.out.contains('\n'));
    EXPECT_EQ(QByteArray(raw.out).replace('\r', '\n'), lf.out);
}

TEST(Cli, ReadsAFileStandardInputOrDash)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("table.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kDemo);
    file.close();

    const Outcome fromStdin = cli({"--summary"});
    ASSERT_EQ(fromStdin.status, 0);
    EXPECT_EQ(cli({"--summary", path}, "").out, fromStdin.out);
    EXPECT_EQ(cli({"--summary", "-"}).out, fromStdin.out);

    const Outcome missing = cli({dir.filePath("absent.txt")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_TRUE(missing.err.contains("absent.txt"));
}

TEST(Cli, RefusedImportOrMissingTTableFailWithStatusOne)
{
    QTemporaryDir dir;
    const QString lonely = dir.filePath("kalibrix-cli");
    ASSERT_TRUE(QFile::copy(KALIBRIX_BIN_DIR "/kalibrix-cli", lonely));
    const Outcome noTable = cli({}, kDemo, "C", lonely);
    EXPECT_EQ(noTable.status, 1);
    EXPECT_TRUE(noTable.out.isEmpty());
    EXPECT_TRUE(noTable.err.contains("student.dat"));

    const Outcome r = cli({}, "5\t980\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains("Please check the format of the copied table."));
}

TEST(Cli, UsageErrorsExitWithTwoAndHelpWithZero)
{
    const QList<QStringList> bad{{"--level", "97"},         {"--show", "foo"},
                                 {"--show", "none,log"},    {"--export", ""},
                                 {"--export", "linear,,log"}, {"--reject", "2.5"},
                                 {"--reject", "30001"},     {"--bogus"},
                                 {"--raw", "--summary"},    {"a.txt", "b.txt"}};
    for (const QStringList& args : bad) {
        const Outcome r = cli(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Usage: kalibrix-cli")) << args.join(' ').toStdString();
    }
    const Outcome absent = cli({"--reject", "7"});
    EXPECT_EQ(absent.status, 2);
    EXPECT_TRUE(absent.out.isEmpty());
    EXPECT_TRUE(absent.err.contains("--reject: no standard with Y > 0 at X = 7"));

    const Outcome help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: kalibrix-cli"));
    EXPECT_TRUE(help.err.isEmpty());
}

TEST(Cli, SummaryHoldsTheLabelsOfTheRun)
{
    const Outcome r = cli({"--summary"});
    ASSERT_EQ(r.status, 0);
    const QStringList lines = r.lines();
    EXPECT_EQ(lines[0], "Row\ta\tb\tr^2\tAver. diff.\t%");
    EXPECT_EQ(lines[1], "Maximum:\t27");
    EXPECT_EQ(lines[2], "Number of data:\t5");
    EXPECT_EQ(lines[3], "Rejected:\t0");
    const QStringList linear = lines[4].split(u'\t');
    ASSERT_EQ(linear.size(), 6);
    EXPECT_EQ(linear.mid(0, 4), QStringList({"Linear regression", "1022", "-19.63", "0.95"}));
    EXPECT_TRUE(lines[5].startsWith("Logarithmic regression\t") && !lines[5].contains("\t\t"));
    EXPECT_TRUE(lines[6].startsWith("2 ord.\t\t\t\t") && lines[6].size() > 10);
    EXPECT_EQ(lines[7], "3 ord.\t\t\t\t\t");
    EXPECT_EQ(lines[10], "6 ord.\t\t\t\t\t");
    EXPECT_EQ(lines.size(), 12);  // unticked "poly": no parameter rows

    const QStringList rejected = cli({"--summary", "--reject", "5"}).lines();
    EXPECT_EQ(rejected[3], "Rejected:\t1");
    EXPECT_NE(rejected[4], lines[4]);

    const QStringList german = cli({"--summary"}, kDemo, "de_DE.UTF-8").lines();
    EXPECT_TRUE(german[4].contains("\t-19,63\t"));
}

TEST(Cli, ChosenDegreeSlotAndItsParameters)
{
    const Outcome quadratic = cli({"--summary", "--show", "poly", "--degree", "2"});
    ASSERT_EQ(quadratic.status, 0);
    QStringList lines = quadratic.lines();
    EXPECT_EQ(lines[5], "Logarithmic regression\t\t\t\t\t");
    EXPECT_EQ(lines[6], "2 ord.\t\t\t\t\t");
    EXPECT_TRUE(lines[10].startsWith("2 ord.\t\t\t\t") && lines[10].size() > 10);
    QStringList names;
    for (const QString& row : lines.mid(11, lines.size() - 12)) {
        names << row.section(u'\t', 0, 0);
        EXPECT_FALSE(row.section(u'\t', 1).isEmpty()) << row.toStdString();
    }
    EXPECT_EQ(names, QStringList({"P0", "P1", "P2", "dsig"}));

    const Outcome tooHigh = cli({"--summary", "--show", "poly", "--degree", "30"});
    EXPECT_EQ(tooHigh.status, 0);
    EXPECT_TRUE(tooHigh.err.contains("Polynomial degree must be a whole number from 0 to 23."));
    lines = tooHigh.lines();
    EXPECT_EQ(lines[10], "30 ord.\t\t\t\t\t");
    EXPECT_EQ(lines.size(), 12);
}

TEST(Cli, ExportNoneAndLevelChangeTheExport)
{
    const QStringList none = cli({"--export", "none"}).lines();
    ASSERT_EQ(none.size(), 32);
    EXPECT_EQ(none[0], "* * *  KALIBRIX  -  Export of interpolated data");
    for (int i = 1; i < 32; ++i)
        EXPECT_TRUE(none[i].isEmpty()) << i;

    const Outcome level80 = cli({"--export", "linear", "--level", "80"});
    const Outcome level99 = cli({"--export", "linear", "--level", "99.8"});
    EXPECT_EQ(level80.status, 0);
    EXPECT_NE(level80.out, level99.out);
    EXPECT_EQ(cli({"--export", "linear", "--level", "95"}).out, cli({"--export", "linear"}).out);
}

}  // namespace

TEST(Cli, WritesThePlotAsPngOrSvg)
{
    QTemporaryDir dir;
    const QString png = dir.filePath("plot.png");
    const QString svg = dir.filePath("plot.SVG");
    const Outcome plain = cli({});
    const Outcome a = cli({"--plot", png});
    ASSERT_EQ(a.status, 0) << a.err.toStdString();
    EXPECT_TRUE(a.err.isEmpty()) << a.err.toStdString();
    EXPECT_EQ(a.out, plain.out);  // the picture comes on top of the usual output
    QFile pngFile(png);
    ASSERT_TRUE(pngFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pngFile.read(8).startsWith("\x89PNG"));

    ASSERT_EQ(cli({"--plot", svg, "--size", "1200x700"}).status, 0);
    QFile svgFile(svg);
    ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svgFile.readAll().contains("<svg"));

    for (const QStringList& args : {QStringList{"--plot", dir.filePath("p.bmp")},
                                    QStringList{"--plot", png, "--size", "0x10"},
                                    QStringList{"--size", "100x100"}})
        EXPECT_EQ(cli(args).status, 2) << args.join(' ').toStdString();
    const Outcome unwritable = cli({"--plot", dir.filePath("missing/folder/p.png")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(unwritable.err.contains("cannot write")) << unwritable.err.toStdString();
}
