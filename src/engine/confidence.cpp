#include "engine/confidence.h"

#include "engine/finite.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kalibrix {

std::optional<ConfidenceBand> confidenceBand(const DataTable& table, int nOK, double a, double b,
                                             double tValue)
{
    ConfidenceBand band;
    band.tValue = tValue;
    band.nOK = nOK;
    band.weightTotal = nOK;
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

std::optional<ConfidenceBand> weightedConfidence(std::span<const double> x,
                                                 std::span<const double> weights, double unit,
                                                 int nData, double c, double tValue)
{
    if (x.size() < 3 || weights.size() != x.size())
        return std::nullopt;
    // With the weights (unit / err)^2 the band's SEst is unit * sqrt(c).
    ConfidenceBand band;
    band.tValue = tValue;
    band.nOK = static_cast<int>(x.size());
    double sumWX = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        band.weightTotal += weights[i];
        sumWX += weights[i] * x[i];
    }
    band.xMean = sumWX / band.weightTotal;
    for (std::size_t i = 0; i < x.size(); ++i)
        band.ssx += weights[i] * (x[i] - band.xMean) * (x[i] - band.xMean);
    band.sEstScaled = unit * std::sqrt(c);
    band.yScale = 1;
    if (band.ssx == 0 || !std::isfinite(band.sEstScaled) || !std::isfinite(tValue))
        return std::nullopt;
    const double widest = std::max(band.halfWidth(0), band.halfWidth(nData));
    if (!std::isfinite(widest))
        return std::nullopt;
    return band;
}

}  // namespace kalibrix
