#pragma once

#include "app/state.h"
#include "fit/number_format.h"
#include "regwin/controls.h"
#include "regwin/display_list.h"
#include "regwin/qt/window_layout.h"

#include <QWidget>

#include <array>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kalibrix {

class ChoiceBox;
class PlotWidget;

// frm_Reg, the program's window: binds the controls to the state and runs A_PLOT after
// every change of data or option. Every control is named as in the window's design
// (cmdPaste, chkPoly_2, lblDiffPoly_2, optScale_0, ...), so it can be found by name.
class RegWindow : public QWidget {
    Q_OBJECT
public:
    explicit RegWindow(State& state, QWidget* parent = nullptr);

    // The controls' values and the label captions of the last run.
    const RegControls& controls() const { return m_controls; }

    // Writes the plot as the window shows it to `file` (.png or .svg).
    bool savePlotFile(const QString& file, QString* error) const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Placed {
        QWidget* widget;
        TwipsRect designed;
        Growth growth;
    };

    void buildControls();
    void place(QWidget* widget, const TwipsRect& designed, Growth growth = Growth::Fixed);
    void layoutControls();
    void connectHandlers();

    void Form_Activate();
    void A_PLOT();
    void readControls();
    void showLabels();

    void cmdPaste_Click();
    void cmdRestore_Click();
    void cmdCopy_Click();
    void cmdAbout_Click();
    void cmdClose_Click();
    void optAllData_Click(int index);
    void comboProb_Click();
    void savePlotAs();

    State& m_state;
    RegControls m_controls;
    const NumberFormat m_fmt;
    bool m_activated = false;
    std::vector<Placed> m_placed;

    PlotWidget* m_plot = nullptr;
    QPushButton *cmdPaste = nullptr, *cmdPlot = nullptr, *cmdRestore = nullptr,
                *cmdAbout = nullptr, *cmdCopy = nullptr, *cmdClose = nullptr;
    std::array<QRadioButton*, 2> optScale{}, optScaleX{}, optAllData{};
    QCheckBox *chkConf = nullptr, *Check1 = nullptr, *chkLog = nullptr, *chkZigZag = nullptr;
    std::array<QCheckBox*, kPolySlots + 1> chkPoly{};  // index 1..5
    std::array<QCheckBox*, kExportMethods> chkEX{};
    ChoiceBox *comboProb = nullptr, *ComboBox1 = nullptr;

    QLabel *lblNData = nullptr, *lblnDataOK = nullptr, *lblRej = nullptr;
    QLabel *lbl_LRa = nullptr, *lbl_LRb = nullptr, *lbl_LRr = nullptr, *lblDiff = nullptr,
           *lblDiffProc = nullptr;
    QLabel *lbl_LoRa = nullptr, *lbl_LoRb = nullptr, *lbl_LoRr = nullptr,
           *lblDiffLog = nullptr, *lblDiffProcLog = nullptr;
    std::array<QLabel*, kPolySlots + 1> lblDiffPoly{}, lblDiffProcPoly{};  // index 1..5
    QLabel* Label2 = nullptr;
};

}  // namespace kalibrix
