// Running the fits and showing what they found: the figures of the results grid, the
// counters, the parameter listing, "Band of"; and the controls showing the settings.
#include "window/reg_window.h"

#include "engine/method_table.h"
#include "run/captions.h"
#include "run/driver.h"
#include "run/rejection.h"
#include "run/status_text.h"
#include "window/choice_box.h"
#include "window/fitting_label.h"
#include "window/plot_widget.h"
#include "window/run_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>

#include <utility>

namespace kalibrix {

namespace {

void fill(QComboBox* combo, const std::vector<std::string>& items)
{
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const std::string& item : items)
        combo->addItem(QString::fromStdString(item));
}

}  // namespace

// The set-up of the first activation. Later activations (coming back from the spreadsheet)
// leave the chosen level and degree alone.
void RegWindow::setUpOnFirstActivation()
{
    if (std::exchange(m_activated, true))
        return;
    fill(cboDegree, degreeItems());
    cboDegree->setCurrentIndex(kDefaultDegreeItem);  // runs cboDegree's handler
    fill(cboLevel, levelItems());
    cboLevel->setCurrentIndex(kDefaultLevel);  // sets the level and runs plotAndCalculate
    m_state.settings.level = kDefaultLevel;
    plotAndCalculate();
    m_savedSettings = m_state.settings;  // the start is no unsaved work
    refreshTitle();
    if (m_state.source.origin == "demonstration table")
        showStatus(tr("The demonstration table: copy your standards and paste them (Ctrl+V)")
                       .toStdString());
}

void RegWindow::plotAndCalculate()
{
    const RunReport report =
        kalibrix::plotAndCalculate(m_state, m_fmt, Drawing::Build, LeaveOneOutErrors::Compute);
    if (!report.ran)
        return;
    showCaptions();
    showRejectedCount();
    showBandChoice();
    m_plot->update();
    // The run's warnings stay in the status line, highlighted, until the next run.
    m_statusWarnings.clear();
    if (std::string unweighted = unweightedText(m_state.table(), m_state.settings);
        !unweighted.empty())
        m_statusWarnings.push_back(std::move(unweighted));
    for (const FitWarning& warning : m_state.results().warnings)
        m_statusWarnings.push_back(warningText(warning));
    // A message that asked for this run has had it.
    if (m_statusAwaitsRun)
        showStatus(calculatedText(m_state.results(), shownName()));
    if (m_hoverText)
        showHover();  // of this run
    if (m_state.run) {
        m_runPanel->showSettings();  // "Correct with" lists the methods shown now
        m_runPanel->showSamples();
    }
    showAnalytesPanel();
    refreshStatus();
    refreshTitle();
}

void RegWindow::showCaptions()
{
    const Captions c = makeCaptions(m_state.results(), m_fmt, Figures::Shown);
    auto show = [](QLabel* label, const std::string& text) {
        if (label)
            label->setText(QString::fromStdString(text));
    };
    show(lblLargestX, c.nData);
    show(lblStandardCount, c.nDataOK);
    show(lblRej, c.rejected);
    // Every cell with its figure in full in its tooltip (r² shows two decimals).
    for (std::size_t m = 0; m < m_rows.size(); ++m)
        for (int cell = 0; cell < kResultCells; ++cell)
            if (FittingLabel* label = m_rows[m].cells[cell])
                label->setFigure(QString::fromStdString(c.cells[m][cell]),
                                 QString::fromStdString(c.fullCells[m][cell]));
    show(lblParameters, c.listing);
    showLooColumn(c);
}

// The leave-one-out column: the method with the smallest per cent as shown in bold, every
// cell's figures in full and its error in Y units in its tooltip.
void RegWindow::showLooColumn(const Captions& c)
{
    const std::optional<std::size_t> best = m_state.results().bestPredictor;
    for (std::size_t m = 0; m < m_rows.size(); ++m) {
        FittingLabel* cell = m_rows[m].loo;
        QString tip = tr("Leave-one-out error of %1: none for this run")
                          .arg(QString::fromUtf8(fitMethods()[m].description));
        if (!c.looError[m].empty())
            tip = tr("Leave-one-out error %1 (root mean square, in Y units); %2 % of Y on "
                     "average.")
                      .arg(QString::fromStdString(c.fullLooError[m]),
                           QString::fromStdString(c.fullLooPercent[m]));
        if (const FitResult* fit = m_state.results().fit(m); fit && fit->mswd)
            tip += QStringLiteral("\n") + QString::fromStdString(mswdText(*fit->mswd, m_fmt));
        if (best == m)
            tip = tr("The smallest leave-one-out per cent: of the methods shown, this one "
                     "predicts a standard it has not seen best.") +
                  QStringLiteral("\n") + tip;
        cell->setToolTip(tip);
        cell->setFigure(QString::fromStdString(c.looPercent[m]), {}, best == m);
    }
}

// "Rejected:" counts the standards marked now, which a click changes before the next run.
void RegWindow::showRejectedCount()
{
    if (m_state.results().computed)
        lblRej->setText(QString::number(rejectedStandards(m_state.table()).size()));
}

// "Band of" lists the methods shown, as the grid names them; the weight box needs errors.
void RegWindow::showBandChoice()
{
    const QSignalBlocker quiet(cboBandOf);
    cboBandOf->clear();
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m)
        if (isShown(methods[m], m_state.settings))
            cboBandOf->addItem(
                QString::fromStdString(methodCaption(methods[m], m_state.settings.degreeText)),
                QString::fromUtf8(methods[m].name));
    cboBandOf->setCurrentIndex(
        cboBandOf->findData(QString::fromStdString(m_state.settings.bandMethod)));
    chkWeight->setEnabled(m_state.table().nCol > 2);
}

// The controls show the settings (after a session brought its own), without running.
void RegWindow::showSettings()
{
    const Settings& settings = m_state.settings;
    showSettingBoxes();
    {
        const QSignalBlocker quiet(cboBandKind);
        cboBandKind->setCurrentIndex(static_cast<int>(settings.uncertaintyKind));
    }
    showBandChoice();
    const std::pair<std::array<QRadioButton*, 2>*, bool> pairs[] = {
        {&optScaleY, settings.scaleYFull},
        {&optScaleX, settings.scaleXFull},
        {&optAllData, settings.allData}};
    for (const auto& [options, first] : pairs) {
        const QSignalBlocker quiet0((*options)[0]);
        const QSignalBlocker quiet1((*options)[1]);
        (*options)[first ? 0 : 1]->setChecked(true);
    }
    {
        const QSignalBlocker quiet(cboDegree);
        const int item = cboDegree->findText(QString::fromStdString(settings.degreeText));
        cboDegree->setCurrentIndex(item);
        cboDegree->setEditText(QString::fromStdString(settings.degreeText));
    }
    const QSignalBlocker quiet(cboLevel);
    cboLevel->setCurrentIndex(settings.level.value_or(-1));
}

// The check boxes: the grid's Show and Export, the band, the weighting, the export's
// uncertainties and the residuals.
void RegWindow::showSettingBoxes()
{
    const Settings& settings = m_state.settings;
    auto check = [](QCheckBox* box, int value) {
        const QSignalBlocker quiet(box);
        box->setCheckState(value == kTicked ? Qt::Checked
                           : value == kGrey ? Qt::PartiallyChecked
                                            : Qt::Unchecked);
    };
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < m_rows.size(); ++m) {
        if (!methods[m].alwaysFitted)
            check(m_rows[m].show, boxOf(settings.show, methods[m].name));
        check(m_rows[m].exported, boxOf(settings.exported, methods[m].name));
    }
    check(chkBand, settings.showBand);
    for (QCheckBox* box : {chkWeight, chkExportUncertainties}) {
        const QSignalBlocker quiet(box);
        box->setChecked(box == chkWeight ? settings.weightByErrors : settings.exportUncertainties);
    }
    const QSignalBlocker quiet(chkResiduals);
    chkResiduals->setChecked(settings.plotResiduals);
}

}  // namespace kalibrix
