#pragma once

#include "run/number_format.h"
#include "run/state.h"

#include <QDateTime>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kalibrix {

// Writes the report of the last run as an A4 PDF, through saveFile (a failed write leaves no
// half-written file): one page per analyte (one for a plain table; more only where its
// rejections or parameters do not fit), each with the title, `when`, the program's version,
// `source` (where the table came from, such as a session's file name or "clipboard"), the
// analyte's name, every method's row of the results grid with its leave-one-out figures, the
// counts, the rejected standards, the parameter listing, the settings, the plot as vector
// graphics (white plot area, black foreground) and, when the picture shows the residual view
// (Settings::plotResiduals), the residuals of every standard (X, Y, state, each shown
// method's value, residual and leave-one-out residual, on as many pages as they need).
// Every figure is the text the window shows
// for that run with `fmt`. Returns the reason when the report could not be written.
std::optional<std::string> writeReport(const State& state, const NumberFormat& fmt,
                                       const std::filesystem::path& file, std::string_view source,
                                       const QDateTime& when);

}  // namespace kalibrix
