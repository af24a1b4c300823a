#include "fit/confidence.h"

#include "fit/finite.h"

#include <algorithm>
#include <cmath>

namespace kalibrix {

std::optional<ConfidenceBand> Confidence_Calc(const DataTable& table, int nOK, double a, double b,
                                              double tValue)
{
    ConfidenceBand band;
    band.tValue = tValue;
    band.nOK = nOK;
    double sumX = 0;
    double maxY = 0;
    for (int x = 1; x <= table.nData; ++x) {
        if (table.isFitted(x)) {
            sumX += x;
            maxY = std::max(maxY, *table.y[x]);
        }
    }
    band.xMean = sumX / nOK;
    // The residuals are taken of Y / 2^e (and the line scaled alike), so that their squares
    // neither underflow for tiny Y nor overflow for huge Y.
    const int e = yScaleExponent(maxY);
    const double toScaled = std::ldexp(1.0, -e);
    const double aScaled = a * toScaled;
    const double bScaled = b * toScaled;
    double sse = 0;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x))
            continue;
        const double y = *table.y[x] * toScaled;
        const double yCalc = aScaled + bScaled * x;
        sse += (y - yCalc) * (y - yCalc);
        band.ssx += (x - band.xMean) * (x - band.xMean);
    }
    band.sEstScaled = std::sqrt(sse / (nOK - 2));
    band.yScale = std::ldexp(1.0, e);
    // SEst itself must be a double, though only SEst / yScale is used.
    if (nOK < 3 || band.ssx == 0 || !scaledBack(band.sEstScaled, e) || !std::isfinite(tValue))
        return std::nullopt;
    // The callers evaluate the band from X = 0 to nData; it is widest at one of the two
    // ends and narrowest at the mean X.
    const double widest = std::max(band.halfWidth(0), band.halfWidth(table.nData));
    if (!std::isfinite(widest))
        return std::nullopt;
    if (sse > 0 && tValue > 0 && !(band.halfWidth(band.xMean) > 0))
        return std::nullopt;
    return band;
}

}  // namespace kalibrix
