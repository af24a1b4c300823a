#include "engine/smoothing_fit.h"

#include "engine/finite.h"
#include "engine/leave_one_out.h"
#include "engine/smoothing_spline.h"
#include "engine/uncertainty.h"
#include "engine/weights.h"

#include <algorithm>
#include <cmath>

namespace kalibrix {

namespace {

// The spline of the input's standards (made on first use and shared), fitted to Y / 2^e so
// that no square overflows; its values are then multiplied by 2^e.
struct ScaledSpline {
    std::shared_ptr<const SmoothingSpline> spline;
    double yUnit = 1;  // 2^e
};

ScaledSpline sharedSpline(const FitInput& input)
{
    FitShared& shared = *input.shared;
    const std::shared_ptr<LooWorkspace> ws = sharedWorkspace(input);
    double maxY = 0;
    for (double y : ws->y())
        maxY = std::max(maxY, std::abs(y));
    const double yUnit = std::ldexp(1.0, yScaleExponent(maxY));
    if (!shared.splineTried) {
        shared.splineTried = true;
        std::vector<double> y(ws->y().begin(), ws->y().end());
        for (double& v : y)
            v /= yUnit;
        std::vector<double> w;
        if (weighsByErrors(input))
            w.assign(ws->weights().begin(), ws->weights().end());
        else
            w.assign(y.size(), 1.0);
        if (std::optional<SmoothingSpline> s = smoothingSplineByLeaveOneOut(ws->x(), y, w))
            shared.spline = std::make_shared<const SmoothingSpline>(std::move(*s));
    }
    return {shared.spline, yUnit};
}

}  // namespace

FitOutcome fitSmoothingSpline(const FitInput& in)
{
    if (in.stats.nOK < kSmoothingSplineMinPoints)
        return {};
    const ScaledSpline scaled = sharedSpline(in);
    if (!scaled.spline)
        return {};
    const std::shared_ptr<LooWorkspace> ws = sharedWorkspace(in);
    const SmoothingSpline& s = *scaled.spline;
    const bool weighted = weighsByErrors(in);
    const std::span<const double> x = ws->x(), y = ws->y();
    const auto n = static_cast<double>(x.size());
    double diff = 0, diffProc = 0, sse = 0, chi = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double d = y[i] / scaled.yUnit - s.fitted()[i];  // in units of yUnit
        diff += std::abs(d);
        diffProc += std::abs(d) * scaled.yUnit / y[i];
        sse += d * d;
        if (weighted)
            chi += ws->weights()[i] * d * d;
    }
    FitResult result;
    result.weighted = weighted;
    result.edf = finiteOrNone(s.effectiveDof());
    result.diff = finiteOrNone(diff / n * scaled.yUnit);
    result.diffProc = finiteOrNone(diffProc / n * 100);
    result.valueAt = [spline = scaled.spline, yUnit = scaled.yUnit](double t) {
        return finiteOrNone(spline->value(t) * yUnit);
    };
    const double residualDof = n - s.effectiveDof();
    const int dof = static_cast<int>(std::floor(residualDof + 1e-9));
    if (dof >= 1) {
        if (!weighted) {
            // s^2 in units of yUnit^2.
            const double scale = std::sqrt(sse / residualDof) * scaled.yUnit;
            result.uncertaintyAt = [spline = scaled.spline, scale,
                                    dof](double t) -> std::optional<Uncertainty> {
                const double v = spline->variance(t);
                const double curve = scale * std::sqrt(v), reading = scale * std::sqrt(1 + v);
                if (!std::isfinite(curve) || !std::isfinite(reading))
                    return std::nullopt;
                return Uncertainty{curve, reading, dof};
            };
        } else {
            // w = (unit / err)^2 and d in units of yUnit: chi in units of (yUnit / unit)^2.
            const double toErr = scaled.yUnit / ws->errorUnit();
            if (const std::optional<double> m = finiteOrNone(chi * toErr * toErr / residualDof))
                result.mswd = Mswd{*m, dof};
            const bool scales = result.mswd && result.mswd->scales();
            const double scale = ws->errorUnit() * (scales ? std::sqrt(result.mswd->value) : 1.0);
            const std::optional<int> tDof = scales ? std::optional<int>(dof) : std::nullopt;
            result.uncertaintyAt = [spline = scaled.spline, readings = sharedReadings(in), scale,
                                    tDof](double t) -> std::optional<Uncertainty> {
                const double v = spline->variance(t);
                const double curve = scale * std::sqrt(v);
                const double reading = scale * std::sqrt(readings->at(t) + v);
                if (!std::isfinite(curve) || !std::isfinite(reading))
                    return std::nullopt;
                return Uncertainty{curve, reading, tDof};
            };
        }
    }
    return {std::move(result), std::nullopt};
}

LooErrors looSmoothingSpline(const FitInput& in, LooWorkspace& workspace)
{
    std::vector<std::optional<double>>& errors = workspace.scratch();
    errors.assign(workspace.x().size(), std::nullopt);
    if (in.stats.nOK < kSmoothingSplineMinPoints)
        return errors;
    const ScaledSpline scaled = sharedSpline(in);
    if (!scaled.spline || scaled.spline->fitted().size() != errors.size())
        return errors;
    const SmoothingSpline& s = *scaled.spline;
    const std::span<const double> y = workspace.y();
    for (std::size_t i = 0; i < errors.size(); ++i) {
        const double rest = 1 - s.leverage()[i];
        if (rest > 1e-9)
            errors[i] = finiteOrNone((y[i] / scaled.yUnit - s.fitted()[i]) / rest * scaled.yUnit);
    }
    return errors;
}

}  // namespace kalibrix
