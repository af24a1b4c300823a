#pragma once

#include "regwin/state.h"

#include <QUndoCommand>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kalibrix {

// What a command tells the window about `analyte`, whose data it changes.
enum class DataChange {
    Show,   // about to change it: show it, so that a mark lands on its picture
    Mark,   // one standard flipped; its mark is drawn, the fits follow at the next run
    Table,  // its table or rejections changed: show it and run the fits now
};
using DataChanged = std::function<void(std::size_t analyte, DataChange change)>;

// Every change to the data goes through one of these on the window's undo stack, so that
// undo and redo can take it back and bring it again.

// A new table: its analytes, names, shown analyte and source replace the current ones; the
// command keeps the other table, so undo brings back the previous one with its rejections.
class NewTableCommand : public QUndoCommand {
public:
    NewTableCommand(State& state, std::vector<Analyte> analytes, bool named, TableSource source,
                    DataChanged changed, const QString& text);
    void undo() override { swap(); }
    void redo() override { swap(); }

private:
    void swap();

    State& m_state;
    std::vector<Analyte> m_analytes;
    bool m_named;
    std::size_t m_selected = 0;
    TableSource m_source;
    DataChanged m_changed;
};

// "Restore all data" of one analyte: the command keeps the rejections it took back.
class RestoreCommand : public QUndoCommand {
public:
    RestoreCommand(State& state, std::size_t analyte, DataChanged changed);
    void undo() override { swap(); }
    void redo() override { swap(); }

private:
    void swap();

    State& m_state;
    std::size_t m_analyte;
    std::vector<std::uint8_t> m_flags;  // the other rejections: none, or those taken back
    DataChanged m_changed;
};

// A click's mark: flips one standard of one analyte between in use and rejected.
class MarkCommand : public QUndoCommand {
public:
    MarkCommand(State& state, std::size_t analyte, int x, DataChanged changed, const QString& text);
    void undo() override { flip(); }
    void redo() override { flip(); }

private:
    void flip();

    State& m_state;
    std::size_t m_analyte;
    int m_x;
    DataChanged m_changed;
};

}  // namespace kalibrix
