// KALIBRIX: loads the t table and opens the regression window with the demonstration table.
#include "startup/memory.h"
#include "startup/app_path.h"
#include "startup/startup.h"
#include "model/user_message.h"
#include "window/reg_window.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

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

// "DISPLAY=:99 did not answer", "neither WAYLAND_DISPLAY=wayland-0 nor DISPLAY=:0 answered".
std::string displaysThatDidNotAnswer()
{
    std::vector<std::string> named;
    for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"})
        if (qEnvironmentVariableIsSet(variable))
            named.push_back(variable + ('=' + qEnvironmentVariable(variable).toStdString()));
    if (named.empty())
        return "QT_QPA_PLATFORM=" + qEnvironmentVariable("QT_QPA_PLATFORM").toStdString() +
               " could not start";
    if (named.size() == 1)
        return named[0] + " did not answer";
    return "neither " + named[0] + " nor " + named[1] + " answered";
}

// While the application object connects to the display, Qt's fatal "no Qt platform plugin
// could be initialized" (a display that does not answer, such as a stale ssh forward, or
// one without its plugin) becomes the plain report of a missing display and exit status 1
// instead of an abort. Qt's other messages of that time are held back and passed on once
// the connection stands, dropped when it fails.
class DisplayConnection {
public:
    DisplayConnection()
    {
        s_previous = qInstallMessageHandler(&DisplayConnection::handle);
        s_connecting = true;
    }
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;
    ~DisplayConnection() { stands(); }

    // The application object exists: back to the usual handler, with the held messages.
    static void stands()
    {
        if (!std::exchange(s_connecting, false))
            return;
        qInstallMessageHandler(s_previous);
        for (const Held& m : std::exchange(s_held, {}))
            qt_message_output(m.type, QMessageLogContext(nullptr, 0, nullptr, m.category.data()),
                              m.text);
    }

private:
    struct Held {
        QtMsgType type;
        std::string category;
        QString text;
    };

    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type != QtFatalMsg) {
            s_held.push_back({type, context.category ? context.category : "", text});
            return;
        }
        if (text.contains(QLatin1String("platform plugin"))) {
            std::cerr << "kalibrix: no display to open the window on ("
                      << displaysThatDidNotAnswer() << "); kalibrix-cli works without one.\n";
            std::_Exit(1);
        }
        stands();
        qt_message_output(type, context, text);  // shows it and ends the program as Qt does
    }

    static inline bool s_connecting = false;
    static inline QtMessageHandler s_previous = nullptr;
    static inline std::vector<Held> s_held;
};

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
    kalibrix::keepFreedMemory();
    if (!displayAvailable())
        return runWithoutDisplay(argc, argv);

    DisplayConnection connection;
    QApplication app(argc, argv);
    connection.stands();
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
