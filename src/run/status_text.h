#pragma once

#include "engine/fit_method.h"
#include "engine/method_table.h"
#include "model/data_table.h"
#include "model/fit_result.h"
#include "model/run_results.h"
#include "model/settings.h"
#include "model/student_table.h"
#include "run/number_format.h"
#include "run/paste_table.h"

#include <cstddef>
#include <optional>
#include <string>

namespace kalibrix {

// What the window's status line says after an action or over a point.

// "Pasted 5 standards, X 5 to 27, from 5 lines"; for a named table also its analytes; then,
// after "; ", what pasteNotesText says, if anything.
std::string pastedText(const PastedTable& pasted);

// What the paste took otherwise than written or set aside, each kind with its count and its
// first line: "1 line rounded to a whole X (line 3: X "4.5" taken as 4); 1 line replaced by
// a later line of the same X (line 2 by line 6: X 10); 1 line left out with Y ≤ 0 (line 7:
// X 12)". A named table counts values where a line holds one per analyte and names the
// analyte ("Cu at X 12"). Empty when the paste took every cell as written.
std::string pasteNotesText(const PastedTable& pasted);

// "X = 10, Y = 770 marked for rejection: press Plot and calculate to refit" (or "taken
// back"); `analyte` leads it for a named table.
std::string markedText(const DataTable& table, int x, const std::string& analyte,
                       const NumberFormat& fmt);

// "Copied 31 lines with 4 methods to the clipboard"; with marks made since the last run it
// adds that the copy holds the fits of that run: the marks are not applied yet.
std::string copiedText(std::size_t lines, std::size_t methods, std::size_t analytes,
                       std::size_t pendingMarks = 0);

// After a run: "Calculated with 4 standards in use, 1 rejected" of the analyte shown
// (`analyte` leads it for a named table), followed by what bestPredictorText says.
std::string calculatedText(const RunResults& results, const std::string& analyte);

// After a run whose method that predicts best (the bold leave-one-out figure) is the mean of
// the standards, `meanMethod` in the method table: "The mean predicts best: the drift does
// not exceed the scatter of the standards." Empty otherwise, and without a mean method.
std::string bestPredictorText(const RunResults& results,
                              std::optional<std::size_t> meanMethod = methodNamed("mean"));

// A Shift+click's mark of the standards at X of every analyte that has one there: "X = 10
// marked for rejection in 3 analytes: press Plot and calculate to refit" (or "taken back").
std::string markedEveryText(int x, bool rejected, std::size_t analytes);

// "Showing Zn (2 of 3 analytes)".
std::string shownText(const std::string& analyte, std::size_t index, std::size_t count);

// "Every rejection taken back"; of a named table's analyte, which one, and that the others
// keep theirs.
std::string restoredText(const std::string& analyte);

// " (calculated first: 2 marks applied)" after what a report or a saved session did with
// marks pending: both describe the state after a run with every mark. Empty without marks.
std::string appliedMarksText(std::size_t pendingMarks);

// Over a data point: "X = 10, Y = 770, error 2.5: in use, a click rejects it"; over one no fit
// takes, why ("X = 12, Y = -3: left out, Y ≤ 0 is never fitted").
std::string pointText(const DataTable& table, int x, const NumberFormat& fmt);

// A method's caption in the window: its row's caption, or for the chosen-degree polynomial
// "6 ord." with the degree of `degreeText`.
std::string methodCaption(const FitMethod& method, const std::string& degreeText);

// "MSWD 1.230 (0.3100 to 1.690 expected from scatter alone)", for a weighted fit's cells.
std::string mswdText(const Mswd& mswd, const NumberFormat& fmt);

// Over the plot away from a point: X and the value of the band's method there with the
// half-width of its band, "X = 12: 2 ord. 734.2 ± 5.100 (95%, curve)" (the figures as the grid rounds them); "X = 12" alone where
// that method has no value or was not fitted, the value alone where it has no uncertainty.
std::string bandValueText(const RunResults& results, const Settings& settings,
                          const StudentTable& student, int x, const NumberFormat& fmt);

// With "Weight by the errors" on and a standard in use without an error above 0: "Not
// weighted: the standard at X = 12 has no error above 0". Empty otherwise.
std::string unweightedText(const DataTable& table, const Settings& settings);

// A run's warning with the degree asked for and the standards the run had in use.
std::string warningText(const FitWarning& warning);

}  // namespace kalibrix
