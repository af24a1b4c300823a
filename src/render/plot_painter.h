#pragma once

#include "run/display_list.h"

#include <QColor>
#include <QSize>
#include <QString>

#include <filesystem>
#include <optional>
#include <string>

class QPainter;

namespace kalibrix {

// The two system colours the plot area takes from its surroundings.
struct PlotColours {
    QColor window = Qt::white;  // pict1's background
    QColor text = Qt::black;    // the foreground: axes, ticks, labels, regression line, band
    // Curves, marks, band and error bars anti-aliased (shapes along the axes kept on whole
    // pixels); off, every pixel of pict1 takes a pen's colour or none.
    bool antialias = true;
    // Only what the device's pixels can show: each curve through the first, lowest, highest
    // and last of its nodes in each column of pixels, the marks in one pen together, those
    // that overlap joined. The same pixels for a fraction of the work; off, every node and
    // every mark drawn as listed.
    bool reduce = true;
};

// Paints `plot` into the rectangle (0, 0, target): the target shows pict2's whole
// rectangle, pict1 lies inside it in front, both scaled from twips to the target.
void paintPlot(QPainter& painter, const PlotDisplay& plot, const QSize& target,
               const PlotColours& colours);

// pict2's size at 15 twips per pixel, the size the window was designed at.
QSize designedPlotSize();

// Writes `plot` at `size` pixels, white plot area and black foreground, as PNG, SVG or PDF by
// the file's ending (its bytes as given), through saveFile: a failed write leaves no
// half-written picture. A PDF is drawn in vectors on one page of `size` points (a pixel a
// point, 1/72 inch). Returns the reason when it cannot, such as the system's error text.
// A PNG has `pixelRatio` pixels for each pixel of `size` (the plot laid out at `size`, as a
// screen of that pixel ratio shows it); SVG and PDF are drawings of `size`.
std::optional<std::string> savePlot(const PlotDisplay& plot, const std::filesystem::path& file,
                                    QSize size, double pixelRatio = 1);

// The same for a file name the user chose in the window: false and a sentence naming the
// file in `error` (when given) when the picture could not be written.
bool savePlot(const PlotDisplay& plot, const QString& file, QSize size, QString* error,
              double pixelRatio = 1);

}  // namespace kalibrix
