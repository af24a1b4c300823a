#include "engine/logarithmic.h"

#include "engine/leave_one_out.h"
#include "engine/uncertainty.h"
#include "engine/weights.h"

#include <cmath>
#include <vector>

namespace kalibrix {

RegressionFit logRegression(const DataTable& table, int nOK)
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
    const bool weighted = weighsByErrors(in);
    const RegressionFit line =
        weighted ? fitWeightedLine(
                       in.table, [](int x) { return std::log(static_cast<double>(x)); },
                       sharedWorkspace(in)->weights(), sharedWorkspace(in)->errorUnit())
                 : logRegression(in.table, in.stats.nOK);
    FitResult result = lineResult(line, [](double x) { return std::log(x); });
    result.weighted = weighted;
    if (line.a && line.b)
        addLeastSquaresUncertainty(result, in, true, 1, line.sEst, line.chiSquare);
    return {std::move(result), std::nullopt};
}

LooErrors looLogarithmic(const FitInput& input, LooWorkspace& workspace)
{
    return leastSquaresLoo(input, workspace, true, 1);
}

}  // namespace kalibrix
