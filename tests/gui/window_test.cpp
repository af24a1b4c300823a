// The regression window on the offscreen platform, one slot per handler.
#include "app/state.h"
#include "regwin/export.h"
#include "regwin/qt/message_boxes.h"
#include "regwin/qt/plot_widget.h"
#include "regwin/qt/reg_window.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>
#include <optional>

using namespace kalibrix;

namespace {

const Rgb kRed{255, 0, 0};
const UserMessage kTooFewData{"Too few data for polynomial regression of the requested degree.",
                              MessageIcon::None, "KALIBRIX"};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private:
    std::optional<State> m_state;
    std::unique_ptr<RegWindow> m_window;

    template <class T = QWidget>
    T* child(const char* name) const
    {
        T* w = m_window->findChild<T*>(QString::fromUtf8(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QString text(const char* label) const { return child<QLabel>(label)->text(); }
    void click(const char* button) const { child<QPushButton>(button)->click(); }
    PlotWidget* plot() const { return child<PlotWidget>("pict2"); }

    // The pixel of the data point at X in the plot widget, by the painter's mapping.
    QPoint pixelOf(int x) const
    {
        const PlotDisplay shown = plot()->shownPlot();
        const UserScale& s = shown.pict1Scale;
        const double left = (shown.pict1Rect.left - shown.pict2Rect.left) / 15;
        const double top = (shown.pict1Rect.top - shown.pict2Rect.top) / 15;
        return QPoint(qRound(left + (x - s.left) / s.width * shown.pict1Rect.width / 15),
                      qRound(top + (*m_state->table.y[x] - s.top) / s.height *
                                       shown.pict1Rect.height / 15));
    }
    int redMarks() const
    {
        int n = 0;
        for (const Shape& s : m_state->plot.pict1.shapes)
            n += s.kind == ShapeKind::Rectangle && s.colour == kRed ? 1 : 0;
        return n;
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

    void startUpShowsTheDemonstrationFits()
    {
        QCOMPARE(m_window->windowTitle(),
                 "KALIBRIX - calculates interpolated values for samples between standard "
                 "measurements");
        QCOMPARE(m_window->size(), QSize(855, 653));
        QCOMPARE(text("lbl_LRb"), "-19.63");
        QCOMPARE(text("lbl_LRa"), "1022");
        QCOMPARE(text("lbl_LRr"), "0.95");
        QCOMPARE(text("lblDiff"), "33.24");
        QCOMPARE(text("lblDiffProc"), "4.38");
        QCOMPARE(text("lbl_LoRa"), "1416");
        QCOMPARE(text("lbl_LoRb"), "-272.6");
        QCOMPARE(text("lbl_LoRr"), "0.99");
        QCOMPARE(text("lblDiffLog"), "14.44");
        QCOMPARE(text("lblDiffProcLog"), "2.28");
        QCOMPARE(text("lblNData"), "27");
        QCOMPARE(text("lblnDataOK"), "5");
        QCOMPARE(text("lblRej"), "0");
        QVERIFY(!text("lblDiffPoly_2").isEmpty());
        QVERIFY(text("lblDiffPoly_3").isEmpty());
        QCOMPARE(child<QComboBox>("ComboBox1")->currentText(), "6");
        QCOMPARE(child<QComboBox>("ComboBox1")->count(), 24);
        QCOMPARE(child<QComboBox>("comboProb")->currentText(), "0.025  95%");
        QCOMPARE(m_state->probCol, 3);
        const auto* linearShown = child<QCheckBox>("Check1");
        QVERIFY(linearShown->isChecked() && !linearShown->isEnabled());
        QCOMPARE(child("cmdCopy")->geometry(), QRect(776, 512, 73, 73));
        QCOMPARE(plot()->geometry(), QRect(72, 8, 777, 433));
        QVERIFY(child("Label2")->x() >= m_window->width());
        QVERIFY(MessageBoxes::takeRecorded().empty());
    }

    void activationSetsUpOnce()
    {
        auto* prob = child<QComboBox>("comboProb");
        prob->setCurrentIndex(5);
        QCOMPARE(m_state->probCol, 6);
        const double t = m_state->results.band->tValue;
        QEvent leave(QEvent::WindowDeactivate);
        QEvent back(QEvent::WindowActivate);
        QCoreApplication::sendEvent(m_window.get(), &leave);
        QCoreApplication::sendEvent(m_window.get(), &back);
        m_window->hide();
        m_window->show();
        QCOMPARE(prob->currentText(), "0.001  99.8");
        QCOMPARE(m_state->probCol, 6);
        QCOMPARE(m_state->results.band->tValue, t);
        QCOMPARE(child<QComboBox>("ComboBox1")->count(), 24);
    }

    void pict1_MouseDown()
    {
        const QPoint top = pixelOf(5);
        QTest::mouseClick(plot(), Qt::RightButton, {}, top);
        QTest::mouseClick(plot(), Qt::MiddleButton, {}, top);
        QTest::mouseClick(plot(), Qt::LeftButton, {}, pixelOf(10) + QPoint(0, 30));
        QCOMPARE(m_state->table.rejFlag[5], 0);
        QCOMPARE(redMarks(), 0);

        QTest::mouseClick(plot(), Qt::LeftButton, {}, top);
        QCOMPARE(m_state->table.rejFlag[5], 1);
        QCOMPARE(redMarks(), 1);
        QCOMPARE(text("lblRej"), "0");  // the fits follow at the next run
        click("cmdPlot");
        QCOMPARE(text("lblRej"), "1");
        QVERIFY(text("lbl_LRb") != "-19.63");

        // A click on a rejected point takes it back; in a larger window too.
        m_window->resize(1100, 760);
        QTest::mouseClick(plot(), Qt::LeftButton, {}, pixelOf(5));
        QCOMPARE(m_state->table.rejFlag[5], 0);
        click("cmdPlot");
        QCOMPARE(text("lblRej"), "0");
    }

    void cmdRestore_Click()
    {
        QTest::mouseClick(plot(), Qt::LeftButton, {}, pixelOf(5));
        QTest::mouseClick(plot(), Qt::LeftButton, {}, pixelOf(27));
        click("cmdPlot");
        QCOMPARE(text("lblRej"), "2");
        click("cmdRestore");
        QCOMPARE(text("lblRej"), "0");
        QCOMPARE(text("lbl_LRb"), "-19.63");
        QCOMPARE(redMarks(), 0);
    }

    void optAllData_Click()
    {
        QTest::mouseClick(plot(), Qt::LeftButton, {}, pixelOf(5));  // the highest point
        click("cmdPlot");
        const double allTop = m_state->plot.pict1Scale.top;
        child<QRadioButton>("optAllData_1")->click();
        QVERIFY(!m_state->allData);
        QVERIFY(m_state->plot.pict1Scale.top < allTop);
        child<QRadioButton>("optAllData_0")->click();
        QCOMPARE(m_state->plot.pict1Scale.top, allTop);
    }

    void optionsAndCheckBoxesReplot()
    {
        const UserScale full = m_state->plot.pict1Scale;
        child<QRadioButton>("optScale_1")->click();
        QVERIFY(m_state->plot.pict1Scale.top + m_state->plot.pict1Scale.height > 0);
        child<QRadioButton>("optScaleX_1")->click();
        QVERIFY(m_state->plot.pict1Scale.left > full.left);
        child<QRadioButton>("optScale_0")->click();
        child<QRadioButton>("optScaleX_0")->click();
        QCOMPARE(m_state->plot.pict1Scale.left, full.left);

        auto* log = child<QCheckBox>("chkLog");
        log->click();
        QVERIFY(text("lbl_LoRa").isEmpty() && text("lblDiffProcLog").isEmpty());
        log->setCheckState(Qt::PartiallyChecked);  // grey is not ticked
        QVERIFY(text("lbl_LoRa").isEmpty());
        log->setCheckState(Qt::Checked);
        QCOMPARE(text("lbl_LoRa"), "1416");

        child<QCheckBox>("chkPoly_4")->click();
        QVERIFY(!text("lblDiffPoly_4").isEmpty() && !text("lblDiffProcPoly_4").isEmpty());
        child<QCheckBox>("chkZigZag")->click();
        QVERIFY(!m_state->results.zigzag);
        const size_t withBand = m_state->plot.pict1.shapes.size();
        child<QCheckBox>("chkConf")->click();
        QCOMPARE(m_state->plot.pict1.shapes.size(), withBand - 2);
        QVERIFY(MessageBoxes::takeRecorded().empty());
    }

    void comboBoxes()
    {
        // Degrees 6 and up are too many for five points: every run says so once.
        auto* degree = child<QComboBox>("ComboBox1");
        child<QCheckBox>("chkPoly_1")->click();
        QCOMPARE(MessageBoxes::takeRecorded(), std::vector<UserMessage>{kTooFewData});

        degree->setCurrentIndex(10);
        QCOMPARE(MessageBoxes::takeRecorded().size(), 1u);
        degree->showPopup();  // the user chooses the next item
        QTest::keyClick(degree->view(), Qt::Key_Down);
        QTest::keyClick(degree->view(), Qt::Key_Return);
        QCOMPARE(degree->currentText(), "13");
        QCOMPARE(MessageBoxes::takeRecorded().size(), 1u);
        degree->showPopup();  // and the same item again
        QTest::keyClick(degree->view(), Qt::Key_Return);
        QCOMPARE(MessageBoxes::takeRecorded().size(), 1u);

        degree->lineEdit()->selectAll();
        QTest::keyClicks(degree->lineEdit(), "3");  // typing runs nothing
        QVERIFY(MessageBoxes::takeRecorded().empty());
        QVERIFY(text("lblDiffPoly_1").isEmpty());
        click("cmdPlot");  // the next run reads the typed degree
        QVERIFY(MessageBoxes::takeRecorded().empty());
        child<QCheckBox>("chkPoly_3")->click();
        QVERIFY(!text("lblDiffPoly_1").isEmpty());
        QCOMPARE(text("lblDiffPoly_1"), text("lblDiffPoly_3"));

        auto* prob = child<QComboBox>("comboProb");
        const double t95 = m_state->results.band->tValue;
        prob->lineEdit()->selectAll();
        QTest::keyClicks(prob->lineEdit(), "0.1");
        QCOMPARE(m_state->probCol, 3);
        prob->setCurrentIndex(0);
        QCOMPARE(m_state->probCol, 1);
        QVERIFY(m_state->results.band->tValue < t95);
    }

    void cmdPaste_Click()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText("1\t100\r\n2\t110\r\n4\t135\r\n");
        click("cmdPaste");
        QVERIFY(MessageBoxes::takeRecorded().empty());
        QCOMPARE(m_state->table.nData, 4);
        QCOMPARE(text("lblNData"), "4");
        QCOMPARE(text("lblnDataOK"), "3");

        const std::pair<QString, const char*> refused[] = {
            {"X\tY\r\n1\t100\r\n2\t110\r\n",
             "Error occurred while trying paste data from the clipboard. Please check the format "
             "of the copied table."},
            {"", "The Clipboard is empty."}};
        for (const auto& [pasted, message] : refused) {
            clipboard->setText(pasted);
            click("cmdPaste");
            const UserMessage expected{message, MessageIcon::Exclamation, ""};
            QCOMPARE(MessageBoxes::takeRecorded(), std::vector<UserMessage>{expected});
            QCOMPARE(m_state->table.nData, 4);
            QCOMPARE(text("lblNData"), "4");
        }

        clipboard->setText("1\t50\r\n2\t60\r\n3\t70\r\n5\t90\r\n");
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window.get(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_state->table.nData, 5);
    }

    void cmdCopy_Click()
    {
        QTest::mouseClick(plot(), Qt::LeftButton, {}, pixelOf(5));  // not yet replotted
        click("cmdCopy");
        const QString copied = QGuiApplication::clipboard()->text();
        const QStringList lines = copied.split('\r');
        QCOMPARE(lines.first(), "* * *  KALIBRIX  -  Export of interpolated data");
        QCOMPARE(lines.size(), 4 + 27 + 1);  // title, summary, empty, titles, X = 1..27, end
        QVERIFY(lines.last().isEmpty());
        QVERIFY(!copied.contains('\n'));
        QCOMPARE(copied.toStdString(), exportText(*m_state, m_window->controls(),
                                                  NumberFormat::fromLocale(QLocale::system())));
        QCOMPARE(text("lblRej"), "0");  // copying does not replot
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void cmdAbout_Click()
    {
        click("cmdAbout");
        const std::vector<UserMessage> shown = MessageBoxes::takeRecorded();
        QCOMPARE(shown.size(), 1u);
        QCOMPARE(shown[0].title, "KALIBRIX");
        QCOMPARE(shown[0].icon, MessageIcon::Exclamation);
        const QStringList lines = QString::fromStdString(shown[0].text).split('\n');
        QCOMPARE(lines.size(), 10);
        QVERIFY(lines[0].startsWith("KALIBRIX is a Windows program"));
        for (int empty : {1, 4, 6, 8})
            QVERIFY(lines[empty].isEmpty());
        QVERIFY(lines[2].startsWith("Input:") && lines[3].startsWith("First column:"));
        QCOMPARE(lines[9], "Output: copy to clipboard.");
    }

    void enlargingGivesThePlotTheRoom()
    {
        const QRect paste = child("cmdPaste")->geometry();
        const QRect frame3 = child("Frame3")->geometry();
        const QRect close = child("cmdClose")->geometry();
        m_window->resize(855 + 186 + 100, 653 + 50);
        QCOMPARE(child("Label2")->geometry(), QRect(856 + 100, 8, 177, 609 + 50));
        QCOMPARE(plot()->geometry(), QRect(72, 8, 777 + 100, 433 + 50));
        QCOMPARE(child("cmdPaste")->geometry(), paste);
        QCOMPARE(child("Frame3")->geometry(), frame3.translated(0, 50));
        QCOMPARE(child("cmdClose")->geometry(), close.translated(100, 50));
        QCOMPARE(child("lbl_LRa")->y(), 464 + 50);

        // Margins keep their size; the marks stay square.
        const PlotDisplay shown = plot()->shownPlot();
        QCOMPARE(shown.pict1Rect.width, 10575.0 + 1500);
        QCOMPARE(shown.plotLeft, m_state->plot.plotLeft);
        const double markHeight = shown.markDY / -shown.pict1Scale.height * shown.pict1Rect.height;
        const double markWidth = shown.markDX / shown.pict1Scale.width * shown.pict1Rect.width;
        QVERIFY(std::abs(markHeight / markWidth - 1) < 1e-5);

        QTemporaryDir dir;
        QString error;
        QVERIFY(m_window->savePlotFile(dir.filePath("plot.png"), &error));
        QCOMPARE(QImage(dir.filePath("plot.png")).size(), plot()->size());
        QVERIFY(!m_window->savePlotFile(dir.filePath("plot.bmp"), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
