// The window under the worst clipboard texts: each is refused, and after every one a pass
// over all controls still shows the last good table, its figures and its picture.
#include "app/state.h"
#include "regwin/qt/message_boxes.h"
#include "regwin/qt/plot_widget.h"
#include "regwin/qt/reg_window.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "find_control.h"

#include <memory>
#include <optional>

using namespace kalibrix;

class RobustnessTest : public QObject {
    Q_OBJECT

private:
    std::optional<State> m_state;
    std::unique_ptr<RegWindow> m_window;

    template <class T = QWidget>
    T* child(const char* name) const
    {
        return findControl<T>(*m_window, name);
    }
    void click(const char* button) const { child<QPushButton>(button)->click(); }

    QMap<QString, QString> captions() const
    {
        QMap<QString, QString> shown;
        for (const QLabel* l : m_window->findChildren<QLabel*>())
            if (!l->objectName().isEmpty())
                shown.insert(l->objectName(), l->text());
        return shown;
    }

    void checkCaptionsFinite() const
    {
        for (const QString& text : captions())
            QVERIFY2(!text.contains("nan", Qt::CaseInsensitive) &&
                         !text.contains("inf", Qt::CaseInsensitive),
                     qPrintable(text));
    }

    // Where the plot widget shows the data point at X.
    QPoint pixelOf(int x) const
    {
        const PlotDisplay shown = child<PlotWidget>("pict2")->shownPlot();
        const UserScale& s = shown.pict1Scale;
        const double left = (shown.pict1Rect.left - shown.pict2Rect.left) / 15;
        const double top = (shown.pict1Rect.top - shown.pict2Rect.top) / 15;
        return QPoint(qRound(left + (x - s.left) / s.width * shown.pict1Rect.width / 15),
                      qRound(top + (*m_state->table.y[x] - s.top) / s.height *
                                       shown.pict1Rect.height / 15));
    }

    // Every control once away from its setting and back, checking the captions each time.
    void clickThroughEveryControl()
    {
        for (QCheckBox* box : m_window->findChildren<QCheckBox*>()) {
            const Qt::CheckState was = box->checkState();
            box->click();
            checkCaptionsFinite();
            box->setCheckState(Qt::PartiallyChecked);
            checkCaptionsFinite();
            box->setCheckState(was);
        }
        for (const char* pair : {"optScale", "optScaleX", "optAllData"}) {
            auto* first = child<QRadioButton>(qPrintable(QString("%1_0").arg(pair)));
            auto* second = child<QRadioButton>(qPrintable(QString("%1_1").arg(pair)));
            QRadioButton* was = first->isChecked() ? first : second;
            (was == first ? second : first)->click();
            checkCaptionsFinite();
            was->click();
        }
        for (const char* name : {"ComboBox1", "comboProb"}) {
            auto* combo = child<QComboBox>(name);
            const int was = combo->currentIndex();
            for (int i = 0; i < combo->count(); ++i) {
                combo->setCurrentIndex(i);
                checkCaptionsFinite();
            }
            combo->setCurrentIndex(was);
        }
        QTest::mouseClick(child<PlotWidget>("pict2"), Qt::LeftButton, {}, pixelOf(7));
        click("cmdPlot");
        QCOMPARE(child<QLabel>("lblRej")->text(), "1");
        click("cmdRestore");
        click("cmdAbout");
        click("cmdCopy");
        QCOMPARE(QGuiApplication::clipboard()->text().count('\r'), 4 + m_state->table.nData);
        MessageBoxes::takeRecorded();
    }

private slots:
    void initTestCase()
    {
        MessageBoxes::startRecording();
        StartUp started = Main(KALIBRIX_BIN_DIR);
        QVERIFY2(started.state, started.error.c_str());
        m_state = std::move(started.state);
        m_window = std::make_unique<RegWindow>(*m_state);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void worstTextsLeaveTheLastGoodTable()
    {
        QString good;
        for (int x = 1; x <= 30; ++x)
            good += QString("%1\t%2\t0.5\r\n").arg(x).arg(100 + 3 * x + (x % 4));
        QGuiApplication::clipboard()->setText(good);
        click("cmdPaste");
        QVERIFY(MessageBoxes::takeRecorded().empty());
        QCOMPARE(m_state->table.nData, 30);
        const DataTable table = m_state->table;
        const QMap<QString, QString> shown = captions();

        QString binary;
        for (int c = 0; c < 4096; ++c)
            binary += QChar(char16_t((c * 7919) % 0xd800));
        const QString worst[] = {
            "",
            binary,
            QString("1\t2\n2\t3\n3\t4") + QChar(0) + "\n",
            QString("1\t2\n").repeated((10 << 20) / 4),
            QString("1\t2\n").repeated(6001),
            "1" + QString("\t1").repeated(100) + "\n2\t3\n3\t4\n",
            "X\tY\n1\t2\n2\t3\n3\t4\n",
            "1\tnan\n2\t1e999\n3\t-inf\n",
            "1\t2\n30001\t3\n3\t4\n",
            "-1\t2\n2\t3\n3\t4\n",
        };
        for (const QString& text : worst) {
            QGuiApplication::clipboard()->setText(text);
            click("cmdPaste");
            QCOMPARE(MessageBoxes::takeRecorded().size(), 1u);
            clickThroughEveryControl();
            QCOMPARE(captions(), shown);
            QCOMPARE(m_state->table.y, table.y);
            QCOMPARE(m_state->table.yErr, table.yErr);
            QCOMPARE(m_state->table.rejFlag, table.rejFlag);
            QCOMPARE(m_state->table.nCol, 3);
        }
    }
};

QTEST_MAIN(RobustnessTest)
#include "robustness_test.moc"
