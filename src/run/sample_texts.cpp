#include "run/sample_texts.h"

#include "run/rounding.h"

#include <cmath>
#include <optional>

namespace kalibrix {

namespace {

std::string counted(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string copiedSamplesText(std::size_t samples, const std::string& analyte,
                              std::size_t pendingMarks)
{
    std::string text = "Copied " + counted(samples, "sample", "samples") +
                       (analyte.empty() ? "" : " of " + analyte) + " to the clipboard";
    if (pendingMarks > 0)
        text += ", corrected with the fits of the last run: " +
                counted(pendingMarks, "mark is", "marks are") +
                " not applied yet (press Plot and calculate)";
    return text;
}

std::string checkSummaryText(const CheckSummary& check, const std::string& pattern,
                             const NumberFormat& fmt)
{
    std::string text = "Check standard " + pattern + ": ";
    if (check.count == 0)
        return text + "no corrected value";
    text += counted(static_cast<std::size_t>(check.count), "result", "results");
    const std::pair<const char*, const std::optional<double>*> figures[] = {
        {"mean", &check.mean}, {"SD", &check.sd}, {"bias", &check.bias}, {"z", &check.z}};
    for (const auto& [name, value] : figures)
        if (*value && std::isfinite(**value))
            text += std::string(", ") + name + " " + Rounding(*value, fmt);
    return text;
}

std::string standardChosenText(const std::string& pattern)
{
    return "Standard " + pattern + ": the analytes refitted to its lines";
}

}  // namespace kalibrix
