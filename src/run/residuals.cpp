#include "run/residuals.h"

#include "engine/leave_one_out.h"
#include "engine/method_table.h"

#include <algorithm>

namespace kalibrix {

ResidualTable residualsOf(const State& state, std::size_t a)
{
    ResidualTable t;
    const Analyte& analyte = state.analytes[a];
    const RunResults& res = analyte.results;
    if (!res.computed)
        return t;
    // The table as the run fitted it: its rejections, not the marks made since.
    DataTable table = analyte.table;
    std::fill(table.rejFlag.begin(), table.rejFlag.end(), std::uint8_t{0});
    for (int x : res.rejected)
        table.rejFlag[static_cast<std::size_t>(x)] = 1;
    for (int x = 1; x <= table.nData; ++x)
        if (table.y[static_cast<std::size_t>(x)] && *table.y[static_cast<std::size_t>(x)] > 0) {
            t.x.push_back(x);
            t.y.push_back(*table.y[static_cast<std::size_t>(x)]);
            t.rejected.push_back(!table.inUse(x));
        }
    const FitInput input{table, res.stats, state.student, state.settings};
    LooWorkspace workspace(table);
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m) {
        if (!isShown(methods[m], state.settings))
            continue;
        const FitResult* fit = res.fit(m);
        ResidualColumn c;
        c.method = m;
        LooErrors errors;
        if (fit && res.stats.nOK - 1 >= methods[m].minPoints)
            errors = methods[m].leaveOneOut ? methods[m].leaveOneOut(input, workspace)
                                            : refitLeaveOneOut(methods[m], input, workspace);
        const std::span<const double> inUse = workspace.x();
        for (std::size_t i = 0; i < t.x.size(); ++i) {
            const std::optional<double> v = fit ? fit->value(t.x[i]) : std::nullopt;
            c.value.push_back(v);
            c.residual.push_back(v ? std::optional<double>(t.y[i] - *v) : std::nullopt);
            if (t.rejected[i]) {
                c.leaveOneOut.push_back(c.residual.back());
                continue;
            }
            const auto at = std::lower_bound(inUse.begin(), inUse.end(), t.x[i]);
            const auto k = static_cast<std::size_t>(at - inUse.begin());
            c.leaveOneOut.push_back(k < errors.size() ? errors[k] : std::nullopt);
        }
        t.columns.push_back(std::move(c));
    }
    return t;
}

const char* stateWord(const RunResults& res, int x, bool rejected)
{
    if (rejected)
        return "rejected";
    return std::find(res.suggested.begin(), res.suggested.end(), x) != res.suggested.end()
               ? "suggested"
               : "standard";
}

std::string residualsText(const State& state, const NumberFormat& fmt)
{
    const NumberFormat out = fmt.forExport();
    auto number = [&out](std::string& s, const std::optional<double>& v) {
        s += '\t';
        if (v && std::isfinite(*v))
            out.appendGeneral(s, *v);
    };
    std::string s;
    const std::span<const FitMethod> methods = fitMethods();
    bool titled = false;
    for (std::size_t a = 0; a < state.analytes.size(); ++a) {
        const ResidualTable t = residualsOf(state, a);
        const std::string& degree = state.analytes[a].results.degreeText;
        if (!titled) {
            s += state.named ? "Analyte\tX\tY\tState" : "X\tY\tState";
            for (const ResidualColumn& c : t.columns) {
                const std::string label = methodLabel(methods[c.method], degree);
                s += '\t' + label + '\t' + label + " residual\t" + label + " LOO residual";
            }
            s += '\n';
            titled = true;
        }
        for (std::size_t i = 0; i < t.x.size(); ++i) {
            if (state.named)
                s += state.analytes[a].name + '\t';
            s += std::to_string(t.x[i]);
            number(s, t.y[i]);
            s += '\t';
            s += stateWord(state.analytes[a].results, t.x[i], t.rejected[i]);
            for (const ResidualColumn& c : t.columns) {
                number(s, c.value[i]);
                number(s, c.residual[i]);
                number(s, c.leaveOneOut[i]);
            }
            s += '\n';
        }
    }
    return s;
}

}  // namespace kalibrix
