#include "run/driver.h"

#include "engine/data_stat.h"
#include "engine/leave_one_out.h"
#include "run/plot.h"
#include "run/rejection.h"
#include "run/rounding.h"
#include "run/vector_state.h"

#include <utility>

namespace kalibrix {

UserMessage messageFor(const FitWarning& warning)
{
    return {warning.kind == FitWarning::Kind::TooFewData ? kTooFewDataMessage : kDegreeRangeMessage,
            MessageIcon::None, kAppTitle};
}

namespace {

// The order in which methods predict: by the leave-one-out per cent as the grid shows it,
// of equal shown figures the smaller unrounded one first. None without a per cent.
std::optional<std::pair<double, double>> predictionRank(const FitResult& fit)
{
    if (!fit.loo || !fit.loo->percent)
        return std::nullopt;
    return std::pair{shownValue(*fit.loo->percent), *fit.loo->percent};
}

// Every fitted method's leave-one-out errors; then the method that predicts best (of equal
// ranks the first to run) and the standards whose errors there lie far outside the others'.
void leaveOneOut(RunResults& res, const FitInput& input)
{
    const std::span<const FitMethod> methods = fitMethods();
    LooWorkspace workspace(input.table);
    std::optional<std::pair<double, double>> best;
    for (const std::size_t m : methodsInRunOrder()) {
        if (!res.fits[m])
            continue;
        const FitMethod& method = methods[m];
        LooErrors errors;
        if (res.stats.nOK - 1 >= method.minPoints)
            errors = method.leaveOneOut ? method.leaveOneOut(input, workspace)
                                        : refitLeaveOneOut(method, input, workspace);
        res.fits[m]->loo = summariseLoo(workspace.y(), errors);
        const std::optional<std::pair<double, double>> rank = predictionRank(*res.fits[m]);
        if (rank && (!best || *rank < *best)) {
            best = rank;
            res.bestPredictor = m;
            res.looErrors.assign(errors.begin(), errors.end());
        }
    }
    res.looX.assign(workspace.x().begin(), workspace.x().end());
    if (res.bestPredictor) {
        Suggestions s = suggestedOutliers(res.looErrors, res.looX);
        res.suggested = std::move(s.x);
        res.typicalLooError = s.typical;
    }
}

}  // namespace

void runAnalyte(Analyte& analyte, const StudentTable& student, const Settings& settings,
                LeaveOneOutErrors loo)
{
    const DataTable& table = analyte.table;
    RunResults& res = analyte.results;
    res = RunResults{};
    res.computed = true;
    res.stats = computeDataStats(table, settings.allData);
    res.nData = table.nData;
    res.nY = table.nY;
    res.degreeText = settings.degreeText;
    res.rejected = rejectedStandards(table);

    const std::span<const FitMethod> methods = fitMethods();
    res.fits.resize(methods.size());
    const FitInput input{table, res.stats, student, settings};
    for (const std::size_t m : methodsInRunOrder()) {
        const FitMethod& method = methods[m];
        if (!isShown(method, settings))
            continue;
        if (res.stats.nOK < method.minPoints)
            continue;
        FitOutcome outcome = method.fit(input);
        res.fits[m] = std::move(outcome.result);
        if (outcome.warning) {
            outcome.warning->method = m;
            outcome.warning->nOK = res.stats.nOK;
            res.warnings.push_back(*outcome.warning);
        }
    }
    if (loo == LeaveOneOutErrors::Compute)
        leaveOneOut(res, input);
}

RunReport plotAndCalculate(State& state, const NumberFormat& fmt, Drawing drawing,
                           LeaveOneOutErrors loo)
{
    RunReport report;
    if (!state.settings.level)
        return report;
    cleanVectorState();
    report.ran = true;
    for (Analyte& analyte : state.analytes)
        runAnalyte(analyte, state.student, state.settings, loo);
    for (const FitWarning& warning : state.results().warnings)
        report.messages.push_back(messageFor(warning));
    if (drawing == Drawing::Build)
        state.plot = buildPlot(state, fmt);
    return report;
}

void showAnalyte(State& state, const NumberFormat& fmt, std::size_t index)
{
    if (index >= state.analytes.size())
        return;
    state.selected = index;
    if (state.results().computed)
        state.plot = buildPlot(state, fmt);
}

}  // namespace kalibrix
