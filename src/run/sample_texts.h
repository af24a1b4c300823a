#pragma once

#include "run/number_format.h"
#include "run/samples.h"

#include <cstddef>
#include <string>

namespace kalibrix {

// What the window says about the corrected samples.

// "Copied 12 samples of Cu to the clipboard"; with marks made since the last run it adds
// that the copy holds the correction of that run.
std::string copiedSamplesText(std::size_t samples, const std::string& analyte,
                              std::size_t pendingMarks = 0);

// The check standard's summary line under the samples table, its figures as the results
// grid rounds them: "Check standard QC: 4 results, mean 1.002, SD 0.003100, bias 0.002000,
// z 0.6452"; a figure without a value is left out, and without a corrected check line it
// says so.
std::string checkSummaryText(const CheckSummary& check, const std::string& pattern,
                             const NumberFormat& fmt);

// After the standard changed (the run follows at once): "Standard STD*: the analytes
// refitted to its lines".
std::string standardChosenText(const std::string& pattern);

}  // namespace kalibrix
