#pragma once

#include "regwin/number_format.h"

#include <optional>
#include <string>

namespace kalibrix {

// Display text of a fit parameter with decimals chosen by magnitude, so that roughly four
// to five significant digits show: above 1000 none, above 100 one, above 10 two, above 1
// three, above 0.1 four, otherwise five. No result gives the empty text.
std::string Rounding(const std::optional<double>& value, const NumberFormat& fmt);

}  // namespace kalibrix
