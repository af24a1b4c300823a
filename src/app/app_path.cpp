#include "app/app_path.h"

#include <QCoreApplication>

namespace kalibrix {

std::filesystem::path appPath()
{
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String());
}

}  // namespace kalibrix
