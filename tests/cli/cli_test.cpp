// Runs the real kalibrix-cli as a process and checks its exit status and output streams.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

const QByteArray kDemo = "5\t980\n10\t770\n15\t700\n25\t550\n27\t500\n";
const char* const kTitle = "* * *  KALIBRIX  -  Export of interpolated data";

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
    EXPECT_TRUE(r.err.contains(message)) << r.err.toStdString();
}

TEST(Cli, ExportsWithLineFeedsOrRawCarriageReturnsForTheChosenMethodsAndLevel)
{
    const Outcome lf = cli({});
    ASSERT_EQ(lf.status, 0) << lf.err.toStdString();
    EXPECT_TRUE(lf.err.isEmpty());
    const QStringList lines = lf.lines();
    ASSERT_EQ(lines.size(), 4 + 27 + 1);  // the text ends with a line end
    EXPECT_EQ(lines.front(), kTitle);
    EXPECT_TRUE(lines.back().isEmpty());

    const Outcome raw = cli({"--raw"});
    EXPECT_EQ(raw.status, 0);
    EXPECT_FALSE(raw.out.contains('\n'));
    EXPECT_EQ(QByteArray(raw.out).replace('\r', '\n'), lf.out);

    const QStringList none = cli({"--export", "none"}).lines();
    EXPECT_EQ(none, QStringList{kTitle} + QStringList(31, QString()));
    const Outcome level80 = cli({"--export", "linear", "--level", "80"});
    EXPECT_EQ(level80.status, 0);
    EXPECT_NE(level80.out, cli({"--export", "linear", "--level", "99.8"}).out);
    EXPECT_EQ(cli({"--export", "linear", "--level", "95"}).out, cli({"--export", "linear"}).out);
}

TEST(Cli, ReadsAFileStandardInputOrDashAndFailsWithStatusOne)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("table.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(kDemo) == kDemo.size());
    file.close();
    const Outcome fromStdin = cli({"--summary"});
    ASSERT_EQ(fromStdin.status, 0);
    EXPECT_EQ(cli({"--summary", file.fileName()}, "").out, fromStdin.out);
    EXPECT_EQ(cli({"--summary", "-"}).out, fromStdin.out);
    expectFailure(cli({dir.filePath("absent.txt")}), 1, "absent.txt");
    expectFailure(cli({}, "5\t980\n"), 1, "Please check the format of the copied table.");
    const QString lonely = dir.filePath("kalibrix-cli");  // without student.dat beside it
    ASSERT_TRUE(QFile::copy(KALIBRIX_BIN_DIR "/kalibrix-cli", lonely));
    expectFailure(cli({}, kDemo, "C", lonely), 1, "student.dat");
}

TEST(Cli, UsageErrorsExitWithTwoAndHelpWithZero)
{
    const QList<QStringList> bad{
        {"--level", "97"},  {"--show", "foo"},         {"--show", "none,log"},
        {"--export", ""},   {"--reject", "2.5"},       {"--reject", "30001"},
        {"--bogus"},        {"--raw", "--summary"},    {"a.txt", "b.txt"},
        {"--plot", "p.bmp"}, {"--plot", "p.png", "--size", "0x10"}, {"--size", "100x100"}};
    for (const QStringList& args : bad) {
        SCOPED_TRACE(args.join(' ').toStdString());
        expectFailure(cli(args), 2, "Usage: kalibrix-cli");
    }
    expectFailure(cli({"--reject", "7"}), 2, "--reject: no standard with Y > 0 at X = 7");

    const Outcome help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: kalibrix-cli") && help.err.isEmpty());
}

TEST(Cli, SummaryHoldsTheLabelsOfTheRun)
{
    const Outcome r = cli({"--summary"});
    ASSERT_EQ(r.status, 0);
    const QStringList lines = r.lines();
    ASSERT_EQ(lines.size(), 12);  // unticked "poly": no parameter rows
    EXPECT_EQ(lines.mid(0, 4), QStringList({"Row\ta\tb\tr^2\tAver. diff.\t%", "Maximum:\t27",
                                            "Number of data:\t5", "Rejected:\t0"}));
    EXPECT_TRUE(lines[4].startsWith("Linear regression\t1022\t-19.63\t0.95\t"));
    EXPECT_EQ(lines[4].count(u'\t'), 5);
    EXPECT_TRUE(lines[5].startsWith("Logarithmic regression\t") && !lines[5].contains("\t\t"));
    EXPECT_TRUE(lines[6].startsWith("2 ord.\t\t\t\t") && lines[6].size() > 10);
    EXPECT_EQ(lines[7], "3 ord.\t\t\t\t\t");
    EXPECT_EQ(lines[10], "6 ord.\t\t\t\t\t");
    EXPECT_EQ(cli({"--summary", "--reject", "5"}).lines()[3], "Rejected:\t1");
    EXPECT_TRUE(cli({"--summary"}, kDemo, "de_DE.UTF-8").lines()[4].contains("\t-19,63\t"));
}

TEST(Cli, ChosenDegreeSlotAndItsParameters)
{
    const Outcome quadratic = cli({"--summary", "--show", "poly", "--degree", "2"});
    ASSERT_EQ(quadratic.status, 0);
    QStringList lines = quadratic.lines();
    EXPECT_EQ(lines[5], "Logarithmic regression\t\t\t\t\t");
    EXPECT_EQ(lines[6], "2 ord.\t\t\t\t\t");
    EXPECT_TRUE(lines[10].startsWith("2 ord.\t\t\t\t") && lines[10].size() > 10);
    const QString parameters = lines.mid(11).join(u'\n');  // a value for each, then the end
    EXPECT_TRUE(QRegularExpression("^P0\t\\S+\nP1\t\\S+\nP2\t\\S+\ndsig\t\\S+\n$")
                    .match(parameters).hasMatch()) << parameters.toStdString();

    const Outcome tooHigh = cli({"--summary", "--show", "poly", "--degree", "30"});
    EXPECT_EQ(tooHigh.status, 0);
    EXPECT_TRUE(tooHigh.err.contains("Polynomial degree must be a whole number from 0 to 23."));
    lines = tooHigh.lines();
    EXPECT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[10], "30 ord.\t\t\t\t\t");
}

TEST(Cli, WritesThePlotAsPngOrSvg)
{
    QTemporaryDir dir;
    const QString png = dir.filePath("plot.png");
    const Outcome a = cli({"--plot", png});
    ASSERT_EQ(a.status, 0) << a.err.toStdString();
    EXPECT_TRUE(a.err.isEmpty()) << a.err.toStdString();
    EXPECT_EQ(a.out, cli({}).out);  // the picture comes on top of the usual output
    EXPECT_TRUE(contents(png).startsWith("\x89PNG"));
    const QString svg = dir.filePath("plot.SVG");
    ASSERT_EQ(cli({"--plot", svg, "--size", "1200x700"}).status, 0);
    EXPECT_TRUE(contents(svg).contains("<svg"));
    expectFailure(cli({"--plot", dir.filePath("missing/folder/p.png")}), 1, "cannot write");
}

}  // namespace
