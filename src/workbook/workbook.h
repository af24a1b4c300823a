#pragma once

#include "run/number_format.h"
#include "run/state.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalibrix {

// The names of the sheets of the analytes called `names`, in their order: each name as a
// valid Excel sheet name, every one of []:*?/\ made "_", a leading or trailing apostrophe
// dropped, cut to 31 characters, an empty name "Analyte N" (N its place from 1); a name taken
// already (in any case, "Summary", "Samples", "Settings" and Excel's "History" among them)
// gets " (2)", " (3)", ... within the 31 characters.
std::vector<std::string> analyteSheetNames(const std::vector<std::string>& names);

// Writes the results of the last run of `state` as an XLSX workbook to `file`, whole or not at
// all (as saveFile writes): a sheet per analyte (X, Data, State, the exported columns of
// the export and the shown methods' residuals), "Summary" (the figures of kalibrix-cli
// --summary and the method that predicts best), "Samples" (the corrected samples, for a run
// table) and "Settings" (the settings, the rejections, the program's version and `source`,
// where the table came from). Numbers are cells of numbers, each the number the export writes
// (15 significant digits), shown with all of them; `fmt` gives no separator to the cells, but
// rounds the summary's figures as the window does. Returns the reason when it cannot.
std::optional<std::string> writeWorkbook(const State& state, const NumberFormat& fmt,
                                         const std::filesystem::path& file,
                                         std::string_view source);

}  // namespace kalibrix
