#include "cli/cli.h"

#include "engine/method_table.h"
#include "run/captions.h"
#include "run/rounding.h"
#include "run/samples.h"

#include <span>
#include <string_view>
#include <utility>

namespace kalibrix::cli {

namespace {

constexpr const char* kSummaryHeader = "Row\ta\tb\tr^2\tAver. diff.\t%\tLOO\tLOO %";

// Appends one row of the summary to `text`: `lead` (the analyte's name and a tab, or nothing
// for a plain table), then the cells, tab-separated.
void appendRow(std::string& text, const std::string& lead,
               const std::vector<std::string_view>& cells)
{
    text += lead;
    bool first = true;
    for (std::string_view cell : cells) {
        if (!first)
            text += '\t';
        text += cell;
        first = false;
    }
    text += '\n';
}

// Which of the summary's columns after "LOO %" it has: MSWD when weights were asked for, edf
// when a smoother is shown; without them the summary keeps its bytes of before.
struct ExtraColumns {
    bool mswd = false;
    bool edf = false;
};

// Each method's row: its label, figures and leave-one-out figures, then the `extra` columns.
void methodRows(std::string& text, const RunResults& results, const Captions& captions,
                const NumberFormat& fmt, const std::string& lead, ExtraColumns extra)
{
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const auto& cells = captions.cells[m];
        const std::string label = methodLabel(methods[m], results.degreeText);
        std::vector<std::string_view> figures = {label,
                                                 cells[kCellA],
                                                 cells[kCellB],
                                                 cells[kCellRSquared],
                                                 cells[kCellDiff],
                                                 cells[kCellDiffProc],
                                                 captions.looError[m],
                                                 captions.looPercent[m]};
        const FitResult* fit = results.fit(m);
        const std::string mswdCell =
            fit && fit->weighted && fit->mswd ? Rounding(fit->mswd->value, fmt) : std::string();
        if (extra.mswd)
            figures.push_back(mswdCell);
        if (extra.edf)
            figures.push_back(cells[kCellEdf]);
        appendRow(text, lead, figures);
    }
}

// The parameters of the method that lists them: P0, P1, ... and dsig.
void parameterRows(std::string& text, const RunResults& results, const NumberFormat& fmt,
                   const std::string& lead)
{
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const FitResult* fit = results.fit(m);
        if (!methods[m].listsParameters || !fit)
            continue;
        for (std::size_t i = 0; i < fit->coef.size(); ++i)
            appendRow(text, lead, {"P" + std::to_string(i), fmt.general(fit->coef[i])});
        appendRow(text, lead, {"dsig", fmt.general(fit->dsig)});
    }
}

// One analyte's rows of the summary, each led by `lead`.
void summaryRows(std::string& text, const RunResults& results, const NumberFormat& fmt,
                 const std::string& lead, ExtraColumns extra)
{
    const Captions captions = makeCaptions(results, fmt, Figures::Shown);
    appendRow(text, lead, {"Maximum:", captions.nData});
    appendRow(text, lead, {"Number of data:", captions.nDataOK});
    appendRow(text, lead, {"Rejected:", captions.rejected});
    methodRows(text, results, captions, fmt, lead, extra);
    text += lead;
    text += "Suggested";
    for (int x : results.suggested)
        text += "\t" + std::to_string(x);
    text += '\n';
    parameterRows(text, results, fmt, lead);
}

// The check standard's rows of analyte `a` in the summary, with a check standard in a run:
// how many of its lines were corrected, their mean, standard deviation, bias from its known
// value and z (bias over its uncertainty).
void checkRows(std::string& text, const State& state, std::size_t a, const NumberFormat& fmt,
               const std::string& lead)
{
    if (!state.run || state.settings.checkPattern.empty())
        return;
    const CheckSummary check = correctSamples(state, a).check.value_or(CheckSummary{});
    for (const auto& [label, figure] :
         {std::pair<const char*, std::string>{"Check count:", std::to_string(check.count)},
          {"Check mean:", Rounding(check.mean, fmt)},
          {"Check SD:", Rounding(check.sd, fmt)},
          {"Check bias:", Rounding(check.bias, fmt)},
          {"Check z:", Rounding(check.z, fmt)}})
        text += lead + label + "\t" + figure + "\n";
}

}  // namespace

std::string summaryText(const State& state, const NumberFormat& fmt)
{
    ExtraColumns extra{state.settings.weightByErrors, false};
    for (const FitMethod& m : fitMethods())
        extra.edf = extra.edf || (m.figures[kCellEdf] && isShown(m, state.settings));
    std::string text = std::string(state.named ? "Analyte\t" : "") + kSummaryHeader +
                       (extra.mswd ? "\tMSWD" : "") + (extra.edf ? "\tedf\n" : "\n");
    for (std::size_t a = 0; a < state.analytes.size(); ++a) {
        const std::string lead = state.named ? state.analytes[a].name + "\t" : "";
        summaryRows(text, state.analytes[a].results, fmt, lead, extra);
        checkRows(text, state, a, fmt, lead);
    }
    return text;
}

}  // namespace kalibrix::cli
