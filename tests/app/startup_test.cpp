#include "app/startup.h"
#include "support/test_support.h"

#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

using namespace kalibrix;
namespace fs = std::filesystem;

namespace {

// A display number nothing listens on.
std::string deadDisplay()
{
    for (int n = 99;; ++n)
        if (!fs::exists("/tmp/.X" + std::to_string(n) + "-lock") &&
            !fs::exists("/tmp/.X11-unix/X" + std::to_string(n)))
            return ":" + std::to_string(n);
}

}  // namespace

TEST(StartUp, DemonstrationTableAndDefaults)
{
    StartUp s = Main(KALIBRIX_BIN_DIR);
    ASSERT_TRUE(s.state) << s.error;
    const DataTable& t = s.state->table;
    EXPECT_EQ(t.nData, 27);
    EXPECT_EQ(t.nY, 5);
    EXPECT_EQ(t.nCol, 2);
    EXPECT_TRUE(s.state->settings.allData);
    EXPECT_FALSE(s.state->settings.level);  // chosen when the window is set up
    int withValue = 0;
    for (int x = 0; x <= kMaxX; ++x)
        withValue += t.hasValue(x) ? 1 : 0;
    EXPECT_EQ(withValue, 5);
    EXPECT_EQ(*t.y[27], 500);
    EXPECT_DOUBLE_EQ(s.state->student.value[3][3], 3.18245);
}

TEST(StartUp, TheProgramStopsWithAClearMessageWhenItCannotStart)
{
    const std::string display = deadDisplay();
    const std::string noDisplay = "kalibrix: no display to open the window on (";
    const std::string cli = "); kalibrix-cli works without one.\n";
    const struct {
        const char* content;  // nullptr: no student.dat at all; "": the real one
        std::pair<const char*, std::string> variable;  // set for the run, if named
        std::string message;
    } cases[] = {
        {nullptr, {}, "student.dat: cannot be read from "},
        {"header\n1, 1, 2, 3, 4, 5\n",
         {},
         "student.dat: line 2: record 1 has 5 values, 6 expected"},
        {"header\n1, 1, 2, x, 4, 5, 6\n",
         {},
         "student.dat: line 2: record 1, value 3 is not a number (\"x\")"},
        {"", {}, noDisplay + "neither DISPLAY nor WAYLAND_DISPLAY is set" + cli},
        {"", {"DISPLAY", display}, noDisplay + "DISPLAY=" + display + " did not answer" + cli},
        {"",
         {"WAYLAND_DISPLAY", "wayland-99"},
         noDisplay + "WAYLAND_DISPLAY=wayland-99 did not answer" + cli},
    };
    for (const auto& c : cases) {
        QTemporaryDir tmp;
        ASSERT_TRUE(tmp.isValid());
        const fs::path dir = tmp.path().toStdString();
        const fs::path exe = dir / "kalibrix";
        fs::copy_file(fs::path(KALIBRIX_BIN_DIR) / "kalibrix", exe);
        if (c.content && *c.content)
            std::ofstream(dir / "student.dat") << c.content;
        else if (c.content)
            fs::copy_file(fs::path(KALIBRIX_BIN_DIR) / "student.dat", dir / "student.dat");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.insert("XDG_RUNTIME_DIR", tmp.path());
        if (c.variable.first)
            env.insert(c.variable.first, QString::fromStdString(c.variable.second));
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString(exe.string()), {});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << c.message;
        EXPECT_EQ(p.exitCode(), 1) << c.message;
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_EQ(err.rfind(c.message, 0), 0u) << err;
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    }
}
