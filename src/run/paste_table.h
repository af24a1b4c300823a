#pragma once

#include "model/analyte.h"
#include "model/data_table.h"
#include "model/run_table.h"
#include "model/user_message.h"

#include <QLocale>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalibrix {

// Most lines and most cells in a line that "Paste table" takes.
inline constexpr int kMaxPasteLines = 6000;
inline constexpr int kMaxPasteCells = 100;
// Most bytes a pasted text may have: far more than 6000 lines of 100 numbers need.
inline constexpr std::size_t kMaxPasteBytes = 32'000'000;

// Takes a text piece by piece, as a reader gets it, and says as soon as the text is certainly
// beyond what parseTable takes: more than kMaxPasteBytes bytes, or a character after the
// line end (CR LF, LF or CR) of the kMaxPasteLines-th line below a names line. The text kept then ends just past the limit,
// so that parseTable refuses it with its limit message; a reader can stop reading there.
class PasteIntake {
public:
    // Appends `piece`; false once the text is over the limits (nothing more is kept).
    bool add(std::string_view piece);
    bool over() const { return m_over; }
    std::string& text() { return m_text; }

private:
    std::string m_text;
    std::size_t m_lineEnds = 0;
    bool m_afterCr = false;  // the last character kept was a CR (a LF after it ends no line)
    bool m_over = false;
};

// One kind of thing a paste took otherwise than written, or set aside, without refusing the
// text: how many, and where the first of them (in text order) is.
struct PasteNote {
    std::size_t count = 0;
    std::size_t line = 0;       // the first one's line in the text, from 1
    std::size_t laterLine = 0;  // replaced: the line that replaced it
    int x = 0;                  // its X as taken (rounded)
    int cell = 0;               // unused cells: the first unused cell of the line, from 1
    std::string read;           // rounded: the X cell as written, quoted
    std::string analyte;        // named table: the analyte of the first one
};

// What a paste says beside the standards it took. A plain table counts lines; a named table
// counts lines where a line is meant (rounded, at X 0, unused cells) and values (one analyte's
// cell of a line) where values are (replaced, left out, errors without a Y).
struct PasteNotes {
    PasteNote rounded;       // lines whose X is not a whole number: taken as the nearest
    PasteNote replaced;      // values a later line of the same X replaced
    PasteNote leftOut;       // values with Y <= 0 at X >= 1: kept and drawn, never fitted
    PasteNote atZero;        // lines at X 0: kept and drawn, never fitted
    PasteNote lonelyErrors;  // named table: errors whose analyte has no Y in their line
    PasteNote unusedCells;   // lines with cells right of the columns the table uses

    bool any() const
    {
        return rounded.count || replaced.count || leftOut.count || atZero.count ||
               lonelyErrors.count || unusedCells.count;
    }
};

// What a paste gives: one analyte without a name for a plain table, one per named column in
// column order for a named table. A named table with a column of IDs is a run: `run` holds
// every line, and the analytes the standards, the lines of the most frequent ID.
struct PastedTable {
    std::vector<Analyte> analytes;
    bool named = false;
    std::size_t lines = 0;  // data lines of the text (below the names of a named table)
    PasteNotes notes;
    std::optional<RunTable> run;
};

struct PasteResult {
    std::optional<PastedTable> table;    // the new table when the whole text passed
    std::optional<UserMessage> message;  // otherwise the message to show
};

// Where the lines of a text came from when a file was converted to it (see table_file.h),
// so that a refusal names the file and the file's line: its messages read
// `run.csv, line 12, cell 3: "1,2,3" is not a number.` (without the clipboard's first line),
// and the lines of the notes and of a run are the file's.
struct TextOrigin {
    // A cell that starts on a later file line than its line of the text (after a quoted cell
    // holding a line end).
    struct LaterCell {
        std::size_t textLine = 0;  // from 0
        std::size_t cell = 0;      // from 0
        std::size_t fileLine = 0;  // from 1
    };

    std::string file;                     // the file's name, as messages name it
    std::string separator = "a tab";      // how a message names the file's separator
    std::vector<std::size_t> lineStarts;  // file line (from 1) at which each text line starts
    std::vector<LaterCell> laterCells;    // in text order

    // The file line of text line `textLine` (from 0), or of its cell `cell` (from 0).
    std::size_t fileLine(std::size_t textLine, std::optional<std::size_t> cell = {}) const;
};

// Checks the clipboard text and builds the new table; `locale` is the user's locale.
//
// Lines end at CR LF, LF or CR; cells are separated by tabs. A first line of two or more
// cells of which none reads as a number and at least one is not empty holds names: the text
// is a named table. Otherwise every line is a data row: X, Y and optionally the error of Y;
// further cells must be numbers but are not used.
//
// In a named table the first column is X, whatever its name, and every further column one
// analyte named by its trimmed header cell, except that a column named after the analyte
// just before it with one of the suffixes " err", " error", " sd" or " ±" (in any case)
// holds that analyte's errors. An empty name, or a name two analytes share, is refused
// naming the column. Below the names an empty cell is no value (X excepted) and a short line
// has empty cells at its end; each analyte takes the lines where it has a value. nData, the
// largest X of all lines, is shared by the analytes.
//
// One further column of a named table may hold IDs: its name is one of kIdColumnNames (in
// any case), its cells are text (trimmed, may be empty) that names each line. The table is
// then a run: the standards are the lines of the most frequent ID (standardsOf), the other
// lines samples, and the notes of values count the standards' values. Refused: a second
// column of IDs, a sample line without a value of any analyte, and text on more than one
// line of a column that is not a column of IDs (a column of IDs needs a names line).
//
// All cells of a text are read one way: either with "." as decimal point and no digit
// grouping (blanks and no-break spaces around, a leading '+', the minus sign U+2212 and an
// exponent are taken), or as QLocale::toDouble reads them in `locale` (its decimal point and
// digit grouping). The way that reads every cell is taken; when both do and some cell has
// two values (under a German locale "12.345" is 12.345 or 12345) the text is refused.
//
// The table is returned only when every line passed; X is rounded halves-to-even, a later
// row with the same X replaces the earlier one and nY counts the X in 1..nData with Y > 0.
// The table's notes count what was taken otherwise than written or set aside.
// On refusal `message` is set (a format error says on its second line where the problem
// is) and the caller keeps its table unchanged.
PasteResult parseTable(std::string_view text, const QLocale& locale);

// The same for a text converted from a file: its refusals and lines are the file's.
PasteResult parseTable(std::string_view text, const QLocale& locale, const TextOrigin& origin);

}  // namespace kalibrix
