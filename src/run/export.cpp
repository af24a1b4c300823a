#include "run/export.h"

#include "engine/method_table.h"
#include "run/captions.h"
#include "run/vector_state.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace kalibrix {

namespace {

constexpr char kTab = '\t';
constexpr char kCr = '\r';
constexpr std::string_view kPlusMinus = "\u00b1";  // the title of a half-width's cell

// The half-width of a fit's band at X, and of its uncertainty of `kind` at the level's
// column `probCol` of the t table.
std::optional<double> bandHalfWidth(const FitResult& fit, int x)
{
    return fit.band ? std::optional<double>(fit.band->halfWidth(x)) : std::nullopt;
}

std::optional<double> plusMinus(const FitResult& fit, int x, UncertaintyKind kind,
                                const StudentTable& student, int probCol)
{
    const std::optional<Uncertainty> u = fit.uncertainty(x);
    return u ? u->halfWidth(kind, student, probCol) : std::nullopt;
}

// Whether a fitted method has cells at X: a nodes-only method only between its end nodes.
bool hasCells(const FitMethod& method, const FitResult& fit, int x)
{
    return !method.exportNodesOnly ||
           (!fit.nodes.empty() && x >= fit.nodes.front().x && x <= fit.nodes.back().x);
}

// Writes one table's export line by line: the title, the summary line, an empty line, the
// column titles and one line per X = 1..nData, each without its line end.
class ExportWriter {
public:
    ExportWriter(const DataTable& table, const RunResults& results, const Settings& settings,
                 const StudentTable& student, const NumberFormat& fmt, std::string title)
        : m_table(table), m_results(results), m_student(student), m_fmt(fmt.forExport()),
          m_methods(fitMethods()), m_degree(exportDegree(results, settings)),
          m_title(std::move(title)), m_kind(settings.uncertaintyKind),
          m_probCol(settings.level.value_or(kDefaultLevel) + 1)
    {
        for (const ExportColumn& c : exportColumns(settings)) {
            if (c.cell == ExportCell::Value) {
                m_exported.push_back(c.method);
                m_withPlusMinus.push_back(false);
            } else if (c.cell == ExportCell::PlusMinus) {
                m_withPlusMinus.back() = true;
            }
        }
    }

    std::size_t lines() const { return kFirstDataLine + static_cast<std::size_t>(m_table.nData); }

    // Tabs in a data line where every exported method has its cells: the width of the
    // analyte's block of columns beside other analytes.
    std::size_t width() const
    {
        std::size_t tabs = 0;
        for (std::size_t i = 0; i < m_exported.size(); ++i)
            tabs += (m_methods[m_exported[i]].bandColumn ? 5 : 4) + (m_withPlusMinus[i] ? 1 : 0);
        return tabs;
    }

    // Appends line k to `out`.
    void writeLine(std::size_t k, std::string& out)
    {
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
        for (std::size_t i = 0; i < m_exported.size(); ++i) {
            const FitMethod& method = m_methods[m_exported[i]];
            out += "No.\tData\t";
            out += withDegree(method.exportTitle, m_degree);
            if (method.exportSummary == ExportSummary::NameOnly) {
                if (m_withPlusMinus[i])
                    (out += kTab) += kPlusMinus;
                continue;
            }
            out += kTab;
            if (method.bandColumn) {
                out += method.bandColumn;
                out += kTab;
            }
            if (m_withPlusMinus[i])
                (out += kPlusMinus) += kTab;
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
        for (std::size_t i = 0; i < m_exported.size(); ++i) {
            const FitMethod& method = m_methods[m_exported[i]];
            const FitResult* fit = m_results.fit(m_exported[i]);
            if (fit && !hasCells(method, *fit, x))
                continue;
            positionCells(x, out);
            if (fit)
                number(out, fit->value(x));
            if (method.bandColumn) {
                out += kTab;
                if (fit)
                    number(out, bandHalfWidth(*fit, x));
            }
            if (m_withPlusMinus[i]) {
                out += kTab;
                if (fit)
                    number(out, plusMinus(*fit, x, m_kind, m_student, m_probCol));
            }
            out += "\t\t";
        }
    }

    const DataTable& m_table;
    const RunResults& m_results;
    const StudentTable& m_student;
    const NumberFormat m_fmt;
    std::span<const FitMethod> m_methods;
    std::string m_degree;
    std::string m_title;
    UncertaintyKind m_kind;
    int m_probCol;  // the t table's column of the level
    std::vector<std::size_t> m_exported;
    std::vector<bool> m_withPlusMinus;  // by exported method: its value followed by a "±" cell
    int m_positionX = -1;               // the line m_position was written for
    std::string m_position;
};

// Reserves room in `out`, which holds the first `written` of `lines` lines, for all of them:
// the lines still to come as long on average as those written, and a tenth more. A guess
// near the true size keeps a large export in memory the allocator reuses; one far above it
// would ask the system for fresh pages on every export.
void reserveForAll(std::string& out, std::size_t written, std::size_t lines)
{
    if (written == 0 || written >= lines)
        return;
    const double perLine = static_cast<double>(out.size()) / static_cast<double>(written);
    out.reserve(out.size() +
                static_cast<std::size_t>(1.1 * perLine * static_cast<double>(lines - written)));
}

// The analytes' exports side by side, each in a block of columns as wide as a full data
// line and one more for the empty cell between blocks: line k is line k of each analyte's
// export, filled up with empty cells to the width of its block when another analyte's
// cells follow on the line, so that every analyte's name, summary, titles and values stand
// in its own columns on every line. A line ends after the last analyte's cells.
std::string sideBySide(std::vector<ExportWriter>& writers)
{
    // The analytes' lines are written a short run at a time into a piece per analyte, so
    // that each writer stays in the cache while it works, then merged.
    constexpr std::size_t kRun = 256;
    struct Piece {
        std::string text;
        std::vector<std::size_t> end;  // of each line of the run in text
    };
    std::vector<Piece> pieces(writers.size());
    std::string out;
    const std::size_t lines = writers.empty() ? 0 : writers.front().lines();
    const std::size_t width = writers.empty() ? 0 : writers.front().width();  // the same for all
    for (std::size_t first = 0; first < lines; first += kRun) {
        const std::size_t count = std::min(kRun, lines - first);
        for (std::size_t b = 0; b < writers.size(); ++b) {
            Piece& piece = pieces[b];
            piece.text.clear();
            piece.end.clear();
            for (std::size_t k = first; k < first + count; ++k) {
                writers[b].writeLine(k, piece.text);
                piece.end.push_back(piece.text.size());
            }
        }
        auto lineOf = [&pieces](std::size_t b, std::size_t i) {
            const Piece& piece = pieces[b];
            const std::size_t start = i == 0 ? 0 : piece.end[i - 1];
            return std::string_view(piece.text).substr(start, piece.end[i] - start);
        };
        for (std::size_t i = 0; i < count; ++i) {
            std::size_t blocks = pieces.size();  // up to the last analyte with cells here
            while (blocks > 0 && lineOf(blocks - 1, i).empty())
                --blocks;
            for (std::size_t b = 0; b < blocks; ++b) {
                const std::string_view line = lineOf(b, i);
                out += line;
                if (b + 1 < blocks)
                    out.append(
                        width -
                            static_cast<std::size_t>(std::count(line.begin(), line.end(), kTab)) +
                            1,
                        kTab);
            }
            out += kCr;
        }
        if (first == 0)
            reserveForAll(out, count, lines);
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
        ExportWriter writer(only.table, only.results, state.settings, state.student, fmt,
                            kExportTitle);
        std::string out;
        constexpr std::size_t kSample = 256;  // lines written before the whole text is reserved
        for (std::size_t k = 0; k < writer.lines(); ++k) {
            writer.writeLine(k, out);
            out += kCr;
            if (k + 1 == kSample)
                reserveForAll(out, kSample, writer.lines());
        }
        return out;
    }
    for (const Analyte& analyte : state.analytes)
        if (analyte.table.anyValue())
            writers.emplace_back(analyte.table, analyte.results, state.settings, state.student, fmt,
                                 analyte.name);
    return sideBySide(writers);
}

std::vector<ExportColumn> exportColumns(const Settings& settings)
{
    std::vector<ExportColumn> columns;
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m) {
        if (!isExported(methods[m], settings))
            continue;
        columns.push_back({m, ExportCell::Value});
        if (methods[m].bandColumn)
            columns.push_back({m, ExportCell::Band});
        // A band's column is the half-width of the curve: for that kind it is the ±.
        if (settings.exportUncertainties &&
            !(methods[m].bandColumn && settings.uncertaintyKind == UncertaintyKind::Curve))
            columns.push_back({m, ExportCell::PlusMinus});
    }
    return columns;
}

std::string exportColumnTitle(const ExportColumn& c, const std::string& degree)
{
    const FitMethod& method = fitMethods()[c.method];
    switch (c.cell) {
    case ExportCell::Band:
        return method.bandColumn;
    case ExportCell::PlusMinus:
        return std::string(kPlusMinus);
    case ExportCell::Value:
        break;
    }
    return withDegree(method.exportTitle, degree);
}

const std::string& exportDegree(const RunResults& results, const Settings& settings)
{
    return results.computed ? results.degreeText : settings.degreeText;
}

std::optional<double> exportValue(const ExportColumn& c, const Analyte& analyte, const State& state,
                                  int x)
{
    const FitResult* fit = analyte.results.fit(c.method);
    if (!fit || !hasCells(fitMethods()[c.method], *fit, x))
        return std::nullopt;
    std::optional<double> v;
    switch (c.cell) {
    case ExportCell::Value:
        v = fit->value(x);
        break;
    case ExportCell::Band:
        v = bandHalfWidth(*fit, x);
        break;
    case ExportCell::PlusMinus:
        v = plusMinus(*fit, x, state.settings.uncertaintyKind, state.student,
                      state.settings.level.value_or(kDefaultLevel) + 1);
        break;
    }
    return v && std::isfinite(*v) ? v : std::nullopt;
}

}  // namespace kalibrix
