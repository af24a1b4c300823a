#include "regwin/qt/data_commands.h"

#include "regwin/rejection.h"

#include <utility>

namespace kalibrix {

NewTableCommand::NewTableCommand(State& state, std::vector<Analyte> analytes, bool named,
                                 TableSource source, DataChanged changed, const QString& text)
    : QUndoCommand(text), m_state(state), m_analytes(std::move(analytes)), m_named(named),
      m_selected(state.keptSelection(m_analytes, named)), m_source(std::move(source)),
      m_changed(std::move(changed))
{
}

void NewTableCommand::swap()
{
    std::swap(m_state.analytes, m_analytes);
    std::swap(m_state.named, m_named);
    std::swap(m_state.selected, m_selected);
    std::swap(m_state.source, m_source);
    for (Analyte& kept : m_analytes)
        kept.results = RunResults{};  // the fits follow again when it comes back
    m_changed(m_state.selected, DataChange::Table);
}

RestoreCommand::RestoreCommand(State& state, std::size_t analyte, DataChanged changed)
    : QUndoCommand(QObject::tr("Restore all data")), m_state(state), m_analyte(analyte),
      m_flags(state.analytes[analyte].table.rejFlag.size(), 0), m_changed(std::move(changed))
{}

void RestoreCommand::swap()
{
    std::swap(m_state.analytes[m_analyte].table.rejFlag, m_flags);
    m_changed(m_analyte, DataChange::Table);
}

MarkCommand::MarkCommand(State& state, std::size_t analyte, int x, DataChanged changed,
                         const QString& text)
    : QUndoCommand(text), m_state(state), m_analyte(analyte), m_x(x), m_changed(std::move(changed))
{}

void MarkCommand::flip()
{
    m_changed(m_analyte, DataChange::Show);
    flipPoint(m_state, m_x);
    m_changed(m_analyte, DataChange::Mark);
}

}  // namespace kalibrix
