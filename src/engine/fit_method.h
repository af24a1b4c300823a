#pragma once

#include "model/colour.h"
#include "model/data_stats.h"
#include "model/data_table.h"
#include "model/fit_result.h"
#include "model/settings.h"
#include "model/student_table.h"

#include <array>
#include <memory>
#include <optional>
#include <span>

namespace kalibrix {

class LooWorkspace;
class ReadingVariance;
class SmoothingSpline;

// What the fits of one input share, each part made when a fit first needs it (see
// fit/uncertainty.h): the standards in use with their least-squares factorisations, and
// the variance of one reading at any X.
struct FitShared {
    std::optional<bool> weighted;  // whether the fits weigh by the errors (weighsByErrors)
    std::shared_ptr<LooWorkspace> workspace;
    std::shared_ptr<const ReadingVariance> readings;
    // The smoothing spline of the standards, its fit and its leave-one-out errors made once.
    std::shared_ptr<const SmoothingSpline> spline;
    bool splineTried = false;
};

// What a fit method is given: the table, its counts, the t table and the user's settings.
struct FitInput {
    const DataTable& table;
    const DataStats& stats;
    const StudentTable& student;
    const Settings& settings;
    std::shared_ptr<FitShared> shared = std::make_shared<FitShared>();
};

// A method's answer: its result, or none and, where the user should hear why, a warning
// (its kind and degree; the run fills in the method and the count).
struct FitOutcome {
    std::optional<FitResult> result;
    std::optional<FitWarning> warning;
};

// How a method's curve is drawn.
enum class CurveShape {
    Line,    // one straight segment from X = 0 to the largest X
    EveryX,  // a node at every whole X from the first X with a value
    Nodes,   // through the result's nodes
};

// What a method's group in the export's summary line holds after its label.
enum class ExportSummary {
    Numbers,   // the average differences as numbers
    Captions,  // the average differences as the window shows them
    NameOnly,  // nothing: the label alone, and in both head lines the group ends without tabs
};

// The figures of a fit that a method's row in the results grid and kalibrix-cli --summary
// give, in the grid's order (the leave-one-out per cent follows them all).
enum ResultCell {
    kCellA,         // a, the intercept (the mean's level)
    kCellB,         // b, the slope
    kCellRSquared,  // r²
    kCellEdf,       // the effective degrees of freedom of a smoother
    kCellDiff,      // the average difference between data and fit
    kCellDiffProc,  // the same in per cent of Y
    kResultCells
};

// Leave-one-out errors, one per standard in use in increasing X (those of the workspace),
// none where there is no prediction; held by the workspace until its next use.
using LooErrors = std::span<const std::optional<double>>;

// One fit method: every front end, the export and the picture loop over the table of these
// (fitMethods() in method_table.h). "{degree}" in a text stands for the degree the run
// asked of the chosen-degree polynomial.
struct FitMethod {
    const char* name = "";          // in kalibrix-cli's --show and --export
    const char* description = "";   // in a sentence: "the linear regression"
    const char* cliNote = nullptr;  // said after the name in kalibrix-cli's help
    int minPoints = 0;              // fitted points a run needs before it tries the method
    bool alwaysFitted = false;      // fitted on every run; its Show box ticked and disabled
    bool shownAtStart = false;
    bool exportedAtStart = false;
    int runOrder = 0;  // methods are fitted, warn and are drawn in this order
    FitOutcome (*fit)(const FitInput& input) = nullptr;
    // Its leave-one-out errors; nullptr: found by fitting the method again without each
    // standard.
    LooErrors (*leaveOneOut)(const FitInput& input, LooWorkspace& workspace) = nullptr;

    const char* summaryRow = nullptr;  // its row in kalibrix-cli --summary
    const char* exportLabel = "";      // its label in the export's summary line
    ExportSummary exportSummary = ExportSummary::Numbers;
    const char* exportTitle = "";      // its column title in the export
    const char* bandColumn = nullptr;  // title of the band's half-width column after its values
    bool exportNodesOnly = false;      // once fitted, its columns only between its end nodes
    bool listsParameters = false;      // its coefficients and dsig fill the parameter listing

    std::optional<Rgb> pen = std::nullopt;  // curve colour; none: the foreground colour
    CurveShape curve = CurveShape::EveryX;
    int curveBeyond = 0;  // an EveryX curve's last node lies this far beyond nData

    // Its row in the results grid: the caption (none: the chosen-degree polynomial's degree
    // box stands there), the colour of caption and figures (none: the text colour), the
    // figures it shows, and the group it is listed in under the group's heading.
    const char* caption = nullptr;
    std::optional<Rgb> textColour = std::nullopt;
    std::array<bool, kResultCells> figures{};
    const char* group = nullptr;
};

}  // namespace kalibrix
