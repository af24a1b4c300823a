#include "run/overview.h"

namespace kalibrix {

std::vector<AnalyteGlance> analytesAtAGlance(const State& state)
{
    std::vector<AnalyteGlance> rows;
    rows.reserve(state.analytes.size());
    for (const Analyte& analyte : state.analytes) {
        const RunResults& res = analyte.results;
        AnalyteGlance g;
        g.name = analyte.name;
        g.best = res.bestPredictor;
        if (const FitResult* fit = res.bestPredictor ? res.fit(*res.bestPredictor) : nullptr)
            if (fit->loo)
                g.looPercent = fit->loo->percent;
        g.inUse = res.computed ? res.stats.nOK : 0;
        g.rejected = static_cast<int>(res.rejected.size());
        g.suggested = res.suggested;
        rows.push_back(std::move(g));
    }
    return rows;
}

}  // namespace kalibrix
