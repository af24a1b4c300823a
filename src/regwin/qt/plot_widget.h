#pragma once

#include "regwin/number_format.h"
#include "regwin/state.h"

#include <QWidget>

#include <optional>

namespace kalibrix {

// pict2 with pict1 in front: paints the picture of the last run (state.plot), and turns a
// click in pict1 into the rejection of the points under it.
class PlotWidget : public QWidget {
    Q_OBJECT
public:
    explicit PlotWidget(State& state, QWidget* parent = nullptr);

    // The picture as this widget shows it at its current size.
    PlotDisplay shownPlot() const;

    // The point of pict1's user coordinates under the widget position `pos`; none outside
    // pict1. The inverse of the painter's mapping.
    std::optional<PointF> userPoint(QPointF pos) const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    State& m_state;
    NumberFormat m_fmt;
};

}  // namespace kalibrix
