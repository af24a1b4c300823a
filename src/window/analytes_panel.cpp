#include "window/analytes_panel.h"

#include "engine/method_table.h"
#include "run/rounding.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScopedValueRollback>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace kalibrix {

namespace {

// A figure as the results grid rounds it, or in full; nothing without a finite value.
QString figure(const std::optional<double>& v, const NumberFormat& fmt, bool full)
{
    if (!v || !std::isfinite(*v))
        return {};
    return QString::fromStdString(full ? fmt.general(*v) : Rounding(v, fmt));
}

}  // namespace

AnalytesModel::AnalytesModel(const NumberFormat& fmt, QObject* parent)
    : QAbstractTableModel(parent), m_fmt(fmt)
{}

void AnalytesModel::setAnalytes(std::vector<AnalyteGlance> glances, std::string degreeText)
{
    beginResetModel();
    m_glances = std::move(glances);
    m_degree = std::move(degreeText);
    endResetModel();
}

int AnalytesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_glances.size());
}

int AnalytesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant AnalytesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const AnalyteGlance& g = m_glances[static_cast<std::size_t>(index.row())];
    const std::span<const FitMethod> methods = fitMethods();
    const FitMethod* best = g.best && *g.best < methods.size() ? &methods[*g.best] : nullptr;
    if (role == Qt::TextAlignmentRole)
        return index.column() == kAnalyte || index.column() == kBest || index.column() == kSuggested
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole) {
        switch (index.column()) {
        case kBest:
            return best ? tr("%1 predicts the standards of %2 best")
                              .arg(QString::fromUtf8(best->description),
                                   QString::fromStdString(g.name))
                        : QVariant();
        case kLoo:
            return g.looPercent ? tr("Leave-one-out error %1 % of Y on average")
                                      .arg(figure(g.looPercent, m_fmt, true))
                                : QVariant();
        default:
            return {};
        }
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case kAnalyte:
        return QString::fromStdString(g.name);
    case kBest:
        return best ? QString::fromStdString(methodLabel(*best, m_degree)) : QString();
    case kLoo:
        return figure(g.looPercent, m_fmt, false);
    case kStandards:
        return QString::number(g.inUse);
    case kRejected:
        return QString::number(g.rejected);
    case kSuggested: {
        QStringList xs;
        for (const int x : g.suggested)
            xs << QString::number(x);
        return xs.join(QStringLiteral(", "));
    }
    default:
        return {};
    }
}

QVariant AnalytesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return {};
    static const char* const headings[kColumns] = {"Analyte",   "Best method", "LOO %",
                                                   "Standards", "Rejected",    "Suggested X"};
    static const char* const tips[kColumns] = {
        "The analyte; choose its row to show it",
        "The method that predicts best by leave-one-out (the bold one in the grid)",
        "Its leave-one-out error, in per cent of Y on average",
        "Standards in use in the last run",
        "Standards rejected in the last run",
        "X of the standards suggested for rejection"};
    if (role == Qt::DisplayRole)
        return tr(headings[section]);
    if (role == Qt::ToolTipRole)
        return tr(tips[section]);
    return {};
}

AnalytesPanel::AnalytesPanel(const State& state, const NumberFormat& fmt, QWidget* parent)
    : QWidget(parent), m_state(state), m_model(new AnalytesModel(fmt, this))
{
    setObjectName("analytesPanel");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    grdAnalytes = new QTableView(this);
    grdAnalytes->setObjectName("grdAnalytes");
    grdAnalytes->setModel(m_model);
    grdAnalytes->setToolTip(tr("Every analyte from its last run; choose a row to show it"));
    grdAnalytes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdAnalytes->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdAnalytes->setSelectionMode(QAbstractItemView::SingleSelection);
    grdAnalytes->setWordWrap(false);
    grdAnalytes->verticalHeader()->setVisible(false);
    grdAnalytes->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    for (QAbstractButton* corner : grdAnalytes->findChildren<QAbstractButton*>())
        corner->setToolTip(tr("Every analyte"));
    QHeaderView* header = grdAnalytes->horizontalHeader();
    header->setStretchLastSection(true);
    // The best method's column holds the zigzag's name whole.
    const int widths[AnalytesModel::kColumns] = {90, 215, 60, 70, 70, 120};
    for (int c = 0; c < AnalytesModel::kColumns; ++c)
        header->resizeSection(c, widths[c]);
    layout->addWidget(grdAnalytes);
    connect(grdAnalytes->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_quiet && current.isValid())
                    emit analyteChosen(static_cast<std::size_t>(current.row()));
            });
}

bool AnalytesPanel::wanted(const State& state) { return state.named && state.analytes.size() > 1; }

void AnalytesPanel::showAnalytes()
{
    {
        const QScopedValueRollback quiet(m_quiet, true);
        m_model->setAnalytes(analytesAtAGlance(m_state), m_state.settings.degreeText);
    }
    showSelected(m_state.selected);
}

void AnalytesPanel::showSelected(std::size_t analyte)
{
    const QScopedValueRollback quiet(m_quiet, true);
    const QModelIndex row = m_model->index(static_cast<int>(analyte), 0);
    if (!row.isValid())
        return;
    grdAnalytes->selectionModel()->setCurrentIndex(
        row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grdAnalytes->scrollTo(row);
}

}  // namespace kalibrix
