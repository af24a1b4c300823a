#include "model/fit_result.h"

#include <cmath>

namespace kalibrix {

double ConfidenceBand::halfWidth(double x) const
{
    return tValue * sEstScaled * std::sqrt(1.0 / nOK + (x - xMean) * (x - xMean) / ssx) * yScale;
}

}  // namespace kalibrix
