#include "cli/output_text.h"

#include "cli/cli.h"
#include "run/export.h"
#include "run/residuals.h"
#include "run/samples.h"
#include "run/tidy_export.h"

#include <algorithm>

namespace kalibrix::cli {

std::string outputText(const State& state, const NumberFormat& fmt, OutputText output,
                       ExportFormat format)
{
    switch (output) {
    case OutputText::Summary:
        return summaryText(state, fmt);
    case OutputText::Samples:
        return samplesText(state, fmt);
    case OutputText::Residuals:
        return residualsText(state, fmt);
    case OutputText::Raw:
        return exportText(state, fmt);
    case OutputText::Export:
        break;
    }
    if (format == ExportFormat::Long)
        return exportLongText(state, fmt);
    if (format == ExportFormat::Csv)
        return exportCsvText(state);
    std::string text = exportText(state, fmt);
    std::replace(text.begin(), text.end(), '\r', '\n');
    return text;
}

}  // namespace kalibrix::cli
