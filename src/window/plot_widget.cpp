#include "window/plot_widget.h"

#include "render/plot_painter.h"
#include "window/window_layout.h"
#include "run/rejection.h"

#include "run/captions.h"

#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <QPainter>

namespace kalibrix {

namespace {

constexpr double kSuggestionReach = kPickPixels;  // from a ringed standard: its tooltip

}  // namespace

PlotWidget::PlotWidget(State& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_fmt(NumberFormat::fromLocale(QLocale::system()))
{
    setMouseTracking(true);
    setToolTip(tr("Click a data point to mark it for rejection. Ctrl+S saves the plot."));
}

PlotDisplay PlotWidget::shownPlot() const { return fitPlotToSize(m_state.plot, size()); }

// Over a standard suggested for rejection the tooltip says why (the ring around it is the
// hint that there is something to say).
bool PlotWidget::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const QPoint at = static_cast<QHelpEvent*>(event)->pos();
        const PlotGeometry geometry = shownGeometry(m_state.plot, size());
        const PlotDisplay& plot = m_state.plot;
        for (const int x : m_state.results().suggested) {
            if (!m_state.table().hasValue(x))
                continue;
            const PointF p =
                geometry.userToPixels({double(x), plot.toPict1Y(*m_state.table().y[x])});
            if (std::hypot(p.x - at.x(), p.y - at.y()) <= kSuggestionReach) {
                QToolTip::showText(
                    static_cast<QHelpEvent*>(event)->globalPos(),
                    QString::fromStdString(suggestionText(m_state.results(), x, m_fmt)), this);
                return true;
            }
        }
    }
    return QWidget::event(event);
}

void PlotWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const PlotColours colours{palette().color(QPalette::Base), palette().color(QPalette::Text)};
    if (size() == designedPlotSize())
        paintPlot(painter, m_state.plot, size(), colours);
    else
        paintPlot(painter, shownPlot(), size(), colours);
}

std::optional<int> PlotWidget::standardAt(QPointF pos) const
{
    const PlotDisplay frame = shownFrame(m_state.plot, size());
    return pointNear(m_state.table(), frame, PlotGeometry(frame, width(), height()),
                     {pos.x(), pos.y()});
}

// A left click on a standard asks for its mark; the window makes it (so that it can be
// undone). Other buttons do nothing.
void PlotWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (const std::optional<int> x = standardAt(event->position()))
        emit standardClicked(*x);
}

// Over a standard the cursor says a click would act, and the window hears which one; over a
// value no fit takes the window hears it too (to say why), but a click does nothing there.
void PlotWidget::mouseMoveEvent(QMouseEvent* event)
{
    const PlotDisplay frame = shownFrame(m_state.plot, size());
    const PlotGeometry geometry(frame, width(), height());
    const PointF at{event->position().x(), event->position().y()};
    const std::optional<int> x = pointNear(m_state.table(), frame, geometry, at);
    setCursor(x                           ? Qt::PointingHandCursor
              : geometry.pixelsToUser(at) ? Qt::CrossCursor
                                          : Qt::ArrowCursor);
    const std::optional<int> over = x ? x : leftOutNear(m_state.table(), frame, geometry, at);
    const std::optional<PointF> user = geometry.pixelsToUser(at);
    tellPosition(over || !user ? -1 : std::max(0, static_cast<int>(std::lround(user->x))));
    if (over != m_hovered) {
        m_hovered = over;
        emit standardHovered(over.value_or(-1));
    }
}

void PlotWidget::tellPosition(int x)
{
    if (x != m_position) {
        m_position = x;
        emit positionHovered(x);
    }
}

void PlotWidget::leaveEvent(QEvent*)
{
    tellPosition(-1);
    if (m_hovered) {
        m_hovered.reset();
        emit standardHovered(-1);
    }
}

}  // namespace kalibrix
