#include "regwin/status_text.h"

#include "regwin/driver.h"

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
        for (int x = 0; x <= a.table.nData; ++x)
            if (a.table.hasValue(x)) {
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
    return text + ", from " + counted(pasted.lines, "line", "lines");
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
    return (analyte.empty() ? "Calculated" : analyte + ": calculated") + " with " +
           counted(static_cast<std::size_t>(results.stats.nOK), "standard", "standards") +
           " in use, " + std::to_string(results.rejected.size()) + " rejected";
}

std::string shownText(const std::string& analyte, std::size_t index, std::size_t count)
{
    return "Showing " + analyte + " (" + std::to_string(index + 1) + " of " +
           counted(count, "analyte", "analytes") + ")";
}

std::string restoredText(const std::string& analyte)
{
    return analyte.empty() ? "Every rejection taken back"
                           : "Every rejection of " + analyte +
                                 " taken back; the other analytes keep theirs";
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

}  // namespace kalibrix
