#include "fit/method_table.h"

#include "fit/linear.h"
#include "fit/logarithmic.h"
#include "fit/polynomial.h"
#include "fit/zigzag.h"

#include <algorithm>
#include <numeric>

namespace kalibrix {

namespace {

constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kOrange{255, 128, 0};

// A polynomial of fixed degree D: its row at `top`, its pen and window colours, and the
// controls named after it.
template <int D>
FitMethod polynomialOfDegree(int runOrder, Rgb pen, double top, Rgb colour, bool atStart)
{
    static const std::string n = std::to_string(D);
    static const std::string description = "the polynomial of degree " + n;
    static const std::string name = "poly" + n, caption = n + " ord.",
                             label = "Poly" + n + ".R. aver.diff. /diff.%",
                             title = "Poly" + n + ".Reg.", diff = "lblDiffPoly_" + n,
                             proc = "lblDiffProcPoly_" + n, show = "chkPoly_" + n,
                             exported = "chkEX_" + std::to_string(D);
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
            .row = {.top = top,
                    .captionLeft = 8360,
                    .captionWidth = 700,
                    .caption = caption.c_str(),
                    .colour = colour,
                    .cells = {nullptr, nullptr, nullptr, diff.c_str(), proc.c_str()},
                    .showBox = show.c_str(),
                    .exportBox = exported.c_str()}};
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
         .row = {.top = 6960,
                 .captionLeft = 4200,
                 .captionWidth = 1980,
                 .caption = "Linear regression",
                 .cells = {"lbl_LRa", "lbl_LRb", "lbl_LRr", "lblDiff", "lblDiffProc"},
                 .showBox = "Check1",
                 .exportBox = "chkEX_0"}},
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
         .row = {.top = 7440,
                 .captionLeft = 4200,
                 .captionWidth = 1980,
                 .caption = "Logarithmic regression",
                 .colour = kMagenta,
                 .cells = {"lbl_LoRa", "lbl_LoRb", "lbl_LoRr", "lblDiffLog", "lblDiffProcLog"},
                 .showBox = "chkLog",
                 .exportBox = "chkEX_1"}},
        polynomialOfDegree<2>(4, {0, 255, 0}, 7920, {0, 192, 0}, true),
        polynomialOfDegree<3>(5, {0, 192, 0}, 8160, {0, 128, 0}, false),
        polynomialOfDegree<4>(6, {0, 192, 192}, 8400, {0, 192, 192}, false),
        polynomialOfDegree<5>(7, {128, 128, 255}, 8640, {128, 128, 255}, false),
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
         .row = {.top = 9000,
                 .captionLeft = 8360,
                 .captionWidth = 615,
                 .colour = Rgb{0, 0, 192},
                 .cells = {nullptr, nullptr, nullptr, "lblDiffPoly_1", "lblDiffProcPoly_1"},
                 .showBox = "chkPoly_1",
                 .exportBox = "chkEX_6"}},
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
         .row = {.top = 9480,
                 .captionLeft = 6240,
                 .captionWidth = 4320,
                 .caption = "Zigzag between clusters of standards",
                 .colour = kOrange,
                 .showBox = "chkZigZag",
                 .exportBox = "chkEX_7"}},
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
    return withDegree(method.summaryRow ? method.summaryRow : method.row.caption, degree);
}

Settings defaultSettings()
{
    Settings s;
    for (const FitMethod& m : table()) {
        s.show.push_back(m.shownAtStart ? kTicked : kUnticked);
        s.exported.push_back(m.exportedAtStart ? kTicked : kUnticked);
    }
    return s;
}

}  // namespace kalibrix
