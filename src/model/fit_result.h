#pragma once

#include "model/settings.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kalibrix {

struct StudentTable;

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
    // The number of fitted points; with weights, the sum of the weights (in the relative
    // units the band's SEst goes with).
    double weightTotal = 0;
    // halfWidth works with SEst / yScale (yScale a power of two, the one the fitted Y were
    // divided by), so that t * SEst neither overflows nor, for a subnormal SEst, loses digits.
    double sEstScaled = 0;
    double yScale = 1;

    // Half-width of the band at x: t * SEst * sqrt(1/nOK + (x - xMean)^2 / SSX) (with
    // weights, 1/weightTotal and the weighted mean and SSX).
    double halfWidth(double x) const;
};

// The standard uncertainty, in Y units, of a method's value at one X, of two kinds.
struct Uncertainty {
    // Of the curve (confidence): how well the fit knows the drift at X.
    double curve = 0;
    // Of a new reading (prediction): how far from the curve a further standard measured at
    // X would fall; curve and the scatter of one reading together.
    double reading = 0;
    // Degrees of freedom of the t quantile the half-widths take (n - p); none: the scale is
    // the one the errors of Y state, and the large-sample row serves.
    std::optional<int> dof;

    // t(level column probCol, dof) times the uncertainty; no result beyond a double.
    std::optional<double> curveHalfWidth(const StudentTable& student, int probCol) const;
    std::optional<double> readingHalfWidth(const StudentTable& student, int probCol) const;
    // The half-width of `kind`: curveHalfWidth or readingHalfWidth.
    std::optional<double> halfWidth(UncertaintyKind kind, const StudentTable& student,
                                    int probCol) const
    {
        return kind == UncertaintyKind::Curve ? curveHalfWidth(student, probCol)
                                              : readingHalfWidth(student, probCol);
    }
};

// The reduced chi-square of a weighted fit: the weighted sum of squared residuals
// (sum ((Y - fit) / err)^2) over its degrees of freedom (n - p). Near 1 the scatter is the
// one the errors state; well above, the standards scatter more than their errors say.
struct Mswd {
    double value = 0;
    int dof = 0;
    // The range scatter alone gives (1 -/+ 2 sqrt(2 / dof)), the lower end not below 0.
    double low() const;
    double high() const;
    // Whether the scatter lies beyond what the errors explain (value above high()), so that
    // the fit's uncertainties are scaled by sqrt(value) and take t with dof degrees of
    // freedom. Within the range the errors are trusted as stated: scaling whenever the
    // value exceeds 1 would widen the intervals of half of all runs whose errors are right
    // (95 % intervals then hold the truth in about 96.5 to 97 % of simulated runs).
    bool scales() const;
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
    bool weighted = false;               // fitted with the weights 1 / err^2
    std::optional<Mswd> mswd;            // with weights, where n - p is at least 1
    std::optional<double> edf;           // smoothing spline: its effective degrees of freedom
    // The fit's value at X; unset or no result where the fit has none.
    std::function<std::optional<double>(double)> valueAt;
    // The uncertainty of that value; unset or no result where it cannot be computed.
    std::function<std::optional<Uncertainty>(double)> uncertaintyAt;

    std::optional<double> value(double x) const
    {
        return valueAt ? valueAt(x) : std::optional<double>();
    }
    std::optional<Uncertainty> uncertainty(double x) const
    {
        return uncertaintyAt ? uncertaintyAt(x) : std::optional<Uncertainty>();
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
