#include "engine/uncertainty.h"

#include "engine/finite.h"
#include "engine/leave_one_out.h"
#include "engine/weights.h"

#include <cmath>

namespace kalibrix {

std::shared_ptr<LooWorkspace> sharedWorkspace(const FitInput& input)
{
    if (!input.shared->workspace)
        input.shared->workspace = std::make_shared<LooWorkspace>(input.table);
    return input.shared->workspace;
}

std::shared_ptr<const ReadingVariance> sharedReadings(const FitInput& input)
{
    if (!input.shared->readings) {
        const std::shared_ptr<LooWorkspace> ws = sharedWorkspace(input);
        input.shared->readings =
            std::make_shared<const ReadingVariance>(ws->x(), ws->err(), ws->errorUnit());
    }
    return input.shared->readings;
}

void addLeastSquaresUncertainty(FitResult& result, const FitInput& input, bool inLnX, int degree,
                                std::optional<double> s, std::optional<double> chiSquare)
{
    const int dof = input.stats.nOK - (degree + 1);
    std::shared_ptr<LooWorkspace> ws = sharedWorkspace(input);
    // h(X), from the factorisation made on the first X asked; then only what h needs of it
    // is kept, and the shared factorisations go with the last method that holds them.
    struct Lazy {
        std::shared_ptr<LooWorkspace> ws;
        std::optional<LeverageBasis> basis;
    };
    auto lazy = std::make_shared<Lazy>(Lazy{ws, std::nullopt});
    auto leverage = [lazy, inLnX, degree,
                     weighted = result.weighted](double x) -> std::optional<double> {
        if (lazy->ws) {
            LeastSquaresLoo& f = inLnX ? lazy->ws->inLnX(weighted) : lazy->ws->inX(weighted);
            lazy->basis = f.leverageBasis(degree);
            lazy->ws.reset();
        }
        if (!lazy->basis)
            return std::nullopt;
        return lazy->basis->at(inLnX ? std::log(x) : x);
    };
    if (!result.weighted) {
        if (dof < 1 || !s)
            return;
        result.uncertaintyAt = [leverage, s = *s, dof](double x) -> std::optional<Uncertainty> {
            const std::optional<double> h = leverage(x);
            if (!h)
                return std::nullopt;
            const double curve = s * std::sqrt(*h);
            const double reading = s * std::sqrt(1 + *h);
            if (!std::isfinite(curve) || !std::isfinite(reading))
                return std::nullopt;
            return Uncertainty{curve, reading, dof};
        };
        return;
    }
    if (dof >= 1 && chiSquare)
        if (const std::optional<double> m = finiteOrNone(*chiSquare / dof))
            result.mswd = Mswd{*m, dof};
    const bool scaled = result.mswd && result.mswd->scales();
    // sqrt(c) times the unit the errors are measured in.
    const double scale = ws->errorUnit() * (scaled ? std::sqrt(result.mswd->value) : 1.0);
    const std::optional<int> tDof = scaled ? std::optional<int>(dof) : std::nullopt;
    result.uncertaintyAt = [leverage, readings = sharedReadings(input), scale,
                            tDof](double x) -> std::optional<Uncertainty> {
        const std::optional<double> h = leverage(x);
        if (!h)
            return std::nullopt;
        const double curve = scale * std::sqrt(*h);
        const double reading = scale * std::sqrt(readings->at(x) + *h);
        if (!std::isfinite(curve) || !std::isfinite(reading))
            return std::nullopt;
        return Uncertainty{curve, reading, tDof};
    };
}

}  // namespace kalibrix
