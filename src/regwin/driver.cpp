#include "regwin/driver.h"

#include "fit/data_stat.h"
#include "regwin/plot.h"

namespace kalibrix {

UserMessage messageFor(const FitWarning& warning)
{
    return {warning.kind == FitWarning::Kind::TooFewData ? kTooFewDataMessage : kDegreeRangeMessage,
            MessageIcon::None, kAppTitle};
}

RunReport A_PLOT(State& state, const NumberFormat& fmt, Drawing drawing)
{
    RunReport report;
    const Settings& settings = state.settings;
    if (!settings.level)
        return report;
    report.ran = true;

    const DataTable& table = state.table;
    RunResults& res = state.results;
    res = RunResults{};
    res.computed = true;
    res.stats = Data_Stat(table, settings.allData);
    res.nData = table.nData;
    res.nY = table.nY;
    res.degreeText = settings.degreeText;

    const std::span<const FitMethod> methods = fitMethods();
    res.fits.resize(methods.size());
    const FitInput input{table, res.stats, state.student, settings};
    for (const std::size_t m : methodsInRunOrder()) {
        const FitMethod& method = methods[m];
        if (!method.alwaysFitted && !ticked(settings.show[m]))
            continue;
        if (res.stats.nOK < method.minPoints)
            continue;
        FitOutcome outcome = method.fit(input);
        res.fits[m] = std::move(outcome.result);
        if (outcome.warning) {
            outcome.warning->method = m;
            outcome.warning->nOK = res.stats.nOK;
            res.warnings.push_back(*outcome.warning);
            report.messages.push_back(messageFor(*outcome.warning));
        }
    }

    if (drawing == Drawing::Build)
        state.plot = buildPlot(state, fmt);
    return report;
}

}  // namespace kalibrix
