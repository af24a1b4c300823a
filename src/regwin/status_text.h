#pragma once

#include "model/data_table.h"
#include "model/fit_result.h"
#include "regwin/number_format.h"
#include "regwin/paste_table.h"

#include <cstddef>
#include <string>

namespace kalibrix {

// What the window's status line says after an action or over a point.

// "Pasted 5 standards, X 5 to 27, from 5 lines"; for a named table also its analytes.
std::string pastedText(const PastedTable& pasted);

// "X = 10, Y = 770 marked for rejection: press Plot and calculate to refit" (or "taken
// back"); `analyte` leads it for a named table.
std::string markedText(const DataTable& table, int x, const std::string& analyte,
                       const NumberFormat& fmt);

// "Copied 31 lines with 4 methods to the clipboard".
std::string copiedText(std::size_t lines, std::size_t methods, std::size_t analytes);

// Over a data point: "X = 10, Y = 770, error 2.5: in use, a click rejects it".
std::string pointText(const DataTable& table, int x, const NumberFormat& fmt);

// A run's warning with the degree asked for and the standards the run had in use.
std::string warningText(const FitWarning& warning);

}  // namespace kalibrix
