// The plot's interaction: a click marks a standard, a Shift+click the standards at its X in
// every analyte, and the status line tells what is under the mouse.
#include "window/reg_window.h"

#include "run/status_text.h"
#include "window/plot_widget.h"

#include <QMouseEvent>

namespace kalibrix {

// A click on a standard marks it for rejection at the next run, or takes its mark back.
void RegWindow::markStandard(int x)
{
    const std::string analyte = shownName();
    QString what = tr("the mark at X = %1").arg(x);
    if (!analyte.empty())
        what += tr(" of %1").arg(QString::fromStdString(analyte));
    push(new MarkCommand(m_state, m_state.selected, x, dataChanged(), what));
    showStatus(markedText(m_state.table(), x, analyte, m_fmt));
    m_statusAwaitsRun = true;
}

// A Shift+click on a standard of the plot marks the standards at its X in every analyte;
// with one analyte it is a click like any other.
bool RegWindow::shiftClick(QObject* watched, QEvent* event)
{
    if (watched != m_plot || event->type() != QEvent::MouseButtonPress ||
        m_state.analytes.size() < 2)
        return false;
    const auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() != Qt::LeftButton || !press->modifiers().testFlag(Qt::ShiftModifier))
        return false;
    if (const std::optional<int> x = m_plot->standardAt(press->position()))
        markEveryAnalyte(*x);
    return true;
}

void RegWindow::markEveryAnalyte(int x)
{
    auto* command = new MarkEveryAnalyteCommand(m_state, m_state.selected, x, dataChanged(),
                                                tr("the mark at X = %1 in every analyte").arg(x));
    const bool rejects = command->rejects();
    const std::size_t marked = command->marked();
    push(command);
    showStatus(markedEveryText(x, rejects, marked));
    m_statusAwaitsRun = true;
}

// Over a standard the status line describes it; elsewhere over the plot it gives the band's
// method there.
void RegWindow::showHover()
{
    m_hoverText.reset();
    if (m_hoverStandard >= 0)
        m_hoverText = pointText(m_state.table(), m_hoverStandard, m_fmt);
    else if (m_hoverX >= 0 && m_state.results().computed)
        m_hoverText =
            bandValueText(m_state.results(), m_state.settings, m_state.student, m_hoverX, m_fmt);
    refreshStatus();
}

}  // namespace kalibrix
