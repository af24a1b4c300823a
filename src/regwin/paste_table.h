#pragma once

#include "app/data_table.h"
#include "app/user_message.h"

#include <QLocale>

#include <optional>
#include <string_view>

namespace kalibrix {

// Most lines and most cells in a line that "Paste table" takes.
inline constexpr int kMaxPasteLines = 6000;
inline constexpr int kMaxPasteCells = 100;

struct PasteResult {
    std::optional<DataTable> table;      // the new table when the whole text passed
    std::optional<UserMessage> message;  // otherwise the message to show
};

// Checks the clipboard text and builds the new table; `locale` is the user's locale.
//
// Lines end at CR LF, LF or CR; cells are separated by tabs. Every line is a data row:
// X, Y and optionally the error of Y; further cells must be numbers but are not used.
// A cell is read with "." as decimal separator first and, only where that does not take
// the whole cell, in `locale` (decimal comma, digit grouping as QLocale::toDouble accepts
// them). So under a German locale "1.500" is 1.5 and "1.234,5" is 1234.5; under en_US
// "1,234" is 1234 but "1,5" is refused because Qt checks the grouping.
//
// The table is returned only when every line passed; X is rounded halves-to-even and a
// later row with the same X replaces the earlier one. On refusal `message` is set and the
// caller keeps its table unchanged.
PasteResult Paste_Table(std::string_view text, const QLocale& locale);

}  // namespace kalibrix
