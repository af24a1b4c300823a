#pragma once

namespace kalibrix {

inline constexpr double kInitialYMin = 1000000000.0;

// Counts and extremes taken before every fit.
struct DataStats {
    int nOK = 0;                 // fitted points: Y > 0 and in use; n of every fit
    int firstX = 0;              // lowest X with a value (0 if none)
    double yMax = 0;             // largest Y with a value, starting from 0
    double yMin = kInitialYMin;  // smallest Y with a value, starting from 1e9
};

}  // namespace kalibrix
