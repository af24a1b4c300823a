#include "app/state.h"
#include "support/test_support.h"

#include <QProcess>

#include <filesystem>
#include <fstream>

using namespace kalibrix;
namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path = fs::temp_directory_path() /
                    ("kalibrix-startup-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};

}  // namespace

TEST(StartUp, DemonstrationTableAndDefaults)
{
    StartUp s = Main(KALIBRIX_BIN_DIR);
    ASSERT_TRUE(s.state) << s.error;
    const DataTable& t = s.state->table;
    EXPECT_EQ(t.nData, 27);
    EXPECT_EQ(t.nY, 5);
    EXPECT_EQ(t.nCol, 2);
    EXPECT_TRUE(s.state->allData);
    EXPECT_FALSE(s.state->probCol);  // chosen when the window is set up
    int withValue = 0;
    for (int x = 0; x <= kMaxX; ++x)
        withValue += t.hasValue(x) ? 1 : 0;
    EXPECT_EQ(withValue, 5);
    EXPECT_EQ(*t.y[27], 500);
    EXPECT_DOUBLE_EQ(s.state->student.value[3][3], 3.18245);
}

TEST(StartUp, TheProgramStopsWithAClearMessageWhenTheTableIsBad)
{
    const struct {
        const char* content;  // nullptr: no student.dat at all
        const char* message;
    } cases[] = {
        {nullptr, "student.dat: cannot be read from "},
        {"header\n1, 1, 2, 3, 4, 5\n", "student.dat: record 1 has 5 values, 6 expected"},
        {"header\n1, 1, 2, x, 4, 5, 6\n", "student.dat: record 1, value 3 is not a number (\"x\")"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const fs::path exe = dir.path / "kalibrix";
        fs::copy_file(fs::path(KALIBRIX_BIN_DIR) / "kalibrix", exe);
        if (c.content)
            std::ofstream(dir.path / "student.dat") << c.content;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString(exe.string()), {});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 1) << c.message;
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_EQ(err.rfind(c.message, 0), 0u) << err;
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    }
}
