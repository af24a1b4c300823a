#include "regwin/qt/plot_widget.h"

#include "regwin/qt/plot_painter.h"
#include "regwin/qt/window_layout.h"
#include "regwin/rejection.h"

#include <QMouseEvent>
#include <QPainter>

namespace kalibrix {

PlotWidget::PlotWidget(State& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setMouseTracking(true);
    setToolTip(tr("Click a data point to mark it for rejection. Ctrl+S saves the plot."));
}

PlotDisplay PlotWidget::shownPlot() const { return fitPlotToSize(m_state.plot, size()); }

std::optional<PointF> PlotWidget::userPoint(QPointF pos) const
{
    return shownGeometry(m_state.plot, size()).pixelsToUser({pos.x(), pos.y()});
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

void PlotWidget::mousePressEvent(QMouseEvent* event)
{
    MouseButton button;
    switch (event->button()) {
    case Qt::LeftButton:
        button = MouseButton::Left;
        break;
    case Qt::RightButton:
        button = MouseButton::Right;
        break;
    case Qt::MiddleButton:
        button = MouseButton::Middle;
        break;
    default:
        return;
    }
    const std::optional<PointF> p = userPoint(event->position());
    if (p && pict1_MouseDown(m_state, button, p->x, p->y) > 0)
        update();
}

void PlotWidget::mouseMoveEvent(QMouseEvent* event)
{
    setCursor(userPoint(event->position()) ? Qt::CrossCursor : Qt::ArrowCursor);
}

}  // namespace kalibrix
