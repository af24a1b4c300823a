#include "run/captions.h"

#include "engine/method_table.h"
#include "run/rounding.h"

#include <algorithm>

namespace kalibrix {

namespace {

std::string twoDecimals(const std::optional<double>& v, const NumberFormat& fmt)
{
    return v ? fmt.fixed(*v, 2) : std::string();
}

std::string listing(const FitResult& fit, const NumberFormat& fmt)
{
    std::string text;
    for (std::size_t i = 0; i < fit.coef.size(); ++i)
        text += "P" + std::to_string(i) + " = " + fmt.general(fit.coef[i]) + "\r\n";
    text += "\r\n";
    text += "\r\ndsig=" + fmt.general(fit.dsig) + "\r\n";
    return text;
}

}  // namespace

Captions makeCaptions(const RunResults& results, const NumberFormat& fmt, Figures figures)
{
    const std::span<const FitMethod> methods = fitMethods();
    Captions c;
    c.cells.resize(methods.size());
    c.fullCells.resize(methods.size());
    c.looError.resize(methods.size());
    c.looPercent.resize(methods.size());
    c.fullLooError.resize(methods.size());
    c.fullLooPercent.resize(methods.size());
    if (!results.computed)
        return c;
    c.nData = std::to_string(results.nData);
    c.nDataOK = std::to_string(results.nY);
    c.rejected = std::to_string(results.nY - results.stats.nOK);
    const bool shown = figures == Figures::Shown;
    auto rounded = [&](const std::optional<double>& v) {
        return shown ? Rounding(v, fmt) : fixedRounding(v, fmt);
    };
    auto perCent = [&](const std::optional<double>& v) {
        return shown ? Rounding(v, fmt) : twoDecimals(v, fmt);
    };
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const FitResult* fit = results.fit(m);
        if (!fit)
            continue;
        const std::optional<double> rSquared =
            fit->r ? std::optional<double>(*fit->r * *fit->r) : std::nullopt;
        const std::array<std::optional<double>, kResultCells> values = {
            fit->a, fit->b, rSquared, fit->edf, fit->diff, fit->diffProc};
        for (int cell = 0; cell < kResultCells; ++cell) {
            if (!methods[m].figures[cell])
                continue;
            c.fullCells[m][cell] = fmt.general(values[cell]);
            c.cells[m][cell] = cell == kCellRSquared || cell == kCellEdf
                                   ? twoDecimals(values[cell], fmt)
                               : cell == kCellDiffProc ? perCent(values[cell])
                                                       : rounded(values[cell]);
        }
        if (methods[m].listsParameters)
            c.listing = listing(*fit, fmt);
        if (fit->loo) {
            c.looError[m] = rounded(fit->loo->error);
            c.looPercent[m] = perCent(fit->loo->percent);
            c.fullLooError[m] = fmt.general(fit->loo->error);
            c.fullLooPercent[m] = fmt.general(fit->loo->percent);
        }
    }
    return c;
}

std::string suggestionText(const RunResults& results, int x, const NumberFormat& fmt)
{
    const auto suggested = std::find(results.suggested.begin(), results.suggested.end(), x);
    if (suggested == results.suggested.end() || !results.bestPredictor)
        return {};
    const std::size_t m = *results.bestPredictor;
    const FitMethod& method = fitMethods()[m];
    const auto at = std::find(results.looX.begin(), results.looX.end(), x);
    if (at == results.looX.end() || results.looErrors.size() != results.looX.size())
        return {};
    const std::optional<double>& error = results.looErrors[at - results.looX.begin()];
    const std::string name =
        withDegree(method.summaryRow ? method.summaryRow : method.caption, results.degreeText);
    return "X = " + std::to_string(x) + " is suggested for rejection: fitted to the other " +
           "standards, " + name + " misses it by " + Rounding(error, fmt) +
           ", where it typically misses by " + Rounding(results.typicalLooError, fmt) +
           ". Click it to reject it.";
}

}  // namespace kalibrix
