#include "regwin/export.h"

#include "fit/method_table.h"
#include "regwin/captions.h"
#include "regwin/vector_state.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace kalibrix {

namespace {

constexpr char kTab = '\t';
constexpr char kCr = '\r';

// Writes one table's export line by line: the title, the summary line, an empty line, the
// column titles and one line per X = 1..nData, each without its line end.
class ExportWriter {
public:
    ExportWriter(const DataTable& table, const RunResults& results, const Settings& settings,
                 const NumberFormat& fmt, std::string title)
        : m_table(table), m_results(results), m_fmt(fmt.forExport()), m_methods(fitMethods()),
          m_degree(results.computed ? results.degreeText : settings.degreeText),
          m_title(std::move(title))
    {
        for (std::size_t m = 0; m < m_methods.size(); ++m)
            if (ticked(settings.exported[m]))
                m_exported.push_back(m);
    }

    std::size_t lines() const { return kFirstDataLine + static_cast<std::size_t>(m_table.nData); }

    // About the bytes of the whole export, for reserving them.
    std::size_t sizeGuess() const { return lines() * 24 * (m_exported.size() + 1); }

    // Appends line k to `out`. Returns how many tabs short the line stops of the cells its
    // column titles head: a nodes-only method outside its nodes skips its group at the end of
    // a line, a name-only title has no cells for the values. A text beside it adds them to
    // keep its columns.
    std::size_t writeLine(std::size_t k, std::string& out)
    {
        m_skipped = 0;
        switch (k) {
        case 0:
            out += m_title;
            break;
        case 1:
            summaryLine(out);
            break;
        case 2:
            break;
        case 3:
            titleLine(out);
            break;
        default:
            dataLine(static_cast<int>(k - kFirstDataLine + 1), out);
        }
        return m_skipped;
    }

private:
    static constexpr std::size_t kFirstDataLine = 4;

    void number(std::string& out, const std::optional<double>& v)
    {
        if (v && std::isfinite(*v))
            m_fmt.appendGeneral(out, *v);
    }

    void summaryLine(std::string& out)
    {
        const RunResults& r = m_results;
        const Captions shown = makeCaptions(r, m_fmt);
        for (std::size_t m : m_exported) {
            const FitMethod& method = m_methods[m];
            out += withDegree(method.exportLabel, m_degree);
            if (method.exportSummary == ExportSummary::NameOnly)
                continue;
            const FitResult* fit = r.fit(m);
            out += kTab;
            if (method.exportSummary == ExportSummary::Numbers) {
                out += m_fmt.general(fit ? fit->diff : std::nullopt);
                out += kTab;
                out += m_fmt.general(fit ? fit->diffProc : std::nullopt);
            } else {
                out += shown.cells[m][kCellDiff];
                out += kTab;
                out += shown.cells[m][kCellDiffProc];
            }
            out += "\t\t";
        }
    }

    void titleLine(std::string& out)
    {
        for (std::size_t m : m_exported) {
            const FitMethod& method = m_methods[m];
            out += "No.\tData\t";
            out += withDegree(method.exportTitle, m_degree);
            // A name-only group's title stops two cells short of its values' cells.
            m_skipped = method.exportSummary == ExportSummary::NameOnly
                            ? 2 + (method.bandColumn ? 1 : 0)
                            : 0;
            if (method.exportSummary == ExportSummary::NameOnly)
                continue;
            out += kTab;
            if (method.bandColumn) {
                out += method.bandColumn;
                out += kTab;
            }
            out += kTab;
        }
    }

    // "X<tab>Data<tab>", the same in every column group of a line: written once per line.
    void positionCells(int x, std::string& out)
    {
        if (m_positionX != x) {
            m_positionX = x;
            m_position.clear();
            m_position += std::to_string(x);
            m_position += kTab;
            const std::optional<double>& y = m_table.y[static_cast<size_t>(x)];
            if (y && std::isfinite(*y))
                m_fmt.appendGeneral(m_position, *y);
            m_position += kTab;
        }
        out += m_position;
    }

    void dataLine(int x, std::string& out)
    {
        for (std::size_t m : m_exported) {
            const FitMethod& method = m_methods[m];
            const FitResult* fit = m_results.fit(m);
            if (fit && method.exportNodesOnly &&
                (fit->nodes.empty() || x < fit->nodes.front().x || x > fit->nodes.back().x)) {
                m_skipped += method.bandColumn ? 5 : 4;
                continue;
            }
            m_skipped = 0;
            positionCells(x, out);
            if (fit)
                number(out, fit->value(x));
            if (method.bandColumn) {
                out += kTab;
                if (fit && fit->band)
                    number(out, fit->band->halfWidth(x));
            }
            out += "\t\t";
        }
    }

    const DataTable& m_table;
    const RunResults& m_results;
    const NumberFormat m_fmt;
    std::span<const FitMethod> m_methods;
    std::string m_degree;
    std::string m_title;
    std::vector<std::size_t> m_exported;
    std::size_t m_skipped = 0;  // tabs short of the line's cells, at its end
    int m_positionX = -1;       // the line m_position was written for
    std::string m_position;
};

// The analytes' exports side by side: line k is line k of each analyte's export, the
// texts separated by a tab. An analyte's line without cells adds nothing; one that stops
// short of the cells its column titles head gets empty cells there when a later analyte's
// line follows, so that no analyte's values move under another's titles.
std::string sideBySide(std::vector<ExportWriter>& writers)
{
    // The analytes' lines are written a short run at a time into a piece per analyte, so
    // that each writer stays in the cache while it works, then merged.
    constexpr std::size_t kRun = 256;
    struct Piece {
        std::string text;
        std::vector<std::size_t> end;      // of each line of the run in text
        std::vector<std::size_t> skipped;  // writeLine's answer for each line
    };
    std::vector<Piece> pieces(writers.size());
    std::string out;
    std::size_t size = 0;
    for (const ExportWriter& w : writers)
        size += w.sizeGuess();
    out.reserve(size);
    const std::size_t lines = writers.empty() ? 0 : writers.front().lines();
    for (std::size_t first = 0; first < lines; first += kRun) {
        const std::size_t count = std::min(kRun, lines - first);
        for (std::size_t b = 0; b < writers.size(); ++b) {
            Piece& piece = pieces[b];
            piece.text.clear();
            piece.end.clear();
            piece.skipped.clear();
            for (std::size_t k = first; k < first + count; ++k) {
                piece.skipped.push_back(writers[b].writeLine(k, piece.text));
                piece.end.push_back(piece.text.size());
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            std::size_t owed = 0;  // tabs to write before the next analyte's cells
            bool any = false;      // a line of an analyte before is part of this line
            for (const Piece& piece : pieces) {
                const std::size_t start = i == 0 ? 0 : piece.end[i - 1];
                const std::string_view line =
                    std::string_view(piece.text).substr(start, piece.end[i] - start);
                const std::size_t separator = any ? 1 : 0;
                if (!line.empty()) {
                    out.append(owed + separator, kTab);
                    out += line;
                    owed = piece.skipped[i];
                    any = true;
                } else if (piece.skipped[i] > 0) {
                    owed += separator + piece.skipped[i];
                    any = true;
                }
            }
            out += kCr;
        }
    }
    return out;
}

}  // namespace

std::string exportText(const State& state, const NumberFormat& fmt)
{
    cleanVectorState();
    std::vector<ExportWriter> writers;
    if (!state.named) {
        const Analyte& only = state.analytes.front();
        ExportWriter writer(only.table, only.results, state.settings, fmt, kExportTitle);
        std::string out;
        out.reserve(writer.sizeGuess());
        for (std::size_t k = 0; k < writer.lines(); ++k) {
            writer.writeLine(k, out);
            out += kCr;
        }
        return out;
    }
    for (const Analyte& analyte : state.analytes)
        if (analyte.table.anyValue())
            writers.emplace_back(analyte.table, analyte.results, state.settings, fmt, analyte.name);
    return sideBySide(writers);
}

}  // namespace kalibrix
