#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kalibrix {

// Mean X and mean Y of one cluster of consecutive standards in use.
struct ZigZagNode {
    double x = 0;
    double y = 0;
    bool operator==(const ZigZagNode&) const = default;
};

// What the confidence band of the linear fit needs at any X.
struct ConfidenceBand {
    double tValue = 0;  // Student t for df = nOK - 2 (row 101 beyond 100 df) at the chosen level
    double ssx = 0;     // sum of squared deviations of the fitted X from xMean
    double xMean = 0;   // mean X of the fitted points
    int nOK = 0;
    // halfWidth works with SEst / yScale (yScale a power of two, the one the fitted Y were
    // divided by), so that t * SEst neither overflows nor, for a subnormal SEst, loses digits.
    double sEstScaled = 0;
    double yScale = 1;

    // Half-width of the band at x: t * SEst * sqrt(1/nOK + (x - xMean)^2 / SSX).
    double halfWidth(double x) const;
};

// How well a method predicts a standard it has not seen: each standard in use left out in
// turn, the method fitted to the others and asked for the left-out X.
struct LeaveOneOut {
    std::optional<double> error;    // root mean square of the errors, in Y units
    std::optional<double> percent;  // mean of |error| / Y, in per cent
};

// What one fit method found in a run. Every figure may have no result (the data did not
// allow it); which figures a method fills is its own affair.
struct FitResult {
    std::optional<double> a;             // intercept of a straight-line fit (of X or of ln X)
    std::optional<double> b;             // its slope
    std::optional<double> r;             // its correlation coefficient
    std::optional<double> diff;          // mean |Y - fit| over the fitted points, in Y units
    std::optional<double> diffProc;      // mean |Y - fit| / Y over the fitted points, in per cent
    std::vector<double> coef;            // polynomial: coef[j] is the coefficient of X^j
    std::optional<double> dsig;          // polynomial: sqrt(SSE / (n - 2))
    std::vector<ZigZagNode> nodes;       // the points a broken line joins, in increasing X
    std::optional<ConfidenceBand> band;  // the linear fit's band (three or more points)
    std::optional<LeaveOneOut> loo;      // when the run was asked for it
    // The fit's value at X; unset or no result where the fit has none.
    std::function<std::optional<double>(double)> valueAt;

    std::optional<double> value(double x) const
    {
        return valueAt ? valueAt(x) : std::optional<double>();
    }
};

// Why a method that was asked for gave no result.
struct FitWarning {
    enum class Kind {
        TooFewData,        // fewer points than the method needs (a polynomial's degree + 1)
        DegreeOutOfRange,  // a degree that is not a whole number from 0 to 23
    };
    Kind kind = Kind::TooFewData;
    std::size_t method = 0;  // position in the method table
    std::string degree;      // the degree asked for, as typed
    int nOK = 0;             // the fitted points the run had
};

}  // namespace kalibrix
