#include "regwin/qt/plot_painter.h"

#include "regwin/plot_geometry.h"
#include "regwin/plot_scale.h"
#include "regwin/save_file.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

namespace kalibrix {

namespace {

const QColor kFrameColour(255, 255, 192);  // pict2's light yellow

QPointF qt(PointF p) { return {p.x, p.y}; }
QRectF qt(const PixelRect& r) { return {r.left, r.top, r.width, r.height}; }

template <class Map>
void drawLayer(QPainter& painter, const Layer& layer, const QColor& foreground, Map map)
{
    QPen pen(foreground, 1);
    pen.setCosmetic(true);
    painter.setBrush(Qt::NoBrush);
    QPolygonF poly;
    for (const Shape& s : layer.shapes) {
        pen.setColor(s.colour ? QColor(s.colour->r, s.colour->g, s.colour->b) : foreground);
        painter.setPen(pen);
        const auto pts = layer.pointsOf(s);
        if (s.kind == ShapeKind::Rectangle || s.kind == ShapeKind::Ellipse) {
            if (pts.size() != 2)
                continue;
            const QRectF box = QRectF(map(pts[0]), map(pts[1])).normalized();
            if (s.kind == ShapeKind::Rectangle)
                painter.drawRect(box);
            else
                painter.drawEllipse(box);
            continue;
        }
        poly.clear();
        poly.reserve(static_cast<qsizetype>(pts.size()));
        for (const PointF& p : pts)
            poly.append(map(p));
        painter.drawPolyline(poly);
    }
}

template <size_t N>
void drawLabels(QPainter& painter, const std::array<TickLabel, N>& labels, const PlotGeometry& map,
                Qt::Alignment alignment)
{
    for (const TickLabel& l : labels)
        if (l.visible)
            painter.drawText(qt(map.twipsToPixels(l.rect)),
                             int(alignment | Qt::AlignTop) | Qt::TextDontClip,
                             QString::fromStdString(l.caption));
}

}  // namespace

void paintPlot(QPainter& painter, const PlotDisplay& plot, const QSize& target,
               const PlotColours& colours)
{
    const PlotGeometry map(plot, target.width(), target.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(target)), kFrameColour);
    painter.fillRect(qt(map.pict1()), colours.window);

    // pict1 lies in front of pict2 and clips its own drawing; pict2's lines lie outside it
    // or on its edge, so they are drawn last and stay visible.
    painter.save();
    painter.setClipRect(qt(map.pict1()), Qt::IntersectClip);
    drawLayer(painter, plot.pict1, colours.text, [&](PointF p) { return qt(map.userToPixels(p)); });
    painter.restore();
    drawLayer(painter, plot.pict2, colours.text,
              [&](PointF p) { return qt(map.twipsToPixels(p)); });

    QFont font = painter.font();
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(
        std::max(1, static_cast<int>(std::lround(kLabelFontTwips * map.pixelsPerTwipY()))));
    painter.setFont(font);
    painter.setPen(colours.text);
    drawLabels(painter, plot.lblX, map, Qt::AlignHCenter);
    drawLabels(painter, plot.lblY, map, Qt::AlignRight);
    painter.restore();
}

QSize designedPlotSize()
{
    const TwipsRect r = PlotDisplay{}.pict2Rect;
    return {designedPixels(r.width), designedPixels(r.height)};
}

std::optional<std::string> savePlot(const PlotDisplay& plot, const std::filesystem::path& file,
                                    QSize size)
{
    if (size.isEmpty())
        return QStringLiteral("The picture size %1 x %2 is empty")
            .arg(size.width())
            .arg(size.height())
            .toStdString();
    // One character per byte: the ending is found whatever the encoding of the name.
    const QString name = QString::fromLatin1(file.filename().native()).toLower();
    const bool png = name.endsWith(u".png");
    if (!png && !name.endsWith(u".svg"))
        return "The file name must end in .png or .svg";

    // The whole picture is made in memory first, so that nothing but its bytes can fail at
    // the file.
    const PlotColours colours;  // white plot area, black foreground
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (png) {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull())
            return QStringLiteral("Not enough memory for a picture of %1 x %2 pixels")
                .arg(size.width())
                .arg(size.height())
                .toStdString();
        {
            QPainter painter(&image);
            paintPlot(painter, plot, size, colours);
        }
        if (!image.save(&buffer, "PNG"))
            return "The picture could not be encoded as PNG";
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("KALIBRIX"));
        QPainter painter;
        if (!painter.begin(&svg))
            return "The picture could not be drawn as SVG";
        paintPlot(painter, plot, size, colours);
        if (!painter.end())
            return "The picture could not be drawn as SVG";
    }
    const QByteArray& bytes = buffer.data();
    return saveFile(file, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

bool savePlot(const PlotDisplay& plot, const QString& file, QSize size, QString* error)
{
    const std::optional<std::string> why =
        savePlot(plot, std::filesystem::path(QFile::encodeName(file).toStdString()), size);
    if (why && error)
        *error = QStringLiteral("Cannot write %1: %2.")
                     .arg(QDir::toNativeSeparators(file), QString::fromStdString(*why));
    return !why;
}

}  // namespace kalibrix
