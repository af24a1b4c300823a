#pragma once

#include "model/user_message.h"
#include "run/paste_table.h"
#include "run/state.h"

#include <QChar>
#include <QLocale>
#include <QString>
#include <QStringDecoder>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kalibrix {

// A table read from a file, and the text the table was read from: tab separated, UTF-8, as a
// paste of it would give the same table (a session keeps it and reads it again).
struct TableFile {
    PastedTable table;
    TableSource source;  // the text, the locale that reads it, the file's name
};

using TableFileResult = std::variant<TableFile, UserMessage>;

// Takes a table file piece by piece, as a reader gets it, and converts it into the text a
// paste would be: cells separated by tabs, lines ended by LF, UTF-8.
//
// The file is UTF-8 with or without a byte order mark, or UTF-16 (LE or BE) with one; lines
// end at CR LF, LF or CR. Its cells are separated by tabs, semicolons or commas: the first of
// these that is on every one of the first 10 lines (outside quotes), else the first on any of
// them. A cell that starts with a double quote runs to the next lone quote: a doubled quote
// in it is one quote, separators and line ends in it are part of the cell (a line end or a
// tab becomes a space). Numbers are written with "." as decimal point, or in a file of
// semicolons with "," ("2,5"); a tab-separated file is read in the user's locale, as a paste.
//
// Bounded as a paste: kMaxPasteBytes and kMaxPasteLines count the converted text (so a
// UTF-16 file may have up to about twice kMaxPasteBytes bytes of ASCII); once it is over, add
// says so and the rest of the file need not be read.
class TableFileIntake {
public:
    // Appends the next bytes of the file; false once the text is over the limits.
    bool add(std::string_view bytes);

    // The table of the bytes added. `fileName` names the file in messages
    // (`run.csv, line 12, cell 3: "1,2,3" is not a number.`), `locale` is the user's.
    TableFileResult finish(const std::string& fileName, const QLocale& locale);

private:
    enum class Field { Start, Plain, Quoted, QuoteInQuoted };

    bool decode(std::string_view bytes);
    bool convert(QStringView text);
    bool endCell(bool lineEnd);
    bool put(const QString& text);

    std::string m_head;  // the first bytes, until the byte order mark can be told
    std::optional<QStringDecoder> m_decoder;
    QString m_pending;  // text held until its first lines tell the separator
    std::optional<QChar> m_separator;

    Field m_field = Field::Start;
    QString m_cell;
    bool m_afterCr = false;       // the last character was a CR (a LF after it ends no line)
    bool m_lineStarted = false;   // a character of the current line has come
    std::size_t m_fileLine = 1;   // the file's line of the next character
    std::size_t m_textLine = 0;   // the current line of the text, from 0
    std::size_t m_cellIndex = 0;  // the current cell of the line, from 0
    std::size_t m_quoteLine = 0;  // the file line of the open quote
    TextOrigin m_origin;
    PasteIntake m_out;
};

// Reads the table file at `path` (up to the paste limits) in the user's `locale`: the table,
// or the message to show (the file cannot be opened or read, or its table is refused).
TableFileResult readTableFile(const QString& path, const QLocale& locale);

}  // namespace kalibrix
