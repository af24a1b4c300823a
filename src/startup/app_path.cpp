#include "startup/app_path.h"

#include "startup/student_file.h"

#include <QCoreApplication>

#include <system_error>

namespace kalibrix {

std::filesystem::path appPath()
{
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String());
}

std::vector<std::filesystem::path> studentFolders(const std::filesystem::path& appPath)
{
    std::vector<std::filesystem::path> folders{appPath};
#ifdef KALIBRIX_DATA_FROM_BIN
    folders.push_back((appPath / KALIBRIX_DATA_FROM_BIN).lexically_normal());
#endif
#ifdef KALIBRIX_INSTALLED_DATA
    folders.emplace_back(KALIBRIX_INSTALLED_DATA);
#endif
    return folders;
}

std::filesystem::path studentFolder(const std::filesystem::path& appPath)
{
    for (const std::filesystem::path& folder : studentFolders(appPath)) {
        std::error_code ec;
        if (std::filesystem::exists(folder / kStudentFileName, ec))
            return folder;
    }
    return appPath;
}

}  // namespace kalibrix
