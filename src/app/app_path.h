#pragma once

#include <filesystem>

namespace kalibrix {

// The folder that holds the running executable (needs a Qt application object).
std::filesystem::path appPath();

}  // namespace kalibrix
