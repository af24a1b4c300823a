// KALIBRIX: loads the t table and opens the regression window with the demonstration table.
#include "app/app_path.h"
#include "app/state.h"
#include "app/user_message.h"
#include "regwin/qt/reg_window.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <iostream>

namespace {

bool displayAvailable()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

// Without a display the start-up is still checked, so that a missing or broken t table is
// reported the same way everywhere; the window itself needs a display.
int runWithoutDisplay(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const kalibrix::StartUp started = kalibrix::Main(kalibrix::appPath());
    if (!started.state) {
        std::cerr << started.error << '\n';
        return 1;
    }
    std::cerr << "kalibrix: no display to open the window on (neither DISPLAY nor "
                 "WAYLAND_DISPLAY is set); kalibrix-cli works without one.\n";
    return 1;
}

// KALIBRIX_SCREENSHOT=FILE (used by scripts/screenshot): once the window is up and set up,
// save a picture of it to FILE and quit; the exit status tells whether the file was written.
void takeScreenshotWhenShown(QWidget& window, const QString& file)
{
    QTimer::singleShot(500, &window, [&window, file] {
        const bool saved = window.grab().save(file);
        if (!saved)
            std::cerr << "kalibrix: cannot write the screenshot " << file.toStdString() << '\n';
        QCoreApplication::exit(saved ? 0 : 1);
    });
}

}  // namespace

int main(int argc, char* argv[])
{
    if (!displayAvailable())
        return runWithoutDisplay(argc, argv);

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("kalibrix"));

    kalibrix::StartUp started = kalibrix::Main(kalibrix::appPath());
    if (!started.state) {
        std::cerr << started.error << '\n';
        if (!QGuiApplication::platformName().startsWith(QLatin1String("offscreen")))
            QMessageBox::critical(nullptr, QString::fromUtf8(kalibrix::kAppTitle),
                                  QStringLiteral("KALIBRIX cannot start.\n\n") +
                                      QString::fromStdString(started.error));
        return 1;
    }

    kalibrix::RegWindow window(*started.state);
    window.show();
    if (const QString shot = qEnvironmentVariable("KALIBRIX_SCREENSHOT"); !shot.isEmpty())
        takeScreenshotWhenShown(window, shot);
    return app.exec();
}
