#pragma once

#include "run/state.h"

#include <QString>
#include <QUndoCommand>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalibrix {

// What a command tells the window about `analyte`, whose data it changes.
enum class DataChange {
    Show,   // about to change it: show it, so that a mark lands on its picture
    Mark,   // one standard flipped by a click; its mark is drawn, the fits follow at the next run
    Table,  // its table or rejections changed: show it and run the fits now
};
using DataChanged = std::function<void(std::size_t analyte, DataChange change)>;

// Every change to the data goes through one of these in the window's undo history, so that
// undo and redo can take it back and bring it again. A click's mark is the one change that
// leaves the fits to the next run; its undo and redo, like every other change, run them.
class DataCommand : public QUndoCommand {
public:
    using QUndoCommand::QUndoCommand;
    // About how many bytes of memory the command holds, for the history's budget.
    virtual std::size_t bytes() const = 0;
};

// A new table: its analytes, names, run (of a table with IDs), shown analyte and source
// replace the current ones, and a run's standard is again its most frequent ID; the command
// keeps the other table, so undo brings back the previous one with its rejections and its
// standard's pattern.
class NewTableCommand : public DataCommand {
public:
    NewTableCommand(State& state, std::vector<Analyte> analytes, bool named, TableSource source,
                    DataChanged changed, const QString& text,
                    std::optional<RunTable> run = std::nullopt);
    void undo() override { swap(); }
    void redo() override { swap(); }
    std::size_t bytes() const override;

private:
    void swap();

    State& m_state;
    std::vector<Analyte> m_analytes;
    bool m_named;
    std::optional<RunTable> m_run;
    std::string m_standardPattern;  // a new table starts from the most frequent ID
    std::size_t m_selected = 0;
    TableSource m_source;
    DataChanged m_changed;
};

// Another standard of the run: the analytes rebuilt from the lines that match `pattern`
// (without rejections, as a paste gives them) and the pattern replace the current ones; the
// command keeps the others, so undo brings back the previous standard with its rejections.
class StandardCommand : public DataCommand {
public:
    StandardCommand(State& state, std::vector<Analyte> analytes, std::string pattern,
                    DataChanged changed, const QString& text);
    void undo() override { swap(); }
    void redo() override { swap(); }
    std::size_t bytes() const override;

private:
    void swap();

    State& m_state;
    std::vector<Analyte> m_analytes;
    std::string m_pattern;
    std::size_t m_selected = 0;
    DataChanged m_changed;
};

// "Restore all data" of one analyte: the command keeps the rejections it took back.
class RestoreCommand : public DataCommand {
public:
    RestoreCommand(State& state, std::size_t analyte, DataChanged changed, const QString& text);
    void undo() override { swap(); }
    void redo() override { swap(); }
    std::size_t bytes() const override;

private:
    void swap();

    State& m_state;
    std::size_t m_analyte;
    std::vector<std::uint8_t> m_flags;  // the other rejections: none, or those taken back
    DataChanged m_changed;
};

// A click's mark: flips one standard of one analyte between in use and rejected. The click
// itself only marks; an undo or redo of it runs the fits.
class MarkCommand : public DataCommand {
public:
    MarkCommand(State& state, std::size_t analyte, int x, DataChanged changed, const QString& text);
    void undo() override { flip(); }
    void redo() override { flip(); }
    std::size_t bytes() const override { return sizeof(*this); }

private:
    void flip();

    State& m_state;
    std::size_t m_analyte;
    int m_x;
    bool m_clicked = true;  // the first redo is the click itself
    DataChanged m_changed;
};

// A Shift+click's mark: the standards at X of every analyte that has one there all become
// what a click makes of the one of `analyte` (rejected when it is in use, else in use again),
// as one step. Like a click it only marks; its undo brings back each analyte's own mark and,
// like its redo, runs the fits.
class MarkEveryAnalyteCommand : public DataCommand {
public:
    MarkEveryAnalyteCommand(State& state, std::size_t analyte, int x, DataChanged changed,
                            const QString& text);
    void undo() override;
    void redo() override;
    std::size_t bytes() const override;

    bool rejects() const { return m_rejects; }
    // The analytes with a standard at X, the one shown included.
    std::size_t marked() const { return m_before.size(); }

private:
    State& m_state;
    std::size_t m_analyte;
    int m_x;
    bool m_rejects;
    std::vector<std::pair<std::size_t, std::uint8_t>> m_before;  // analyte, its mark before
    bool m_clicked = true;  // the first redo is the click itself
    DataChanged m_changed;
};

// The undo history: at most `steps` commands and about `budget` bytes of them (a paste's
// step keeps the whole previous table, up to a megabyte an analyte); beyond either the
// oldest steps go first. The step last pushed always stays.
class UndoHistory {
public:
    static constexpr std::size_t kDefaultBudget = std::size_t{256} << 20;  // 256 MB
    static constexpr std::size_t kDefaultSteps = 100;

    explicit UndoHistory(std::size_t budget = kDefaultBudget, std::size_t steps = kDefaultSteps);

    // Does `command` and keeps it as the newest step; the steps undone before it go.
    void push(std::unique_ptr<DataCommand> command);
    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_steps.size(); }
    QString undoText() const { return canUndo() ? m_steps[m_done - 1]->text() : QString(); }
    QString redoText() const { return canRedo() ? m_steps[m_done]->text() : QString(); }
    void undo();
    void redo();
    // Forgets every step (a session opened is a fresh start) and calls that state clean.
    void clear();
    // The state now is the saved one; isClean() says whether undo and redo lead back to it.
    void setClean() { m_clean = m_done; }
    bool isClean() const { return m_clean && *m_clean == m_done; }

    std::size_t count() const { return m_steps.size(); }
    std::size_t bytes() const;

private:
    std::size_t m_budget;
    std::size_t m_stepLimit;
    std::deque<std::unique_ptr<DataCommand>> m_steps;
    std::size_t m_done = 0;                  // steps done; those after it are undone
    std::optional<std::size_t> m_clean = 0;  // none: the clean state is gone
};

}  // namespace kalibrix
