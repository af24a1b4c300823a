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

// A polynomial of a fixed degree: its row at `top`, its slot in the window's names, its
// window and pen colours.
constexpr FitMethod polynomialOfDegree(const char* name, FitOutcome (*fit)(const FitInput&),
                                       int runOrder, const char* summaryRow,
                                       const char* exportLabel, const char* exportTitle, Rgb pen,
                                       double top, const char* caption, Rgb colour,
                                       const char* diffCell, const char* procCell,
                                       const char* showBox, const char* exportBox, bool atStart)
{
    return {name,
            nullptr,
            3,
            false,
            atStart,
            atStart,
            runOrder,
            fit,
            summaryRow,
            exportLabel,
            ExportSummary::Captions,
            exportTitle,
            nullptr,
            false,
            false,
            pen,
            CurveShape::EveryX,
            0,
            {top,
             8360,
             700,
             caption,
             colour,
             {nullptr, nullptr, nullptr, diffCell, procCell},
             showBox,
             exportBox}};
}

const FitMethod kMethods[] = {
    {"linear",
     nullptr,
     2,
     true,
     true,
     true,
     1,
     &fitLinear,
     "Linear regression",
     "L.R. aver.diff. /diff.%",
     ExportSummary::Numbers,
     "Lin.Reg.",
     "C.I.",
     false,
     false,
     std::nullopt,
     CurveShape::Line,
     0,
     {6960,
      4200,
      1980,
      "Linar regression",
      std::nullopt,
      {"lbl_LRa", "lbl_LRb", "lbl_LRr", "lblDiff", "lblDiffProc"},
      "Check1",
      "chkEX_0"}},
    {"log",
     nullptr,
     3,
     false,
     true,
     true,
     2,
     &fitLogarithmic,
     "Logarithmic regression",
     "Log.R. aver.diff. /diff.%",
     ExportSummary::Numbers,
     "Log.Reg.",
     nullptr,
     false,
     false,
     kMagenta,
     CurveShape::EveryX,
     1,
     {7440,
      4200,
      1980,
      "Logarithmic regression",
      kMagenta,
      {"lbl_LoRa", "lbl_LoRb", "lbl_LoRr", "lblDiffLog", "lblDiffProcLog"},
      "chkLog",
      "chkEX_1"}},
    polynomialOfDegree("poly2", &fitPolynomialOfDegree<2>, 4, "2 ord.",
                       "Poly2.R. aver.diff. /diff.%", "Poly2.Reg.", {0, 255, 0}, 7920, "2 ord.",
                       {0, 192, 0}, "lblDiffPoly_2", "lblDiffProcPoly_2", "chkPoly_2", "chkEX_2",
                       true),
    polynomialOfDegree("poly3", &fitPolynomialOfDegree<3>, 5, "3 ord.",
                       "Poly3.R. aver.diff. /diff.%", "Poly3.Reg.", {0, 192, 0}, 8160, "3 ord.",
                       {0, 128, 0}, "lblDiffPoly_3", "lblDiffProcPoly_3", "chkPoly_3", "chkEX_3",
                       false),
    polynomialOfDegree("poly4", &fitPolynomialOfDegree<4>, 6, "4 ord.",
                       "Poly4.R. aver.diff. /diff.%", "Poly4.Reg.", {0, 192, 192}, 8400, "4 ord.",
                       {0, 192, 192}, "lblDiffPoly_4", "lblDiffProcPoly_4", "chkPoly_4", "chkEX_4",
                       false),
    polynomialOfDegree("poly5", &fitPolynomialOfDegree<5>, 7, "5 ord.",
                       "Poly5.R. aver.diff. /diff.%", "Poly5.Reg.", {128, 128, 255}, 8640, "5 ord.",
                       {128, 128, 255}, "lblDiffPoly_5", "lblDiffProcPoly_5", "chkPoly_5",
                       "chkEX_5", false),
    {"poly",
     "(the degree of --degree)",
     3,
     false,
     false,
     false,
     3,
     &fitChosenPolynomial,
     "{degree} ord.",
     "Poly{degree}.R. aver.diff. /diff.%",
     ExportSummary::Captions,
     "Poly{degree}.Reg.",
     nullptr,
     false,
     true,
     Rgb{0, 0, 255},
     CurveShape::EveryX,
     0,
     {9000,
      8360,
      615,
      nullptr,
      Rgb{0, 0, 192},
      {nullptr, nullptr, nullptr, "lblDiffPoly_1", "lblDiffProcPoly_1"},
      "chkPoly_1",
      "chkEX_6"}},
    {"zigzag",
     nullptr,
     0,
     false,
     true,
     false,
     0,
     &fitZigZag,
     nullptr,
     "Zigzag",
     ExportSummary::NameOnly,
     "Zigzag",
     nullptr,
     true,
     false,
     kOrange,
     CurveShape::Nodes,
     0,
     {9480,
      6240,
      4320,
      "Zigzag between clusters of standards",
      kOrange,
      {},
      "chkZigZag",
      "chkEX_7"}},
};

}  // namespace

std::span<const FitMethod> fitMethods() { return kMethods; }

const std::vector<std::size_t>& methodsInRunOrder()
{
    static const std::vector<std::size_t> order = [] {
        std::vector<std::size_t> o(std::size(kMethods));
        std::iota(o.begin(), o.end(), std::size_t{0});
        std::stable_sort(o.begin(), o.end(), [](std::size_t a, std::size_t b) {
            return kMethods[a].runOrder < kMethods[b].runOrder;
        });
        return o;
    }();
    return order;
}

std::optional<std::size_t> methodNamed(std::string_view name)
{
    for (std::size_t m = 0; m < std::size(kMethods); ++m)
        if (name == kMethods[m].name)
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

Settings defaultSettings()
{
    Settings s;
    for (const FitMethod& m : kMethods) {
        s.show.push_back(m.shownAtStart ? kTicked : kUnticked);
        s.exported.push_back(m.exportedAtStart ? kTicked : kUnticked);
    }
    return s;
}

}  // namespace kalibrix
