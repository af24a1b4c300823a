#include "engine/correction.h"

#include <cmath>
#include <limits>

namespace kalibrix {

namespace {

constexpr double kPerMil = 1000;

// The corrected value of `kind` and the three terms c_i u_i of its uncertainty, c_i the
// first-order sensitivity d corrected / d input (an input without an uncertainty: 0).
struct Propagated {
    double value = 0;
    double readingTerm = 0;
    double standardTerm = 0;
    double knownTerm = 0;
};

Propagated propagate(CorrectionKind kind, double r, double s, double R, double ur, double us,
                     double uR)
{
    switch (kind) {
    case CorrectionKind::Ratio: {
        // r R / S: R/S, -r R / S^2 = -value / S, r/S
        const double value = r * R / s;
        return {value, R / s * ur, value / s * us, r / s * uR};
    }
    case CorrectionKind::Difference:
        return {r - s + R, ur, us, uR};
    case CorrectionKind::Delta: {
        // (r / S (1 + R/1000) - 1) 1000, written without subtracting nearly equal numbers
        // (r - S is exact where the delta is small: r and S within a factor of two):
        // (1000 + R)/S, -r (1000 + R) / S^2, r/S.
        const double value = ((r - s) * kPerMil + r * R) / s;
        const double k = (kPerMil + R) / s;
        return {value, k * ur, r * k / s * us, r / s * uR};
    }
    }
    return {};
}

// The effective degrees of freedom u^4 / (term^4 / dof) of an uncertainty u whose one term
// with finite degrees of freedom is `term`, rounded down; none (as good as infinite) where
// the term adds nothing or the figure is beyond an int.
std::optional<int> welchSatterthwaite(double u, double term, int dof)
{
    if (!(term > 0))
        return std::nullopt;
    const double ratio = u / term;  // at least 1: u is term and two more in quadrature
    const double nu = std::floor(static_cast<double>(dof) * (ratio * ratio) * (ratio * ratio));
    if (!(nu <= static_cast<double>(std::numeric_limits<int>::max())))
        return std::nullopt;
    return static_cast<int>(nu);
}

}  // namespace

double defaultKnownValue(CorrectionKind kind) { return kind == CorrectionKind::Ratio ? 1 : 0; }

bool knownValueAccepted(CorrectionKind kind, double value)
{
    if (!std::isfinite(value))
        return false;
    switch (kind) {
    case CorrectionKind::Ratio:
        return value > 0;
    case CorrectionKind::Delta:
        return value > -kPerMil;
    case CorrectionKind::Difference:
        return true;
    }
    return false;
}

std::optional<CorrectedValue> correct(CorrectionKind kind, const CorrectionInput& in)
{
    if (!knownValueAccepted(kind, in.known.value))
        return std::nullopt;
    const double us = in.standardU ? std::fabs(in.standardU->curve) : 0;
    const Propagated p =
        propagate(kind, in.reading, in.standard, in.known.value, std::fabs(in.readingU.value_or(0)),
                  us, std::fabs(in.known.u.value_or(0)));
    if (!std::isfinite(p.value))
        return std::nullopt;
    CorrectedValue result{p.value, std::nullopt, std::nullopt};
    if (!in.standardU)
        return result;
    const double standardTerm = std::fabs(p.standardTerm);
    const double u = std::hypot(p.readingTerm, standardTerm, p.knownTerm);
    if (!std::isfinite(u) || !std::isfinite(standardTerm))
        return result;
    result.u = u;
    if (in.standardU->dof)
        result.dof = welchSatterthwaite(u, standardTerm, *in.standardU->dof);
    return result;
}

}  // namespace kalibrix
