// The regression window on the offscreen platform, one slot per handler.
#include "startup/startup.h"
#include "engine/method_table.h"
#include "run/captions.h"
#include "run/export.h"
#include "window/analytes_panel.h"
#include "window/data_commands.h"
#include "window/message_boxes.h"
#include "window/plot_widget.h"
#include "window/results_grid.h"
#include "window/reg_window.h"
#include "window/run_panel.h"
#include "window/window_layout.h"
#include "run/rounding.h"
#include "run/samples.h"
#include "run/status_text.h"

#include <QtTest>
#include <QtWidgets>

#include <cmath>
#include <memory>
#include <optional>

using namespace kalibrix;

// A window whose frame the test sets, as a window manager adds it only after the window is
// shown.
class FramedWindow : public RegWindow {
public:
    using RegWindow::RegWindow;
    QMargins frame;

protected:
    QMargins windowFrame() const override { return frame; }
};

class WindowTest : public QObject {
    Q_OBJECT

    std::optional<State> m_state;
    std::unique_ptr<RegWindow> m_window;

    // The window's control with the object name `name`; stops the test run when it is missing.
    template <class T = QWidget>
    T* child(const char* name) const
    {
        T* w = m_window->findChild<T*>(QString::fromUtf8(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QString text(const char* label) const { return child<QLabel>(label)->text(); }
    void click(const char* button) const { child<QAbstractButton>(button)->click(); }
    PlotWidget* plot() const { return child<PlotWidget>("plot"); }
    size_t messages() const { return MessageBoxes::takeRecorded().size(); }
    QString status() const { return text("lblStatus"); }
    void focusWindow() const
    {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    // Where the plot widget shows the data point at X (or (x, y)), by the painter's mapping.
    QPoint pointPos(double x, std::optional<double> y = std::nullopt) const
    {
        const PlotDisplay p = plot()->shownPlot();
        const UserScale& s = p.pict1Scale;
        const double px = (x - s.left) / s.width * p.pict1Rect.width;
        const double py = (y.value_or(*m_state->table().y[static_cast<int>(x)]) - s.top) /
                          s.height * p.pict1Rect.height;
        return QPoint(qRound((p.pict1Rect.left - p.pict2Rect.left + px) / 15),
                      qRound((p.pict1Rect.top - p.pict2Rect.top + py) / 15));
    }
    void clickPoint(int x, Qt::MouseButton button = Qt::LeftButton, QPoint offset = {}) const
    {
        QTest::mouseClick(plot(), button, {}, pointPos(x) + offset);
    }
    void keys(QKeyCombination combination) const
    {
        QTest::keyClick(QApplication::focusWidget(), combination.key(),
                        combination.keyboardModifiers());
    }

private slots:
    void initTestCase() { MessageBoxes::startRecording(); }

    void init()
    {
        StartUp started = Main(KALIBRIX_BIN_DIR);
        QVERIFY2(started.state, started.error.c_str());
        m_state = std::move(started.state);
        m_window = std::make_unique<RegWindow>(*m_state);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        MessageBoxes::takeRecorded();
    }

    void startUpShowsTheDemonstrationFitsAndAbout()
    {
        QCOMPARE(m_window->size(), QSize(901, 673));  // "LOO %:" and the status line
        QCOMPARE(child("cmdCopy")->geometry(), QRect(822, 512, 73, 73));
        auto texts = [this](std::initializer_list<const char*> labels) {
            QStringList t;
            for (const char* label : labels)
                t << text(label);
            return t.join(u'|');
        };
        QCOMPARE(
            texts({"a_linear", "b_linear", "rSquared_linear", "diff_linear", "diffPercent_linear"}),
            "1022|-19.63|0.95|33.24|4.383");
        QCOMPARE(texts({"a_log", "b_log", "rSquared_log", "diff_log", "diffPercent_log"}),
                 "1416|-272.6|0.99|14.44|2.283");
        QCOMPARE(texts({"lblLargestX", "lblStandardCount", "lblRej", "diff_poly2",
                        "diffPercent_poly2", "diff_poly3"}),
                 "27|5|0|21.36|3.177|");
        QCOMPARE(texts({"loo_linear", "loo_log", "loo_poly2", "loo_poly3"}), "7.524|3.541|9.459|");
        // The method that predicts best is bold, and says so.
        for (const char* name : {"loo_linear", "loo_log", "loo_poly2", "loo_zigzag"})
            QCOMPARE(
                child<QLabel>(name)->font().bold(),
                m_state->results().bestPredictor == methodNamed(std::string_view(name).substr(4)));
        QVERIFY(child<QLabel>("loo_log")->toolTip().contains(
            "error 23.5484588278621 (root mean square, in Y units); "
            "3.54061930967327 % of Y"));
        QCOMPARE(child<QComboBox>("cboDegree")->currentText(), "6");
        QCOMPARE(child<QComboBox>("cboLevel")->currentText(), "0.025  95%");
        // Every control says what it does; the unlabelled boxes which method they tick.
        for (QWidget* w : m_window->findChildren<QWidget*>())
            if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w))
                QVERIFY2(!w->toolTip().isEmpty(), qPrintable(w->objectName()));
        QCOMPARE(child("export_log")->toolTip(),
                 "Export the logarithmic regression with Copy interpolated values");
        QVERIFY(child<QCheckBox>("show_linear")->isChecked() && !child("show_linear")->isEnabled());
        QCOMPARE(messages(), 0u);
        click("cmdAbout");
        const std::vector<UserMessage> about = MessageBoxes::takeRecorded();
        QVERIFY(about.size() == 1 && about[0].title == "KALIBRIX" &&
                about[0].icon == MessageIcon::Exclamation &&
                about[0].text.starts_with("KALIBRIX is a desktop program that calculates "));
        for (const char* today : {"Ctrl+O", "Ctrl+Z", "session", "PDF report", "analyte",
                                  "Ctrl+Shift+C", "Shift+click"})
            QVERIFY2(about[0].text.find(today) != std::string::npos, today);

        // The window's own texts are spelt right.
        QStringList captions;
        for (const QLabel* label : m_window->findChildren<QLabel*>())
            captions << label->text();
        QVERIFY(captions.contains("Linear regression"));
        QCOMPARE(child<QCheckBox>("chkBand")->text(), "Show confidence band for lin. regr.");
        QVERIFY(m_window->windowTitle().startsWith("KALIBRIX - calculates interpolated values"));
        QVERIFY(!m_window->isWindowModified());

        // Counts near 2.5e10 and concentrations near 2.5e-6 (the demonstration table scaled):
        // every figure whole in its cell, with four significant digits (r² two decimals), and
        // a, b and the averages in full after the colon of their tooltips.
        const QLocale locale = QLocale::system();
        for (const double scale : {2.5e7, 2.5e-9}) {
            QString table;
            for (const auto& [x, y] :
                 {std::pair{5, 980}, {10, 770}, {15, 700}, {25, 550}, {27, 500}})
                table += QString("%1\t%2\n").arg(x).arg(y * scale, 0, 'g', 15);
            QGuiApplication::clipboard()->setText(table);
            click("cmdPaste");
            QCOMPARE(messages(), 0u);
            for (const FitMethod& method : fitMethods()) {
                std::vector<QString> cells;
                for (const int cell : {kCellA, kCellB, kCellDiff, kCellDiffProc})
                    if (method.figures[cell])
                        cells.push_back(QString("%1_%2")
                                            .arg(cell == kCellA      ? "a"
                                                 : cell == kCellB    ? "b"
                                                 : cell == kCellDiff ? "diff"
                                                                     : "diffPercent")
                                            .arg(method.name));
                cells.push_back(QString("loo_%1").arg(method.name));
                for (const QString& name : cells) {
                    const QLabel* cell = child<QLabel>(name.toUtf8().constData());
                    const QString shown = cell->text();
                    QVERIFY2(QFontMetricsF(cell->font()).horizontalAdvance(shown) <=
                                 cell->contentsRect().width(),
                             qPrintable(name + " " + shown));
                    if (shown.isEmpty())
                        continue;
                    QString digits = shown.section(u'E', 0, 0);
                    digits.remove(QRegularExpression("[^0-9]")).remove(QRegularExpression("^0+"));
                    QVERIFY2(digits.size() >= 4, qPrintable(name + " " + shown));
                    if (name.startsWith("loo_"))
                        continue;
                    const double full = locale.toDouble(cell->toolTip().section(": ", -1));
                    QVERIFY2(std::abs(locale.toDouble(shown) - full) <= 5e-4 * std::abs(full),
                             qPrintable(name + " " + shown + " " + cell->toolTip()));
                }
            }
        }
    }

    void activationSetsUpOnce()
    {
        auto* prob = child<QComboBox>("cboLevel");
        const double t95 = m_state->results().fit(*methodNamed("linear"))->band->tValue;
        prob->setCurrentIndex(5);
        QVERIFY(m_state->results().fit(*methodNamed("linear"))->band->tValue > t95);
        QEvent leave(QEvent::WindowDeactivate), back(QEvent::WindowActivate);
        QCoreApplication::sendEvent(m_window.get(), &leave);
        QCoreApplication::sendEvent(m_window.get(), &back);
        m_window->hide();
        m_window->show();
        QCOMPARE(prob->currentText(), "0.001  99.8");
        QCOMPARE(m_state->settings.level, 5);
    }

    // clickOnPlot, optAllData_Click, copyResults and restoreEveryStandard.
    void clickedPointsAreRejectedAtTheNextRun()
    {
        clickPoint(10, Qt::RightButton);
        clickPoint(15, Qt::MiddleButton);
        clickPoint(25, Qt::LeftButton, {0, 30});  // beside the point
        const auto& rejected = m_state->table().rejFlag;
        QCOMPARE(rejected[10] + rejected[15] + rejected[25], 0);
        clickPoint(5);
        QCOMPARE(rejected[5], 1);
        QCOMPARE(text("lblRej"), "1");  // the count follows the marks
        click("cmdCopy");               // neither copying nor the click runs the fits again
        const NumberFormat fmt = NumberFormat::fromLocale(QLocale::system());
        QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), exportText(*m_state, fmt));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QCOMPARE(m_state->results().stats.nOK, 5);
        QCOMPARE(status(),
                 "Copied 31 lines with 3 methods to the clipboard, the fits of the last "
                 "run: 1 mark is not applied yet (press Plot and calculate)");
        click("cmdPlot");
        QCOMPARE(text("lblRej"), "1");
        QCOMPARE(status(), "Calculated with 4 standards in use, 1 rejected");

        const double allTop = m_state->plot.pict1Scale.top;  // 980 at X = 5 is the highest
        click("optAllData_1");
        QVERIFY(!m_state->settings.allData && m_state->plot.pict1Scale.top < allTop);
        click("optAllData_0");
        QCOMPARE(m_state->plot.pict1Scale.top, allTop);

        m_window->resize(1100, 760);  // in a larger window too
        clickPoint(27);
        click("cmdPlot");
        QCOMPARE(text("lblRej"), "2");
        clickPoint(27);  // a click on a rejected point takes it back
        QCOMPARE(rejected[27], 0);
        QCOMPARE(text("lblRej"), "1");
        click("cmdRestore");
        QCOMPARE(text("lblRej"), "0");
    }

    void optionsAndCheckBoxesReplot()
    {
        const UserScale& scale = m_state->plot.pict1Scale;  // of the latest run
        const UserScale full = scale;
        click("optScaleY_1");
        QVERIFY(scale.top + scale.height > 0);
        click("optScaleX_1");
        QVERIFY(scale.left > full.left);
        click("optScaleY_0");
        click("optScaleX_0");
        QVERIFY(scale.left == full.left && scale.top == full.top);

        auto* log = child<QCheckBox>("show_log");
        log->click();
        QVERIFY(text("a_log").isEmpty());
        log->setCheckState(Qt::PartiallyChecked);  // grey is not ticked
        QVERIFY(text("a_log").isEmpty());
        log->setCheckState(Qt::Checked);
        QCOMPARE(text("a_log"), "1416");

        click("show_poly4");
        QVERIFY(!text("diff_poly4").isEmpty() && !text("diffPercent_poly4").isEmpty());
        click("show_zigzag");
        QVERIFY(!m_state->results().fit(*methodNamed("zigzag")));
        const size_t withBand = m_state->plot.pict1.shapes.size();
        click("chkBand");
        QCOMPARE(m_state->plot.pict1.shapes.size(), withBand - 2);
        QCOMPARE(messages(), 0u);
    }

    void comboBoxes()
    {
        // Degrees 6 and up are too many for five points: every run says so once, in the
        // status line, with the degree and the standards in use; no message box.
        auto* degree = child<QComboBox>("cboDegree");
        click("show_poly");
        const QString tooFew = "Too few data for polynomial regression of the requested degree.";
        QVERIFY(status().contains(tooFew + " (degree 6, 5 standards in use)"));
        degree->setCurrentIndex(10);
        QCOMPARE(status().count(tooFew), 1);
        degree->showPopup();  // the user chooses the next item
        QTest::keyClick(degree->view(), Qt::Key_Down);
        QTest::keyClick(degree->view(), Qt::Key_Return);
        QCOMPARE(degree->currentText(), "13");
        QVERIFY(status().contains("(degree 13, 5 standards in use)"));
        QCOMPARE(messages(), 0u);

        // Typing, Enter and leaving the box run nothing, even when the text is an item;
        // the next run reads the typed degree, and one press says so once.
        const struct {
            const char* typed;
            Qt::Key finish;
            const char* atPlot;
        } typing[] = {
            {"3", Qt::Key_Return, ""},
            {"24", Qt::Key_Tab, "Polynomial degree must be a whole number from 0 to 23."}};
        focusWindow();
        for (const auto& t : typing) {
            const std::string lastRun = m_state->results().degreeText;
            degree->setFocus();
            degree->lineEdit()->selectAll();
            QTest::keyClicks(QApplication::focusWidget(), t.typed);
            QTest::keyClick(QApplication::focusWidget(), t.finish);
            QVERIFY(!degree->hasFocus() || t.finish == Qt::Key_Return);
            QCOMPARE(m_state->results().degreeText, lastRun);
            click("cmdPlot");
            QCOMPARE(m_state->results().degreeText, t.typed);
            QCOMPARE(status().count("Polynomial degree"), *t.atPlot ? 1 : 0);
            QVERIFY(status().contains(t.atPlot));
        }
        QCOMPARE(messages(), 0u);

        // The level box shows only the level in force.
        auto* prob = child<QComboBox>("cboLevel");
        prob->setFocus();
        QTest::keyClicks(prob, "80%");
        QCOMPARE(prob->currentText(), prob->itemText(*m_state->settings.level));
        QCOMPARE(m_state->settings.level, 2);
    }

    // The paste and the copy keys work wherever the focus is, and a refused text leaves
    // the table as it was.
    void pasteAndCopyKeys()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText("");
        click("cmdPaste");
        const UserMessage empty{"The Clipboard is empty.", MessageIcon::Exclamation, ""};
        QCOMPARE(MessageBoxes::takeRecorded(), std::vector{empty});
        QCOMPARE(text("lblLargestX"), "27");

        const NumberFormat fmt = NumberFormat::fromLocale(QLocale::system());
        focusWindow();
        int nData = 3;
        for (const char* name : {"regWindow", "cboDegree", "cboLevel"}) {
            QWidget* focus = qstrcmp(name, "regWindow") == 0 ? m_window.get() : child(name);
            focus->setFocus();
            clipboard->setText(QString("1\t100\t2\r\n2\t110\t2\r\n%1\t135\t2\r\n").arg(++nData));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(messages(), 0u);
            QCOMPARE(text("lblLargestX"), QString::number(nData));
            QCOMPARE(status(), QString("Pasted 3 standards, X 1 to %1, from 3 lines").arg(nData));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(clipboard->text().toStdString(), exportText(*m_state, fmt));
            QCOMPARE(status(),
                     QString("Copied %1 lines with 3 methods to the clipboard").arg(nData + 4));
            QCOMPARE(child<QComboBox>("cboDegree")->currentText(), "6");
        }

        const DataTable table = m_state->table();
        clipboard->setText("1\t2\n30001\t3\n3\t4\n");
        click("cmdPaste");
        QCOMPARE(messages(), 1u);
        QCOMPARE(text("lblLargestX"), QString::number(nData));
        QCOMPARE(m_state->table().y, table.y);
        QCOMPARE(m_state->table().yErr, table.yErr);
        QCOMPARE(m_state->table().nCol, 3);
    }

    // A named table: the selector between the paste and plot buttons, Page Up and Page Down
    // wherever the focus is, rejections and "Restore all data" per analyte; a plain table
    // hides it again.
    void analyteSelector()
    {
        auto* analyte = child<QComboBox>("cboAnalyte");
        QVERIFY(!analyte->isVisible() && !child("cmdRestore")->toolTip().contains("analyte"));
        QGuiApplication::clipboard()->setText(
            "Pos\tCu\tZn\n1\t100\t50\n2\t110\t\n3\t120\t60\n"
            "4\t130\t70\n");
        click("cmdPaste");
        QVERIFY(analyte->isVisible() && child("lblAnalyte")->isVisible());
        QCOMPARE(status(), "Pasted 7 standards of 2 analytes (Cu, Zn), X 1 to 4, from 4 lines");
        QVERIFY(analyte->geometry().top() >= child("cmdPaste")->geometry().bottom() &&
                analyte->geometry().bottom() < child("cmdPlot")->geometry().top());
        QCOMPARE(analyte->count(), 2);
        QCOMPARE(analyte->currentText(), "Cu");
        QCOMPARE(text("lblStandardCount"), "4");

        focusWindow();
        child("cboDegree")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        QCOMPARE(analyte->currentText(), "Zn");
        QCOMPARE(status(), "Showing Zn (2 of 2 analytes)");
        QCOMPARE(child<QComboBox>("cboDegree")->currentText(), "6");
        child("cboLevel")->setFocus();
        QCOMPARE(child<QComboBox>("cboLevel")->currentText(), "0.025  95%");
        QCOMPARE(text("lblStandardCount"), "3");
        clickPoint(3);
        click("cmdPlot");
        QCOMPARE(text("lblRej"), "1");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
        QCOMPARE(text("lblRej"), "0");
        clickPoint(2);
        click("cmdRestore");  // Cu's rejection goes, Zn's stays
        QCOMPARE(status(), "Every rejection of Cu taken back; the other analytes keep theirs");
        QVERIFY(child("cmdRestore")->toolTip().contains("of the analyte shown"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        QCOMPARE(text("lblRej"), "1");
        QCOMPARE(m_state->analytes[0].table.rejFlag[2], 0);

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        const QString names = QGuiApplication::clipboard()->text().section(u'\r', 0, 0);
        QVERIFY(names.startsWith("Cu\t\t") && names.endsWith("\tZn"));  // each above its block
        QGuiApplication::clipboard()->setText("1\t2\n2\t3\n3\t5\n");
        click("cmdPaste");
        QVERIFY(!analyte->isVisible() && !child("cmdRestore")->toolTip().contains("analyte"));
        QCOMPARE(messages(), 0u);
    }

    // Several analytes: a table of all of them below the grid, its rows those of the last run
    // (after a calculation and after an undo); its chosen row and the selector always name the
    // analyte shown. One analyte, or a plain table, has no such table.
    void analytesTableFollowsRunsAndSelector()
    {
        auto* panel = child("analytesPanel");
        auto* grid = child<QTableView>("grdAnalytes");
        auto* selector = child<QComboBox>("cboAnalyte");
        QVERIFY(!panel->isVisible());
        focusWindow();
        QGuiApplication::clipboard()->setText("Pos\tCu\n5\t980\n10\t770\n15\t700\n25\t550\n");
        click("cmdPaste");
        QVERIFY(!panel->isVisible());
        QGuiApplication::clipboard()->setText(
            "Pos\tCu\tZn\tFe\n5\t980\t50\t7\n10\t770\t60\t8\n15\t700\t70\t\n"
            "20\t650\t75\t9\n25\t550\t80\t10\n27\t500\t85\t11\n");
        click("cmdPaste");
        QVERIFY(panel->isVisible());
        QVERIFY(panel->geometry().top() >= child("cmdAbout")->geometry().bottom());
        auto cell = [grid](int row, int column) {
            return grid->model()->index(row, column).data().toString();
        };
        auto rowOf = [&](const QString& analyte) {
            for (int row = 0; row < grid->model()->rowCount(); ++row)
                if (cell(row, AnalytesModel::kAnalyte) == analyte)
                    return row;
            return -1;
        };
        QCOMPARE(grid->model()->rowCount(), 3);
        // The row of the analyte shown says what its grid says: the bold method and its figure.
        auto rowMatchesGrid = [&] {
            const RunResults& shown = m_state->results();
            const int row = rowOf(selector->currentText());
            QCOMPARE(grid->currentIndex().row(), row);
            QVERIFY(shown.bestPredictor.has_value());
            const FitMethod& best = fitMethods()[*shown.bestPredictor];
            QCOMPARE(cell(row, AnalytesModel::kBest),
                     QString::fromStdString(methodLabel(best, m_state->settings.degreeText)));
            QCOMPARE(cell(row, AnalytesModel::kLoo),
                     text(qPrintable(QString("loo_%1").arg(best.name))));
            QCOMPARE(cell(row, AnalytesModel::kStandards), QString::number(shown.stats.nOK));
            QCOMPARE(cell(row, AnalytesModel::kRejected), text("lblRej"));
            for (int r = 0; r < grid->model()->rowCount(); ++r)
                for (int c = 0; c < AnalytesModel::kColumns; ++c)
                    QVERIFY(!cell(r, c).contains("nan", Qt::CaseInsensitive));
        };
        rowMatchesGrid();

        // Choosing a row shows its analyte, as the selector would.
        const int zn = rowOf("Zn");
        grid->setFocus();
        QTest::mouseClick(
            grid->viewport(), Qt::LeftButton, {},
            grid->visualRect(grid->model()->index(zn, AnalytesModel::kRejected)).center());
        QCOMPARE(selector->currentText(), "Zn");
        QCOMPARE(m_state->analytes[m_state->selected].name, "Zn");
        QCOMPARE(status(), "Showing Zn (2 of 3 analytes)");
        rowMatchesGrid();
        keys(Qt::Key_PageDown);  // and the selector's choice chooses the row
        QCOMPARE(selector->currentText(), "Fe");
        rowMatchesGrid();
        keys(Qt::Key_PageUp);

        // The rows are those of the last run: a mark waits for it, an undo runs it.
        clickPoint(25);
        QCOMPARE(cell(zn, AnalytesModel::kRejected), "0");
        click("cmdPlot");
        QCOMPARE(cell(zn, AnalytesModel::kRejected), "1");
        QCOMPARE(cell(zn, AnalytesModel::kStandards), "5");
        rowMatchesGrid();
        keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(cell(zn, AnalytesModel::kRejected), "0");
        rowMatchesGrid();
        QCOMPARE(messages(), 0u);
    }

    // A run table (a column of IDs): the run's controls and the samples table of the analyte
    // shown, its rows those of the correction; a rejection and its undo change them; the
    // copy and the plot's marks follow; refusals change nothing; a plain table hides it all.
    void runTableCorrectsSamples()
    {
        auto* panel = child("runPanel");
        auto* grid = child<QTableView>("grdSamples");
        QVERIFY(!panel->isVisible() && m_state->plot.sampleMarks.empty());
        QGuiApplication::clipboard()->setText(
            "Pos\tID\tCu\tZn\n1\tSTD\t100\t50\n2\tA\t210\t49\n3\tSTD\t102\t51\n"
            "4\tB\t190\t52\n5\tSTD\t104\t50\n6\tQC\t105\t51\n7\tSTD\t150\t52\n"
            "8\tC\t205\t50\n9\tSTD\t108\t53\n");
        click("cmdPaste");
        QCOMPARE(messages(), 0u);
        QVERIFY(panel->isVisible() && m_state->run);
        QVERIFY(panel->geometry().top() >= child("cmdAbout")->geometry().bottom());
        auto* standard = child<QComboBox>("cboStandard");
        QCOMPARE(standard->currentText(), "STD");
        QCOMPARE(standard->itemText(0), "STD");

        // The rows are the correction's, with no "nan" anywhere; the plot marks their X.
        auto cell = [grid](int row, int column) {
            return grid->model()->index(row, column).data().toString();
        };
        auto rowOf = [&](const QString& id) {
            for (int row = 0; row < grid->model()->rowCount(); ++row)
                if (cell(row, SamplesModel::kId) == id)
                    return row;
            return -1;
        };
        const NumberFormat fmt = NumberFormat::fromLocale(QLocale::system());
        auto rowsMatch = [&] {
            const AnalyteSamples samples = correctSamples(*m_state, m_state->selected);
            QCOMPARE(grid->model()->rowCount(), int(samples.samples.size()));
            std::vector<SampleMark> marks;
            for (int row = 0; row < int(samples.samples.size()); ++row) {  // in text order
                const CorrectedSample& s = samples.samples[std::size_t(row)];
                QCOMPARE(cell(row, SamplesModel::kId), QString::fromStdString(s.id));
                QCOMPARE(cell(row, SamplesModel::kX), QString::number(s.x));
                QCOMPARE(cell(row, SamplesModel::kCorrected)
                             .section(QString::fromUtf8(" \u00b1 "), 0, 0),
                         QString::fromStdString(Rounding(s.corrected, fmt)));
                QCOMPARE(cell(row, SamplesModel::kFlag), QString::fromStdString(flagText(s.flags)));
                marks.push_back({s.x, s.check});
            }
            for (int row = 0; row < grid->model()->rowCount(); ++row)
                for (int column = 0; column < SamplesModel::kColumns; ++column)
                    QVERIFY(!cell(row, column).contains("nan", Qt::CaseInsensitive));
            QCOMPARE(m_state->plot.sampleMarks, marks);
        };
        rowsMatch();
        QCOMPARE(grid->model()->rowCount(), 4);  // A, B, QC and C
        QVERIFY(!cell(rowOf("C"), SamplesModel::kCorrected).isEmpty());

        // Corrected with the linear fit, chosen by its label: rejecting the outlier at X = 7
        // changes C's value at the next run, and undo brings it back.
        auto* with = child<QComboBox>("cboCorrectWith");
        const FitMethod& linear = fitMethods()[*methodNamed("linear")];
        with->setCurrentIndex(with->findText(
            QString::fromStdString(methodCaption(linear, m_state->settings.degreeText))));
        emit with->activated(with->currentIndex());
        QVERIFY(m_state->settings.correctWith == "linear");
        const QString before = cell(rowOf("C"), SamplesModel::kCorrected);
        clickPoint(7);
        QCOMPARE(cell(rowOf("C"), SamplesModel::kCorrected), before);  // only marked yet
        click("cmdPlot");
        QVERIFY(cell(rowOf("C"), SamplesModel::kCorrected) != before);
        rowsMatch();
        focusWindow();
        child("cboDegree")->setFocus();
        keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(cell(rowOf("C"), SamplesModel::kCorrected), before);

        // Copy samples, by its shortcut: the samples text, and the status line says so.
        QGuiApplication::clipboard()->clear();
        keys(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
        QCOMPARE(QGuiApplication::clipboard()->text().toStdString(),
                 samplesClipboardText(*m_state, m_state->selected, fmt.forExport()));
        QCOMPARE(status(), "Copied 4 samples of Cu to the clipboard");

        // The analyte shown: its samples and marks.
        keys(Qt::Key_PageDown);
        QCOMPARE(m_state->analytes[m_state->selected].name, "Zn");
        rowsMatch();
        keys(Qt::Key_PageUp);

        // Known values: a ratio refuses one of 0 or less; one that passes corrects anew.
        auto enter = [this](const char* field, const QString& text) {
            auto* combo = m_window->findChild<QComboBox*>(field);
            auto* edit = combo ? combo->lineEdit() : child<QLineEdit>(field);
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, text);
            QTest::keyClick(edit, Qt::Key_Return);
        };
        const Settings settings = m_state->settings;
        for (const char* refused : {"-1", "abc", "5 \u00b1 -1"})
            enter("txtKnown", QString::fromUtf8(refused));
        enter("txtMaxGap", "x");
        enter("cboStandard", "Z*");  // no line has such an ID
        QCOMPARE(messages(), 5u);
        QVERIFY(m_state->settings == settings);
        QCOMPARE(standard->currentText(), "STD");
        QCOMPARE(cell(rowOf("C"), SamplesModel::kCorrected), before);
        enter("txtKnown", "1000 \u00b1 2");
        QCOMPARE(m_state->settings.known.at("Cu"), (KnownValue{1000, 2.0}));
        QVERIFY(cell(rowOf("C"), SamplesModel::kCorrected) != before);
        rowsMatch();
        // A difference takes -1, which a ratio then refuses to take over.
        auto* kind = child<QComboBox>("cboCorrection");
        kind->setCurrentIndex(kind->findText("difference"));
        emit kind->activated(kind->currentIndex());
        QCOMPARE(child<QLineEdit>("txtKnown")->placeholderText(), "0");  // a difference's
        enter("txtKnown", "-1");
        QCOMPARE(m_state->settings.known.at("Cu").value, -1.0);
        kind->setCurrentIndex(kind->findText("ratio"));
        emit kind->activated(kind->currentIndex());
        QCOMPARE(messages(), 1u);
        QCOMPARE(kind->currentText(), "difference");
        QVERIFY(m_state->settings.correction == CorrectionKind::Difference);

        // "Max. gap" flags and the check standard's summary line.
        enter("txtMaxGap", "0.5");
        QCOMPARE(m_state->settings.maxGap.value_or(0), 0.5);
        QVERIFY(cell(rowOf("B"), SamplesModel::kFlag).contains("gap"));
        QVERIFY(!child("lblCheckSummary")->isVisible());
        enter("txtCheckPattern", "QC");
        enter("txtCheckKnown", "1");
        QCOMPARE(m_state->settings.checkKnown.at("Cu").value, 1.0);
        QVERIFY(child("lblCheckSummary")->isVisible());
        QVERIFY(text("lblCheckSummary").startsWith("Check standard QC: 1 result"));
        QVERIFY(m_state->plot.sampleMarks[2].check);  // QC, third of the samples
        rowsMatch();

        const QModelIndex qc = grid->model()->index(rowOf("QC"), SamplesModel::kCorrected);
        QVERIFY(qc.data(Qt::FontRole).value<QFont>().italic());
        QVERIFY(qc.data(Qt::ToolTipRole).toString().startsWith("A line of the check standard: "));

        // Another standard is one undoable step, rejections and all. A copy before the run
        // says the mark is not in it.
        clickPoint(3);
        keys(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
        QVERIFY(status().endsWith("1 mark is not applied yet (press Plot and calculate)"));
        click("cmdPlot");
        enter("cboStandard", "Q?");
        QVERIFY(m_state->settings.standardPattern == "Q?");
        QCOMPARE(m_state->table().nY, 1);
        rowsMatch();
        keys(Qt::CTRL | Qt::Key_Z);
        QVERIFY(m_state->settings.standardPattern.empty());
        QCOMPARE(standard->currentText(), "STD");
        QCOMPARE(m_state->table().rejFlag[3], 1);
        QCOMPARE(messages(), 0u);

        // The saved session opens to the same samples, byte for byte.
        const std::string copied =
            samplesClipboardText(*m_state, m_state->selected, fmt.forExport());
        QTemporaryDir dir;
        QString error;
        QVERIFY2(m_window->saveSessionFile(dir.filePath("run.kalibrix"), &error),
                 qPrintable(error));
        QVERIFY(m_window->openFile(dir.filePath("run.kalibrix")));
        QVERIFY(panel->isVisible() && m_state->run && grid->model()->rowCount() == 4);
        QVERIFY(samplesClipboardText(*m_state, m_state->selected, fmt.forExport()) == copied);
        rowsMatch();

        QGuiApplication::clipboard()->setText("1\t2\n2\t3\n3\t5\n");
        click("cmdPaste");
        QVERIFY(!panel->isVisible() && !m_state->run && m_state->plot.sampleMarks.empty());
        child("cboDegree")->setFocus();
        keys(Qt::CTRL | Qt::Key_Z);  // the run comes back, with its rejection
        QVERIFY(panel->isVisible() && m_state->run && m_state->table().rejFlag[3] == 1);
        rowsMatch();
    }

    // A known value as typed: a number of the user's locale (or with "." as decimal point),
    // optionally ± its uncertainty; written back so that it reads the same.
    void knownValuesAreReadAsTyped()
    {
        struct Case {
            const char* locale;
            const char* text;
            std::optional<double> value;  // none: refused
            std::optional<double> u;
        };
        const Case cases[] = {
            {"C", "1000", 1000, {}},
            {"C", " 1000 \u00b1 0.2 ", 1000, 0.2},
            {"C", "50+-0.5", 50, 0.5},
            {"C", "-3 +/- 1e-3", -3, 1e-3},
            {"de_DE", "1000,5 \u00b1 0,2", 1000.5, 0.2},
            {"de_DE", "0.25", 0.25, {}},  // not German, but a number
            {"C", "abc", {}, {}},
            {"C", "5 \u00b1", {}, {}},
            {"C", "5 \u00b1 -1", {}, {}},
            {"C", "5 \u00b1 x", {}, {}},
        };
        for (const Case& c : cases) {
            const QLocale locale(QString::fromUtf8(c.locale));
            const auto read = readLocaleKnownValue(QString::fromUtf8(c.text), locale);
            const auto* known = std::get_if<std::optional<KnownValue>>(&read);
            QVERIFY2(bool(known) == bool(c.value), c.text);
            if (!known)
                continue;
            QVERIFY2(*known && (**known == KnownValue{*c.value, c.u}), c.text);
            QVERIFY2(readLocaleKnownValue(localeKnownValueText(**known, locale), locale) == read,
                     c.text);
        }
        const auto empty = readLocaleKnownValue(" ", QLocale::c());
        QVERIFY(std::get<std::optional<KnownValue>>(empty) == std::nullopt);
    }

    // Every change to the data can be undone and redone, wherever the focus is: a click's mark,
    // "Restore all data" and a paste (whose undo brings back the table with its rejections).
    void undoAndRedo()
    {
        const auto& rejected = [this]() -> const std::vector<std::uint8_t>& {
            return m_state->table().rejFlag;
        };
        focusWindow();
        auto* degree = child<QComboBox>("cboDegree");  // a text field with its own undo
        degree->setFocus();
        degree->lineEdit()->selectAll();
        QTest::keyClicks(degree, "6");  // now it has something to undo itself
        clickPoint(10);
        QCOMPARE(status(),
                 "X = 10, Y = 770 marked for rejection: press Plot and calculate to refit");
        clickPoint(15);
        keys(Qt::CTRL | Qt::Key_Z);
        QVERIFY(rejected()[10] == 1 && rejected()[15] == 0);
        QCOMPARE(status(), "Undid the mark at X = 15");
        keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
        QCOMPARE(rejected()[15], 1);
        keys(Qt::CTRL | Qt::Key_Z);
        keys(Qt::CTRL | Qt::Key_Y);
        QCOMPARE(rejected()[15], 1);
        QCOMPARE(child<QComboBox>("cboDegree")->currentText(), "6");

        click("cmdRestore");
        QCOMPARE(text("lblRej"), "0");
        keys(Qt::CTRL | Qt::Key_Z);  // the rejections come back, and the fits follow them
        QVERIFY(rejected()[10] == 1 && rejected()[15] == 1);
        QCOMPARE(text("lblRej"), "2");

        QGuiApplication::clipboard()->setText("1\t2\n2\t3\n3\t5\n");
        click("cmdPaste");
        QCOMPARE(text("lblLargestX"), "3");
        keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(text("lblLargestX"), "27");
        QVERIFY(rejected()[10] == 1 && rejected()[15] == 1);
        keys(Qt::CTRL | Qt::Key_Y);
        QCOMPARE(text("lblLargestX"), "3");
        keys(Qt::CTRL | Qt::Key_Y);
        QCOMPARE(status(), "Nothing to redo");

        // The undo of a mark in an analyte not shown first shows that analyte.
        QGuiApplication::clipboard()->setText(
            "Pos\tCu\tZn\n5\t980\t50\n10\t770\t60\n"
            "15\t700\t70\n25\t550\t80\n");
        click("cmdPaste");
        clickPoint(10);
        click("cmdPlot");
        QCOMPARE(text("lblRej"), "1");
        keys(Qt::Key_PageDown);
        QCOMPARE(child<QComboBox>("cboAnalyte")->currentText(), "Zn");
        keys(Qt::CTRL | Qt::Key_Z);  // its undo runs the fits, as every undo does
        QCOMPARE(child<QComboBox>("cboAnalyte")->currentText(), "Cu");
        QVERIFY(m_state->selected == 0 && rejected()[10] == 0);
        QCOMPARE(m_state->results().stats.nOK, 4);
        QCOMPARE(text("lblRej"), "0");
        QCOMPARE(status(), "Undid the mark at X = 10 of Cu");
        QCOMPARE(messages(), 0u);
    }

    // Shift+click marks the standards at that X in every analyte that has one, as what a
    // click makes of the one shown; one undo brings back each analyte's own mark. A plain
    // click still marks the analyte shown alone.
    void shiftClickMarksEveryAnalyte()
    {
        focusWindow();
        QGuiApplication::clipboard()->setText(
            "Pos\tCu\tZn\tFe\n5\t980\t50\t7\n10\t770\t60\t\n15\t700\t70\t9\n"
            "25\t550\t80\t10\n");
        click("cmdPaste");
        auto marks = [this](int x) {
            QString m;
            for (const Analyte& a : m_state->analytes)
                m += QString::number(a.table.rejFlag[std::size_t(x)]);
            return m;
        };
        keys(Qt::Key_PageDown);
        clickPoint(15);  // Zn's own mark
        QCOMPARE(marks(15), "010");
        keys(Qt::Key_PageUp);
        QTest::mouseClick(plot(), Qt::LeftButton, Qt::ShiftModifier, pointPos(15));
        QCOMPARE(marks(15), "111");
        QCOMPARE(status(),
                 "X = 15 marked for rejection in 3 analytes: press Plot and calculate "
                 "to refit");
        QCOMPARE(text("lblRej"), "1");
        QTest::mouseClick(plot(), Qt::LeftButton, Qt::ShiftModifier, pointPos(10));
        QCOMPARE(marks(10), "110");  // Fe has no standard there
        click("cmdPlot");
        QCOMPARE(m_state->analytes[1].results.stats.nOK, 2);
        keys(Qt::CTRL | Qt::Key_Z);
        QCOMPARE(marks(10), "000");
        keys(Qt::CTRL | Qt::Key_Z);  // one step, each analyte's mark as it was
        QCOMPARE(marks(15), "010");
        QCOMPARE(status(), "Undid the mark at X = 15 in every analyte");
        QCOMPARE(m_state->analytes[0].results.stats.nOK, 4);  // and the fits follow
        keys(Qt::CTRL | Qt::Key_Y);
        QCOMPARE(marks(15), "111");
        QTest::mouseClick(plot(), Qt::LeftButton, Qt::ShiftModifier, pointPos(15));
        QCOMPARE(marks(15), "000");  // what the click makes of Cu's: taken back everywhere
        clickPoint(5);
        QCOMPARE(marks(5), "100");
        QCOMPARE(messages(), 0u);
    }

    // A mark taken back after a run, by a click or by a redo: its whole mark, error bar
    // included, turns back at once and the count follows; an undo or redo runs the fits.
    void unmarkAfterRefit()
    {
        QGuiApplication::clipboard()->setText(
            "5\t980\t20\n10\t770\t20\n15\t700\t20\n25\t550\t20\n27\t500\t20\n");
        click("cmdPaste");
        clickPoint(10);
        click("cmdPlot");
        QCOMPARE(m_state->results().stats.nOK, 4);
        clickPoint(10);  // taken back
        QCOMPARE(text("lblRej"), "0");
        const Layer& marks = m_state->plot.pict1;
        const Shape& stroke = marks.shapes[marks.shapes.size() - 2];
        const Shape& bar = marks.shapes.back();
        QVERIFY(stroke.colour == (Rgb{0, 0, 0}) && bar.colour == (Rgb{0, 0, 0}));
        QCOMPARE(bar.kind, ShapeKind::Polyline);
        QCOMPARE(marks.pointsOf(bar)[0], (PointF{10, 750}));
        QCOMPARE(marks.pointsOf(bar)[1], (PointF{10, 790}));

        focusWindow();
        keys(Qt::CTRL | Qt::Key_Z);  // marked again, and fitted without it
        QCOMPARE(m_state->table().rejFlag[10], 1);
        QCOMPARE(text("lblRej"), "1");
        keys(Qt::CTRL | Qt::Key_Y);
        QCOMPARE(m_state->results().stats.nOK, 5);
        QCOMPARE(text("lblRej"), "0");
        QCOMPARE(status(), "Redid the mark at X = 10");
    }

    // Copy keeps the last run's fits and says the marks since are not in it; a report and
    // a saved session run the fits first, so that both describe what the screen shows.
    void pendingMarksCopyReportAndSession()
    {
        clickPoint(10);
        click("cmdCopy");
        QVERIFY(status().contains("1 mark is not applied yet"));
        QTemporaryDir dir;
        QString error;
        QVERIFY2(m_window->saveReportFile(dir.filePath("report.pdf"), &error), qPrintable(error));
        QCOMPARE(m_state->results().rejected, std::vector<int>{10});
        QVERIFY(status().endsWith("(calculated first: 1 mark applied)"));
        clickPoint(15);
        const QString file = dir.filePath(QString(120, u'x') + ".kalibrix");
        QVERIFY2(m_window->saveSessionFile(file, &error), qPrintable(error));
        QCOMPARE(m_state->results().rejected, (std::vector<int>{10, 15}));
        QCOMPARE(text("lblRej"), "2");

        // A status too long for the line is cut short; its tooltip holds all of it.
        auto* line = child<QLabel>("lblStatus");
        QVERIFY(status().contains(QChar(0x2026)));
        QCOMPARE(line->toolTip(),
                 "Saved the session to " + file + " (calculated first: 1 mark applied)");
        QVERIFY(line->fontMetrics().horizontalAdvance(status()) <= line->contentsRect().width());
        QCOMPARE(messages(), 0u);
    }

    // "Save results" runs the fits first, as the report does, and writes a workbook whole or
    // says why not; a semicolon file with decimal commas opens as the paste of its table, and
    // its refusal names the file, the line and the cell.
    void resultsWorkbookAndTableFiles()
    {
        clickPoint(10);
        QTemporaryDir dir;
        QString error;
        QVERIFY2(m_window->saveResultsFile(dir.filePath("r.xlsx"), &error), qPrintable(error));
        QCOMPARE(m_state->results().rejected, std::vector<int>{10});
        QVERIFY(status().startsWith("Saved the results to "));
        QFile book(dir.filePath("r.xlsx"));
        QVERIFY(book.open(QIODevice::ReadOnly));
        QCOMPARE(book.read(2), QByteArray("PK"));  // a ZIP container
        QVERIFY(!m_window->saveResultsFile(dir.filePath("none/r.xlsx"), &error));
        QVERIFY(error.startsWith("The results could not be saved to "));
        QVERIFY(!QFile::exists(dir.filePath("none/r.xlsx")));

        auto write = [&dir](const char* name, const QByteArray& bytes) {
            QFile f(dir.filePath(name));
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        QVERIFY(write("run.csv", "5;980,5\r\n10;770\r\n15;700\r\n25;550\r\n"));
        QVERIFY(m_window->openFile(dir.filePath("run.csv")));
        QCOMPARE(messages(), 0u);
        QCOMPARE(*m_state->table().y[5], 980.5);
        QCOMPARE(text("lblLargestX"), "25");
        QVERIFY(write("bad.csv", "5;980\n10;abc\n15;700\n"));
        QVERIFY(!m_window->openFile(dir.filePath("bad.csv")));
        const std::vector<UserMessage> refused = MessageBoxes::takeRecorded();
        QCOMPARE(refused.size(), 1u);
        QVERIFY(QString::fromStdString(refused[0].text)
                    .startsWith("bad.csv, line 2, cell 2: \"abc\" is not a number."));
        QCOMPARE(text("lblLargestX"), "25");  // the table stays
    }

    // Opening or dropping a session, and closing, ask first about unsaved work; the title
    // names the session open.
    void unsavedWorkIsAskedAbout()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("a.kalibrix");
        QString error;
        QVERIFY(m_window->saveSessionFile(file, &error));
        QVERIFY(m_window->windowTitle().startsWith("a.kalibrix[*] - KALIBRIX"));
        QVERIFY(!m_window->isWindowModified());
        click("show_poly3");
        QVERIFY(m_window->isWindowModified());
        QGuiApplication::clipboard()->setText("1\t2\n2\t3\n3\t5\n");
        click("cmdPaste");

        QVERIFY(!m_window->openFile(file));  // cancelled: the work stays
        std::vector<UserMessage> asked = MessageBoxes::takeRecorded();
        QCOMPARE(asked.size(), 1u);
        QCOMPARE(asked[0].text,
                 "The data and settings are not saved in a session. Save them "
                 "before opening a.kalibrix?");
        QCOMPARE(text("lblLargestX"), "3");
        MessageBoxes::setNextAnswer(MessageBoxes::Answer::Discard);
        QVERIFY(m_window->openFile(file));
        QCOMPARE(messages(), 1u);
        QCOMPARE(text("lblLargestX"), "27");
        QVERIFY(!child<QCheckBox>("show_poly3")->isChecked() && !m_window->isWindowModified());

        click("show_poly3");
        MessageBoxes::setNextAnswer(MessageBoxes::Answer::Save);  // saved, then opened again
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &files, Qt::LeftButton, {});
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &files, Qt::LeftButton, {});
        QCoreApplication::sendEvent(m_window.get(), &enter);
        QCoreApplication::sendEvent(m_window.get(), &drop);
        QCOMPARE(messages(), 1u);
        QVERIFY(child<QCheckBox>("show_poly3")->isChecked() && !m_window->isWindowModified());
        QVERIFY(m_window->windowTitle().startsWith("a.kalibrix[*] - KALIBRIX"));

        clickPoint(10);
        QVERIFY(m_window->isWindowModified());
        click("cmdClose");  // cancelled
        QCOMPARE(messages(), 1u);
        QVERIFY(m_window->isVisible());
        MessageBoxes::setNextAnswer(MessageBoxes::Answer::Discard);
        QVERIFY(m_window->close());
        QCOMPARE(messages(), 1u);
    }

    // The undo history keeps no more than its budget of memory: the oldest steps go first,
    // the newest always stays, and a saved state that went with them is known to be gone.
    void undoHistoryIsBoundedByMemory()
    {
        State state = *m_state;
        UndoHistory history(std::size_t{3} << 20, 100);  // three steps of a one-analyte table
        history.setClean();
        for (int n = 1; n <= 5; ++n) {
            std::vector<Analyte> one(1);
            one[0].table = demonstrationTable();
            history.push(std::make_unique<NewTableCommand>(
                state, std::move(one), false, TableSource{}, [](std::size_t, DataChange) {},
                QString("paste %1").arg(n)));
        }
        QCOMPARE(history.count(), 3u);
        QVERIFY(history.bytes() <= std::size_t{3} << 20);
        QCOMPARE(history.undoText(), "paste 5");
        while (history.canUndo())
            history.undo();
        QCOMPARE(history.redoText(), "paste 3");
        QVERIFY(!history.isClean());

        UndoHistory steps(UndoHistory::kDefaultBudget, 2);
        for (int n = 1; n <= 3; ++n)
            steps.push(std::make_unique<RestoreCommand>(
                state, 0, [](std::size_t, DataChange) {}, QString("restore %1").arg(n)));
        QCOMPARE(steps.count(), 2u);
    }

    // Over a point the status line describes it and the cursor says a click acts; a click
    // between two close points flips only the nearer one.
    void hoverAndPick()
    {
        QTest::mouseMove(plot(), pointPos(10));
        QCOMPARE(status(), "X = 10, Y = 770: in use, a click rejects it");
        QCOMPARE(plot()->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(plot(), Qt::LeftButton, {}, pointPos(10));
        QCOMPARE(status(),
                 "X = 10, Y = 770 marked for rejection: press Plot and calculate to refit");
        QTest::mouseMove(plot(), pointPos(20, 900));
        QCOMPARE(plot()->cursor().shape(), Qt::CrossCursor);
        QTest::mouseMove(plot(), pointPos(10));  // a key pressed while the mouse rests there
        QCOMPARE(status(), "X = 10, Y = 770: rejected, a click takes it back");
        keys(Qt::ControlModifier | Qt::Key_Z);
        QCOMPARE(status(), "Undid the mark at X = 10");

        QString table;
        for (int x = 1; x <= 300; ++x)  // 2.6 pixels apart
            table += QString("%1\t%2\t1.5\n").arg(x).arg(1000 + x % 2);
        QGuiApplication::clipboard()->setText(table);
        click("cmdPaste");
        QTest::mouseMove(plot(), pointPos(150));
        QCOMPARE(status(), "X = 150, Y = 1000, error 1.5: in use, a click rejects it");
        QTest::mouseClick(plot(), Qt::LeftButton, {}, pointPos(150.3, 1000.5));
        const std::vector<std::uint8_t>& flags = m_state->table().rejFlag;
        QCOMPARE(std::count(flags.begin(), flags.end(), 1), 1);
        QCOMPARE(flags[150], 1);

        // A value no fit takes: the paste says so, hovering says why, a click does nothing.
        QGuiApplication::clipboard()->setText("5\t980\n10\t-100\n15\t700\n");
        click("cmdPaste");
        QCOMPARE(status(),
                 "Pasted 2 standards, X 5 to 15, from 3 lines; 1 line left out with "
                 "Y \u2264 0 (line 2: X 10)");
        click("optScaleY_1");  // Zoom Y: -100 in view
        QTest::mouseMove(plot(), pointPos(10));
        QCOMPARE(status(), "X = 10, Y = -100: left out, Y \u2264 0 is never fitted");
        QCOMPARE(plot()->cursor().shape(), Qt::CrossCursor);
        QTest::mouseClick(plot(), Qt::LeftButton, {}, pointPos(10));
        QCOMPARE(m_state->table().rejFlag[10], 0);
        QGuiApplication::clipboard()->setText("0\t800\n5\t980\n15\t700\n");
        click("cmdPaste");
        QTest::mouseMove(plot(), pointPos(0));
        QCOMPARE(status(), "X = 0, Y = 800: left out, X 0 is never fitted");
        click("optScaleY_0");
    }

    // The band's controls: "Band of" lists the shown methods and draws that one's band; its
    // kind and the hover away from a point follow; weighting needs errors, names the first
    // standard without one and gives the MSWD; "Export uncertainties" sets the setting.
    void bandWeightAndUncertainties()
    {
        const std::size_t poly2 = *methodNamed("poly2");
        const PenColour pen = fitMethods()[poly2].pen;
        const auto bandEdges = [&] {
            const auto& shapes = m_state->plot.pict1.shapes;
            return static_cast<int>(
                       std::count_if(shapes.begin(), shapes.end(),
                                     [&](const Shape& sh) { return sh.colour == pen; })) -
                   1;
        };
        auto* bandOf = child<QComboBox>("cboBandOf");
        QCOMPARE(bandOf->currentData().toString(), "linear");
        QCOMPARE(bandEdges(), 0);
        QTest::mouseMove(plot(), pointPos(20, 900));  // the README's worked example
        QCOMPARE(status(), "X = 20: Linear regression 629.3 \u00b1 76.95 (95%, curve)");
        child<QComboBox>("cboBandKind")->setCurrentIndex(1);
        QCOMPARE(status(), "X = 20: Linear regression 629.3 \u00b1 176.1 (95%, new reading)");
        child<QComboBox>("cboBandKind")->setCurrentIndex(0);
        bandOf->setCurrentIndex(bandOf->findData("poly2"));
        QVERIFY(m_state->settings.bandMethod == "poly2");
        QCOMPARE(bandEdges(), 2);
        QVERIFY2(status().startsWith("X = 20: 2 ord. ") && status().endsWith("(95%, curve)"),
                 qPrintable(status()));
        const QString curve = status();
        child<QComboBox>("cboBandKind")->setCurrentIndex(1);
        QVERIFY(m_state->settings.uncertaintyKind == UncertaintyKind::Reading);
        QVERIFY2(status().endsWith("(95%, new reading)") && status() != curve,
                 qPrintable(status()));
        child<QCheckBox>("show_poly2")->click();  // not shown: no band
        QCOMPARE(bandOf->findData("poly2"), -1);
        QVERIFY(m_state->settings.bandMethod == "poly2");
        QVERIFY(!m_state->results().fit(poly2));
        QTest::mouseMove(plot(), pointPos(21, 900));
        QCOMPARE(status(), "X = 21");

        auto* weight = child<QCheckBox>("chkWeight");
        QVERIFY(!weight->isEnabled());  // the demonstration table has no errors
        QGuiApplication::clipboard()->setText(
            "5\t980\t2\n10\t770\t3\n15\t700\n20\t650\t2\n"
            "27\t600\t2\n");
        click("cmdPaste");
        QVERIFY(weight->isEnabled());
        weight->click();
        QVERIFY(m_state->settings.weightByErrors);
        QVERIFY(status().contains("Not weighted: the standard at X = 15 has no error above 0"));
        const std::size_t linear = *methodNamed("linear");
        QVERIFY(!m_state->results().fit(linear)->weighted);
        QGuiApplication::clipboard()->setText(
            "5\t980\t2\n10\t770\t3\n15\t700\t1\n"
            "20\t650\t2\n27\t600\t2\n");
        click("cmdPaste");
        QVERIFY(m_state->results().fit(linear)->weighted);
        QVERIFY(!status().contains("Not weighted"));
        const QString looTip =
            child(qPrintable(QString("loo_%1").arg(fitMethods()[linear].name)))->toolTip();
        QVERIFY2(looTip.contains(QRegularExpression("MSWD [0-9.]+ \\([0-9.]+ to [0-9.]+ "
                                                    "expected from scatter alone\\)")),
                 qPrintable(looTip));

        child<QCheckBox>("chkExportUncertainties")->click();
        QVERIFY(m_state->settings.exportUncertainties);
        QCOMPARE(messages(), 0u);
    }

    // Sessions saved and opened again give the same bytes and the same export as kalibrix-cli
    // given the session; a damaged session is refused and the work stays; a table file
    // dropped on the window is taken like a paste.
    void sessionsReportAndDrop()
    {
        QTemporaryDir dir;
        QGuiApplication::clipboard()->setText(
            "Pos\tCu\tZn\tFe\n1\t100\t50\n2\t110\t\n3\t120\t60\n"
            "4\t130\t70\n6\t150\t90\n");
        click("cmdPaste");
        keys(Qt::ControlModifier | Qt::Key_C);  // Fe has no value: its export is left out
        QCOMPARE(status(), "Copied 10 lines with 3 methods of 2 analytes to the clipboard");
        clickPoint(3);
        click("show_poly3");
        QString error;
        const QString first = dir.filePath("a.kalibrix"), second = dir.filePath("b.kalibrix");
        QVERIFY2(m_window->saveSessionFile(first, &error), qPrintable(error));
        auto* residuals = child<QCheckBox>("chkResiduals");
        residuals->click();  // after the save: the session opened shows the data again
        QVERIFY(m_state->settings.plotResiduals);
        const std::string exported =
            exportText(*m_state, NumberFormat::forExport(QLocale::system()));
        QGuiApplication::clipboard()->setText("1\t2\n2\t3\n3\t5\n");
        click("cmdPaste");
        MessageBoxes::setNextAnswer(MessageBoxes::Answer::Discard);  // the paste is not kept
        QVERIFY(m_window->openFile(first));
        QCOMPARE(messages(), 1u);
        QCOMPARE(m_state->analytes[0].table.rejFlag[3], 1);
        QVERIFY(child<QCheckBox>("show_poly3")->isChecked());
        QVERIFY(!residuals->isChecked() && !m_state->settings.plotResiduals);
        QVERIFY(m_window->saveSessionFile(second, &error));
        QFile a(first), b(second);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
        QProcess cli;
        cli.start(KALIBRIX_BIN_DIR "/kalibrix-cli", {"--raw", "--session", first});
        QVERIFY(cli.waitForFinished());
        QCOMPARE(cli.readAllStandardOutput().toStdString(), exported);

        QFile damaged(dir.filePath("damaged.kalibrix"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("{\"format\": \"KALIBRIX session\", \"formatV");  // cut short
        damaged.close();
        QVERIFY(!m_window->openFile(damaged.fileName()));
        const std::vector<UserMessage> shown = MessageBoxes::takeRecorded();
        QVERIFY(shown.size() == 1);
        QVERIFY2(shown[0].text.find("damaged.kalibrix cannot be opened: ") != std::string::npos,
                 shown[0].text.c_str());
        QCOMPARE(text("lblStandardCount"), "5");

        QFile table(dir.filePath("standards.txt"));
        QVERIFY(table.open(QIODevice::WriteOnly) && table.write("5\t980\n10\t770\n15\t700\n") > 0);
        table.close();
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(table.fileName())});
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &files, Qt::LeftButton, {});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &files, Qt::LeftButton, {});
        QCoreApplication::sendEvent(m_window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QCoreApplication::sendEvent(m_window.get(), &drop);
        QCOMPARE(text("lblStandardCount"), "3");
        QVERIFY(status().startsWith("Pasted 3 standards, X 5 to 15, from 3 lines"));
        QCOMPARE(messages(), 0u);
    }

    // A gross outlier in a smooth drift gets a ring and a tooltip that says why.
    void suggestedOutlierIsRingedAndExplained()
    {
        QString table;
        for (int x = 1; x <= 20; ++x)
            table += QString("%1\t%2\r\n").arg(x).arg(x == 12 ? 1300 : 1000 + 4 * x);
        QGuiApplication::clipboard()->setText(table);
        click("cmdPaste");
        QCOMPARE(m_state->results().suggested, std::vector<int>{12});
        const auto& shapes = m_state->plot.pict1.shapes;
        QCOMPARE(shapes.back().kind, ShapeKind::Ellipse);
        QCOMPARE(shapes.back().colour, (Rgb{139, 69, 19}));
        const PlotDisplay p = plot()->shownPlot();
        const UserScale& sc = p.pict1Scale;
        const QPoint at(qRound((p.pict1Rect.left - p.pict2Rect.left +
                                (12 - sc.left) / sc.width * p.pict1Rect.width) /
                               15),
                        qRound((p.pict1Rect.top - p.pict2Rect.top +
                                (1300 - sc.top) / sc.height * p.pict1Rect.height) /
                               15));
        QHelpEvent hover(QEvent::ToolTip, at, plot()->mapToGlobal(at));
        QCoreApplication::sendEvent(plot(), &hover);
        QVERIFY(QToolTip::text().startsWith("X = 12 is suggested for rejection"));
    }

    void enlargingGivesThePlotTheRoom()
    {
        const QRect paste = child("cmdPaste")->geometry();
        const QRect rejectionScaling = child("frameRejectionScaling")->geometry();
        const QRect close = child("cmdClose")->geometry();
        m_window->resize(901 + 186 + 100, 673 + 50);
        QCOMPARE(child("lblParameters")->geometry(), QRect(902 + 100, 8, 177, 609 + 50));
        QCOMPARE(plot()->geometry(), QRect(72, 8, 777 + 100, 433 + 50));
        QCOMPARE(child("cmdPaste")->geometry(), paste);
        QCOMPARE(child("frameRejectionScaling")->geometry(), rejectionScaling.translated(0, 50));
        QCOMPARE(child("cmdClose")->geometry(), close.translated(100, 50));

        // The plot area takes the room; the marks stay square.
        const PlotDisplay p = plot()->shownPlot();
        QCOMPARE(p.pict1Rect.width, 10575.0 + 1500);
        const double markHeight = p.markDY / -p.pict1Scale.height * p.pict1Rect.height;
        const double markWidth = p.markDX / p.pict1Scale.width * p.pict1Rect.width;
        QVERIFY(std::abs(markHeight / markWidth - 1) < 1e-5);
        QTemporaryDir dir;
        QVERIFY(m_window->savePlotFile(dir.filePath("plot.png"), nullptr));
        QCOMPARE(QImage(dir.filePath("plot.png")).size(), plot()->size());

        // Shorter than designed: the plot gives up height, the controls below move up and
        // those left of it close ranks without overlapping.
        m_window->resize(901, 673 - 80);
        QCOMPARE(plot()->geometry(), QRect(72, 8, 777, 433 - 80));
        QCOMPARE(child("frameRejectionScaling")->geometry(), rejectionScaling.translated(0, -80));
        const char* column[] = {"cmdPaste",    "cboAnalyte",  "cmdPlot",
                                "frameYScale", "frameXScale", "cmdRestore"};
        for (std::size_t i = 1; i < std::size(column); ++i)
            QVERIFY(child(column[i])->geometry().top() > child(column[i - 1])->geometry().bottom());
        QVERIFY(child("cmdRestore")->geometry().bottom() <
                child("frameRejectionScaling")->geometry().top());
    }

    // Tables of 1 to 12 methods, made from the method table repeated: no row of the results
    // grid (its caption or degree box, its cells and its boxes) reaches into the next, and
    // all stand below the headings and within the designed area, which the method table's
    // rows leave at its designed height.
    void gridRowsStayApartWithinTheArea()
    {
        const std::span<const FitMethod> table = fitMethods();
        for (std::size_t n = 1; n <= 12; ++n) {
            std::vector<FitMethod> methods;
            for (std::size_t m = 0; m < n; ++m)
                methods.push_back(table[m % table.size()]);
            const std::vector<GridRow> rows = gridRows(methods);
            QCOMPARE(rows.size(), n);
            auto bottom = [](const GridRow& row) {
                return std::max(row.bottom(), row.top + kGridBoxSize);
            };
            QVERIFY(rows.front().caption.top >= kGridHeadingTop + kGridRowHeight);
            for (std::size_t r = 1; r < n; ++r)
                QVERIFY2(bottom(rows[r - 1]) <= rows[r].caption.top,
                         qPrintable(QString("row %1 of %2").arg(r).arg(n)));
            QVERIFY(bottom(rows.back()) < designedHeightFor(rows));
            if (n <= table.size())
                QCOMPARE(designedHeightFor(rows), kDesignedClientHeight);
        }
    }

    // The window opens within the screen's free area; every control can be reached (run on
    // a 1366 x 768 screen at 125 % as well).
    void fitsTheScreen()
    {
        const QRect room = m_window->screen()->availableGeometry();
        QVERIFY(room.contains(m_window->frameGeometry()));
        auto* scroll = m_window->findChild<QScrollArea*>();
        for (QWidget* w : child("controls")->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w->isHidden() || w->objectName() == "lblParameters")  // beyond the designed width
                continue;
            scroll->ensureWidgetVisible(w, 0, 0);
            const QRect shown(w->mapTo(m_window.get(), QPoint(0, 0)), w->size());
            QVERIFY2(scroll->geometry().contains(shown), qPrintable(w->objectName()));
        }
        QVERIFY(child("lblStatus")->isVisible());

        // A window manager's frame, added after the window was shown: the frame fits as well,
        // and the status line stays on the screen below the controls.
        m_window.reset();
        auto framed = std::make_unique<FramedWindow>(*m_state);
        FramedWindow* window = framed.get();
        m_window = std::move(framed);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->frame = QMargins(8, 31, 8, 8);
        QMoveEvent moved(window->pos(), window->pos());
        QCoreApplication::sendEvent(window, &moved);
        QVERIFY(room.contains(window->geometry().marginsAdded(window->frame)));
        const QWidget* line = child("lblStatus");
        QVERIFY(room.contains(QRect(line->mapToGlobal(QPoint(0, 0)), line->size())));
        QVERIFY(line->geometry().top() >= m_window->findChild<QScrollArea*>()->geometry().bottom());
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
