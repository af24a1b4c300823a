#include "engine/linear.h"

#include "engine/confidence.h"
#include "engine/leave_one_out.h"
#include "engine/uncertainty.h"
#include "engine/weights.h"

namespace kalibrix {

namespace {

RegressionFit twoPointLine(const DataTable& table)
{
    int x1 = 0;
    double y1 = 0;
    double dX = 0;
    double dY = 0;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x))
            continue;
        if (x1 == 0) {
            x1 = x;
            y1 = *table.y[x];
        } else {
            dX = x - x1;
            dY = *table.y[x] - y1;
        }
    }
    RegressionFit fit;
    if (dX == 0)
        return fit;
    fit.b = dY / dX;
    fit.a = finiteOrNone(y1 - x1 * *fit.b);
    return fit;
}

}  // namespace

RegressionFit linearRegression(const DataTable& table, int nOK)
{
    if (nOK == 2)
        return twoPointLine(table);
    return fitLine(table, nOK, [](int x) { return static_cast<double>(x); });
}

FitOutcome fitLinear(const FitInput& in)
{
    const int nOK = in.stats.nOK;
    const bool weighted = weighsByErrors(in) && nOK > 2;
    const RegressionFit line =
        weighted ? fitWeightedLine(
                       in.table, [](int x) { return static_cast<double>(x); },
                       sharedWorkspace(in)->weights(), sharedWorkspace(in)->errorUnit())
                 : linearRegression(in.table, nOK);
    FitResult result = lineResult(line, [](double x) { return x; });
    result.weighted = weighted;
    if (nOK > 2 && line.a && line.b)
        addLeastSquaresUncertainty(result, in, false, 1, line.sEst, line.chiSquare);
    if (nOK > 2 && line.a && line.b && in.settings.level) {
        if (!weighted) {
            result.band = confidenceBand(in.table, nOK, *line.a, *line.b,
                                         in.student.lookup(*in.settings.level + 1, nOK));
        } else {
            const bool scaled = result.mswd && result.mswd->scales();
            const std::shared_ptr<LooWorkspace> ws = sharedWorkspace(in);
            result.band = weightedConfidence(
                ws->x(), ws->weights(), ws->errorUnit(), in.table.nData,
                scaled ? result.mswd->value : 1.0,
                in.student.quantile(*in.settings.level + 1,
                                    scaled ? std::optional<int>(nOK - 2) : std::nullopt));
        }
    }
    return {std::move(result), std::nullopt};
}

LooErrors looLinear(const FitInput& input, LooWorkspace& workspace)
{
    return leastSquaresLoo(input, workspace, false, 1);
}

}  // namespace kalibrix
