#include "startup/memory.h"
#include "startup/app_path.h"
#include "startup/student_file.h"
#include "cli/cli.h"
#include "render/plot_painter.h"
#include "render/report.h"
#include "workbook/workbook.h"

#include <QGuiApplication>

#include <cstdio>
#include <new>

namespace {

std::optional<std::string> writePlot(const kalibrix::PlotDisplay& plot,
                                     const std::filesystem::path& file, QSize size)
{
    return kalibrix::savePlot(plot, file, size.isEmpty() ? kalibrix::designedPlotSize() : size);
}

std::optional<std::string> writeReport(const kalibrix::State& state,
                                       const kalibrix::NumberFormat& fmt,
                                       const std::filesystem::path& file, std::string_view source)
{
    return kalibrix::writeReport(state, fmt, file, source, QDateTime::currentDateTime());
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
try {
    kalibrix::keepFreedMemory();
    // Pictures are painted off screen; a batch run never needs a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(qtMessages);
    // The command line as bytes (QCoreApplication's list decodes them and loses what is not
    // UTF-8, such as some file names), all of it for the program: Qt is given none, since it
    // would take its own options out, among them "--session FILE".
    const std::vector<std::string> arguments(argv, argv + argc);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    const kalibrix::cli::CliResult result = kalibrix::cli::runCli(
        arguments,
        {[] { return kalibrix::loadStudentTable(kalibrix::studentFolder(kalibrix::appPath())); },
         kalibrix::cli::readStdin, QLocale::system(), writePlot, writeReport,
         kalibrix::writeWorkbook});
    return kalibrix::cli::emitResult(result, stdout, stderr);
} catch (const std::bad_alloc&) {
    // Wherever memory runs out (a large input under a memory limit), a message, not a crash.
    std::fputs("kalibrix-cli: out of memory\n", stderr);
    return kalibrix::cli::kExitFailure;
}
