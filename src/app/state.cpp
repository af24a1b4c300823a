#include "app/state.h"

#include "app/app_path.h"

namespace kalibrix {

StartUp Main(const std::filesystem::path& appPath)
{
    StartUp result;
    StudentLoad load = Load_Student(studentFolder(appPath));
    if (!load.table) {
        result.error = load.error;
        return result;
    }
    State& s = result.state.emplace();
    s.appPath = appPath;
    s.student = *load.table;
    s.allData = true;
    s.table = demonstrationTable();
    return result;
}

}  // namespace kalibrix
