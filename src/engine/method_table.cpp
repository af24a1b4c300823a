#include "engine/method_table.h"

#include "engine/linear.h"
#include "engine/logarithmic.h"
#include "engine/mean.h"
#include "engine/polynomial.h"
#include "engine/smoothing_fit.h"
#include "engine/zigzag.h"

#include <algorithm>
#include <numeric>

namespace kalibrix {

namespace {

constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kOrange{255, 128, 0};
constexpr Rgb kSteelBlue{70, 130, 180};
constexpr Rgb kPurple{128, 0, 128};

constexpr const char* kPolynomials = "Polynomial regression";
// The figures of a regression, of the mean, of a smoother and of a polynomial.
constexpr std::array<bool, kResultCells> kLineFigures{true, true, true, false, true, true};
constexpr std::array<bool, kResultCells> kLevelFigures{true, false, false, false, true, true};
constexpr std::array<bool, kResultCells> kSmootherFigures{false, false, false, true, true, true};
constexpr std::array<bool, kResultCells> kDifferences{false, false, false, false, true, true};

// A polynomial of fixed degree D: its pen and text colours.
template <int D>
FitMethod polynomialOfDegree(int runOrder, Rgb pen, Rgb colour, bool atStart)
{
    static const std::string n = std::to_string(D);
    static const std::string description = "the polynomial of degree " + n;
    static const std::string name = "poly" + n, caption = n + " ord.",
                             label = "Poly" + n + ".R. aver.diff. /diff.%",
                             title = "Poly" + n + ".Reg.";
    return {.name = name.c_str(),
            .description = description.c_str(),
            .minPoints = 3,
            .shownAtStart = atStart,
            .exportedAtStart = atStart,
            .runOrder = runOrder,
            .fit = &fitPolynomialOfDegree<D>,
            .leaveOneOut = &looPolynomialOfDegree<D>,
            .summaryRow = caption.c_str(),
            .exportLabel = label.c_str(),
            .exportSummary = ExportSummary::Captions,
            .exportTitle = title.c_str(),
            .pen = pen,
            .caption = caption.c_str(),
            .textColour = colour,
            .figures = kDifferences,
            .group = kPolynomials};
}

// The table, made on first use (its polynomial rows' texts are made then too).
std::span<const FitMethod> table()
{
    static const FitMethod methods[] = {
        {.name = "linear",
         .description = "the linear regression",
         .minPoints = 2,
         .alwaysFitted = true,
         .shownAtStart = true,
         .exportedAtStart = true,
         .runOrder = 1,
         .fit = &fitLinear,
         .leaveOneOut = &looLinear,
         .summaryRow = "Linear regression",
         .exportLabel = "L.R. aver.diff. /diff.%",
         .exportTitle = "Lin.Reg.",
         .bandColumn = "C.I.",
         .curve = CurveShape::Line,
         .caption = "Linear regression",
         .figures = kLineFigures},
        {.name = "log",
         .description = "the logarithmic regression",
         .minPoints = 3,
         .shownAtStart = true,
         .exportedAtStart = true,
         .runOrder = 2,
         .fit = &fitLogarithmic,
         .leaveOneOut = &looLogarithmic,
         .summaryRow = "Logarithmic regression",
         .exportLabel = "Log.R. aver.diff. /diff.%",
         .exportTitle = "Log.Reg.",
         .pen = kMagenta,
         .curveBeyond = 1,
         .caption = "Logarithmic regression",
         .textColour = kMagenta,
         .figures = kLineFigures},
        {.name = "mean",
         .description = "the mean of the standards (no drift)",
         .minPoints = 2,
         .shownAtStart = true,
         .runOrder = 8,
         .fit = &fitMean,
         .leaveOneOut = &looMean,
         .exportLabel = "Mean aver.diff. /diff.%",
         .exportSummary = ExportSummary::Captions,
         .exportTitle = "Mean",
         .pen = kSteelBlue,
         .curve = CurveShape::Line,
         .caption = "Mean (no drift)",
         .textColour = kSteelBlue,
         .figures = kLevelFigures},
        polynomialOfDegree<2>(4, {0, 255, 0}, {0, 192, 0}, true),
        polynomialOfDegree<3>(5, {0, 192, 0}, {0, 128, 0}, false),
        polynomialOfDegree<4>(6, {0, 192, 192}, {0, 192, 192}, false),
        polynomialOfDegree<5>(7, {128, 128, 255}, {128, 128, 255}, false),
        {.name = "poly",
         .description = "the polynomial of the degree chosen below",
         .cliNote = "(the degree of --degree)",
         .minPoints = 3,
         .runOrder = 3,
         .fit = &fitChosenPolynomial,
         .leaveOneOut = &looChosenPolynomial,
         .summaryRow = "{degree} ord.",
         .exportLabel = "Poly{degree}.R. aver.diff. /diff.%",
         .exportSummary = ExportSummary::Captions,
         .exportTitle = "Poly{degree}.Reg.",
         .listsParameters = true,
         .pen = Rgb{0, 0, 255},
         .textColour = Rgb{0, 0, 192},
         .figures = kDifferences,
         .group = kPolynomials},
        {.name = "spline",
         .description = "the smoothing spline",
         .minPoints = kSmoothingSplineMinPoints,
         .shownAtStart = true,
         .runOrder = 9,
         .fit = &fitSmoothingSpline,
         .leaveOneOut = &looSmoothingSpline,
         .exportLabel = "Spline aver.diff. /diff.%",
         .exportSummary = ExportSummary::Captions,
         .exportTitle = "Spline",
         .pen = kPurple,
         .caption = "Smoothing spline",
         .textColour = kPurple,
         .figures = kSmootherFigures},
        {.name = "zigzag",
         .description = "the zigzag between clusters of standards",
         .shownAtStart = true,
         .runOrder = 0,
         .fit = &fitZigZag,
         .leaveOneOut = &looZigZag,
         .exportLabel = "Zigzag",
         .exportSummary = ExportSummary::NameOnly,
         .exportTitle = "Zigzag",
         .exportNodesOnly = true,
         .pen = kOrange,
         .curve = CurveShape::Nodes,
         .caption = "Zigzag between clusters of standards",
         .textColour = kOrange},
    };
    return methods;
}

}  // namespace

std::span<const FitMethod> fitMethods() { return table(); }

const std::vector<std::size_t>& methodsInRunOrder()
{
    static const std::vector<std::size_t> order = [] {
        const std::span<const FitMethod> methods = table();
        std::vector<std::size_t> o(methods.size());
        std::iota(o.begin(), o.end(), std::size_t{0});
        std::stable_sort(o.begin(), o.end(), [&](std::size_t a, std::size_t b) {
            return methods[a].runOrder < methods[b].runOrder;
        });
        return o;
    }();
    return order;
}

std::optional<std::size_t> methodNamed(std::string_view name)
{
    const std::span<const FitMethod> methods = table();
    for (std::size_t m = 0; m < methods.size(); ++m)
        if (name == methods[m].name)
            return m;
    return std::nullopt;
}

std::string withDegree(std::string_view text, std::string_view degree)
{
    constexpr std::string_view kDegree = "{degree}";
    std::string out(text);
    if (const std::size_t at = out.find(kDegree); at != std::string::npos)
        out.replace(at, kDegree.size(), degree);
    return out;
}

std::string methodLabel(const FitMethod& method, std::string_view degree)
{
    return withDegree(method.summaryRow ? method.summaryRow : method.caption, degree);
}

bool isShown(const FitMethod& method, const Settings& settings)
{
    return method.alwaysFitted || ticked(boxOf(settings.show, method.name));
}

bool isExported(const FitMethod& method, const Settings& settings)
{
    return ticked(boxOf(settings.exported, method.name));
}

Settings defaultSettings()
{
    Settings s;
    for (const FitMethod& m : table()) {
        s.show[m.name] = m.shownAtStart ? kTicked : kUnticked;
        s.exported[m.name] = m.exportedAtStart ? kTicked : kUnticked;
    }
    return s;
}

}  // namespace kalibrix
