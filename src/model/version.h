#pragma once

#include <string_view>

namespace kalibrix {

// The program's version, from the build (the project's version in CMakeLists.txt).
inline constexpr std::string_view kProgramVersion = KALIBRIX_VERSION;

}  // namespace kalibrix
