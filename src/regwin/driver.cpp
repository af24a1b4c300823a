#include "regwin/driver.h"

#include "fit/finite.h"
#include "fit/linear.h"
#include "fit/logarithmic.h"
#include "fit/rounding.h"
#include "regwin/plot.h"

#include <array>
#include <charconv>
#include <cmath>

namespace kalibrix {

namespace {

UserMessage polynomialMessage(const char* text)
{
    return {text, MessageIcon::None, kAppTitle};
}

std::string percentText(const std::optional<double>& v, const NumberFormat& fmt)
{
    return v ? fmt.fixed(*v, 2) : std::string();
}

std::string rSquaredText(const std::optional<double>& r, const NumberFormat& fmt)
{
    return r ? fmt.fixed(*r * *r, 2) : std::string();
}

void writeFitLabels(const RegressionFit& fit, const NumberFormat& fmt, std::string& a,
                    std::string& b, std::string& r, std::string& diff, std::string& diffProc)
{
    b = Rounding(fit.b, fmt);
    a = Rounding(fit.a, fmt);
    r = rSquaredText(fit.r, fmt);
    diff = Rounding(fit.diff, fmt);
    diffProc = percentText(fit.diffProc, fmt);
}

// The fitted points (X, Y) in increasing X, gathered once for every polynomial slot.
struct FittedPoints {
    std::vector<double> x;
    std::vector<double> y;
};

FittedPoints fittedPoints(const DataTable& table, int nOK)
{
    FittedPoints pts;
    pts.x.reserve(static_cast<size_t>(nOK));
    pts.y.reserve(static_cast<size_t>(nOK));
    for (int x = 1; x <= table.nData; ++x) {
        if (table.isFitted(x)) {
            pts.x.push_back(x);
            pts.y.push_back(*table.y[x]);
        }
    }
    return pts;
}

// Fits polynomial slot `slot` of the given degree to the fitted points; no result (and
// the message to show, if any) when the degree or the data do not allow it.
// `buffer` is memory to hold the curve in; its contents do not matter.
std::optional<PolySlotResult> fitPolySlot(const DataTable& table, const FittedPoints& pts,
                                          int nOK, int degree, const NumberFormat& fmt,
                                          std::vector<UserMessage>& messages,
                                          std::vector<double>&& buffer)
{
    PolySlotResult slot;
    slot.fit = Polynomial(pts.x, pts.y, degree, fmt);
    switch (slot.fit.outcome) {
    case PolyOutcome::Fitted:
        break;
    case PolyOutcome::TooFewData:
        messages.push_back(polynomialMessage(kTooFewDataMessage));
        return std::nullopt;
    case PolyOutcome::DegreeOutOfRange:
        messages.push_back(polynomialMessage(kDegreeRangeMessage));
        return std::nullopt;
    case PolyOutcome::Singular:
        return std::nullopt;
    }

    slot.yPoly = std::move(buffer);
    slot.yPoly.resize(static_cast<size_t>(table.nData) + 1);
    evaluatePolynomialAtIntegers(slot.fit.coef, slot.yPoly);
    for (double v : slot.yPoly)
        if (!std::isfinite(v))
            return std::nullopt;
    double diff = 0;
    double diffProc = 0;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x))
            continue;
        const double d = std::abs(*table.y[x] - slot.yPoly[static_cast<size_t>(x)]);
        diff += d;
        diffProc += d / *table.y[x];
    }
    slot.diff = finiteOrNone(diff / nOK);
    slot.diffProc = finiteOrNone(100 * (diffProc / nOK));
    return slot;
}

}  // namespace

std::optional<int> parseDegreeText(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    const auto last = text.find_last_not_of(" \t");
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+')
        ++begin;
    int value = 0;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

RunReport A_PLOT(State& state, RegControls& controls, const NumberFormat& fmt, Drawing drawing)
{
    RunReport report;
    if (!state.probCol)
        return report;
    report.ran = true;

    const DataTable& table = state.table;
    StatLabels& labels = controls.labels;
    labels = StatLabels{};

    RunResults& res = state.results;
    // The curves of the last run lend their memory to this run's curves (every value is
    // written anew), so that a large table is not given back and faulted in again.
    std::array<std::vector<double>, kPolySlots + 1> curveBuffers;
    for (int slot = 1; slot <= kPolySlots; ++slot)
        if (res.poly[slot])
            curveBuffers[slot] = std::move(res.poly[slot]->yPoly);
    res = RunResults{};
    res.computed = true;
    res.stats = Data_Stat(table, state.allData);
    res.polyChosenText = controls.comboBox1Text;
    const int nOK = res.stats.nOK;

    if (RegControls::ticked(controls.chkZigZag))
        res.zigzag = ZigZag(table);

    labels.lblNData = std::to_string(table.nData);
    labels.lblnDataOK = std::to_string(table.nY);
    labels.lblRej = std::to_string(table.nY - nOK);

    if (nOK > 1) {
        res.linear = Lin_Regression(table, nOK);
        writeFitLabels(*res.linear, fmt, labels.lbl_LRa, labels.lbl_LRb, labels.lbl_LRr,
                       labels.lblDiff, labels.lblDiffProc);
        // The band belongs to every linear fit of three or more points, drawn or not, so
        // the exported C.I. column always matches the exported line.
        if (nOK > 2 && res.linear->a && res.linear->b)
            res.band = Confidence_Calc(table, nOK, *res.linear->a, *res.linear->b,
                                       state.student.lookup(*state.probCol, nOK));
    }

    if (RegControls::ticked(controls.chkLog) && nOK > 2) {
        res.log = Log_Regression(table, nOK);
        writeFitLabels(*res.log, fmt, labels.lbl_LoRa, labels.lbl_LoRb, labels.lbl_LoRr,
                       labels.lblDiffLog, labels.lblDiffProcLog);
    }

    if (nOK > 2) {
        FittedPoints pts;
        for (int slot = 1; slot <= kPolySlots; ++slot) {
            if (!RegControls::ticked(controls.chkPoly[slot]))
                continue;
            std::optional<int> degree = slot == 1 ? parseDegreeText(controls.comboBox1Text)
                                                  : std::optional<int>(slot);
            if (!degree) {
                report.messages.push_back(polynomialMessage(kDegreeRangeMessage));
                continue;
            }
            if (pts.x.empty())
                pts = fittedPoints(table, nOK);
            auto& result = res.poly[slot];
            result = fitPolySlot(table, pts, nOK, *degree, fmt, report.messages,
                                 std::move(curveBuffers[slot]));
            if (!result)
                continue;
            labels.lblDiffPoly[slot] = Rounding(result->diff, fmt);
            labels.lblDiffProcPoly[slot] = percentText(result->diffProc, fmt);
            if (slot == 1)
                labels.Label2 = result->fit.parameterText;
        }
    }

    if (drawing == Drawing::Build)
        state.plot = buildPlot(state, controls, fmt);
    return report;
}

}  // namespace kalibrix
