#include "run/status_text.h"

#include "engine/method_table.h"
#include "engine/weights.h"
#include "run/driver.h"
#include "run/rounding.h"

#include <algorithm>

namespace kalibrix {

namespace {

std::string counted(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "X = 10, Y = 770" of a point with a value.
std::string position(const DataTable& table, int x, const NumberFormat& fmt)
{
    return "X = " + std::to_string(x) + ", Y = " + fmt.general(table.y[x]);
}

constexpr std::size_t kNamesListed = 6;  // analytes a paste names before "..."

}  // namespace

std::string pastedText(const PastedTable& pasted)
{
    std::size_t standards = 0;
    int first = kMaxX;
    int last = 0;
    for (const Analyte& a : pasted.analytes) {
        standards += static_cast<std::size_t>(a.table.nY);
        for (int x = 1; x <= a.table.nData; ++x)
            if (a.table.hasValue(x) && !a.table.leftOut(x)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    }
    std::string text = "Pasted " + counted(standards, "standard", "standards");
    if (pasted.named) {
        text += " of " + counted(pasted.analytes.size(), "analyte", "analytes") + " (";
        for (std::size_t a = 0; a < pasted.analytes.size() && a < kNamesListed; ++a)
            text += (a ? ", " : "") + pasted.analytes[a].name;
        text += pasted.analytes.size() > kNamesListed ? ", ...)" : ")";
    }
    if (last >= first)
        text += ", X " + std::to_string(first) + " to " + std::to_string(last);
    text += ", from " + counted(pasted.lines, "line", "lines");
    if (pasted.notes.any())
        text += "; " + pasteNotesText(pasted);
    return text;
}

std::string pasteNotesText(const PastedTable& pasted)
{
    const PasteNotes& notes = pasted.notes;
    std::string text;
    const auto say = [&](const PasteNote& note, const char* one, const char* many,
                         const std::string& what, const std::string& where) {
        if (note.count == 0)
            return;
        text += (text.empty() ? "" : "; ") + counted(note.count, one, many) + " " + what +
                " (line " + std::to_string(note.line) + where + ")";
    };
    // Where a value is: its analyte (in a named table) and its X.
    const auto at = [&](const PasteNote& note) {
        return (note.analyte.empty() ? "" : note.analyte + " at ") + "X " + std::to_string(note.x);
    };
    const char* value = pasted.named ? "value" : "line";
    const char* values = pasted.named ? "values" : "lines";
    say(notes.rounded, "line", "lines", "rounded to a whole X",
        ": X " + notes.rounded.read + " taken as " + std::to_string(notes.rounded.x));
    say(notes.replaced, value, values, "replaced by a later line of the same X",
        " by line " + std::to_string(notes.replaced.laterLine) + ": " + at(notes.replaced));
    say(notes.leftOut, value, values, "left out with Y \u2264 0", ": " + at(notes.leftOut));
    say(notes.atZero, "line", "lines", "left out at X 0", "");
    say(notes.lonelyErrors, "error", "errors", "without a Y left out",
        ": " + at(notes.lonelyErrors));
    say(notes.unusedCells, "line", "lines", "with cells beyond the table's columns",
        ": cell " + std::to_string(notes.unusedCells.cell) + " not used");
    return text;
}

std::string markedText(const DataTable& table, int x, const std::string& analyte,
                       const NumberFormat& fmt)
{
    return (analyte.empty() ? "" : analyte + ": ") + position(table, x, fmt) +
           (table.inUse(x) ? " taken back" : " marked for rejection") +
           ": press Plot and calculate to refit";
}

std::string copiedText(std::size_t lines, std::size_t methods, std::size_t analytes,
                       std::size_t pendingMarks)
{
    std::string text = "Copied " + counted(lines, "line", "lines") + " with " +
                       counted(methods, "method", "methods") +
                       (analytes > 1 ? " of " + counted(analytes, "analyte", "analytes") : "") +
                       " to the clipboard";
    if (pendingMarks > 0)
        text += ", the fits of the last run: " + counted(pendingMarks, "mark is", "marks are") +
                " not applied yet (press Plot and calculate)";
    return text;
}

std::string calculatedText(const RunResults& results, const std::string& analyte)
{
    std::string text =
        (analyte.empty() ? "Calculated" : analyte + ": calculated") + " with " +
        counted(static_cast<std::size_t>(results.stats.nOK), "standard", "standards") +
        " in use, " + std::to_string(results.rejected.size()) + " rejected";
    if (const std::string best = bestPredictorText(results); !best.empty())
        text += ". " + best;
    return text;
}

std::string bestPredictorText(const RunResults& results, std::optional<std::size_t> meanMethod)
{
    if (!meanMethod || results.bestPredictor != meanMethod)
        return {};
    return "The mean predicts best: the drift does not exceed the scatter of the standards.";
}

std::string markedEveryText(int x, bool rejected, std::size_t analytes)
{
    return "X = " + std::to_string(x) +
           (rejected ? " marked for rejection in " : " taken back in ") +
           counted(analytes, "analyte", "analytes") + ": press Plot and calculate to refit";
}

std::string shownText(const std::string& analyte, std::size_t index, std::size_t count)
{
    return "Showing " + analyte + " (" + std::to_string(index + 1) + " of " +
           counted(count, "analyte", "analytes") + ")";
}

std::string restoredText(const std::string& analyte)
{
    return analyte.empty()
               ? "Every rejection taken back"
               : "Every rejection of " + analyte + " taken back; the other analytes keep theirs";
}

std::string appliedMarksText(std::size_t pendingMarks)
{
    return pendingMarks == 0
               ? ""
               : " (calculated first: " + counted(pendingMarks, "mark", "marks") + " applied)";
}

std::string pointText(const DataTable& table, int x, const NumberFormat& fmt)
{
    std::string text = position(table, x, fmt);
    if (table.yErr[x])
        text += ", error " + fmt.general(table.yErr[x]);
    if (table.leftOut(x))
        return text + (x == 0 ? ": left out, X 0 is never fitted"
                              : ": left out, Y \u2264 0 is never fitted");
    return text +
           (table.inUse(x) ? ": in use, a click rejects it" : ": rejected, a click takes it back");
}

std::string warningText(const FitWarning& warning)
{
    std::string text = messageFor(warning).text;
    if (warning.kind == FitWarning::Kind::TooFewData)
        return text + " (degree " + warning.degree + ", " +
               counted(static_cast<std::size_t>(warning.nOK), "standard", "standards") + " in use)";
    return text + " (\"" + warning.degree + "\" asked for)";
}

std::string methodCaption(const FitMethod& method, const std::string& degreeText)
{
    return method.caption ? std::string(method.caption)
                          : withDegree(method.summaryRow ? method.summaryRow : "", degreeText);
}

std::string mswdText(const Mswd& mswd, const NumberFormat& fmt)
{
    return "MSWD " + Rounding(mswd.value, fmt) + " (" + Rounding(mswd.low(), fmt) + " to " +
           Rounding(mswd.high(), fmt) + " expected from scatter alone)";
}

std::string bandValueText(const RunResults& results, const Settings& settings,
                          const StudentTable& student, int x, const NumberFormat& fmt)
{
    std::string text = "X = " + std::to_string(x);
    const std::optional<std::size_t> m = methodNamed(settings.bandMethod);
    const FitResult* fit = m ? results.fit(*m) : nullptr;
    const std::optional<double> v = fit ? fit->value(x) : std::nullopt;
    if (!v)
        return text;
    text += ": " + methodCaption(fitMethods()[*m], settings.degreeText);
    text += " " + Rounding(*v, fmt);
    const std::optional<Uncertainty> u = fit->uncertainty(x);
    const std::optional<double> h =
        u && settings.level ? u->halfWidth(settings.uncertaintyKind, student, *settings.level + 1)
                            : std::nullopt;
    if (!h)
        return text;
    const std::string& item = levelItems()[static_cast<std::size_t>(*settings.level)];
    std::string level = item.substr(item.find_last_of(' ') + 1);  // "95%"
    if (level.back() != '%')
        level += "%";
    return text + " \u00b1 " + Rounding(*h, fmt) + " (" + level + ", " +
           (settings.uncertaintyKind == UncertaintyKind::Curve ? "curve" : "new reading") + ")";
}

std::string unweightedText(const DataTable& table, const Settings& settings)
{
    if (!settings.weightByErrors || table.nCol < 3)
        return {};
    const std::optional<int> x = firstStandardWithoutError(table);
    return x ? "Not weighted: the standard at X = " + std::to_string(*x) + " has no error above 0"
             : std::string();
}

}  // namespace kalibrix
