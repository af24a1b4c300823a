#include "app/app_path.h"
#include "cli/cli.h"
#include "regwin/qt/plot_painter.h"

#include <QGuiApplication>

#include <cstdio>

namespace {

std::optional<std::string> writePlot(const kalibrix::PlotDisplay& plot, const QString& file,
                                     QSize size)
{
    QString error;
    if (kalibrix::savePlot(plot, file, size.isEmpty() ? kalibrix::designedPlotSize() : size,
                           &error))
        return std::nullopt;
    return error.toStdString();
}

// Standard error belongs to the program's own messages, which scripts read; Qt's notes
// about the platform (no runtime folder and the like) are dropped, its errors kept.
void qtMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char* argv[])
{
    // Pictures are painted off screen; a batch run never needs a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(qtMessages);
    QGuiApplication app(argc, argv);
    const kalibrix::cli::CliResult result = kalibrix::cli::runCli(
        QCoreApplication::arguments(),
        {kalibrix::appPath(), kalibrix::cli::readAllStdin, QLocale::system(), writePlot});
    std::fwrite(result.err.data(), 1, result.err.size(), stderr);
    std::fwrite(result.out.data(), 1, result.out.size(), stdout);
    return std::fflush(stdout) == 0 ? result.status : kalibrix::cli::kExitFailure;
}
