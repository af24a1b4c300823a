#pragma once

#include "run/number_format.h"

#include <optional>
#include <string>

namespace kalibrix {

// The text of a figure as the window, the report and kalibrix-cli --summary show it, with at
// least four significant digits. From 0.001 up to 9999999 (and for 0) in fixed notation with
// decimals chosen by magnitude: above 1000 none, above 100 one, above 10 two, above 1 three,
// above 0.1 four, from 0.01 five, from 0.001 six (1234.567 is 1235, 0.5 is 0.5000, 0.0123456
// is 0.01235, 0.00123456 is 0.001235); beyond that range in exponent form with four
// significant digits, 2.565E+10 or 2.346E-06. No result gives the empty text.
std::string Rounding(const std::optional<double>& value, const NumberFormat& fmt);

// `value` as Rounding shows it, read back as a number: what the user compares.
double shownValue(double value);

// The texts of the first design, which the export's summary line copies: decimals by
// magnitude as in Rounding but never more than five and never an exponent, so that a
// value below 0.000005 shows as 0.00000 and a large one with all its integer digits.
std::string fixedRounding(const std::optional<double>& value, const NumberFormat& fmt);

}  // namespace kalibrix
