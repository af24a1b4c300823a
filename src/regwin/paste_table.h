#pragma once

#include "model/analyte.h"
#include "model/data_table.h"
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
// beyond what Paste_Table takes: more than kMaxPasteBytes bytes, or a character after the
// line end (CR LF, LF or CR) of the kMaxPasteLines-th line below a names line. The text kept then ends just past the limit,
// so that Paste_Table refuses it with its limit message; a reader can stop reading there.
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

// What a paste gives: one analyte without a name for a plain table, one per named column in
// column order for a named table.
struct PastedTable {
    std::vector<Analyte> analytes;
    bool named = false;
    std::size_t lines = 0;  // data lines of the text (below the names of a named table)
};

struct PasteResult {
    std::optional<PastedTable> table;    // the new table when the whole text passed
    std::optional<UserMessage> message;  // otherwise the message to show
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
// All cells of a text are read one way: either with "." as decimal point and no digit
// grouping (blanks and no-break spaces around, a leading '+', the minus sign U+2212 and an
// exponent are taken), or as QLocale::toDouble reads them in `locale` (its decimal point and
// digit grouping). The way that reads every cell is taken; when both do and some cell has
// two values (under a German locale "12.345" is 12.345 or 12345) the text is refused.
//
// The table is returned only when every line passed; X is rounded halves-to-even, a later
// row with the same X replaces the earlier one and nY counts the X in 1..nData with Y > 0.
// On refusal `message` is set (a format error says on its second line where the problem
// is) and the caller keeps its table unchanged.
PasteResult Paste_Table(std::string_view text, const QLocale& locale);

}  // namespace kalibrix
