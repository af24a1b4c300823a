#include "regwin/export.h"

#include "fit/method_table.h"
#include "regwin/captions.h"
#include "regwin/vector_state.h"

#include <cmath>

namespace kalibrix {

namespace {

constexpr char kTab = '\t';
constexpr char kCr = '\r';

class ExportWriter {
public:
    ExportWriter(const State& state, const NumberFormat& fmt)
        : m_state(state), m_fmt(fmt.forExport()), m_methods(fitMethods()),
          m_degree(state.results.computed ? state.results.degreeText : state.settings.degreeText)
    {
        for (std::size_t m = 0; m < m_methods.size(); ++m)
            if (ticked(state.settings.exported[m]))
                m_exported.push_back(m);
    }

    std::string build()
    {
        const int nData = m_state.table.nData;
        m_out.reserve(static_cast<size_t>(nData + 4) * 24 * (m_exported.size() + 1));
        m_out += kExportTitle;
        m_out += kCr;
        summaryLine();
        m_out += kCr;
        m_out += kCr;
        titleLine();
        m_out += kCr;
        for (int x = 1; x <= nData; ++x) {
            dataLine(x);
            m_out += kCr;
        }
        return std::move(m_out);
    }

private:
    void number(const std::optional<double>& v)
    {
        if (v && std::isfinite(*v))
            m_fmt.appendGeneral(m_out, *v);
    }

    void summaryLine()
    {
        const RunResults& r = m_state.results;
        const Captions shown = makeCaptions(r, m_fmt);
        for (std::size_t m : m_exported) {
            const FitMethod& method = m_methods[m];
            m_out += withDegree(method.exportLabel, m_degree);
            if (method.exportSummary == ExportSummary::NameOnly)
                continue;
            const FitResult* fit = r.fit(m);
            m_out += kTab;
            if (method.exportSummary == ExportSummary::Numbers) {
                m_out += m_fmt.general(fit ? fit->diff : std::nullopt);
                m_out += kTab;
                m_out += m_fmt.general(fit ? fit->diffProc : std::nullopt);
            } else {
                m_out += shown.cells[m][kCellDiff];
                m_out += kTab;
                m_out += shown.cells[m][kCellDiffProc];
            }
            m_out += "\t\t";
        }
    }

    void titleLine()
    {
        for (std::size_t m : m_exported) {
            const FitMethod& method = m_methods[m];
            m_out += "No.\tData\t";
            m_out += withDegree(method.exportTitle, m_degree);
            if (method.exportSummary == ExportSummary::NameOnly)
                continue;
            m_out += kTab;
            if (method.bandColumn) {
                m_out += method.bandColumn;
                m_out += kTab;
            }
            m_out += kTab;
        }
    }

    // "X<tab>Data<tab>", the same in every column group of a line: written once per line.
    void positionCells(int x)
    {
        if (m_positionX != x) {
            m_positionX = x;
            m_position.clear();
            m_position += std::to_string(x);
            m_position += kTab;
            const std::optional<double>& y = m_state.table.y[static_cast<size_t>(x)];
            if (y && std::isfinite(*y))
                m_fmt.appendGeneral(m_position, *y);
            m_position += kTab;
        }
        m_out += m_position;
    }

    void dataLine(int x)
    {
        for (std::size_t m : m_exported) {
            const FitMethod& method = m_methods[m];
            const FitResult* fit = m_state.results.fit(m);
            if (fit && method.exportNodesOnly &&
                (fit->nodes.empty() || x < fit->nodes.front().x || x > fit->nodes.back().x))
                continue;
            positionCells(x);
            if (fit)
                number(fit->value(x));
            if (method.bandColumn) {
                m_out += kTab;
                if (fit && fit->band)
                    number(fit->band->halfWidth(x));
            }
            m_out += "\t\t";
        }
    }

    const State& m_state;
    const NumberFormat m_fmt;
    std::span<const FitMethod> m_methods;
    std::string m_degree;
    std::vector<std::size_t> m_exported;
    std::string m_out;
    int m_positionX = -1;  // the line m_position was written for
    std::string m_position;
};

}  // namespace

std::string exportText(const State& state, const NumberFormat& fmt)
{
    cleanVectorState();
    return ExportWriter(state, fmt).build();
}

}  // namespace kalibrix
