#include "regwin/captions.h"

#include "fit/method_table.h"
#include "regwin/rounding.h"

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

Captions makeCaptions(const RunResults& results, const NumberFormat& fmt)
{
    const std::span<const FitMethod> methods = fitMethods();
    Captions c;
    c.cells.resize(methods.size());
    c.looError.resize(methods.size());
    c.looPercent.resize(methods.size());
    if (!results.computed)
        return c;
    c.nData = std::to_string(results.nData);
    c.nDataOK = std::to_string(results.nY);
    c.rejected = std::to_string(results.nY - results.stats.nOK);
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const FitResult* fit = results.fit(m);
        if (!fit)
            continue;
        auto& cells = c.cells[m];
        cells[kCellA] = Rounding(fit->a, fmt);
        cells[kCellB] = Rounding(fit->b, fmt);
        cells[kCellRSquared] = fit->r ? fmt.fixed(*fit->r * *fit->r, 2) : std::string();
        cells[kCellDiff] = Rounding(fit->diff, fmt);
        cells[kCellDiffProc] = twoDecimals(fit->diffProc, fmt);
        if (methods[m].listsParameters)
            c.listing = listing(*fit, fmt);
        if (fit->loo) {
            c.looError[m] = Rounding(fit->loo->error, fmt);
            c.looPercent[m] = twoDecimals(fit->loo->percent, fmt);
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
        withDegree(method.summaryRow ? method.summaryRow : method.row.caption, results.degreeText);
    return "X = " + std::to_string(x) + " is suggested for rejection: fitted to the other " +
           "standards, " + name + " misses it by " + Rounding(error, fmt) +
           ", where it typically misses by " + Rounding(results.typicalLooError, fmt) +
           ". Click it to reject it.";
}

}  // namespace kalibrix
