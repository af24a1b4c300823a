#include "regwin/driver.h"

#include "fit/finite.h"
#include "fit/linear.h"
#include "fit/logarithmic.h"
#include "fit/rounding.h"
#include "regwin/plot.h"

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

// Fits polynomial slot `slot` of the given degree to the fitted points; no result (and
// the message to show, if any) when the degree or the data do not allow it.
std::optional<PolySlotResult> fitPolySlot(const DataTable& table, int nOK, int degree,
                                          const NumberFormat& fmt,
                                          std::vector<UserMessage>& messages)
{
    std::vector<double> px;
    std::vector<double> py;
    px.reserve(static_cast<size_t>(nOK));
    py.reserve(static_cast<size_t>(nOK));
    for (int x = 1; x <= table.nData; ++x) {
        if (table.isFitted(x)) {
            px.push_back(x);
            py.push_back(*table.y[x]);
        }
    }
    PolySlotResult slot;
    slot.fit = Polynomial(px, py, degree, fmt);
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

    slot.yPoly.resize(static_cast<size_t>(table.nData) + 1);
    for (int x = 0; x <= table.nData; ++x) {
        const double v = evaluatePolynomial(slot.fit.coef, x);
        if (!std::isfinite(v))
            return std::nullopt;
        slot.yPoly[static_cast<size_t>(x)] = v;
    }
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
        for (int slot = 1; slot <= kPolySlots; ++slot) {
            if (!RegControls::ticked(controls.chkPoly[slot]))
                continue;
            std::optional<int> degree = slot == 1 ? parseDegreeText(controls.comboBox1Text)
                                                  : std::optional<int>(slot);
            if (!degree) {
                report.messages.push_back(polynomialMessage(kDegreeRangeMessage));
                continue;
            }
            auto& result = res.poly[slot];
            result = fitPolySlot(table, nOK, *degree, fmt, report.messages);
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
