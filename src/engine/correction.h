#pragma once

#include "model/fit_result.h"
#include "model/settings.h"

#include <optional>

namespace kalibrix {

// The known value the correction takes when the user gave none: 1 for a ratio (the reading
// relative to the standard), 0 for a difference and for a delta.
double defaultKnownValue(CorrectionKind kind);

// Whether `kind` takes `value` as a known value: a ratio only above 0, a delta only above
// -1000 per mil (a ratio of the standard to the reference above 0), a difference any
// finite number. The front ends refuse the others.
bool knownValueAccepted(CorrectionKind kind, double value);

// A corrected sample: its value and its standard uncertainty (none where the method gives
// no uncertainty at the sample's X), with the effective degrees of freedom of that
// uncertainty (Welch-Satterthwaite, rounded down; none: as good as infinite, the
// large-sample row of the t table).
struct CorrectedValue {
    double value = 0;
    std::optional<double> u;
    std::optional<int> dof;
};

// What goes into one correction.
struct CorrectionInput {
    double reading = 0;                    // the sample's reading
    std::optional<double> readingU;        // its own standard uncertainty (its error cell)
    double standard = 0;                   // S(X), the method's value at the sample's X
    std::optional<Uncertainty> standardU;  // the method's uncertainty there (its curve part)
    KnownValue known;                      // R and its standard uncertainty
};

// Corrects one reading (first-order propagation of the three uncertainties in quadrature):
//   ratio:      reading * R / S
//   difference: reading - S + R
//   delta:      (reading / S * (1 + R / 1000) - 1) * 1000
// The standard uncertainty is sqrt(sum (c_i u_i)^2) over the three with the sensitivities
// c_i = d corrected / d input; its degrees of freedom those of u_S (Welch-Satterthwaite,
// the other two known as if from infinitely many), none where u_S has none or adds nothing.
// No result where the known value is not accepted or the value is not a finite number
// (S = 0 for a ratio or a delta, for example); no uncertainty where S(X) has none or it is
// not a finite number.
std::optional<CorrectedValue> correct(CorrectionKind kind, const CorrectionInput& in);

}  // namespace kalibrix
