#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalibrix {

// Check box values as the window holds them: only kTicked counts as ticked.
inline constexpr int kUnticked = 0;
inline constexpr int kTicked = 1;
inline constexpr int kGrey = 2;

inline bool ticked(int checkValue) { return checkValue == kTicked; }

// The check values of the methods' boxes by method name (as in kalibrix-cli's --show).
using MethodBoxes = std::map<std::string, int, std::less<>>;

// The check value of the box of the method called `name`; unticked where it has none.
inline int boxOf(const MethodBoxes& boxes, std::string_view name)
{
    const auto it = boxes.find(name);
    return it == boxes.end() ? kUnticked : it->second;
}

// Which uncertainty of a method's value a band, the hover and the export's "±" cells give.
enum class UncertaintyKind {
    Curve,    // of the curve: how well the fit knows the drift at X
    Reading,  // of a new reading: where a further standard measured at X would fall
};

// How a sample's reading is corrected with the standard's value S(X) at its X and the
// standard's known value R.
enum class CorrectionKind {
    Ratio,       // reading * R / S
    Difference,  // reading - S + R
    Delta,       // (reading / S * (1 + R / 1000) - 1) * 1000, per mil
};

// A known value (of the standard, or of a check standard) and its standard uncertainty.
struct KnownValue {
    double value = 0;
    std::optional<double> u;
    bool operator==(const KnownValue&) const = default;
};

// The window's two lists: the confidence levels (item i is column i + 1 of the t table) and
// the degrees offered for the chosen-degree polynomial.
const std::vector<std::string>& levelItems();   // "0.1    80%" .. "0.001  99.8"
const std::vector<std::string>& degreeItems();  // "2" .. kHighestDegreeItem
// The highest degree the list offers: the highest the polynomial fit takes.
inline constexpr int kHighestDegreeItem = 23;
inline constexpr int kDefaultLevel = 2;       // "0.025  95%"
inline constexpr int kDefaultDegreeItem = 4;  // "6"

// Every choice the user makes, in one place: the window writes each change here as it
// happens, the batch front end fills it from its options, and a run reads it.
struct Settings {
    MethodBoxes show;              // check value of each method's Show box
    MethodBoxes exported;          // check value of each method's Export box
    int showBand = kTicked;        // "Show confidence band" of the linear fit
    std::string degreeText = "6";  // degree of the chosen-degree polynomial, as typed or chosen
    std::optional<int> level;      // position in levelItems(); none until the window is set up
    bool scaleYFull = true;        // Y scale "Full" (otherwise "Zoom")
    bool scaleXFull = true;        // X scale "Full" (otherwise "Zoom")
    bool allData = true;           // Y scaling at rejection: "All data" (or "Only unrejected")
    // "Weight by the errors": with a table that has errors of Y, every fit weighs each
    // standard by 1 / err^2 (off: every standard counts alike, as without errors).
    bool weightByErrors = false;
    // "Band of": the name (as in kalibrix-cli's --band) of the method whose band is drawn
    // and whose value the hover gives; the linear fit's band is the confidence band of old.
    std::string bandMethod = "linear";
    // "curve / new reading": the kind of uncertainty of the band, the hover and the export.
    UncertaintyKind uncertaintyKind = UncertaintyKind::Curve;
    // "Export uncertainties": each exported method's value followed by its "±" cell.
    bool exportUncertainties = false;
    // "Residuals": the plot shows Y minus the value of the band's method at every standard,
    // with its band about zero, instead of the data and the curves.
    bool plotResiduals = false;

    // Run tables (a named table with an ID column): the standard's ID, or a pattern with
    // '*' and '?'; empty: the most frequent ID of the run.
    std::string standardPattern;
    // The check standard's ID or pattern, corrected as a sample to prove the correction;
    // empty: none.
    std::string checkPattern;
    CorrectionKind correction = CorrectionKind::Ratio;
    // "Correct with": a method's kalibrix-cli name, or "best" (the one that predicts best).
    std::string correctWith = "best";
    // "Max. gap": a sample farther than this from the nearest standard in use on either
    // side is flagged; none: no such flag.
    std::optional<double> maxGap;
    // Known values by analyte name ("" stands for every analyte without one of its own):
    // of the standard, and of the check standard.
    std::map<std::string, KnownValue> known;
    std::map<std::string, KnownValue> checkKnown;

    bool operator==(const Settings&) const = default;
};

}  // namespace kalibrix
