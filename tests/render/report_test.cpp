// The PDF report, read back as text by pdftotext: every figure the window shows for the run,
// one page per analyte.
#include "engine/method_table.h"
#include "model/version.h"
#include "run/captions.h"
#include "run/driver.h"
#include "run/paste_table.h"
#include "render/report.h"
#include "run/residuals.h"
#include "run/rounding.h"
#include "run/samples.h"
#include "support/test_support.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

using namespace kalibrix;

namespace {

// The pages of a PDF as pdftotext reads them, each with single blanks between its words and
// one at either end.
QStringList pagesOf(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0) << "pdftotext (poppler-utils)";
    QStringList pages;
    for (const QString& page : QString::fromUtf8(p.readAllStandardOutput()).split(u'\f'))
        if (!page.trimmed().isEmpty())
            pages.append(u' ' + page.simplified() + u' ');
    return pages;
}

// Every text of the window for the analyte's run: the counts, the cells, the leave-one-out
// figures, the listing's lines and the plot's tick labels.
QStringList windowTexts(const State& state, std::size_t a, const NumberFormat& fmt)
{
    State one = state;
    showAnalyte(one, fmt, a);
    const Captions c = makeCaptions(one.results(), fmt, Figures::Shown);
    std::vector<std::string> texts{c.nData, c.nDataOK, c.rejected};
    for (std::size_t m = 0; m < c.cells.size(); ++m) {
        texts.insert(texts.end(), c.cells[m].begin(), c.cells[m].end());
        texts.insert(texts.end(), {c.looError[m], c.looPercent[m]});
    }
    for (const QString& line : QString::fromStdString(c.listing).split(QStringLiteral("\r\n")))
        texts.push_back(line.simplified().toStdString());
    for (const auto& label : one.plot.lblX)
        texts.push_back(label.visible ? label.caption : "");
    for (const auto& label : one.plot.lblY)
        texts.push_back(label.visible ? label.caption : "");
    QStringList out;
    for (const std::string& t : texts)
        if (!t.empty())
            out.append(QString::fromStdString(t));
    return out;
}

}  // namespace

TEST(Report, HoldsEveryFigureOfTheWindowOnAPagePerAnalyte)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "report_test";
    static char* argv[] = {name, nullptr};
    const QGuiApplication app(argc, argv);
    const NumberFormat fmt;
    const QDateTime when(QDate(2024, 5, 17), QTime(9, 41));
    QTemporaryDir dir;

    State demo = test::startedState();
    demo.table().rejFlag[15] = 1;
    demo.settings.show["poly"] = kTicked;
    demo.settings.degreeText = "2";
    demo.settings.weightByErrors = true;  // the demonstration table has no errors
    demo.settings.uncertaintyKind = UncertaintyKind::Reading;
    demo.settings.plotResiduals = true;  // the residual view, and with it the residuals table
    State named = test::startedState();
    PasteResult r = parseTable(
        "X\tCu\tCu err\tZn\tPb\n5\t980\t9\t50\t7\n10\t770\t8\t\t6\n15\t700\t7\t60\t5\n"
        "25\t550\t6\t70\t4\n27\t500\t5\t80\t3\n",
        QLocale::c());
    named.replaceAnalytes(std::move(r.table->analytes), true);
    named.settings.weightByErrors = true;  // Cu has errors, Zn and Pb none
    // Counts near 2.5e10 and concentrations near 2.5e-6: the demonstration table scaled.
    State large = test::startedState(), small = test::startedState();
    for (auto [s, scale] : {std::pair{&large, 2.5e7}, {&small, 2.5e-9}})
        for (std::optional<double>& y : s->table().y)
            if (y)
                *y *= scale;
    for (auto [s, pdfName] :
         {std::pair{&demo, "demo"}, {&named, "named"}, {&large, "large"}, {&small, "small"}}) {
        plotAndCalculate(*s, fmt, Drawing::Build, LeaveOneOutErrors::Compute);
        const QString file = dir.filePath(QString("%1.pdf").arg(pdfName));
        ASSERT_EQ(writeReport(*s, fmt, file.toStdString(), "clipboard", when), std::nullopt);
        const QStringList pages = pagesOf(file);
        ASSERT_EQ(std::size_t(pages.size()), s->analytes.size());
        for (std::size_t a = 0; a < s->analytes.size(); ++a) {
            const QString& page = pages[qsizetype(a)];
            SCOPED_TRACE(page.toStdString());
            QStringList expected = windowTexts(*s, a, fmt);
            expected += {"2024-05-17", "09:41", QString::fromUtf8(kProgramVersion), "clipboard"};
            if (s->named)
                expected.append(QString::fromStdString(s->analytes[a].name));
            for (const QString& text : expected)
                EXPECT_TRUE(page.contains(u' ' + text + u' ')) << text.toStdString();
            // Each method's figures in their row, apart and in order.
            State one = *s;
            showAnalyte(one, fmt, a);
            const Captions c = makeCaptions(one.results(), fmt, Figures::Shown);
            for (std::size_t m = 0; m < c.cells.size(); ++m) {
                QStringList row;
                for (const std::string& cell : c.cells[m])
                    row.append(QString::fromStdString(cell));
                row << QString::fromStdString(c.looError[m])
                    << QString::fromStdString(c.looPercent[m]);
                row.removeAll(QString());
                EXPECT_TRUE(row.isEmpty() || page.contains(u' ' + row.join(u' ') + u' '))
                    << row.join(u'|').toStdString();
            }
        }
    }
    EXPECT_TRUE(pagesOf(dir.filePath("demo.pdf"))[0].contains(" Rejected standards (X): 15 "));
    ASSERT_FALSE(makeCaptions(demo.results(), fmt).listing.empty());  // it was checked
    // The kind of uncertainty, the level and whether the analyte's fit was weighted.
    const QString notWeighted =
        QStringLiteral("; not weighted (the standard at X = 5 has no error above 0) ");
    EXPECT_TRUE(pagesOf(dir.filePath("demo.pdf"))[0].contains(
        " Uncertainty: of a new reading; level 0.025 95%" + notWeighted));
    const QStringList namedPages = pagesOf(dir.filePath("named.pdf"));
    EXPECT_TRUE(namedPages[0].contains(
        " Uncertainty: of the curve; level 0.025 95%; weighted by the errors "));
    EXPECT_TRUE(namedPages[1].contains(notWeighted));

    // With the residual view, the residuals of every standard after the figures, each shown
    // method's columns titled as in the export: the rejected X = 15 with the residuals of the
    // run. Without it, no such table.
    for (const QString& page : namedPages)
        EXPECT_FALSE(page.contains(" Residuals X Y State ")) << page.toStdString();
    {
        const QString page = pagesOf(dir.filePath("demo.pdf"))[0];
        const ResidualTable t = residualsOf(demo, 0);
        QStringList titles{"X", "Y", "State"};
        for (const ResidualColumn& c : t.columns) {
            const QString title = QString::fromStdString(
                withDegree(fitMethods()[c.method].exportTitle, demo.results().degreeText));
            titles << title << title + " residual" << title + " LOO residual";
        }
        EXPECT_TRUE(page.contains(" Residuals " + titles.join(u' ') + u' '))
            << titles.join(u'|').toStdString();
        const auto at = std::find(t.x.begin(), t.x.end(), 15);
        ASSERT_NE(at, t.x.end());
        const std::size_t i = std::size_t(at - t.x.begin());
        QStringList row{"15", QString::fromStdString(Rounding(t.y[i], fmt)), "rejected"};
        for (const ResidualColumn& c : t.columns)
            for (const auto* v : {&c.value[i], &c.residual[i], &c.leaveOneOut[i]})
                row << QString::fromStdString(Rounding(*v, fmt));
        row.removeAll(QString());
        EXPECT_TRUE(page.contains(u' ' + row.join(u' ') + u' ')) << row.join(u'|').toStdString();
    }

    // Nothing of samples in a report of a table without IDs.
    for (const char* pdfName : {"demo", "named"})
        for (const QString& page : pagesOf(dir.filePath(QString("%1.pdf").arg(pdfName))))
            EXPECT_FALSE(page.contains(" Samples ") || page.contains(" Correction: "));

    // A run of 240 lines, the standard at odd X: each analyte's settings name how its samples
    // were corrected, and its samples fill further pages, the title row atop each.
    std::string text = "Pos\tID\tCu\tZn\n";
    for (int x = 1; x <= 240; ++x)
        text += std::to_string(x) +
                (x % 2         ? "\tSTD\t"
                 : x % 10 == 0 ? "\tQC\t"
                               : "\tS\t") +
                std::to_string(1000 + 2 * x + x % 3) + "\t" + std::to_string(50 + x % 7) + "\n";
    State run = test::startedState();
    PasteResult pastedRun = parseTable(text, QLocale::c());
    ASSERT_TRUE(pastedRun.table);
    run.replaceAnalytes(std::move(pastedRun.table->analytes), true,
                        std::move(pastedRun.table->run));
    run.settings.correctWith = "linear";
    run.settings.checkPattern = "QC";
    run.settings.known = {{"Cu", {2, 0.01}}};
    plotAndCalculate(run, fmt, Drawing::Build, LeaveOneOutErrors::Compute);
    const QString runFile = dir.filePath("run.pdf");
    ASSERT_EQ(writeReport(run, fmt, runFile.toStdString(), "clipboard", when), std::nullopt);
    const QString all = pagesOf(runFile).join(u' ');
    const QString titles = QStringLiteral(" ID X Reading S(X) \u00b1 u Corrected \u00b1 u Flag ");
    EXPECT_GT(all.count(titles), 2) << all.toStdString();
    EXPECT_TRUE(
        all.contains(" Correction: ratio with the known value 2\u00b10.01; correct with: "
                     "linear (Linear regression); standard: STD; check standard: QC "));
    EXPECT_TRUE(all.contains(" Correction: ratio with the known value 1; "));  // Zn
    for (std::size_t a = 0; a < run.analytes.size(); ++a) {
        const AnalyteSamples samples = correctSamples(run, a);
        ASSERT_EQ(samples.samples.size(), 120u);
        ASSERT_TRUE(samples.check);
        EXPECT_TRUE(
            all.contains(QStringLiteral(" Check standard: %1 corrected; mean %2;")
                             .arg(samples.check->count)
                             .arg(QString::fromStdString(Rounding(samples.check->mean, fmt)))));
        for (const CorrectedSample& sample : samples.samples) {
            auto shown = [&fmt](const std::optional<double>& v, const std::optional<double>& hw) {
                return Rounding(v, fmt) + (hw ? " \u00b1 " + Rounding(hw, fmt) : "");
            };
            const std::string row = " " + sample.id + " " + std::to_string(sample.x) + " " +
                                    Rounding(sample.reading, fmt) + " " +
                                    shown(sample.standard, sample.standardHalfWidth) + " " +
                                    shown(sample.corrected, sample.correctedHalfWidth) + " " +
                                    (sample.flags ? flagText(sample.flags) + " " : "");
            EXPECT_TRUE(all.contains(QString::fromStdString(row))) << row;
        }
    }

    // A failed write says why and leaves no file.
    const QString missing = dir.filePath("missing/report.pdf");
    EXPECT_NE(writeReport(demo, fmt, missing.toStdString(), "clipboard", when), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(missing));
}
