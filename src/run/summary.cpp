#include "run/summary.h"

#include "engine/method_table.h"
#include "run/captions.h"
#include "run/rounding.h"
#include "run/samples.h"

#include <span>
#include <utility>

namespace kalibrix {

namespace {

using Row = std::vector<std::string>;

// Which of the summary's columns after "LOO %" it has: MSWD when weights were asked for, edf
// when a smoother is shown; without them the summary keeps its bytes of before.
struct ExtraColumns {
    bool mswd = false;
    bool edf = false;
};

// Each method's row: its label, figures and leave-one-out figures, then the `extra` columns.
void methodRows(std::vector<Row>& rows, const RunResults& results, const Captions& captions,
                const NumberFormat& fmt, ExtraColumns extra)
{
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const auto& cells = captions.cells[m];
        Row row = {methodLabel(methods[m], results.degreeText),
                   cells[kCellA],
                   cells[kCellB],
                   cells[kCellRSquared],
                   cells[kCellDiff],
                   cells[kCellDiffProc],
                   captions.looError[m],
                   captions.looPercent[m]};
        const FitResult* fit = results.fit(m);
        if (extra.mswd)
            row.push_back(fit && fit->weighted && fit->mswd ? Rounding(fit->mswd->value, fmt)
                                                            : std::string());
        if (extra.edf)
            row.push_back(cells[kCellEdf]);
        rows.push_back(std::move(row));
    }
}

// The parameters of the method that lists them: P0, P1, ... and dsig.
void parameterRows(std::vector<Row>& rows, const RunResults& results, const NumberFormat& fmt)
{
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const FitResult* fit = results.fit(m);
        if (!methods[m].listsParameters || !fit)
            continue;
        for (std::size_t i = 0; i < fit->coef.size(); ++i)
            rows.push_back({"P" + std::to_string(i), fmt.general(fit->coef[i])});
        rows.push_back({"dsig", fmt.general(fit->dsig)});
    }
}

// The check standard's rows of analyte `a`, with a check standard in a run: how many of its
// lines were corrected, their mean, standard deviation, bias from its known value and z
// (bias over its uncertainty).
void checkRows(std::vector<Row>& rows, const State& state, std::size_t a, const NumberFormat& fmt)
{
    if (!state.run || state.settings.checkPattern.empty())
        return;
    const CheckSummary check = correctSamples(state, a).check.value_or(CheckSummary{});
    rows.push_back({"Check count:", std::to_string(check.count)});
    rows.push_back({"Check mean:", Rounding(check.mean, fmt)});
    rows.push_back({"Check SD:", Rounding(check.sd, fmt)});
    rows.push_back({"Check bias:", Rounding(check.bias, fmt)});
    rows.push_back({"Check z:", Rounding(check.z, fmt)});
}

}  // namespace

SummaryTable summaryTable(const State& state, const NumberFormat& fmt)
{
    ExtraColumns extra{state.settings.weightByErrors, false};
    for (const FitMethod& m : fitMethods())
        extra.edf = extra.edf || (m.figures[kCellEdf] && isShown(m, state.settings));
    SummaryTable table;
    table.header = {"Row", "a", "b", "r^2", "Aver. diff.", "%", "LOO", "LOO %"};
    if (extra.mswd)
        table.header.emplace_back("MSWD");
    if (extra.edf)
        table.header.emplace_back("edf");
    for (std::size_t a = 0; a < state.analytes.size(); ++a) {
        const RunResults& results = state.analytes[a].results;
        std::vector<Row>& rows = table.rows.emplace_back();
        const Captions captions = makeCaptions(results, fmt, Figures::Shown);
        rows.push_back({"Maximum:", captions.nData});
        rows.push_back({"Number of data:", captions.nDataOK});
        rows.push_back({"Rejected:", captions.rejected});
        methodRows(rows, results, captions, fmt, extra);
        Row suggested{"Suggested"};
        for (int x : results.suggested)
            suggested.push_back(std::to_string(x));
        rows.push_back(std::move(suggested));
        parameterRows(rows, results, fmt);
        checkRows(rows, state, a, fmt);
    }
    return table;
}

}  // namespace kalibrix
