#pragma once

#include <algorithm>
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

// The exponent e of the power of two by which a fit divides every Y before it forms a sum,
// given the largest |Y| of its points. Within 2^-250 .. 2^250 it is 0: no square or product
// of such Y overflows or underflows in a fit of up to 30000 points. Beyond, Y / 2^e lies
// within (-2, 2) with the largest at or above 0.5 (at or above 2^-52 for a subnormal largest
// |Y|). Dividing by a power of two is exact, so the results are those of the unscaled Y
// wherever these stay within range. 2^e and 2^-e are doubles for every e returned.
inline int yScaleExponent(double maxAbsY)
{
    if (maxAbsY >= 0x1p-250 && maxAbsY <= 0x1p250)
        return 0;
    int e = 0;
    std::frexp(maxAbsY, &e);
    return std::clamp(e, -1022, 1023);
}

// A result computed from Y / 2^e, in Y units again: v * 2^e when that is a finite number,
// otherwise no result.
inline std::optional<double> scaledBack(double v, int e) { return finiteOrNone(std::ldexp(v, e)); }

}  // namespace kalibrix
