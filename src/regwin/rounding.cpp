#include "regwin/rounding.h"

#include <cmath>

namespace kalibrix {

std::string Rounding(const std::optional<double>& value, const NumberFormat& fmt)
{
    if (!value)
        return {};
    const double a = std::abs(*value);
    int decimals = 5;
    if (a > 1000)
        decimals = 0;
    else if (a > 100)
        decimals = 1;
    else if (a > 10)
        decimals = 2;
    else if (a > 1)
        decimals = 3;
    else if (a > 0.1)
        decimals = 4;
    return fmt.fixed(*value, decimals);
}

}  // namespace kalibrix
