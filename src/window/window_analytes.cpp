// The analyte shown of a named table, and a run's standard and samples.
#include "window/reg_window.h"

#include "run/driver.h"
#include "run/rejection.h"
#include "run/run_split.h"
#include "run/sample_texts.h"
#include "run/samples.h"
#include "run/status_text.h"
#include "window/message_boxes.h"
#include "window/plot_widget.h"
#include "window/run_panel.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>

namespace kalibrix {

// The name of the analyte shown in a named table; empty for a plain one.
std::string RegWindow::shownName() const
{
    return m_state.named ? m_state.analytes[m_state.selected].name : std::string();
}

// The analyte selector and its keys are there only for a named table; the selector lists
// the analytes in column order and shows the one selected.
void RegWindow::showAnalyteChoice()
{
    const bool named = m_state.named;
    {
        const QSignalBlocker quiet(cboAnalyte);
        cboAnalyte->clear();
        if (named)
            for (const Analyte& analyte : m_state.analytes)
                cboAnalyte->addItem(QString::fromStdString(analyte.name));
        cboAnalyte->setCurrentIndex(named ? static_cast<int>(m_state.selected) : -1);
    }
    // The list may be wider than the box: long names stay readable when it drops down.
    cboAnalyte->view()->setMinimumWidth(cboAnalyte->view()->sizeHintForColumn(0) + 8);
    lblAnalyte->setVisible(named);
    cboAnalyte->setVisible(named);
    m_previousAnalyte->setEnabled(named);
    m_nextAnalyte->setEnabled(named);
    cmdRestore->setToolTip(named ? tr("Take back every rejection of the analyte shown; the "
                                      "other analytes keep theirs")
                                 : tr("Take back every rejection"));
}

// The analyte chosen in the selector (or with its keys, or in the analytes table) shows
// its last run.
void RegWindow::showChosenAnalyte(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) == m_state.selected)
        return;
    showAnalyte(m_state, m_fmt, static_cast<std::size_t>(index));
    showCaptions();
    showRejectedCount();
    if (m_state.run) {
        m_runPanel->showSettings();
        m_runPanel->showSamples();
    }
    m_plot->update();
    showStatus(shownText(m_state.analytes[m_state.selected].name, m_state.selected,
                         m_state.analytes.size()));
}

void RegWindow::stepAnalyte(int step)
{
    const int index = cboAnalyte->currentIndex() + step;
    if (index >= 0 && index < cboAnalyte->count())
        cboAnalyte->setCurrentIndex(index);
}

// Another standard for the run: the analytes rebuilt from its lines as one undoable step,
// then a run; a pattern no line matches is refused and changes nothing.
void RegWindow::chooseStandard(const QString& pattern)
{
    if (!m_state.run)
        return;
    const std::string chosen = pattern.toStdString();
    RunSplit split = standardsOf(*m_state.run, chosen);
    if (!split.analytes) {
        MessageBoxes::show(this, split.message ? *split.message
                                               : UserMessage{tr("No line of the run has the ID "
                                                                "%1.")
                                                                 .arg(pattern)
                                                                 .toStdString(),
                                                             MessageIcon::Exclamation, kAppTitle});
        m_runPanel->showSettings();
        return;
    }
    push(new StandardCommand(m_state, std::move(*split.analytes), chosen, dataChanged(),
                             tr("the standard %1").arg(pattern)));
    showStatus(standardChosenText(chosen));
}

// The samples table of the analyte shown, as tab-separated text with one title line.
void RegWindow::copySamples()
{
    if (!m_state.run)
        return;
    const std::string text = samplesClipboardText(m_state, m_state.selected, m_fmt.forExport());
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(text));
    showStatus(copiedSamplesText(correctSamples(m_state, m_state.selected).samples.size(),
                                 shownName(), pendingMarks(m_state)));
}

}  // namespace kalibrix
