#pragma once

#include "engine/fit_method.h"
#include "model/data_table.h"

#include <optional>
#include <span>
#include <vector>

namespace kalibrix {

// The first X of a standard in use (a fitted point) whose error of Y is missing, not a
// number or not above 0; none when every one has an error above 0. With "Weight by the
// errors" on and such a standard, the run stays unweighted and the status line names it.
std::optional<int> firstStandardWithoutError(const DataTable& table);

// Whether the fits of this input weigh each standard by 1 / err^2: "Weight by the errors"
// is on and every standard in use has an error above 0.
bool weighsByErrors(const FitInput& input);

// The power of two the weights of these errors are taken in: the weight of err is
// (unit / err)^2, which lies within (0, 4] and neither overflows nor underflows for errors
// of like size; a weighted fit depends on the weights only up to a common factor.
double errorUnit(std::span<const double> errors);

// The variance of one reading at any X, from the errors of the standards (err^2 at a
// standard, straight between the nearest ones around X, the end one's beyond the ends):
// what a further standard measured at X is taken to scatter by when the fit is weighted.
class ReadingVariance {
public:
    ReadingVariance() = default;
    // x increasing; err the errors there; variances in units of unit^2.
    ReadingVariance(std::span<const double> x, std::span<const double> err, double unit);
    double at(double x) const;

private:
    std::vector<double> m_x;
    std::vector<double> m_variance;
};

}  // namespace kalibrix
