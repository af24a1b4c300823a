// The window's executable, started where it cannot start.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

TEST(StartUp, TheProgramStopsWithAClearMessageWhenItCannotStart)
{
    int n = 99;  // a display number nothing listens on
    while (fs::exists("/tmp/.X" + std::to_string(n) + "-lock") ||
           fs::exists("/tmp/.X11-unix/X" + std::to_string(n)))
        ++n;
    const std::string display = ":" + std::to_string(n);
    const std::string noDisplay = "kalibrix: no display to open the window on (";
    const std::string cli = "); kalibrix-cli works without one.\n";
    const struct {
        const char* content;   // nullptr: no student.dat at all; "": the real one
        const char* variable;  // set to `value` for the run, if named
        std::string value, message;
    } cases[] = {
        {nullptr, nullptr, "", "student.dat: cannot be read from "},
        {"", nullptr, "", noDisplay + "neither DISPLAY nor WAYLAND_DISPLAY is set" + cli},
        {"", "DISPLAY", display, noDisplay + "DISPLAY=" + display + " did not answer" + cli},
        {"", "WAYLAND_DISPLAY", "wayland-99",
         noDisplay + "WAYLAND_DISPLAY=wayland-99 did not answer" + cli},
    };
    for (const auto& c : cases) {
        QTemporaryDir tmp;
        const fs::path dir = tmp.path().toStdString();
        fs::copy_file(fs::path(KALIBRIX_BIN_DIR) / "kalibrix", dir / "kalibrix");
        if (c.content && *c.content)
            std::ofstream(dir / "student.dat") << c.content;
        else if (c.content)
            fs::copy_file(fs::path(KALIBRIX_BIN_DIR) / "student.dat", dir / "student.dat");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("XDG_RUNTIME_DIR", tmp.path());
        if (c.variable)
            env.insert(c.variable, QString::fromStdString(c.value));
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString((dir / "kalibrix").string()), {});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_TRUE(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 1) << c.message;
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_EQ(err.rfind(c.message, 0), 0u) << err;
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    }
}
