#pragma once

// What the paste of a table and the split of a run into standards share, so that both take
// lines alike: how the lines with a value become an analyte's table, how a note is counted,
// how a cell shows in a message. Not for the front ends.

#include "model/analyte.h"
#include "run/paste_table.h"

#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kalibrix::paste {

// A cell as a message shows it: in quotes, trimmed, at most 40 characters (a longer one cut
// with "…"), with U+FFFD for what is not text or would reorder the text.
std::string quoted(std::string_view cell);

// Counts one more in `note`; `set` fills in where it is when it is the first in text order
// (on its line the first analyte, as the columns come).
template <class Set>
void addTo(PasteNote& note, std::size_t line, Set set)
{
    if (note.count++ == 0 || line < note.line) {
        note.line = line;
        set(note);
    }
}

// One analyte of a table: its name and how many columns its table counts (nCol).
struct AnalyteShape {
    std::string name;
    int nCol = 2;
};

// A line an analyte may take: its X (in 0..nData) and its line in the text, from 1.
struct TakenLine {
    std::size_t x = 0;
    std::size_t textLine = 0;
};

// Y and error of one analyte on one line; no value where a cell is empty.
using LineValues = std::pair<std::optional<double>, std::optional<double>>;

// One analyte per shape, each taking the lines (in text order) where it has a Y, with its
// error: a later line of the same X replaces the earlier one, nY counts the X in 1..nData
// with Y > 0, nothing is rejected. `values(a, k)` gives analyte a's Y and error on line k.
// Counts in `notes` the values replaced, those left out (Y <= 0 at X >= 1) and the errors
// without a Y.
template <class Values>
std::vector<Analyte> buildAnalytes(std::span<const AnalyteShape> shapes, int nData,
                                   std::span<const TakenLine> lines, Values values,
                                   PasteNotes& notes)
{
    constexpr std::size_t kNoLine = std::numeric_limits<std::size_t>::max();
    std::vector<std::size_t> lineAt;  // the line (index) each X of an analyte's table came from
    std::vector<Analyte> analytes(shapes.size());
    for (std::size_t a = 0; a < shapes.size(); ++a) {
        Analyte& analyte = analytes[a];
        analyte.name = shapes[a].name;
        DataTable& table = analyte.table;  // fresh: no values, no rejections
        table.nCol = shapes[a].nCol;
        table.nData = nData;
        lineAt.assign(static_cast<std::size_t>(nData) + 1, kNoLine);
        for (std::size_t k = 0; k < lines.size(); ++k) {
            const std::size_t x = lines[k].x;
            const auto where = [&](PasteNote& n) {
                n.x = static_cast<int>(x);
                n.analyte = analyte.name;
            };
            auto [y, err] = values(a, k);
            if (!y) {
                if (err)
                    addTo(notes.lonelyErrors, lines[k].textLine, where);
                continue;
            }
            if (x > 0 && lineAt[x] != kNoLine)
                addTo(notes.replaced, lines[lineAt[x]].textLine, [&](PasteNote& n) {
                    where(n);
                    n.laterLine = lines[k].textLine;
                });
            lineAt[x] = k;
            table.y[x] = y;
            table.yErr[x] = err;
        }
        // The standards of the table as it stands: X = 0 is no standard, nor is Y <= 0.
        table.nY = 0;
        for (int x = 1; x <= table.nData; ++x) {
            const auto at = static_cast<std::size_t>(x);
            if (!table.y[at])
                continue;
            if (*table.y[at] > 0)
                ++table.nY;
            else
                addTo(notes.leftOut, lines[lineAt[at]].textLine, [&](PasteNote& n) {
                    n.x = x;
                    n.analyte = analyte.name;
                });
        }
    }
    return analytes;
}

}  // namespace kalibrix::paste
