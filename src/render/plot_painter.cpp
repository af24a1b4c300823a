#include "render/plot_painter.h"

#include "run/plot_geometry.h"
#include "run/plot_scale.h"
#include "run/save_file.h"

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
#include <cstdint>
#include <span>
#include <vector>

namespace kalibrix {

namespace {

const QColor kFrameColour(255, 255, 192);  // pict2's light yellow
constexpr int kPdfPointsPerInch = 72;

QPointF qt(PointF p) { return {p.x, p.y}; }
QRectF qt(const PixelRect& r) { return {r.left, r.top, r.width, r.height}; }

// A device pixel: its column and row.
struct Pixel {
    int column = 0;
    int row = 0;
    auto operator<=>(const Pixel&) const = default;
};

// The painter's map to its device's pixels where it only scales and moves: a point of the
// painter's coordinates moved onto the centre of its device pixel, where an anti-aliased line
// one device pixel wide (the cosmetic pen) covers just that pixel (lines along the axes, mark
// squares and error bars stay as crisp as drawn without anti-aliasing, on the pixels that
// drawing would take, and cover them fully), and a point's place among the device's pixels,
// by which a curve is drawn only through the points its pixels can show. Neither when the
// painter rotates or shears.
class DevicePixels {
public:
    explicit DevicePixels(const QPainter& painter)
    {
        const QTransform toDevice = painter.deviceTransform();
        m_on = toDevice.type() <= QTransform::TxScale && toDevice.isInvertible();
        if (!m_on)
            return;
        const QTransform fromDevice = toDevice.inverted();
        // The coefficients QTransform::map applies to a transform of these types.
        m_to = {toDevice.m11(), toDevice.m22(), toDevice.dx(), toDevice.dy()};
        m_from = {fromDevice.m11(), fromDevice.m22(), fromDevice.dx(), fromDevice.dy()};
    }
    bool on() const { return m_on; }
    PointF toDevice(QPointF p) const { return m_to.map(p.x(), p.y()); }
    // The pixel a point lies in (the device's coordinates are held within a few million).
    Pixel pixelOf(QPointF p) const
    {
        const PointF d = toDevice(p);
        return {static_cast<int>(std::floor(d.x)), static_cast<int>(std::floor(d.y))};
    }
    // The centre of a pixel in the painter's coordinates.
    QPointF centre(Pixel p) const
    {
        const PointF c = m_from.map(p.column + 0.5, p.row + 0.5);
        return {c.x, c.y};
    }
    QPointF snap(QPointF p) const { return centre(pixelOf(p)); }

private:
    struct Scale {
        double sx = 1, sy = 1, dx = 0, dy = 0;
        PointF map(double x, double y) const { return {sx * x + dx, sy * y + dy}; }
    };
    bool m_on = false;
    Scale m_to;
    Scale m_from;
};

// Whether every segment of the points runs along an axis.
bool alongAxes(std::span<const PointF> pts)
{
    for (size_t i = 1; i < pts.size(); ++i)
        if (pts[i].x != pts[i - 1].x && pts[i].y != pts[i - 1].y)
            return false;
    return true;
}

// A curve with more points than this is drawn through the points its pixels can show.
constexpr std::size_t kReduceAbove = 4;

// The marks that follow each other in one solid pen, drawn together by flush(). Those on
// pixel centres (snapped) cover their pixels fully in the pen's colour, so that their order
// among themselves changes nothing and only the pixels they cover count: lines along one
// column of pixels that overlap or touch are joined into one, as are those along one row
// that follow each other. A large table's thousands of marks cost a few calls, and the few
// lines their pixels need.
class MarkBatch {
public:
    MarkBatch(QPainter& painter, const DevicePixels& device) : m_painter(painter), m_device(device)
    {}
    // A line between the centres of two pixels of a column or a row; one of no length draws
    // nothing (as a polyline of two equal points draws nothing).
    void snappedLine(Pixel a, Pixel b)
    {
        if (a == b)
            return;
        if (a.column == b.column) {
            m_columns.push_back({a.column, std::min(a.row, b.row), std::max(a.row, b.row)});
            return;
        }
        const Run row{a.row, std::min(a.column, b.column), std::max(a.column, b.column)};
        if (!m_rows.empty() && m_rows.back().at == row.at && row.from <= m_rows.back().to + 1 &&
            m_rows.back().from <= row.to + 1) {
            m_rows.back().from = std::min(m_rows.back().from, row.from);
            m_rows.back().to = std::max(m_rows.back().to, row.to);
            return;
        }
        m_rows.push_back(row);
    }
    // An outline between the centres of two pixels (anti-aliased, its corners are shaded: one
    // drawn twice is drawn twice).
    void snappedRect(Pixel a, Pixel b)
    {
        m_rects.push_back(QRectF(m_device.centre(a), m_device.centre(b)).normalized());
    }

    void flush()
    {
        // The lines of a column joined, the columns in any order (a table's marks come in
        // increasing X, so only those of one column need sorting).
        if (!std::is_sorted(m_columns.begin(), m_columns.end(),
                            [](const Run& a, const Run& b) { return a.at < b.at; }))
            std::sort(m_columns.begin(), m_columns.end());
        for (auto group = m_columns.begin(); group != m_columns.end();) {
            const auto end = std::find_if(group, m_columns.end(),
                                          [&](const Run& r) { return r.at != group->at; });
            std::sort(group, end);
            for (auto r = group; r != end;) {
                Run joined = *r;
                for (++r; r != end && r->from <= joined.to + 1; ++r)
                    joined.to = std::max(joined.to, r->to);
                m_lines.emplace_back(m_device.centre({joined.at, joined.from}),
                                     m_device.centre({joined.at, joined.to}));
            }
            group = end;
        }
        for (const Run& r : m_rows)
            m_lines.emplace_back(m_device.centre({r.from, r.at}), m_device.centre({r.to, r.at}));
        if (!m_lines.empty())
            m_painter.drawLines(m_lines.data(), static_cast<int>(m_lines.size()));
        if (!m_rects.empty())
            m_painter.drawRects(m_rects.data(), static_cast<int>(m_rects.size()));
        m_lines.clear();
        m_columns.clear();
        m_rows.clear();
        m_rects.clear();
    }

private:
    // Pixels `from` to `to` of the column or row `at`.
    struct Run {
        int at;
        int from;
        int to;
        auto operator<=>(const Run&) const = default;
    };
    QPainter& m_painter;
    const DevicePixels& m_device;
    std::vector<Run> m_columns;
    std::vector<Run> m_rows;
    std::vector<QLineF> m_lines;
    std::vector<QRectF> m_rects;
};

// Draws a layer's shapes in their order with the painter's anti-aliasing as set; with `snap`,
// shapes along the axes lie on pixel centres. With `reduce`, each solid curve is drawn only
// through the points its device pixels can show (columnExtremes) and the marks in one solid
// pen that follow each other are drawn together (MarkBatch): the same pixels, less work.
template <class Map>
void drawLayer(QPainter& painter, const Layer& layer, const QColor& foreground, Map map,
               const DevicePixels& device, bool snap, bool reduce)
{
    QPen pen(foreground, 1);
    pen.setCosmetic(true);
    painter.setBrush(Qt::NoBrush);
    const Shape* penOf = nullptr;  // the shape the pen was set for
    MarkBatch batch(painter, device);
    QPolygonF poly;
    std::vector<PointF> pixels;
    std::vector<std::uint32_t> keep;
    for (const Shape& s : layer.shapes) {
        if (!penOf || s.colour != penOf->colour || s.style != penOf->style) {
            batch.flush();
            pen.setColor(s.colour ? QColor(s.colour->r, s.colour->g, s.colour->b) : foreground);
            if (s.style == PenStyle::Dotted)
                pen.setDashPattern({1, 1});  // every other pixel: a small mark still shows dots
            else
                pen.setStyle(Qt::SolidLine);
            painter.setPen(pen);
            penOf = &s;
        }
        const auto pts = layer.pointsOf(s);
        const bool snapped = snap && device.on() && s.kind != ShapeKind::Ellipse &&
                             (s.kind == ShapeKind::Rectangle || alongAxes(pts));
        auto place = [&](PointF p) { return snapped ? device.snap(map(p)) : map(p); };
        if (reduce && snapped && s.style == PenStyle::Solid && pts.size() == 2) {
            const Pixel a = device.pixelOf(map(pts[0]));
            const Pixel b = device.pixelOf(map(pts[1]));
            if (s.kind == ShapeKind::Rectangle)
                batch.snappedRect(a, b);
            else
                batch.snappedLine(a, b);
            continue;
        }
        batch.flush();
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
        poly.resize(static_cast<qsizetype>(pts.size()));
        QPointF* const placed = poly.data();
        for (std::size_t i = 0; i < pts.size(); ++i)
            placed[i] = place(pts[i]);
        if (reduce && device.on() && s.style == PenStyle::Solid && pts.size() > kReduceAbove) {
            pixels.resize(pts.size());
            for (std::size_t i = 0; i < pts.size(); ++i)
                pixels[i] = device.toDevice(placed[i]);
            columnExtremes(pixels, keep);
            qsizetype kept = 0;
            for (const std::uint32_t i : keep)
                placed[kept++] = placed[i];
            poly.resize(kept);
        }
        painter.drawPolyline(poly);
    }
    batch.flush();
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
        const QPointF corners[3] = {
            {x, bottom}, {x - half, bottom + height}, {x + half, bottom + height}};
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
    const DevicePixels device(painter);
    drawLayer(
        painter, plot.pict1, colours.text, [&](PointF p) { return qt(map.userToPixels(p)); },
        device, colours.antialias, colours.reduce);
    painter.restore();
    drawLayer(
        painter, plot.pict2, colours.text, [&](PointF p) { return qt(map.twipsToPixels(p)); },
        device, false, colours.reduce);
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
