// KALIBRIX start-up: loads the t table beside the executable and runs the demonstration.
#include "app/app_path.h"
#include "app/state.h"
#include "fit/number_format.h"
#include "regwin/driver.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>

#include <iostream>
#include <memory>

namespace {

bool displayAvailable()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char* argv[])
{
    std::unique_ptr<QCoreApplication> app;
    if (displayAvailable())
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);

    kalibrix::StartUp started = kalibrix::Main(kalibrix::appPath());
    if (!started.state) {
        std::cerr << started.error << '\n';
        if (qobject_cast<QApplication*>(app.get()))
            QMessageBox::critical(nullptr, kalibrix::kAppTitle,
                                  QString::fromStdString(started.error));
        return 1;
    }

    kalibrix::State& state = *started.state;
    kalibrix::RegControls controls;
    state.probCol = controls.comboProbIndex + 1;
    const auto fmt = kalibrix::NumberFormat::fromLocale(QLocale::system());
    kalibrix::A_PLOT(state, controls, fmt);
    const auto& l = controls.labels;
    std::cout << "Linear regression: a = " << l.lbl_LRa << ", b = " << l.lbl_LRb
              << ", r^2 = " << l.lbl_LRr << '\n';
    return 0;
}
