#include "regwin/driver.h"
#include "regwin/plot_geometry.h"
#include "regwin/qt/plot_painter.h"
#include "support/test_support.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

using namespace kalibrix;

// The start-up picture (points, linear fit with band, log fit, degree-2 polynomial, zigzag),
// painted at the designed size and twice that. The CLI's tests save it as PNG and SVG.
TEST(PlotRender, DemonstrationPlotPainted)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "plot_render_test";
    static char* argv[] = {name, nullptr};
    const QGuiApplication app(argc, argv);
    State s = kalibrix::test::startedState();
    A_PLOT(s, NumberFormat{});
    const PlotDisplay& plot = s.plot;

    for (int factor : {1, 2}) {
        SCOPED_TRACE(factor);
        const QSize size = designedPlotSize() * factor;
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        paintPlot(painter, plot, size, PlotColours{});
        painter.end();
        auto count = [&](QRect area, QRgb colour) {
            int n = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    n += image.pixel(x, y) == colour;
            return n;
        };
        const QRgb yellow = qRgb(255, 255, 192);
        EXPECT_EQ(image.pixel(2, 2), yellow);
        EXPECT_EQ(image.pixel(size.width() - 3, size.height() - 3), yellow);
        // The first point (5, 980): a black square outline around its centre.
        const UserScale& sc = plot.pict1Scale;
        const TwipsRect& p1 = plot.pict1Rect;
        const double cx = p1.left - plot.pict2Rect.left + (5 - sc.left) / sc.width * p1.width;
        const double cy = p1.top - plot.pict2Rect.top + (980 - sc.top) / sc.height * p1.height;
        const double k = double(factor) / kTwipsPerDesignedPixel;
        const int d = 4 * factor;
        const QRect around(int(cx * k) - d, int(cy * k) - d, 2 * d + 1, 2 * d + 1);
        EXPECT_GE(count(around, qRgb(0, 0, 0)), 6 * factor);
        EXPECT_GE(count(image.rect(), qRgb(255, 0, 255)), 300 * factor);  // the log curve
    }

    QTemporaryDir dir;  // the window's save dialog offers any name
    QString error;
    EXPECT_FALSE(savePlot(plot, dir.filePath("plot.bmp"), designedPlotSize(), &error));
    EXPECT_FALSE(error.isEmpty() || QFileInfo::exists(dir.filePath("plot.bmp")));
}
