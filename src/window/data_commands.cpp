#include "window/data_commands.h"

#include "run/rejection.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace kalibrix {

namespace {

template <class T>
std::size_t bytesOf(const std::vector<T>& v)
{
    return v.capacity() * sizeof(T);
}

std::size_t bytesOf(const Analyte& a)
{
    const DataTable& t = a.table;
    const RunResults& r = a.results;
    std::size_t fits = 0;
    for (const std::optional<FitResult>& f : r.fits)
        fits += f ? sizeof(FitResult) + bytesOf(f->nodes) : 0;
    return sizeof(Analyte) + a.name.capacity() + bytesOf(t.y) + bytesOf(t.yErr) +
           bytesOf(t.rejFlag) + bytesOf(r.fits) + fits + bytesOf(r.rejected) + bytesOf(r.looX) +
           bytesOf(r.looErrors) + bytesOf(r.suggested);
}

std::size_t bytesOf(const std::vector<Analyte>& analytes)
{
    return std::accumulate(analytes.begin(), analytes.end(), std::size_t{0},
                           [](std::size_t sum, const Analyte& a) { return sum + bytesOf(a); });
}

std::size_t bytesOf(const RunTable& run)
{
    std::size_t cells = 0;
    for (const auto& column : run.reading)
        cells += bytesOf(column);
    for (const auto& column : run.error)
        cells += bytesOf(column);
    std::size_t ids = 0;
    for (const RunLine& line : run.lines)
        ids += line.id.capacity();
    return sizeof(RunTable) + bytesOf(run.lines) + ids + cells;
}

// The analytes a command keeps aside: their fits follow again when they come back.
void forgetResults(std::vector<Analyte>& analytes)
{
    for (Analyte& kept : analytes)
        kept.results = RunResults{};
}

}  // namespace

NewTableCommand::NewTableCommand(State& state, std::vector<Analyte> analytes, bool named,
                                 TableSource source, DataChanged changed, const QString& text,
                                 std::optional<RunTable> run)
    : DataCommand(text), m_state(state), m_analytes(std::move(analytes)), m_named(named),
      m_run(std::move(run)), m_selected(state.keptSelection(m_analytes, named)),
      m_source(std::move(source)), m_changed(std::move(changed))
{}

void NewTableCommand::swap()
{
    std::swap(m_state.analytes, m_analytes);
    std::swap(m_state.named, m_named);
    std::swap(m_state.run, m_run);
    std::swap(m_state.settings.standardPattern, m_standardPattern);
    std::swap(m_state.selected, m_selected);
    std::swap(m_state.source, m_source);
    forgetResults(m_analytes);
    m_changed(m_state.selected, DataChange::Table);
}

std::size_t NewTableCommand::bytes() const
{
    return bytesOf(m_analytes) + sizeof(*this) + m_source.text.capacity() +
           (m_run ? bytesOf(*m_run) : 0);
}

StandardCommand::StandardCommand(State& state, std::vector<Analyte> analytes, std::string pattern,
                                 DataChanged changed, const QString& text)
    : DataCommand(text), m_state(state), m_analytes(std::move(analytes)),
      m_pattern(std::move(pattern)), m_selected(state.keptSelection(m_analytes, state.named)),
      m_changed(std::move(changed))
{}

void StandardCommand::swap()
{
    std::swap(m_state.analytes, m_analytes);
    std::swap(m_state.settings.standardPattern, m_pattern);
    std::swap(m_state.selected, m_selected);
    forgetResults(m_analytes);
    m_changed(m_state.selected, DataChange::Table);
}

std::size_t StandardCommand::bytes() const
{
    return bytesOf(m_analytes) + sizeof(*this) + m_pattern.capacity();
}

RestoreCommand::RestoreCommand(State& state, std::size_t analyte, DataChanged changed,
                               const QString& text)
    : DataCommand(text), m_state(state), m_analyte(analyte),
      m_flags(state.analytes[analyte].table.rejFlag.size(), 0), m_changed(std::move(changed))
{}

void RestoreCommand::swap()
{
    std::swap(m_state.analytes[m_analyte].table.rejFlag, m_flags);
    m_changed(m_analyte, DataChange::Table);
}

std::size_t RestoreCommand::bytes() const { return sizeof(*this) + bytesOf(m_flags); }

MarkCommand::MarkCommand(State& state, std::size_t analyte, int x, DataChanged changed,
                         const QString& text)
    : DataCommand(text), m_state(state), m_analyte(analyte), m_x(x), m_changed(std::move(changed))
{}

void MarkCommand::flip()
{
    m_changed(m_analyte, DataChange::Show);
    flipPoint(m_state, m_x);
    m_changed(m_analyte, std::exchange(m_clicked, false) ? DataChange::Mark : DataChange::Table);
}

namespace {

// A standard a click can mark: X within the table, with a value above 0.
bool markable(const DataTable& table, int x)
{
    const auto at = static_cast<std::size_t>(x);
    return x >= 1 && at < table.y.size() && at < table.rejFlag.size() && table.y[at] &&
           *table.y[at] > 0;
}

}  // namespace

MarkEveryAnalyteCommand::MarkEveryAnalyteCommand(State& state, std::size_t analyte, int x,
                                                 DataChanged changed, const QString& text)
    : DataCommand(text), m_state(state), m_analyte(analyte), m_x(x),
      m_rejects(state.analytes[analyte].table.inUse(x)), m_changed(std::move(changed))
{
    for (std::size_t a = 0; a < state.analytes.size(); ++a)
        if (const DataTable& t = state.analytes[a].table; markable(t, x))
            m_before.emplace_back(a, t.rejFlag[static_cast<std::size_t>(x)]);
}

// The analyte of the click is shown first, so that its mark lands on its picture.
void MarkEveryAnalyteCommand::redo()
{
    m_changed(m_analyte, DataChange::Show);
    for (const auto& [a, before] : m_before) {
        DataTable& t = m_state.analytes[a].table;
        const std::uint8_t mark = m_rejects ? 1 : 0;
        if (a == m_analyte && (t.rejFlag[static_cast<std::size_t>(m_x)] < 1) == m_rejects)
            flipPoint(m_state, m_x);  // draws its mark, as a click does
        else
            t.rejFlag[static_cast<std::size_t>(m_x)] = mark;
    }
    m_changed(m_analyte, std::exchange(m_clicked, false) ? DataChange::Mark : DataChange::Table);
}

void MarkEveryAnalyteCommand::undo()
{
    m_changed(m_analyte, DataChange::Show);
    for (const auto& [a, before] : m_before)
        m_state.analytes[a].table.rejFlag[static_cast<std::size_t>(m_x)] = before;
    m_changed(m_analyte, DataChange::Table);
}

std::size_t MarkEveryAnalyteCommand::bytes() const { return sizeof(*this) + bytesOf(m_before); }

UndoHistory::UndoHistory(std::size_t budget, std::size_t steps)
    : m_budget(budget), m_stepLimit(std::max<std::size_t>(steps, 1))
{}

void UndoHistory::push(std::unique_ptr<DataCommand> command)
{
    command->redo();
    if (m_clean && *m_clean > m_done)
        m_clean.reset();  // the saved state was undone and is now replaced
    m_steps.erase(m_steps.begin() + static_cast<std::ptrdiff_t>(m_done), m_steps.end());
    m_steps.push_back(std::move(command));
    m_done = m_steps.size();
    while (m_steps.size() > 1 && (m_steps.size() > m_stepLimit || bytes() > m_budget)) {
        m_steps.pop_front();
        --m_done;
        if (m_clean)
            m_clean = *m_clean > 0 ? std::optional(*m_clean - 1) : std::nullopt;
    }
}

void UndoHistory::undo()
{
    if (canUndo())
        m_steps[--m_done]->undo();
}

void UndoHistory::redo()
{
    if (canRedo())
        m_steps[m_done++]->redo();
}

void UndoHistory::clear()
{
    m_steps.clear();
    m_done = 0;
    m_clean = 0;
}

std::size_t UndoHistory::bytes() const
{
    return std::accumulate(m_steps.begin(), m_steps.end(), std::size_t{0},
                           [](std::size_t sum, const auto& step) { return sum + step->bytes(); });
}

}  // namespace kalibrix
