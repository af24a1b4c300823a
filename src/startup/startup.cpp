#include "startup/startup.h"

#include "startup/app_path.h"
#include "startup/student_file.h"

namespace kalibrix {

StartUp Main(const std::filesystem::path& appPath)
{
    StartUp result;
    StudentLoad load = loadStudentTable(studentFolder(appPath));
    if (!load.table) {
        result.error = load.error;
        return result;
    }
    State& s = result.state.emplace();
    s.student = *load.table;
    s.table() = demonstrationTable();
    s.source = {kDemonstrationText, "C", "demonstration table"};
    return result;
}

}  // namespace kalibrix
