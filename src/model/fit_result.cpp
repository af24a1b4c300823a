#include "model/fit_result.h"

#include "model/student_table.h"

#include <algorithm>
#include <cmath>

namespace kalibrix {

double ConfidenceBand::halfWidth(double x) const
{
    return tValue * sEstScaled * std::sqrt(1.0 / weightTotal + (x - xMean) * (x - xMean) / ssx) *
           yScale;
}

namespace {

std::optional<double> timesT(double u, const StudentTable& student, int probCol,
                             std::optional<int> dof)
{
    const double h = student.quantile(probCol, dof) * u;
    if (std::isfinite(h))
        return h;
    return std::nullopt;
}

}  // namespace

std::optional<double> Uncertainty::curveHalfWidth(const StudentTable& student, int probCol) const
{
    return timesT(curve, student, probCol, dof);
}

std::optional<double> Uncertainty::readingHalfWidth(const StudentTable& student, int probCol) const
{
    return timesT(reading, student, probCol, dof);
}

double Mswd::low() const { return std::max(0.0, 1 - 2 * std::sqrt(2.0 / dof)); }
double Mswd::high() const { return 1 + 2 * std::sqrt(2.0 / dof); }
bool Mswd::scales() const { return value > high(); }

}  // namespace kalibrix
