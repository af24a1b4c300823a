// What the window's controls and keys do: their connections, and the actions on the data
// (paste, undo, redo, restore, copy) and of the buttons About and Close.
#include "window/reg_window.h"

#include "engine/method_table.h"
#include "run/driver.h"
#include "run/export.h"
#include "run/plot.h"
#include "run/rejection.h"
#include "run/status_text.h"
#include "window/analytes_panel.h"
#include "window/choice_box.h"
#include "window/message_boxes.h"
#include "window/plot_widget.h"
#include "window/run_panel.h"
#include "window/wait_cursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include <algorithm>
#include <memory>

namespace kalibrix {

namespace {

constexpr const char* kAboutText =
    "KALIBRIX is a desktop program that calculates interpolated values for "
    "standard-sample-standard sequences using different methods: linear regression with its "
    "confidence band, logarithmic regression, polynomials and a zigzag line between "
    "clusters of standards.\n\n"
    "Input: paste a table from the clipboard (Ctrl+V), open a table or session file (Ctrl+O) "
    "or drop one on the window. First column: X, 2nd column: Y, a 3rd column: the error of "
    "Y. A first line of names makes every named column an analyte of its own; a column named "
    "ID (or Sample) makes the table a run: the lines of the standard's ID are the standards, "
    "the others samples, corrected in the samples table below the plot.\n\n"
    "Mouse click on data point marks it for rejection (Shift+click: at its X in every "
    "analyte); [Plot and calculate] refits with the marks. Ctrl+Z and Ctrl+Y undo and redo every "
    "change of the data.\n\n"
    "Output: copy the interpolated values to the clipboard (Ctrl+C) or a run's corrected "
    "samples (Ctrl+Shift+C), save the session "
    "(Ctrl+Shift+S), the plot (Ctrl+S), a PDF report (Ctrl+P) or the results as an XLSX "
    "workbook (Ctrl+E).";

const QKeySequence kPasteKeys(Qt::CTRL | Qt::Key_V);
const QKeySequence kCopyKeys(Qt::CTRL | Qt::Key_C);
const QKeySequence kUndoKeys(Qt::CTRL | Qt::Key_Z);
const QKeySequence kRedoKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
const QKeySequence kRedoKeysToo(Qt::CTRL | Qt::Key_Y);
const QKeySequence kSavePlotKeys(Qt::CTRL | Qt::Key_S);
const QKeySequence kSaveSessionKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
const QKeySequence kOpenKeys(Qt::CTRL | Qt::Key_O);
const QKeySequence kReportKeys(Qt::CTRL | Qt::Key_P);
const QKeySequence kSaveResultsKeys(Qt::CTRL | Qt::Key_E);
const QKeySequence kCopySamplesKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
const QKeySequence kPreviousAnalyteKey(Qt::Key_PageUp);
const QKeySequence kNextAnalyteKey(Qt::Key_PageDown);

int checkValue(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return kTicked;
    case Qt::PartiallyChecked:
        return kGrey;
    case Qt::Unchecked:
        break;
    }
    return kUnticked;
}

}  // namespace

void RegWindow::connectHandlers()
{
    connectButtons();
    connectResultsGrid();
    connectBandControls();
    connectScaleOptions();
    connectAnalyteSelector();
    connectPlot();
    connectKeys();
    connectRunPanel();
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    connectFileActions();
}

void RegWindow::connectButtons()
{
    connect(cmdPaste, &QPushButton::clicked, this, &RegWindow::pasteFromClipboard);
    connect(cmdPlot, &QPushButton::clicked, this, [this] {
        plotAndCalculate();
        showStatus(calculatedText(m_state.results(), shownName()));
    });
    connect(cmdRestore, &QPushButton::clicked, this, &RegWindow::restoreEveryStandard);
    connect(cmdCopy, &QPushButton::clicked, this, &RegWindow::copyResults);
    connect(cmdAbout, &QPushButton::clicked, this, &RegWindow::showAbout);
    connect(cmdClose, &QPushButton::clicked, this, &RegWindow::closeFromButton);
}

// A Show box replots, an Export box changes only the settings.
void RegWindow::connectResultsGrid()
{
    Settings& settings = m_state.settings;
    for (std::size_t m = 0; m < m_rows.size(); ++m) {
        QCheckBox* show = m_rows[m].show;
        if (show->isEnabled())
            connect(show, &QCheckBox::stateChanged, this, [this, &settings, m, show] {
                settings.show[fitMethods()[m].name] = checkValue(show);
                plotAndCalculate();
            });
        QCheckBox* exported = m_rows[m].exported;
        connect(exported, &QCheckBox::stateChanged, this, [this, &settings, m, exported] {
            settings.exported[fitMethods()[m].name] = checkValue(exported);
            refreshTitle();
        });
    }
}

// The band's controls, the weighting and the export's uncertainties.
void RegWindow::connectBandControls()
{
    Settings& settings = m_state.settings;
    connect(chkBand, &QCheckBox::stateChanged, this, [this, &settings] {
        settings.showBand = checkValue(chkBand);
        plotAndCalculate();
    });
    connect(cboBandOf, &QComboBox::currentIndexChanged, this, [this, &settings] {
        settings.bandMethod = cboBandOf->currentData().toString().toStdString();
        plotAndCalculate();
    });
    connect(cboBandKind, &QComboBox::currentIndexChanged, this, [this, &settings](int kind) {
        settings.uncertaintyKind = static_cast<UncertaintyKind>(kind);
        plotAndCalculate();
    });
    connect(chkWeight, &QCheckBox::toggled, this, [this, &settings](bool on) {
        settings.weightByErrors = on;
        plotAndCalculate();
    });
    connect(chkExportUncertainties, &QCheckBox::toggled, this, [this, &settings](bool on) {
        settings.exportUncertainties = on;
        refreshTitle();
    });
}

// The scale options, the degree box and the level box.
void RegWindow::connectScaleOptions()
{
    Settings& settings = m_state.settings;
    // Each pair of option buttons: the setting follows the first, every choice replots.
    const std::pair<std::array<QRadioButton*, 2>*, bool*> pairs[] = {
        {&optScaleY, &settings.scaleYFull},
        {&optScaleX, &settings.scaleXFull},
        {&optAllData, &settings.allData}};
    for (const auto& [options, setting] : pairs) {
        for (QRadioButton* o : *options)
            connect(o, &QRadioButton::toggled, this,
                    [this, first = (*options)[0], setting](bool on) {
                        if (!on)
                            return;
                        *setting = first->isChecked();
                        plotAndCalculate();
                    });
    }
    connect(cboDegree, &QComboBox::currentTextChanged, this,
            [this, &settings](const QString& text) {
                settings.degreeText = text.toStdString();
                refreshTitle();
            });
    cboDegree->onItemChosen([this] { plotAndCalculate(); });
    cboLevel->onItemChosen([this, &settings] {
        settings.level = cboLevel->currentIndex();
        plotAndCalculate();
    });
}

// The analyte selector, its keys and the analytes table always choose the same analyte.
void RegWindow::connectAnalyteSelector()
{
    connect(cboAnalyte, &QComboBox::currentIndexChanged, this, &RegWindow::showChosenAnalyte);
    connect(m_analytesPanel, &AnalytesPanel::analyteChosen, this, [this](std::size_t analyte) {
        cboAnalyte->setCurrentIndex(static_cast<int>(analyte));
    });
    connect(cboAnalyte, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_analytesPanel->showSelected(static_cast<std::size_t>(index));
    });
    m_previousAnalyte = new QShortcut(kPreviousAnalyteKey, this);
    m_nextAnalyte = new QShortcut(kNextAnalyteKey, this);
    connect(m_previousAnalyte, &QShortcut::activated, this, [this] { stepAnalyte(-1); });
    connect(m_nextAnalyte, &QShortcut::activated, this, [this] { stepAnalyte(+1); });
    showAnalyteChoice();
}

// Clicks on the plot, the mouse over it, and the choice between the data and their
// residuals.
void RegWindow::connectPlot()
{
    connect(m_plot, &PlotWidget::standardClicked, this, &RegWindow::markStandard);
    connect(m_plot, &PlotWidget::standardHovered, this, [this](int x) {
        m_hoverStandard = x;
        showHover();
    });
    connect(m_plot, &PlotWidget::positionHovered, this, [this](int x) {
        m_hoverX = x;
        showHover();
    });
    connect(chkResiduals, &QCheckBox::toggled, this, [this](bool on) {
        m_state.settings.plotResiduals = on;
        plotAndCalculate();
    });
}

void RegWindow::connectKeys()
{
    connect(new QShortcut(kUndoKeys, this), &QShortcut::activated, this, &RegWindow::undo);
    for (const QKeySequence& keys : {kRedoKeys, kRedoKeysToo})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &RegWindow::redo);
    connect(new QShortcut(kPasteKeys, this), &QShortcut::activated, cmdPaste, &QPushButton::click);
    connect(new QShortcut(kCopyKeys, this), &QShortcut::activated, cmdCopy, &QPushButton::click);
    m_copySamples = new QShortcut(kCopySamplesKeys, this);
    connect(m_copySamples, &QShortcut::activated, this, &RegWindow::copySamples);
}

void RegWindow::connectRunPanel()
{
    connect(m_runPanel, &RunPanel::copyRequested, this, &RegWindow::copySamples);
    connect(m_runPanel, &RunPanel::standardChosen, this, &RegWindow::chooseStandard);
    connect(m_runPanel, &RunPanel::settingsChanged, this, [this] {
        // The check standard's marks change colour with its pattern.
        m_state.plot.sampleMarks = sampleMarksOf(m_state, m_state.analytes[m_state.selected].name);
        m_plot->update();
        refreshTitle();
    });
}

// The report button, the files' keys and files dropped on the window.
void RegWindow::connectFileActions()
{
    connect(cmdReport, &QPushButton::clicked, this, &RegWindow::reportAs);
    connect(cmdSaveResults, &QPushButton::clicked, this, &RegWindow::saveResultsAs);
    const std::pair<QKeySequence, void (RegWindow::*)()> files[] = {
        {kSavePlotKeys, &RegWindow::savePlotAs},
        {kSaveSessionKeys, &RegWindow::saveSessionAs},
        {kOpenKeys, &RegWindow::openSession},
        {kReportKeys, &RegWindow::reportAs},
        {kSaveResultsKeys, &RegWindow::saveResultsAs}};
    for (const auto& [keys, action] : files)
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    setAcceptDrops(true);
}

void RegWindow::pasteFromClipboard()
{
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    const QLocale locale = QLocale::system();
    PasteResult pasted = parseTable(text, locale);
    if (!pasted.table) {
        if (pasted.message)
            MessageBoxes::show(this, *pasted.message);
        plotAndCalculate();
        return;
    }
    takeTable(std::move(*pasted.table), {text, locale.name().toStdString(), "clipboard"});
}

// A new table, as an undoable change: the previous one comes back with its rejections.
void RegWindow::takeTable(PastedTable table, TableSource source)
{
    const std::string said = pastedText(table);
    m_sessionFile.clear();  // the report's source is this table now
    push(new NewTableCommand(m_state, std::move(table.analytes), table.named, std::move(source),
                             dataChanged(), tr("the paste"), std::move(table.run)));
    showStatus(said);
}

// What the window does when a command of the undo stack changed the data.
DataChanged RegWindow::dataChanged()
{
    return [this](std::size_t analyte, DataChange change) {
        if (change == DataChange::Table) {
            m_state.selected = std::min(analyte, m_state.analytes.size() - 1);
            showAnalyteChoice();
            showRunPanel();
            plotAndCalculate();
            return;
        }
        if (change == DataChange::Show)  // the selector shows it, as if chosen there
            cboAnalyte->setCurrentIndex(static_cast<int>(analyte));
        else
            showRejectedCount();
        m_plot->update();
    };
}

// Does a change to the data and keeps it in the undo history.
void RegWindow::push(DataCommand* command)
{
    m_undo.push(std::unique_ptr<DataCommand>(command));
    refreshTitle();
}

void RegWindow::undo()
{
    if (!m_undo.canUndo()) {
        showStatus(tr("Nothing to undo").toStdString());
        return;
    }
    const QString what = m_undo.undoText();
    m_undo.undo();
    showStatus(tr("Undid %1").arg(what).toStdString());
}

void RegWindow::redo()
{
    if (!m_undo.canRedo()) {
        showStatus(tr("Nothing to redo").toStdString());
        return;
    }
    const QString what = m_undo.redoText();
    m_undo.redo();
    showStatus(tr("Redid %1").arg(what).toStdString());
}

void RegWindow::restoreEveryStandard()
{
    const std::vector<std::uint8_t>& flags = m_state.table().rejFlag;
    if (std::find(flags.begin(), flags.end(), 1) == flags.end()) {
        plotAndCalculate();  // nothing to take back: a run all the same
        return;
    }
    const std::string analyte = shownName();
    push(new RestoreCommand(
        m_state, m_state.selected, dataChanged(),
        analyte.empty() ? tr("Restore all data")
                        : tr("Restore all data of %1").arg(QString::fromStdString(analyte))));
    showStatus(restoredText(analyte));
}

void RegWindow::copyResults()
{
    const WaitCursor hourglass;
    const std::string text = exportText(m_state, m_fmt);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(text));
    const std::size_t methods = static_cast<std::size_t>(std::ranges::count_if(
        fitMethods(),
        [this](const FitMethod& method) { return isExported(method, m_state.settings); }));
    const auto copied = std::count_if(m_state.analytes.begin(), m_state.analytes.end(),
                                      [](const Analyte& a) { return a.table.anyValue(); });
    // The copy holds the fits of the last run: marks made since are not in it yet.
    showStatus(copiedText(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')),
                          methods, static_cast<std::size_t>(copied), pendingMarks(m_state)));
}

void RegWindow::showAbout()
{
    MessageBoxes::show(this, {kAboutText, MessageIcon::Exclamation, kAppTitle});
}

// Close asks first about unsaved work, as closing the window does.
void RegWindow::closeFromButton()
{
    if (!close())
        return;
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

}  // namespace kalibrix
