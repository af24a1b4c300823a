#pragma once

#include "run/state.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kalibrix {

// Either the started state or the reason start-up failed.
struct StartUp {
    std::optional<State> state;
    std::string error;
};

// Start-up: loads the t table (student.dat beside the executable in appPath, else in the
// installed data folder, see studentFolder) and holds the demonstration table and the
// settings of the window at start-up.
StartUp Main(const std::filesystem::path& appPath);

}  // namespace kalibrix
