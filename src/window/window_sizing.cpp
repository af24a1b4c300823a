// The window's size and layout: the controls laid out over the canvas, the window fitted to
// the screen, and the room for the panels below the designed controls.
#include "window/reg_window.h"

#include "window/analytes_panel.h"
#include "window/run_panel.h"

#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>

#include <algorithm>

namespace kalibrix {

namespace {

// The run panel's height below the designed controls, in twips.
constexpr double kRunPanelHeight = 2700;
// The analytes panel's height above it, in twips: its headings and four analytes.
constexpr double kAnalytesPanelHeight = 1500;

}  // namespace

// The designed controls take the canvas but for the panels below them, each over the whole
// width: the analytes panel for several analytes, then the run panel for a run table.
void RegWindow::layoutControls()
{
    QSize area = m_canvas->size();
    const int analytes = m_analytesPanel->isHidden() ? 0 : designedPixels(kAnalytesPanelHeight);
    const int run = m_runPanel->isHidden() ? 0 : designedPixels(kRunPanelHeight);
    area.rheight() -= analytes + run;
    for (const Placed& p : m_placed)
        p.widget->setGeometry(placeInWindow(p.designed, p.growth, area));
    m_analytesPanel->setGeometry(0, area.height(), area.width(), analytes);
    m_runPanel->setGeometry(0, area.height() + analytes, area.width(), run);
}

QMargins RegWindow::windowFrame() const
{
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

// The window opens no larger than the screen's free area, its frame included, and within it;
// when the frame comes or changes later, the window fits again.
void RegWindow::fitToScreen()
{
    const QScreen* screen = this->screen();
    if (!screen || isMaximized() || isFullScreen())
        return;
    const QMargins frame = windowFrame();
    m_fittedFrame = frame;
    const QRect room = screen->availableGeometry();
    const QSize fits = size().boundedTo(room.size().shrunkBy(frame));
    if (fits != size())
        resize(fits);
    const QRect at = geometry().marginsAdded(frame);
    const QPoint into(
        std::max(0, room.left() - at.left()) - std::max(0, at.right() - room.right()),
        std::max(0, room.top() - at.top()) - std::max(0, at.bottom() - room.bottom()));
    if (!into.isNull())
        move(pos() + into);
}

void RegWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int status = designedClientSize().height() - designedControlsSize().height();
    m_scroll->setGeometry(0, 0, width(), height() - status);
    m_status->setGeometry(0, height() - status, width(), status);
    refreshStatus();
}

// The run panel is there only for a run table. When it comes, the window grows by its
// height (as far as the screen allows) rather than take it from the plot.
void RegWindow::showRunPanel()
{
    const bool run = m_state.run.has_value();
    const bool was = !m_runPanel->isHidden();
    m_runPanel->setVisible(run);
    m_copySamples->setEnabled(run);
    if (run) {
        m_runPanel->showSettings();
        m_runPanel->showSamples();
    }
    roomForPanels(run && !was);
}

// The analytes panel is there only for several analytes; it shows their last runs.
void RegWindow::showAnalytesPanel()
{
    const bool wanted = AnalytesPanel::wanted(m_state);
    const bool was = !m_analytesPanel->isHidden();
    m_analytesPanel->setVisible(wanted);
    if (wanted)
        m_analytesPanel->showAnalytes();
    if (wanted != was)
        roomForPanels(wanted);
}

// The panels below the designed controls: the canvas keeps room for them, and when one
// came the window grows by its height (as far as the screen allows).
void RegWindow::roomForPanels(bool came)
{
    m_canvas->setMinimumSize(smallestControlsSize() + QSize(0, panelsHeight()));
    if (came && !isMaximized() && !isFullScreen()) {
        const int wanted = designedClientSize().height() + panelsHeight();
        if (height() < wanted)
            resize(width(), wanted);
        if (m_fittedToScreen)
            fitToScreen();
    }
    layoutControls();
}

int RegWindow::panelsHeight() const
{
    return (m_analytesPanel->isHidden() ? 0 : designedPixels(kAnalytesPanelHeight)) +
           (m_runPanel->isHidden() ? 0 : designedPixels(kRunPanelHeight));
}

}  // namespace kalibrix
