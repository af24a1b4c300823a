// The window's construction and the events it handles itself.
#include "window/reg_window.h"

#include "window/run_panel.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QShortcut>
#include <QShowEvent>

#include <utility>

namespace kalibrix {

namespace {

const QSize kSmallestWindow(320, 240);  // below this nothing can be read anyway

}  // namespace

RegWindow::RegWindow(State& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_fmt(NumberFormat::fromLocale(QLocale::system()))
{
    setObjectName("regWindow");
    QFont f = font();
    f.setPixelSize(kFontPixels);
    setFont(f);

    // The controls in an area that scrolls when the window is smaller than they can get, the
    // status line below it.
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFocusPolicy(Qt::NoFocus);  // a click on the plot leaves the focus where it was
    m_canvas = new QWidget;
    m_canvas->setObjectName("controls");
    m_canvas->setMinimumSize(smallestControlsSize());
    m_scroll->setWidget(m_canvas);
    m_status = new QLabel(this);
    m_status->setObjectName("lblStatus");
    m_status->setTextFormat(Qt::RichText);
    m_status->setContentsMargins(6, 0, 6, 0);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    buildControls();
    setToolTips();
    connectHandlers();
    m_canvas->installEventFilter(this);  // its resizing lays the controls out
    setMinimumSize(kSmallestWindow);
    resize(designedClientSize());
    showRunPanel();
    layoutControls();
    m_savedSettings = m_state.settings;
    refreshTitle();
}

bool RegWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        setUpOnFirstActivation();
    const bool handled = QWidget::event(event);
    // The window manager may add its frame only after the window was shown: fit it again.
    const QEvent::Type type = event->type();
    if (m_fittedToScreen && (type == QEvent::Move || type == QEvent::Resize) &&
        windowFrame() != m_fittedFrame)
        fitToScreen();
    return handled;
}

// The window's shortcut keys (paste, copy, undo, redo, ...) belong to the window wherever the
// focus is: a text field (the degree box) would take them as a shortcut override for itself;
// left unaccepted, the override lets the window's shortcut have them.
bool RegWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_canvas && event->type() == QEvent::Resize)
        layoutControls();
    if (shiftClick(watched, event))
        return true;
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QShortcut* shortcut : findChildren<QShortcut*>(Qt::FindDirectChildrenOnly))
            if (shortcut->key() == keys)
                return true;
    }
    return QWidget::eventFilter(watched, event);
}

void RegWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!std::exchange(m_fittedToScreen, true))
        fitToScreen();
    setUpOnFirstActivation();
}

}  // namespace kalibrix
