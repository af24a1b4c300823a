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
#include <QPageSize>
#include <QPdfWriter>
#include <QPolygonF>
#include <QSvgGenerator>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <span>

namespace kalibrix {

namespace {

const QColor kFrameColour(255, 255, 192);  // pict2's light yellow
constexpr int kPdfPointsPerInch = 72;

QPointF qt(PointF p) { return {p.x, p.y}; }
QRectF qt(const PixelRect& r) { return {r.left, r.top, r.width, r.height}; }

// Moves a point of the painter's coordinates onto the centre of its device pixel, where an
// anti-aliased line one device pixel wide (the cosmetic pen) covers just that pixel: lines
// along the axes, mark squares and error bars stay as crisp as drawn without anti-aliasing,
// on the pixels that drawing would take. Off when the painter rotates or shears.
class PixelSnap {
public:
    PixelSnap(const QPainter& painter, bool on)
        : m_toDevice(painter.deviceTransform()),
          m_on(on && m_toDevice.type() <= QTransform::TxScale && m_toDevice.isInvertible()),
          m_fromDevice(m_toDevice.inverted())
    {}
    bool on() const { return m_on; }
    QPointF operator()(QPointF p) const
    {
        const QPointF d = m_toDevice.map(p);
        return m_fromDevice.map(QPointF(std::floor(d.x()) + 0.5, std::floor(d.y()) + 0.5));
    }

private:
    QTransform m_toDevice;
    bool m_on;
    QTransform m_fromDevice;
};

// Whether every segment of the points runs along an axis.
bool alongAxes(std::span<const PointF> pts)
{
    for (size_t i = 1; i < pts.size(); ++i)
        if (pts[i].x != pts[i - 1].x && pts[i].y != pts[i - 1].y)
            return false;
    return true;
}

// Draws the layer with the painter's anti-aliasing as set; with `snap` on, shapes along the
// axes lie on pixel centres.
template <class Map>
void drawLayer(QPainter& painter, const Layer& layer, const QColor& foreground, Map map,
               const PixelSnap& snap)
{
    QPen pen(foreground, 1);
    pen.setCosmetic(true);
    painter.setBrush(Qt::NoBrush);
    QPolygonF poly;
    for (const Shape& s : layer.shapes) {
        pen.setColor(s.colour ? QColor(s.colour->r, s.colour->g, s.colour->b) : foreground);
        if (s.style == PenStyle::Dotted)
            pen.setDashPattern({1, 1});  // every other pixel: a small mark still shows dots
        else
            pen.setStyle(Qt::SolidLine);
        painter.setPen(pen);
        const auto pts = layer.pointsOf(s);
        const bool snapped = snap.on() && s.kind != ShapeKind::Ellipse &&
                             (s.kind == ShapeKind::Rectangle || alongAxes(pts));
        auto place = [&](PointF p) { return snapped ? snap(map(p)) : map(p); };
        if (s.kind == ShapeKind::Rectangle || s.kind == ShapeKind::Ellipse) {
            if (pts.size() != 2)
                continue;
            const QRectF box = QRectF(place(pts[0]), place(pts[1])).normalized();
            if (s.kind == ShapeKind::Rectangle)
                painter.drawRect(box);
            else
                painter.drawEllipse(box);
            continue;
        }
        poly.clear();
        poly.reserve(static_cast<qsizetype>(pts.size()));
        for (const PointF& p : pts)
            poly.append(place(p));
        painter.drawPolyline(poly);
    }
}

// The samples' triangles under the X axis, each pointing up at its X; those outside pict1's
// X range are left out.
void drawSampleMarks(QPainter& painter, const PlotDisplay& plot, const PlotGeometry& map)
{
    if (plot.sampleMarks.empty())
        return;
    const PixelRect& p1 = map.pict1();
    const double bottom = p1.top + p1.height;
    const double height = kSampleMarkTwips * map.pixelsPerTwipY();
    const double half = 0.6 * height;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const SampleMark& mark : plot.sampleMarks) {
        const double x = map.userToPixels({static_cast<double>(mark.x), 0}).x;
        if (x < p1.left || x > p1.left + p1.width)
            continue;
        const Rgb c = mark.check ? kCheckMarkColour : kSampleMarkColour;
        const QColor colour(c.r, c.g, c.b);
        painter.setPen(QPen(colour, 0));
        painter.setBrush(colour);
        const QPointF corners[3] = {{x, bottom}, {x - half, bottom + height},
                                    {x + half, bottom + height}};
        painter.drawPolygon(corners, 3);
    }
    painter.restore();
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
    // or on its edge, so they are drawn last and stay visible. Curves, marks, band and error
    // bars are anti-aliased; pict2's axis lines and ticks are drawn without, as crisp as the
    // shapes along the axes in pict1.
    painter.save();
    painter.setClipRect(qt(map.pict1()), Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, colours.antialias);
    drawLayer(
        painter, plot.pict1, colours.text, [&](PointF p) { return qt(map.userToPixels(p)); },
        PixelSnap(painter, colours.antialias));
    painter.restore();
    drawLayer(
        painter, plot.pict2, colours.text, [&](PointF p) { return qt(map.twipsToPixels(p)); },
        PixelSnap(painter, false));
    drawSampleMarks(painter, plot, map);

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
                                    QSize size, double pixelRatio)
{
    if (size.isEmpty())
        return QStringLiteral("The picture size %1 x %2 is empty")
            .arg(size.width())
            .arg(size.height())
            .toStdString();
    // One character per byte: the ending is found whatever the encoding of the name.
    const QString name = QString::fromLatin1(file.filename().native()).toLower();
    const bool png = name.endsWith(u".png");
    const bool pdf = name.endsWith(u".pdf");
    if (!png && !pdf && !name.endsWith(u".svg"))
        return "The file name must end in .png, .svg or .pdf";

    // The whole picture is made in memory first, so that nothing but its bytes can fail at
    // the file.
    const PlotColours colours;  // white plot area, black foreground
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (png) {
        const QSize pixels = (QSizeF(size) * pixelRatio).toSize();
        QImage image(pixels, QImage::Format_RGB32);
        if (image.isNull())
            return QStringLiteral("Not enough memory for a picture of %1 x %2 pixels")
                .arg(pixels.width())
                .arg(pixels.height())
                .toStdString();
        image.setDevicePixelRatio(pixelRatio);  // the plot laid out at `size`, drawn finer
        {
            QPainter painter(&image);
            paintPlot(painter, plot, size, colours);
        }
        if (!image.save(&buffer, "PNG"))
            return "The picture could not be encoded as PNG";
    } else if (pdf) {
        // A page of `size` points (a point is 1/72 inch) without margins, a pixel a point.
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfPointsPerInch);
        writer.setPageSize(QPageSize(QSizeF(size), QPageSize::Point, {}, QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(QStringLiteral("KALIBRIX"));
        writer.setCreator(QStringLiteral("KALIBRIX"));
        QPainter painter;
        if (!painter.begin(&writer))
            return "The picture could not be drawn as PDF";
        paintPlot(painter, plot, size, colours);
        if (!painter.end())
            return "The picture could not be drawn as PDF";
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

bool savePlot(const PlotDisplay& plot, const QString& file, QSize size, QString* error,
              double pixelRatio)
{
    const std::optional<std::string> why = savePlot(
        plot, std::filesystem::path(QFile::encodeName(file).toStdString()), size, pixelRatio);
    if (why && error)
        *error = QStringLiteral("Cannot write %1: %2.")
                     .arg(QDir::toNativeSeparators(file), QString::fromStdString(*why));
    return !why;
}

}  // namespace kalibrix
