#include "regwin/export.h"

#include "fit/finite.h"
#include "fit/rounding.h"

#include <cmath>

namespace kalibrix {

namespace {

constexpr char kTab = '\t';
constexpr char kCr = '\r';

struct PolyColumn {
    int method;
    int slot;
};
constexpr PolyColumn kPolyColumns[] = {{kExportPoly2, 2},
                                       {kExportPoly3, 3},
                                       {kExportPoly4, 4},
                                       {kExportPoly5, 5},
                                       {kExportPolyChosen, 1}};

std::string polyName(int slot, const std::string& chosenText)
{
    return "Poly" + (slot == 1 ? chosenText : std::to_string(slot));
}

class ExportWriter {
public:
    ExportWriter(const State& state, const RegControls& controls, const NumberFormat& fmt)
        : m_state(state), m_controls(controls), m_fmt(fmt.forExport()),
          m_chosenText(state.results.computed ? state.results.polyChosenText
                                              : controls.comboBox1Text)
    {
    }

    std::string build()
    {
        const int nData = m_state.table.nData;
        m_out.reserve(static_cast<size_t>(nData + 4) * 24 * (exportedCount() + 1));
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
    bool exported(int method) const { return RegControls::ticked(m_controls.chkEX[method]); }

    int exportedCount() const
    {
        int n = 0;
        for (int m = 0; m < kExportMethods; ++m)
            n += exported(m) ? 1 : 0;
        return n;
    }

    void number(const std::optional<double>& v)
    {
        if (v && std::isfinite(*v))
            m_fmt.appendGeneral(m_out, *v);
    }

    void summaryGroup(const std::string& label, const std::string& diff, const std::string& proc)
    {
        m_out += label;
        m_out += kTab;
        m_out += diff;
        m_out += kTab;
        m_out += proc;
        m_out += kTab;
        m_out += kTab;
    }

    void summaryLine()
    {
        const RunResults& r = m_state.results;
        if (exported(kExportLinear)) {
            const RegressionFit fit = r.linear.value_or(RegressionFit{});
            summaryGroup("L.R. aver.diff. /diff.%", m_fmt.general(fit.diff),
                         m_fmt.general(fit.diffProc));
        }
        if (exported(kExportLog)) {
            const RegressionFit fit = r.log.value_or(RegressionFit{});
            summaryGroup("Log.R. aver.diff. /diff.%", m_fmt.general(fit.diff),
                         m_fmt.general(fit.diffProc));
        }
        // The polynomials' cells as the window's labels show them, in the export's format.
        for (const PolyColumn& c : kPolyColumns) {
            if (!exported(c.method))
                continue;
            const auto& fit = r.poly[c.slot];
            summaryGroup(polyName(c.slot, m_chosenText) + ".R. aver.diff. /diff.%",
                         fit ? Rounding(fit->diff, m_fmt) : std::string(),
                         fit && fit->diffProc ? m_fmt.fixed(*fit->diffProc, 2) : std::string());
        }
        if (exported(kExportZigzag))
            m_out += "Zigzag";
    }

    void titleGroup(const std::string& title)
    {
        m_out += "No.\tData\t";
        m_out += title;
        m_out += kTab;
    }

    void titleLine()
    {
        if (exported(kExportLinear)) {
            titleGroup("Lin.Reg.");
            m_out += "C.I.\t\t";
        }
        if (exported(kExportLog)) {
            titleGroup("Log.Reg.");
            m_out += kTab;
        }
        for (const PolyColumn& c : kPolyColumns) {
            if (exported(c.method)) {
                titleGroup(polyName(c.slot, m_chosenText) + ".Reg.");
                m_out += kTab;
            }
        }
        if (exported(kExportZigzag))
            m_out += "No.\tData\tZigzag";
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
        const RunResults& r = m_state.results;
        if (exported(kExportLinear)) {
            positionCells(x);
            if (r.linear && r.linear->a && r.linear->b)
                number(*r.linear->a + *r.linear->b * x);
            m_out += kTab;
            if (r.band)
                number(r.band->halfWidth(x));
            m_out += "\t\t";
        }
        if (exported(kExportLog)) {
            positionCells(x);
            if (r.log && r.log->a && r.log->b)
                number(*r.log->a + *r.log->b * std::log(static_cast<double>(x)));
            m_out += "\t\t";
        }
        for (const PolyColumn& c : kPolyColumns) {
            if (!exported(c.method))
                continue;
            positionCells(x);
            if (r.poly[c.slot])
                number(r.poly[c.slot]->yPoly[static_cast<size_t>(x)]);
            m_out += "\t\t";
        }
        if (exported(kExportZigzag)) {
            if (!r.zigzag) {
                positionCells(x);
                m_out += "\t\t";
            } else if (!r.zigzag->empty() && r.zigzag->front().x <= x && x <= r.zigzag->back().x) {
                positionCells(x);
                number(zigzagValue(*r.zigzag, x));
                m_out += "\t\t";
            }
        }
    }

    const State& m_state;
    const RegControls& m_controls;
    const NumberFormat m_fmt;
    std::string m_chosenText;
    std::string m_out;
    int m_positionX = -1;  // the line m_position was written for
    std::string m_position;
};

}  // namespace

// The decimal point follows `fmt`, but whatever the window shows, negative numbers get the
// ASCII minus and no direction marks, so that spreadsheets and scripts read them.
std::string exportText(const State& state, const RegControls& controls, const NumberFormat& fmt)
{
    return ExportWriter(state, controls, fmt).build();
}

}  // namespace kalibrix
