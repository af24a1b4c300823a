#pragma once

#include "run/display_list.h"
#include "run/number_format.h"
#include "window/data_commands.h"
#include "run/paste_table.h"
#include "window/window_layout.h"
#include "run/state.h"

#include <QMargins>
#include <QWidget>

#include <array>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QShortcut;

namespace kalibrix {

class AnalytesPanel;
class ChoiceBox;
class FittingLabel;
class PlotWidget;
class RunPanel;

// RegWindow, the program's window: writes every change of a control into the settings of the
// state and runs plotAndCalculate after every change of data or option. Every control is named as in
// the window's design (cmdPaste, chkPoly_2, lblDiffPoly_2, optScale_0, ...), so it can be
// found by name; the results grid has one row per fit method of the method table.
class RegWindow : public QWidget {
    Q_OBJECT
public:
    explicit RegWindow(State& state, QWidget* parent = nullptr);

    // Writes the plot as the window shows it to `file` (.png, .svg or .pdf), at the size it
    // has on screen times the screen's pixel ratio.
    bool savePlotFile(const QString& file, QString* error) const;
    // Saves the session (table, rejections, settings) to `file`.
    bool saveSessionFile(const QString& file, QString* error);
    // Writes the PDF report of the last run to `file`.
    bool saveReportFile(const QString& file, QString* error);
    // Opens a session file, or a table file as a paste would take it; a file that is neither
    // is refused with a message box and the current work stays.
    bool openFile(const QString& file);

protected:
    // The frame the window manager draws around the window, as far as it is known yet: none
    // before the window manager has added it, which may be after the window is shown.
    virtual QMargins windowFrame() const;

    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Placed {
        QWidget* widget;
        TwipsRect designed;
        Growth growth;
    };
    // The controls of one method's row in the results grid.
    struct MethodRow {
        std::array<FittingLabel*, kResultCells> cells{};  // by ResultCell; nullptr: no cell
        FittingLabel* loo = nullptr;                      // the leave-one-out per cent
        QCheckBox* show = nullptr;
        QCheckBox* exported = nullptr;
    };

    void buildControls();
    void buildResultsGrid();
    void buildMethodRow(std::size_t m, double top, const QColor& colour);
    void buildDegreeBox(const TwipsRect& at, const QColor& colour);
    void setToolTips();
    void place(QWidget* widget, const TwipsRect& designed, Growth growth = Growth::Fixed);
    void layoutControls();
    void fitToScreen();
    void refreshTitle();
    bool unsavedWork() const;
    bool workMayGo(const QString& before);
    bool saveWork();
    void push(DataCommand* command);
    void showRejectedCount();
    void connectHandlers();

    void setUpOnFirstActivation();
    void plotAndCalculate();
    void showCaptions();
    void showStatus(std::string message);
    void showHover();
    void showBandChoice();
    void refreshStatus();

    std::string shownName() const;
    void showAnalyteChoice();
    void stepAnalyte(int step);
    void pasteFromClipboard();
    DataChanged dataChanged();
    void undo();
    void redo();
    void restoreEveryStandard();
    void copyResults();
    void showAbout();
    void closeFromButton();
    void savePlotAs();
    void saveSessionAs();
    bool saveSessionChosen();
    void openSession();
    void reportAs();
    void showSettings();
    void takeTable(PastedTable table, TableSource source);
    void showRunPanel();
    void buildAnalyteControls();
    void connectAnalyteControls();
    void showAnalytesPanel();
    int panelsHeight() const;
    void roomForPanels(bool came);
    bool shiftClick(QObject* watched, QEvent* event);
    void markEveryAnalyte(int x);
    void chooseStandard(const QString& pattern);
    void copySamples();

    State& m_state;
    const NumberFormat m_fmt;
    bool m_activated = false;
    bool m_fittedToScreen = false;
    QMargins m_fittedFrame;  // the window frame the last fit to the screen allowed for
    std::vector<Placed> m_placed;

    PlotWidget* m_plot = nullptr;
    QPushButton* cmdReport = nullptr;
    QPushButton *cmdPaste = nullptr, *cmdPlot = nullptr, *cmdRestore = nullptr, *cmdAbout = nullptr,
                *cmdCopy = nullptr, *cmdClose = nullptr;
    std::array<QRadioButton*, 2> optScale{}, optScaleX{}, optAllData{};
    QCheckBox* chkConf = nullptr;
    QComboBox *cboBandOf = nullptr, *cboBandKind = nullptr;  // "Band of", "curve / new reading"
    QCheckBox *chkWeight = nullptr, *chkExportUnc = nullptr;
    ChoiceBox *cboLevel = nullptr, *cboDegree = nullptr;
    std::vector<MethodRow> m_rows;  // by method
    QLabel *lblNData = nullptr, *lblnDataOK = nullptr, *lblRej = nullptr;
    QLabel* lblParameters = nullptr;
    QLabel* m_looHeading = nullptr;
    QString m_sessionFile;            // the session last opened or saved, for the report
    UndoHistory m_undo;               // every change to the data, to undo and redo
    Settings m_savedSettings;         // as last saved or opened, or as set up at start
    QScrollArea* m_scroll = nullptr;  // scrolls m_canvas when the window is too small for it
    QWidget* m_canvas = nullptr;      // the controls' area
    QLabel* m_status = nullptr;       // the status line below it
    std::string m_statusMessage;      // what the last action said
    bool m_statusAwaitsRun = false;   // it asks for Plot and calculate
    std::vector<std::string> m_statusWarnings;  // of the last run
    std::optional<std::string> m_hoverText;     // about the point under the mouse
    int m_hoverStandard = -1;                   // the value under it (-1: none)
    int m_hoverX = -1;                          // the X under it away from them (-1: none)
    QLabel* lblAnalyte = nullptr;
    QComboBox* cboAnalyte = nullptr;  // the analyte shown; only for a named table
    QShortcut *m_previousAnalyte = nullptr, *m_nextAnalyte = nullptr;
    // A run table's controls and samples table, below the designed controls; only for one.
    RunPanel* m_runPanel = nullptr;
    QShortcut* m_copySamples = nullptr;
    // Every analyte of a named table at a glance, below the designed controls; only for
    // several analytes.
    AnalytesPanel* m_analytesPanel = nullptr;
    QCheckBox* chkResiduals = nullptr;  // "Residuals": the plot shows them instead of the data
};

}  // namespace kalibrix
