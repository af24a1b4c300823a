#include "fit/confidence.h"

#include <cmath>

namespace kalibrix {

double ConfidenceBand::halfWidth(double x) const
{
    return tValue * sEst * std::sqrt(1.0 / nOK + (x - xMean) * (x - xMean) / ssx);
}

std::optional<ConfidenceBand> Confidence_Calc(const DataTable& table, int nOK, double a, double b,
                                              double tValue)
{
    ConfidenceBand band;
    band.tValue = tValue;
    band.nOK = nOK;
    double sumX = 0;
    for (int x = 1; x <= table.nData; ++x)
        if (table.isFitted(x))
            sumX += x;
    band.xMean = sumX / nOK;
    double sse = 0;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x))
            continue;
        const double yCalc = a + b * x;
        sse += (*table.y[x] - yCalc) * (*table.y[x] - yCalc);
        band.ssx += (x - band.xMean) * (x - band.xMean);
    }
    band.sEst = std::sqrt(sse / (nOK - 2));
    if (nOK < 3 || band.ssx == 0 || !std::isfinite(band.sEst) || !std::isfinite(tValue))
        return std::nullopt;
    return band;
}

}  // namespace kalibrix
