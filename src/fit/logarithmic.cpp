#include "fit/logarithmic.h"

#include "fit/leave_one_out.h"

#include <cmath>
#include <vector>

namespace kalibrix {

RegressionFit Log_Regression(const DataTable& table, int nOK)
{
    // ln X of every fitted X, taken once: the sums and the residuals both need it.
    std::vector<double> lnX(static_cast<size_t>(table.nData) + 1);
    for (int x = 1; x <= table.nData; ++x)
        if (table.isFitted(x))
            lnX[static_cast<size_t>(x)] = std::log(static_cast<double>(x));
    return fitLine(table, nOK, [&](int x) { return lnX[static_cast<size_t>(x)]; });
}

FitOutcome fitLogarithmic(const FitInput& in)
{
    return {
        lineResult(Log_Regression(in.table, in.stats.nOK), [](double x) { return std::log(x); }),
        std::nullopt};
}

LooErrors looLogarithmic(const FitInput&, LooWorkspace& workspace)
{
    return workspace.inLnX().errors(1);
}

}  // namespace kalibrix
