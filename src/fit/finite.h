#pragma once

#include <cmath>
#include <optional>

namespace kalibrix {

// Returns `v` when it is a finite number, otherwise no result.
inline std::optional<double> finiteOrNone(double v)
{
    if (std::isfinite(v))
        return v;
    return std::nullopt;
}

}  // namespace kalibrix
