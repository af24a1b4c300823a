#include "run/tidy_export.h"

#include "engine/method_table.h"
#include "run/export.h"
#include "run/residuals.h"
#include "run/samples.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kalibrix {

namespace {

// An exported method's value and the column of its "±", if it has one.
struct TidyMethod {
    ExportColumn value;
    std::optional<ExportColumn> plusMinus;
};

std::vector<TidyMethod> tidyMethods(const Settings& settings)
{
    std::vector<TidyMethod> methods;
    for (const ExportColumn& c : exportColumns(settings)) {
        if (c.cell == ExportCell::Value)
            methods.push_back({c, std::nullopt});
        else if (c.cell == ExportCell::PlusMinus ||
                 (c.cell == ExportCell::Band && settings.exportUncertainties))
            methods.back().plusMinus = c;
    }
    return methods;
}

// The analytes the export has a block for.
std::vector<std::size_t> exportedAnalytes(const State& state)
{
    std::vector<std::size_t> analytes;
    for (std::size_t a = 0; a < state.analytes.size(); ++a)
        if (!state.named || state.analytes[a].table.anyValue())
            analytes.push_back(a);
    return analytes;
}

void appendNumber(std::string& out, const NumberFormat& fmt, const std::optional<double>& v)
{
    if (v && std::isfinite(*v))
        fmt.appendGeneral(out, *v);
}

// A cell of comma-separated values, quoted when it holds a comma, a quote or a line end.
void appendCsvCell(std::string& out, const std::string& cell)
{
    if (cell.find_first_of(",\"\r\n") == std::string::npos) {
        out += cell;
        return;
    }
    out += '"';
    for (char c : cell) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::vector<const char*> exportStates(const State& state, std::size_t a)
{
    const Analyte& analyte = state.analytes[a];
    const RunResults& res = analyte.results;
    std::vector<const char*> states(static_cast<std::size_t>(std::max(analyte.table.nData, 0)) + 1,
                                    nullptr);
    if (state.run)
        for (const CorrectedSample& s : correctSamples(state, a).samples)
            if (s.x >= 1 && static_cast<std::size_t>(s.x) < states.size())
                states[static_cast<std::size_t>(s.x)] = "sample";
    if (!res.computed)
        return states;
    for (int x = 1; x <= analyte.table.nData; ++x) {
        const std::optional<double>& y = analyte.table.y[static_cast<std::size_t>(x)];
        if (y && *y > 0)
            states[static_cast<std::size_t>(x)] = stateWord(
                res, x,
                std::find(res.rejected.begin(), res.rejected.end(), x) != res.rejected.end());
    }
    return states;
}

std::string exportLongText(const State& state, const NumberFormat& fmt)
{
    const NumberFormat out = fmt.forExport();
    const std::vector<TidyMethod> methods = tidyMethods(state.settings);
    std::string s = "Analyte\tX\tData\tState\tMethod\tValue\t\u00b1\n";
    for (std::size_t a : exportedAnalytes(state)) {
        const Analyte& analyte = state.analytes[a];
        const std::vector<const char*> states = exportStates(state, a);
        for (int x = 1; x <= analyte.table.nData; ++x) {
            std::string lead = analyte.name + '\t' + std::to_string(x) + '\t';
            appendNumber(lead, out, analyte.table.y[static_cast<std::size_t>(x)]);
            lead += '\t';
            if (const char* word = states[static_cast<std::size_t>(x)])
                lead += word;
            lead += '\t';
            for (const TidyMethod& m : methods) {
                s += lead;
                s += fitMethods()[m.value.method].name;
                s += '\t';
                appendNumber(s, out, exportValue(m.value, analyte, state, x));
                s += '\t';
                if (m.plusMinus)
                    appendNumber(s, out, exportValue(*m.plusMinus, analyte, state, x));
                s += '\n';
            }
        }
    }
    return s;
}

std::string exportCsvText(const State& state)
{
    const NumberFormat out;  // "." and "-"
    const std::vector<TidyMethod> methods = tidyMethods(state.settings);
    const std::vector<std::size_t> analytes = exportedAnalytes(state);
    std::string s = "X";
    int nData = 0;
    for (std::size_t a : analytes) {
        const Analyte& analyte = state.analytes[a];
        nData = std::max(nData, analyte.table.nData);
        const std::string lead = state.named ? analyte.name + " " : "";
        const std::string& degree = exportDegree(analyte.results, state.settings);
        s += ',';
        appendCsvCell(s, lead + "Data");
        for (const TidyMethod& m : methods) {
            const std::string title = lead + exportColumnTitle(m.value, degree);
            s += ',';
            appendCsvCell(s, title);
            if (m.plusMinus) {
                s += ',';
                appendCsvCell(s, title + " \u00b1");
            }
        }
    }
    s += "\r\n";
    for (int x = 1; x <= nData; ++x) {
        s += std::to_string(x);
        for (std::size_t a : analytes) {
            const Analyte& analyte = state.analytes[a];
            const bool inTable = x <= analyte.table.nData;
            s += ',';
            if (inTable)
                appendNumber(s, out, analyte.table.y[static_cast<std::size_t>(x)]);
            for (const TidyMethod& m : methods) {
                s += ',';
                if (inTable)
                    appendNumber(s, out, exportValue(m.value, analyte, state, x));
                if (m.plusMinus) {
                    s += ',';
                    if (inTable)
                        appendNumber(s, out, exportValue(*m.plusMinus, analyte, state, x));
                }
            }
        }
        s += "\r\n";
    }
    return s;
}

}  // namespace kalibrix
