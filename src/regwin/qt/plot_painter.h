#pragma once

#include "regwin/display_list.h"

#include <QColor>
#include <QSize>
#include <QString>

class QPainter;

namespace kalibrix {

// The two system colours the plot area takes from its surroundings.
struct PlotColours {
    QColor window = Qt::white;  // pict1's background
    QColor text = Qt::black;    // the foreground: axes, ticks, labels, regression line, band
};

inline constexpr int kTwipsPerDesignedPixel = 15;

// Paints `plot` into the rectangle (0, 0, target): the target shows pict2's whole
// rectangle, pict1 lies inside it in front, both scaled from twips to the target.
void paintPlot(QPainter& painter, const PlotDisplay& plot, const QSize& target,
               const PlotColours& colours);

// pict2's size at 15 twips per pixel, the size the window was designed at.
QSize designedPlotSize();

// Writes `plot` at `size` pixels, white plot area and black foreground, as PNG or SVG by
// the file's ending. Returns false and the reason in `error` (when given) otherwise.
bool savePlot(const PlotDisplay& plot, const QString& file, QSize size, QString* error);

}  // namespace kalibrix
