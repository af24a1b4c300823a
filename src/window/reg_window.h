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
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QComboBox;
class QGroupBox;
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
struct Captions;

// RegWindow, the program's window: writes every change of a control into the settings of the
// state and runs plotAndCalculate after every change of data or option. Every control has an
// object name (cmdPaste, optScaleY_0, show_poly2, diff_poly2, ...), so it can be found by
// name; the results grid has one row per fit method of the method table, its controls named
// after the method. Its member functions live in reg_window.cpp (construction and events)
// and in one window_*.cpp file per job, as grouped below.
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
    // Saves the results of the last run as an XLSX workbook to `file`.
    bool saveResultsFile(const QString& file, QString* error);
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

    // Building the controls (window_controls.cpp).
    void buildControls();
    void buildLeftColumn();
    void buildPlotAndListing();
    void buildCounters();
    void buildBandFrame();
    void buildRightColumn();
    void buildResultsGrid();
    void buildGridHeadings();
    void buildMethodRow(std::size_t m, double top, const QColor& colour);
    void buildDegreeBox(const TwipsRect& at, const QColor& colour);
    void buildAnalyteControls();
    void setToolTips();
    void setMethodToolTips();
    void place(QWidget* widget, const TwipsRect& designed, Growth growth = Growth::Fixed);
    QPushButton* addButton(const char* name, const char* caption, const TwipsRect& at);
    QGroupBox* addFrame(const char* name, const char* caption, const TwipsRect& at);

    // What the controls and keys do (window_actions.cpp).
    void connectHandlers();
    void connectButtons();
    void connectResultsGrid();
    void connectBandControls();
    void connectScaleOptions();
    void connectAnalyteSelector();
    void connectPlot();
    void connectKeys();
    void connectRunPanel();
    void connectFileActions();
    void pasteFromClipboard();
    void takeTable(PastedTable table, TableSource source);
    DataChanged dataChanged();
    void push(DataCommand* command);
    void undo();
    void redo();
    void restoreEveryStandard();
    void copyResults();
    void showAbout();
    void closeFromButton();

    // The layout, the window's size and the panels below the designed controls
    // (window_sizing.cpp).
    void layoutControls();
    void fitToScreen();
    void showRunPanel();
    void showAnalytesPanel();
    int panelsHeight() const;
    void roomForPanels(bool came);

    // Running the fits and showing their figures and the settings (window_results.cpp).
    void setUpOnFirstActivation();
    void plotAndCalculate();
    void showCaptions();
    void showLooColumn(const Captions& captions);
    void showRejectedCount();
    void showBandChoice();
    void showSettings();
    void showSettingBoxes();

    // The status line and the title (window_status.cpp).
    void showStatus(std::string message);
    void refreshStatus();
    void refreshTitle();

    // The plot: clicks, Shift+clicks and what is under the mouse (window_plot.cpp).
    void markStandard(int x);
    bool shiftClick(QObject* watched, QEvent* event);
    void markEveryAnalyte(int x);
    void showHover();

    // The analyte shown and a run's standard and samples (window_analytes.cpp).
    std::string shownName() const;
    void showAnalyteChoice();
    void showChosenAnalyte(int index);
    void stepAnalyte(int step);
    void chooseStandard(const QString& pattern);
    void copySamples();

    // Opening and saving files (window_files.cpp).
    void savePlotAs();
    void saveSessionAs();
    bool saveSessionChosen();
    void reportAs();
    void saveResultsAs();
    bool writeRunFile(const QString& file, QString* error, const QString& failure,
                      const QString& done,
                      const std::function<std::optional<std::string>(const std::string&)>& write);
    void openSession();
    bool refuseFile(const QString& file, const QString& why);
    bool openSessionText(const QString& file, const std::string& text);
    bool openTableFile(const QString& file);
    bool unsavedWork() const;
    bool workMayGo(const QString& before);
    bool saveWork();

    State& m_state;
    const NumberFormat m_fmt;
    bool m_activated = false;
    bool m_fittedToScreen = false;
    QMargins m_fittedFrame;  // the window frame the last fit to the screen allowed for
    std::vector<Placed> m_placed;

    PlotWidget* m_plot = nullptr;
    QPushButton* cmdReport = nullptr;
    QPushButton* cmdSaveResults = nullptr;
    QPushButton *cmdPaste = nullptr, *cmdPlot = nullptr, *cmdRestore = nullptr, *cmdAbout = nullptr,
                *cmdCopy = nullptr, *cmdClose = nullptr;
    // Each pair: "Full" / "Zoom" of the Y and X scales; "All data" / "Only unrejected" of the
    // Y scaling at rejection.
    std::array<QRadioButton*, 2> optScaleY{}, optScaleX{}, optAllData{};
    QCheckBox* chkBand = nullptr;  // "Show confidence band for lin. regr."
    QComboBox *cboBandOf = nullptr, *cboBandKind = nullptr;  // "Band of", "curve / new reading"
    QCheckBox *chkWeight = nullptr, *chkExportUncertainties = nullptr;
    ChoiceBox *cboLevel = nullptr, *cboDegree = nullptr;
    std::vector<MethodRow> m_rows;  // by method
    // The counters: "Maximum:" (the largest X), "Number of data:" (the standards), "Rejected:".
    QLabel *lblLargestX = nullptr, *lblStandardCount = nullptr, *lblRej = nullptr;
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
