#pragma once

#include "engine/fit_method.h"
#include "model/settings.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalibrix {

// Every fit method, in the order of the window's rows and of the export's column groups.
std::span<const FitMethod> fitMethods();

// The positions in fitMethods() in the order methods are fitted, warn and are drawn.
const std::vector<std::size_t>& methodsInRunOrder();

// The position of the method called `name` in fitMethods().
std::optional<std::size_t> methodNamed(std::string_view name);

// `text` with "{degree}" replaced by `degree`.
std::string withDegree(std::string_view text, std::string_view degree);

// A method's name for the user in a table's row or column: its summary row, or its caption
// in the window, the degree written in.
std::string methodLabel(const FitMethod& method, std::string_view degree);

// Whether the user's settings fit and show the method (it is always fitted or its Show box
// is ticked), and whether they export it.
bool isShown(const FitMethod& method, const Settings& settings);
bool isExported(const FitMethod& method, const Settings& settings);

// The settings of the window at start-up: every box as the method table says, the degree
// "6", both scales "Full", "All data", the band shown; no level yet (the window chooses it
// when it is set up, kalibrix-cli from its options).
Settings defaultSettings();

}  // namespace kalibrix
