#include "cli/cli.h"

#include "run/summary.h"

namespace kalibrix::cli {

namespace {

// `cells` tab-separated after `lead`, the line ended.
void appendRow(std::string& text, const std::string& lead, const std::vector<std::string>& cells)
{
    text += lead;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            text += '\t';
        text += cells[i];
    }
    text += '\n';
}

}  // namespace

std::string summaryText(const State& state, const NumberFormat& fmt)
{
    const SummaryTable table = summaryTable(state, fmt);
    std::string text;
    appendRow(text, state.named ? "Analyte\t" : "", table.header);
    for (std::size_t a = 0; a < table.rows.size(); ++a)
        for (const std::vector<std::string>& row : table.rows[a])
            appendRow(text, state.named ? state.analytes[a].name + "\t" : "", row);
    return text;
}

}  // namespace kalibrix::cli
