#pragma once

// Template body of fitLine, shared by the linear and the logarithmic regression.

#include <cmath>

namespace kalibrix {

template <class Transform>
RegressionFit fitLine(const DataTable& table, int nOK, Transform transform)
{
    RegressionFit fit;
    RegressionSums& s = fit.sums;
    double firstY = 0;
    bool allYEqual = true;
    bool any = false;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x))
            continue;
        const double t = transform(x);
        const double y = *table.y[x];
        s.sumX += t;
        s.sumXX += t * t;
        s.sumY += y;
        s.sumYY += y * y;
        s.sumXY += t * y;
        if (!any) {
            firstY = y;
            any = true;
        } else if (y != firstY) {
            allYEqual = false;
        }
    }
    const double n = nOK;
    const double sxx = n * s.sumXX - s.sumX * s.sumX;
    const double sxy = n * s.sumXY - s.sumY * s.sumX;
    if (sxx == 0)
        return fit;
    fit.b = finiteOrNone(sxy / sxx);
    if (!fit.b)
        return fit;
    const double b = *fit.b;
    fit.a = finiteOrNone((s.sumY - b * s.sumX) / n);
    if (!fit.a)
        return fit;
    const double a = *fit.a;
    if (!allYEqual)
        fit.r = finiteOrNone(sxy / std::sqrt((n * s.sumYY - s.sumY * s.sumY) * sxx));

    double diff = 0;
    double diffProc = 0;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x))
            continue;
        const double y = *table.y[x];
        const double f = b * transform(x) + a;
        diff += std::abs(y - f);
        diffProc += std::abs(y - f) / y;
    }
    fit.diff = finiteOrNone(diff / n);
    fit.diffProc = finiteOrNone((diffProc / n) * 100);
    return fit;
}

}  // namespace kalibrix
