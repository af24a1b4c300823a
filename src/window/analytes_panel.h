#pragma once

#include "run/number_format.h"
#include "run/overview.h"
#include "run/state.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <cstddef>
#include <string>
#include <vector>

class QTableView;

namespace kalibrix {

// Every analyte of a named table at a glance, from its last run: its name, the method that
// predicts best (as the grid names it), that method's leave-one-out per cent, the standards
// in use and rejected, and the X of the standards suggested for rejection. A figure is
// rounded as the results grid rounds it, in full in its tooltip; where a run gave none the
// cell stays empty.
class AnalytesModel : public QAbstractTableModel {
public:
    enum Column { kAnalyte, kBest, kLoo, kStandards, kRejected, kSuggested, kColumns };

    explicit AnalytesModel(const NumberFormat& fmt, QObject* parent = nullptr);

    // The rows of `glances`, the best method's caption with the chosen degree `degreeText`.
    void setAnalytes(std::vector<AnalyteGlance> glances, std::string degreeText);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    NumberFormat m_fmt;
    std::vector<AnalyteGlance> m_glances;
    std::string m_degree;
};

// The analytes table, shown below the designed controls for a named table of several
// analytes. Its chosen row is the analyte shown: choosing another row asks the window to show
// that analyte, and the window tells it which one it shows.
class AnalytesPanel : public QWidget {
    Q_OBJECT
public:
    AnalytesPanel(const State& state, const NumberFormat& fmt, QWidget* parent = nullptr);

    // Whether the state's table has analytes enough for the panel.
    static bool wanted(const State& state);
    // The rows from the analytes' last runs, and the analyte shown chosen.
    void showAnalytes();
    // Chooses the row of `analyte` (without asking for it again).
    void showSelected(std::size_t analyte);

signals:
    void analyteChosen(std::size_t analyte);

private:
    const State& m_state;
    AnalytesModel* m_model = nullptr;
    QTableView* grdAnalytes = nullptr;
    bool m_quiet = false;  // the window chooses the row, not the user
};

}  // namespace kalibrix
