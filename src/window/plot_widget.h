#pragma once

#include "run/number_format.h"
#include "run/state.h"

#include <QWidget>

#include <optional>

namespace kalibrix {

// pict2 with pict1 in front: paints the picture of the last run (state.plot), and says which
// standard a click picks and which one the mouse is over.
class PlotWidget : public QWidget {
    Q_OBJECT
public:
    explicit PlotWidget(State& state, QWidget* parent = nullptr);

    // The picture as this widget shows it at its current size.
    PlotDisplay shownPlot() const;

    // The standard a click at the widget position `pos` would pick; none when none is near.
    std::optional<int> standardAt(QPointF pos) const;

signals:
    void standardClicked(int x);
    // The mouse came over the standard at X, or over the value at X that no fit takes (as
    // Y <= 0, or X = 0); -1 when it left every one.
    void standardHovered(int x);
    // The mouse came over pict1 away from every standard, at the whole X nearest; -1 when
    // it left that room (over a standard, beyond pict1, out of the widget).
    void positionHovered(int x);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    State& m_state;
    NumberFormat m_fmt;
    std::optional<int> m_hovered;  // the standard or left-out value under the mouse
    int m_position = -1;           // the X under the mouse away from them, as last told
    void tellPosition(int x);
};

}  // namespace kalibrix
