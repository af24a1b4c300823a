#include "run/driver.h"
#include "run/plot_geometry.h"
#include "render/plot_painter.h"
#include "support/test_support.h"

#include <algorithm>
#include <cmath>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QTemporaryDir>

using namespace kalibrix;

namespace {

// The application the painting needs, made once for every test.
void needApplication()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "plot_render_test";
    static char* argv[] = {name, nullptr};
    static const QGuiApplication app(argc, argv);
}

QImage painted(const PlotDisplay& plot, QSize size, PlotColours colours)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    paintPlot(painter, plot, size, colours);
    painter.end();
    return image;
}

}  // namespace

// The start-up picture (points, linear fit with band, log fit, degree-2 polynomial, zigzag),
// painted at the designed size and twice that, without and with anti-aliasing. The CLI's
// tests save it as PNG and SVG.
TEST(PlotRender, DemonstrationPlotPainted)
{
    needApplication();
    State s = kalibrix::test::startedState();
    plotAndCalculate(s, NumberFormat{});
    const PlotDisplay& plot = s.plot;
    QSet<QRgb> pens{qRgb(255, 255, 255), qRgb(0, 0, 0)};  // pict1's background, foreground
    for (const Shape& sh : plot.pict1.shapes)
        if (sh.colour)
            pens.insert(qRgb(sh.colour->r, sh.colour->g, sh.colour->b));

    for (const bool antialias : {false, true}) {
        for (const int factor : {1, 2}) {
            SCOPED_TRACE(testing::Message() << factor << (antialias ? " anti-aliased" : ""));
            const QSize size = designedPlotSize() * factor;
            QImage image(size, QImage::Format_RGB32);
            QPainter painter(&image);
            PlotColours colours;
            colours.antialias = antialias;
            paintPlot(painter, plot, size, colours);
            painter.end();
            auto count = [&](QRect area, auto which) {
                int n = 0;
                for (int y = area.top(); y <= area.bottom(); ++y)
                    for (int x = area.left(); x <= area.right(); ++x)
                        n += which(image.pixel(x, y));
                return n;
            };
            auto is = [](QRgb colour) { return [=](QRgb p) { return p == colour; }; };
            const QRgb yellow = qRgb(255, 255, 192);
            EXPECT_EQ(image.pixel(2, 2), yellow);
            EXPECT_EQ(image.pixel(size.width() - 3, size.height() - 3), yellow);
            // The first point (5, 980): a black square outline around its centre, crisp
            // either way.
            const UserScale& sc = plot.pict1Scale;
            const TwipsRect& p1 = plot.pict1Rect;
            const double cx = p1.left - plot.pict2Rect.left + (5 - sc.left) / sc.width * p1.width;
            const double cy = p1.top - plot.pict2Rect.top + (980 - sc.top) / sc.height * p1.height;
            const double k = double(factor) / kTwipsPerDesignedPixel;
            const int d = 4 * factor;
            const QRect around(int(cx * k) - d, int(cy * k) - d, 2 * d + 1, 2 * d + 1);
            EXPECT_GE(count(around, is(qRgb(0, 0, 0))), 6 * factor);
            // Without anti-aliasing every pixel of pict1 has a pen's colour or none; with it,
            // the slanted curves blend into the background.
            const PixelRect r = PlotGeometry(plot, size.width(), size.height()).pict1();
            const QRect inside(int(r.left) + 1, int(r.top) + 1, int(r.width) - 2,
                               int(r.height) - 2);
            const int blended = count(inside, [&](QRgb p) { return !pens.contains(p); });
            if (antialias) {
                EXPECT_GE(blended, 3000 * factor);
            } else {
                EXPECT_EQ(blended, 0);
                EXPECT_GE(count(image.rect(), is(qRgb(255, 0, 255))), 300 * factor);  // log curve
            }
        }
    }

    // A run's samples: a triangle under the X axis at each sample's X, a check standard's in
    // its own colour; none beyond the plot's X range (it would cover the Y axis's labels).
    {
        PlotDisplay marked = plot;
        marked.sampleMarks = {{10, false}, {20, true}, {-5, false}};
        const QSize size = designedPlotSize();
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        paintPlot(painter, marked, size, PlotColours{});
        painter.end();
        const PixelRect r = PlotGeometry(marked, size.width(), size.height()).pict1();
        auto count = [&](Rgb c, int left, int right) {
            int n = 0;
            for (int y = int(r.top + r.height); y < int(r.top + r.height) + 6; ++y)
                for (int x = left; x < right; ++x)
                    n += image.pixel(x, y) == qRgb(c.r, c.g, c.b);
            return n;
        };
        const int left = int(r.left);
        EXPECT_GE(count(kSampleMarkColour, left, int(r.left + r.width)), 6);
        EXPECT_GE(count(kCheckMarkColour, left, int(r.left + r.width)), 6);
        EXPECT_EQ(count(kSampleMarkColour, 0, left - 1), 0);
    }

    // A PDF page in vectors: paths, no picture of pixels.
    QTemporaryDir dir;  // the window's save dialog offers any name
    QString error;
    ASSERT_TRUE(savePlot(plot, dir.filePath("plot.pdf"), designedPlotSize(), &error))
        << error.toStdString();
    QFile pdf(dir.filePath("plot.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_TRUE(bytes.contains("/MediaBox [0 0 777.000000 433.000000]"));
    EXPECT_FALSE(bytes.contains("/Subtype /Image"));
    const qsizetype start = bytes.indexOf("stream\n") + 7;  // the page's drawing, packed
    QByteArray packed = bytes.mid(start, bytes.indexOf("endstream", start) - start);
    packed.prepend(QByteArray("\x00\x10\x00\x00", 4));  // qUncompress's size hint
    const QByteArray page = qUncompress(packed);
    EXPECT_GE(page.count(" re\n") - page.count(" re\nf\n"), 5);  // the marks, stroked together
    EXPECT_GE(page.count(" l\n"), 100);                          // the curves' segments

    EXPECT_FALSE(savePlot(plot, dir.filePath("plot.bmp"), designedPlotSize(), &error));
    EXPECT_FALSE(error.isEmpty() || QFileInfo::exists(dir.filePath("plot.bmp")));
}

// The largest tables, every method shown, a few standards rejected: drawn only through what
// the pixels can show (each curve through the first, lowest, highest and last node of each
// column of pixels, the marks of one pen together and joined), the picture is the one drawn
// through every node and mark: the marks' pixels exactly, the curves' the same pixels with
// anti-aliasing's shades where many nodes overlapped. At the window's size, the report's
// and twice the window's.
TEST(PlotRender, ReducedDrawingShowsThePixelsOfTheFullOne)
{
    needApplication();
    struct Table {
        int step;
        bool errors;
    } const tables[] = {{1, true}, {5, true}, {5, false}};  // 30000 or 6000 bars; 6000 squares
    for (const Table& t : tables) {
        State s = kalibrix::test::startedState();
        for (const FitMethod& m : fitMethods())
            s.settings.show[m.name] = kTicked;
        DataTable table;
        for (int x = t.step; x <= kMaxX; x += t.step) {
            const double u = x / double(kMaxX);
            // A drift with a wave and a noise of about 0.3 %.
            const double y = (10000 + 1500 * u - 900 * u * u + 120 * std::sin(7 * u)) *
                             (1 + 0.003 * std::sin(x * 12.9898));
            table.y[size_t(x)] = y;
            table.yErr[size_t(x)] = 0.001 * y;
            table.nData = x;
            ++table.nY;
        }
        table.nCol = t.errors ? 3 : 2;
        for (const int x : {1000, 15000, 25000})
            table.rejFlag[size_t(x)] = 1;
        s.table() = std::move(table);
        for (const bool zoom : {false, true}) {
            s.settings.scaleYFull = !zoom;
            plotAndCalculate(s, NumberFormat{});
            PlotDisplay marks = s.plot;  // the marks and axes alone
            std::erase_if(marks.pict1.shapes, [](const Shape& sh) { return sh.count > 2; });
            for (const QSize size :
                 {designedPlotSize(), designedPlotSize() * 0.875, designedPlotSize() * 2}) {
                for (const bool antialias : {false, true}) {
                    SCOPED_TRACE(testing::Message() << t.step << (zoom ? " zoom " : " full ")
                                                    << size.width() << (antialias ? " aa" : ""));
                    PlotColours full, reduced;
                    full.antialias = reduced.antialias = antialias;
                    full.reduce = false;
                    EXPECT_EQ(painted(marks, size, reduced), painted(marks, size, full));
                    const QImage a = painted(s.plot, size, full);
                    const QImage b = painted(s.plot, size, reduced);
                    // Pixels drawn in one and not the other, and pixels of clearly another
                    // colour (more than a quarter of a channel's range apart).
                    int drawn = 0, other = 0;
                    for (int y = 0; y < size.height(); ++y)
                        for (int x = 0; x < size.width(); ++x) {
                            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                            drawn += (p == qRgb(255, 255, 255)) != (q == qRgb(255, 255, 255));
                            other += std::abs(qRed(p) - qRed(q)) > 64 ||
                                     std::abs(qGreen(p) - qGreen(q)) > 64 ||
                                     std::abs(qBlue(p) - qBlue(q)) > 64;
                        }
                    const int pixels = size.width() * size.height();
                    EXPECT_LE(drawn, pixels / 1000);
                    EXPECT_LE(other, pixels / 100);
                }
            }
        }
    }
}
