#pragma once

#include <filesystem>
#include <vector>

namespace kalibrix {

// The folder that holds the running executable (needs a Qt application object).
std::filesystem::path appPath();

// The folders searched for student.dat, in order: the executable's folder `appPath`, then
// the data folder of an installation: share/kalibrix beside the executable's bin folder
// (wherever the installation was moved), then the folder the build installs into.
std::vector<std::filesystem::path> studentFolders(const std::filesystem::path& appPath);

// The first of studentFolders(appPath) that holds a student.dat; appPath when none does,
// so that the start-up error names the file beside the executable.
std::filesystem::path studentFolder(const std::filesystem::path& appPath);

}  // namespace kalibrix
