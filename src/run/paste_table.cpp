#include "run/paste_table.h"

#include "model/run_table.h"
#include "run/paste_parts.h"
#include "run/run_split.h"
#include "run/vector_state.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <span>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

namespace kalibrix {

namespace {

using paste::addTo;
using paste::quoted;

constexpr char kTab = '\t';
constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr std::string_view kNoBreakSpace = "\u00a0";
constexpr std::string_view kMinusSign = "\u2212";
constexpr qsizetype kQuoteLength = 40;  // most characters of a cell that a message shows

constexpr const char* kEmptyClipboard = "The Clipboard is empty.";
constexpr const char* kFormatError =
    "Error occurred while trying to paste data from the clipboard. "
    "Please check the format of the copied table.";

PasteResult refuse(std::string text)
{
    return {std::nullopt, UserMessage{std::move(text), MessageIcon::Exclamation, ""}};
}

// The format error, with where the problem is on a second line.
PasteResult refuseFormat(const std::string& where)
{
    return refuse(std::string(kFormatError) + "\n" + where);
}

// Index of the first CR or LF at or after `from`, or the size of `text`.
std::size_t findLineEnd(std::string_view text, std::size_t from)
{
    while (from < text.size() && text[from] != kCr && text[from] != kLf)
        ++from;
    return from;
}

// The text's first `keep` lines; CR LF, LF and CR each end one, and a line end after the
// last line opens no further line. Reading stops there, so a huge text costs no more.
std::vector<std::string_view> splitLines(std::string_view text, std::size_t keep)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size() && lines.size() < keep) {
        const std::size_t end = findLineEnd(text, start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (end + 1 < text.size() && text[end] == kCr && text[end + 1] == kLf)
            ++start;
    }
    return lines;
}

std::size_t cellCount(std::string_view line)
{
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), kTab)) + 1;
}

bool isBlank(char c) { return c == ' ' || c == kTab || c == kCr || c == kLf; }

// The cell without the blanks, tabs, CR, LF and no-break spaces around it.
std::string_view trimmed(std::string_view cell)
{
    for (;;) {
        if (!cell.empty() && isBlank(cell.front()))
            cell.remove_prefix(1);
        else if (cell.starts_with(kNoBreakSpace))
            cell.remove_prefix(kNoBreakSpace.size());
        else
            break;
    }
    for (;;) {
        if (!cell.empty() && isBlank(cell.back()))
            cell.remove_suffix(1);
        else if (cell.ends_with(kNoBreakSpace))
            cell.remove_suffix(kNoBreakSpace.size());
        else
            break;
    }
    return cell;
}

// A trimmed cell read with "." as decimal point and no digit grouping: an optional '+' or
// minus sign U+2212 in front, then what from_chars takes (sign, digits, point, exponent).
// Nullopt unless a finite number takes the whole cell: "+-5", 1e999, nan and inf fail.
std::optional<double> readDot(std::string_view core)
{
    bool negate = false;
    if (core.starts_with(kMinusSign)) {
        core.remove_prefix(kMinusSign.size());
        negate = true;
        if (core.starts_with('-') || core.starts_with('+'))
            return std::nullopt;
    } else if (core.size() > 1 && core[0] == '+' && core[1] != '-' && core[1] != '+') {
        core.remove_prefix(1);
    }
    const char* const last = core.data() + core.size();
    double value = 0;
    const auto [ptr, ec] = std::from_chars(core.data(), last, value);
    if (core.empty() || ptr != last || ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return negate ? -value : value;
}

// Cells read in the user's locale, as QLocale::toDouble reads them (its decimal point and
// digit grouping). A trimmed cell made only of characters that mean the same to the locale
// (digits 0-9, and ".", "-", "+", "e", "E" where the locale writes them so) reads in the
// locale as in the dot reading, to the same value or not at all, so the locale need not be
// asked: Qt 6.4 does so in all its locales for every such cell up to 6 characters and for
// long, tiny and huge numbers.
class LocaleReader {
public:
    explicit LocaleReader(const QLocale& locale) : m_locale(locale)
    {
        const bool digits = locale.zeroDigit() == u"0";
        for (char c = '0'; c <= '9'; ++c)
            m_same[static_cast<unsigned char>(c)] = digits;
        m_same['.'] = locale.decimalPoint() == u".";
        m_same['-'] = locale.negativeSign() == u"-";
        m_same['+'] = locale.positiveSign() == u"+";
        m_same['e'] = m_same['E'] = locale.exponential().compare(u"e", Qt::CaseInsensitive) == 0;
    }

    bool readsAsDot(std::string_view core) const
    {
        return std::all_of(core.begin(), core.end(),
                           [&](char c) { return m_same[static_cast<unsigned char>(c)]; });
    }

    std::optional<double> read(QStringView cell) const
    {
        bool ok = false;
        const double value = m_locale.toDouble(cell, &ok);
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

private:
    const QLocale& m_locale;
    std::array<bool, 256> m_same{};
};

// The cells of one line in text order, as pasted and, once asked for, in UTF-16: the line
// is converted at most once, when the first cell that needs it comes.
class LineCells {
public:
    explicit LineCells(std::string_view line) : m_line(line) {}

    // Moves to the next cell; false after the last one.
    bool next()
    {
        if (m_index >= 0 && m_end == m_line.size())
            return false;
        m_start = m_index < 0 ? 0 : m_end + 1;
        m_end = std::min(m_line.find(kTab, m_start), m_line.size());
        ++m_index;
        if (m_converted)
            moveWide(m_wideEnd + 1);
        return true;
    }

    int index() const { return m_index; }
    std::string_view cell() const { return m_line.substr(m_start, m_end - m_start); }

    QStringView wide()
    {
        if (!m_converted) {
            m_wide = QString::fromUtf8(m_line.data(), static_cast<qsizetype>(m_line.size()));
            m_converted = true;
            qsizetype start = 0;
            for (int k = 0; k < m_index; ++k)
                start = wideCellEnd(start) + 1;
            moveWide(start);
        }
        return QStringView(m_wide).sliced(m_wideStart, m_wideEnd - m_wideStart);
    }

private:
    qsizetype wideCellEnd(qsizetype start) const
    {
        const qsizetype end = m_wide.indexOf(u'\t', start);
        return end < 0 ? m_wide.size() : end;
    }

    void moveWide(qsizetype start)
    {
        m_wideStart = std::min(start, m_wide.size());
        m_wideEnd = wideCellEnd(m_wideStart);
    }

    std::string_view m_line;
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    int m_index = -1;
    bool m_converted = false;
    QString m_wide;
    qsizetype m_wideStart = 0;
    qsizetype m_wideEnd = 0;
};

}  // namespace

// A cell as a message shows it: in quotes, trimmed, at most kQuoteLength characters (a
// longer one cut with "…"), with U+FFFD for bytes that are not UTF-8 and for control and
// format characters, which a message box would not show or would let reorder the text.
std::string paste::quoted(std::string_view cell)
{
    const std::string_view core = trimmed(cell);
    const std::string_view head = core.substr(0, 4 * (kQuoteLength + 1));
    QList<uint> chars =
        QString::fromUtf8(head.data(), static_cast<qsizetype>(head.size())).toUcs4();
    const bool cut = chars.size() > kQuoteLength || head.size() < core.size();
    if (cut && chars.size() >= kQuoteLength)
        chars.resize(kQuoteLength - 1);
    for (uint& c : chars) {
        switch (QChar::category(static_cast<char32_t>(c))) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            c = QChar::ReplacementCharacter;
            break;
        default:
            break;
        }
    }
    QString shown =
        QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), chars.size());
    if (cut)
        shown += QChar(0x2026);
    std::string text = "\"";
    text += shown.toStdString();
    text += '"';
    return text;
}

namespace {

// Nearest whole number, halves to the even neighbour, whatever the rounding mode.
double roundHalfEven(double v)
{
    const double r = std::round(v);  // halves away from zero
    if (std::abs(r - v) == 0.5 && std::fmod(r, 2.0) != 0.0)
        return r - std::copysign(1.0, v);
    return r;
}

std::string generalForm(double v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general);
    return std::string(buf, res.ptr);
}

// The two ways of writing numbers; a text is read in one of them throughout.
enum Way : std::size_t { kDot, kLocale };

// How the refusals of a text say where the problem is: by the lines of the clipboard's text,
// or, for a text converted from a file, by the file's name and lines.
class Where {
public:
    explicit Where(const TextOrigin* origin) : m_origin(origin) {}

    // The number of text line `textLine` (from 0) as messages and notes give it.
    std::size_t number(std::size_t textLine) const
    {
        return m_origin ? m_origin->fileLine(textLine) : textLine + 1;
    }

    // "Line 12" or, with a cell (from 0), "Line 12, cell 3".
    std::string line(std::size_t textLine, std::optional<std::size_t> cell = {},
                     bool capital = true) const
    {
        std::string name =
            (capital ? "Line " : "line ") +
            std::to_string(m_origin ? m_origin->fileLine(textLine, cell) : textLine + 1);
        if (cell)
            name += ", cell " + std::to_string(*cell + 1);
        return name;
    }

    // A refusal of the text as it is: the clipboard's format error with `where` on its
    // second line, or `where` in the file.
    PasteResult format(const std::string& where) const
    {
        return m_origin ? refuse(located(where)) : refuseFormat(where);
    }

    // A refusal that needs no format error: a limit, a value out of range.
    PasteResult plain(const std::string& text) const { return refuse(located(text)); }

    bool file() const { return m_origin != nullptr; }
    const char* taken() const { return m_origin ? "read" : "pasted"; }
    std::string separator() const { return m_origin ? m_origin->separator : "a tab"; }

private:
    // The file's name before the text: "run.csv, line 12, ..." where the text names a line
    // or a column, "run.csv: the table ..." otherwise.
    std::string located(const std::string& text) const
    {
        if (!m_origin || text.empty())
            return text;
        const bool place = text.starts_with("Line ") || text.starts_with("Column ");
        std::string out = m_origin->file + (place ? ", " : ": ");
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(text.front())));
        out.append(text, 1);
        return out;
    }

    const TextOrigin* m_origin;
};

struct Place {
    std::size_t line = 0;  // from 0
    int cell = 0;          // from 0
    std::string_view text;

    std::string name(const Where& where, bool capital = true) const
    {
        return where.line(line, static_cast<std::size_t>(cell), capital);
    }
    bool operator==(const Place& o) const { return line == o.line && cell == o.cell; }
};

// How readCells takes the cells of a text.
struct CellRules {
    std::size_t keep = 3;         // cells kept per line, from the first
    std::size_t firstLine = 0;    // index in the text of the first line read, for messages
    bool emptyIsNoValue = false;  // an empty cell after the first is no value, not an error
    std::optional<std::size_t> textColumn;  // a column of text (IDs), never read as numbers
    const Where* where = nullptr;           // how messages name a cell
};

// Where and why the cells of a text are refused; `unread` is the cell when no way of writing
// numbers reads it.
struct CellProblem {
    std::string where;
    std::optional<Place> unread;
};

// Reads every cell of `lines` (but those of the text column) in text order in both ways
// while each reads every cell so far; fills `cells` with the first rules.keep cells of each
// line (line i's at i * keep) as the way chosen reads them (the dot reading where both read
// every cell alike). Otherwise says, for the format error, where the text fails: the cell at
// which the last way fails, or the first cell both read differently.
std::optional<CellProblem> readCells(std::span<const std::string_view> lines, const QLocale& locale,
                                     const CellRules& rules,
                                     std::vector<std::optional<double>>& cells)
{
    const LocaleReader inLocale(locale);
    const Where& where = *rules.where;
    std::array<std::vector<std::optional<double>>, 2> read;
    for (auto& r : read)
        r.resize(lines.size() * rules.keep);
    std::array<bool, 2> alive{true, true};
    std::array<Place, 2> failed;           // where each way failed
    std::optional<Place> firstDifference;  // the first cell both read, to different values
    std::array<double, 2> differentValues{};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineCells lineCells(lines[i]);
        while (lineCells.next()) {
            const Place place{rules.firstLine + i, lineCells.index(), lineCells.cell()};
            if (rules.textColumn && static_cast<std::size_t>(place.cell) == *rules.textColumn)
                continue;
            const std::string_view core = trimmed(place.text);
            if (rules.emptyIsNoValue && place.cell > 0 && core.empty())
                continue;
            const bool plain = alive[kLocale] && inLocale.readsAsDot(core);
            std::array<std::optional<double>, 2> value;
            if (alive[kDot] || plain)
                value[kDot] = readDot(core);
            if (alive[kLocale])
                value[kLocale] = plain ? value[kDot] : inLocale.read(lineCells.wide());
            for (Way way : {kDot, kLocale}) {
                if (alive[way] && !value[way]) {
                    alive[way] = false;
                    failed[way] = place;
                }
            }
            if (!alive[kDot] && !alive[kLocale]) {
                if (core.empty())
                    return CellProblem{place.name(where) + " is empty.", std::nullopt};
                // Read in the way that an earlier cell ruled out: the text mixes both.
                const auto reads = [&](Way way) {
                    return way == kDot || inLocale.readsAsDot(core)
                               ? readDot(core).has_value()
                               : inLocale.read(lineCells.wide()).has_value();
                };
                for (Way way : {kDot, kLocale}) {
                    if (failed[way] != place && reads(way))
                        return CellProblem{place.name(where) + ": " + quoted(place.text) +
                                               " does not fit the number format of " +
                                               failed[way].name(where, false) + " (" +
                                               quoted(failed[way].text) + ").",
                                           std::nullopt};
                }
                return CellProblem{
                    place.name(where) + ": " + quoted(place.text) + " is not a number.", place};
            }
            if (alive[kDot] && alive[kLocale] && !firstDifference &&
                *value[kDot] != *value[kLocale]) {
                firstDifference = place;
                differentValues = {*value[kDot], *value[kLocale]};
            }
            if (static_cast<std::size_t>(place.cell) < rules.keep)
                for (Way way : {kDot, kLocale})
                    read[way][i * rules.keep + static_cast<std::size_t>(place.cell)] = value[way];
        }
    }
    if (alive[kDot] && alive[kLocale] && firstDifference)
        return CellProblem{firstDifference->name(where) + ": " + quoted(firstDifference->text) +
                               " reads as " + generalForm(differentValues[kDot]) + " or as " +
                               generalForm(differentValues[kLocale]) + "; " +
                               (where.file() ? "write" : "copy") +
                               " the numbers without thousands separators.",
                           std::nullopt};
    cells = std::move(read[alive[kDot] ? kDot : kLocale]);
    return std::nullopt;
}

// True when the first line of a text holds names: two or more cells, at least one of them
// not empty, and none that reads as a number either way.
bool holdsNames(std::string_view line, const QLocale& locale)
{
    if (cellCount(line) < 2)
        return false;
    const LocaleReader inLocale(locale);
    bool named = false;
    LineCells cells(line);
    while (cells.next()) {
        const std::string_view core = trimmed(cells.cell());
        if (core.empty())
            continue;
        if (readDot(core) || inLocale.read(cells.wide()))
            return false;
        named = true;
    }
    return named;
}

// The suffixes that mark a column as the errors of the analyte just before it.
constexpr std::array<std::string_view, 4> kErrorSuffixes{" err", " error", " sd", " \u00b1"};

bool endsWithNoCase(std::string_view text, std::string_view tail)
{
    if (text.size() < tail.size())
        return false;
    return std::equal(tail.begin(), tail.end(),
                      text.end() - static_cast<std::ptrdiff_t>(tail.size()), [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

// Whether `header` names the errors of the analyte `name`.
bool namesErrorsOf(std::string_view header, std::string_view name)
{
    return header.starts_with(name) &&
           std::any_of(kErrorSuffixes.begin(), kErrorSuffixes.end(), [&](std::string_view suffix) {
               return header.size() == name.size() + suffix.size() &&
                      endsWithNoCase(header, suffix);
           });
}

// Whether a column's name makes it the column of IDs.
bool namesIds(std::string_view name)
{
    return std::any_of(kIdColumnNames.begin(), kIdColumnNames.end(), [&](std::string_view id) {
        return name.size() == id.size() && endsWithNoCase(name, id);
    });
}

// One analyte's columns in a named table.
struct AnalyteColumns {
    std::string name;
    std::size_t y = 0;
    std::optional<std::size_t> err;
};

// The columns a names line declares: the analytes and, when it has one, the column of IDs.
struct NamedColumns {
    std::vector<AnalyteColumns> analytes;
    std::optional<std::size_t> ids;
    std::string idName;
};

// The columns the names line declares, or the reason it is refused.
std::variant<NamedColumns, std::string> analyteColumns(std::string_view line)
{
    NamedColumns named;
    std::vector<AnalyteColumns>& analytes = named.analytes;
    LineCells cells(line);
    cells.next();  // X, whatever its name
    while (cells.next()) {
        const auto column = static_cast<std::size_t>(cells.index());
        const std::string_view name = trimmed(cells.cell());
        if (namesIds(name)) {
            if (named.ids)
                return "Column " + std::to_string(column + 1) + " (" + quoted(name) +
                       ") is a second column of IDs beside column " +
                       std::to_string(*named.ids + 1) + " (" + quoted(named.idName) +
                       "); a table may have only one.";
            named.ids = column;
            named.idName = name;
            continue;
        }
        if (!analytes.empty() && !analytes.back().err && analytes.back().y + 1 == column &&
            namesErrorsOf(name, analytes.back().name)) {
            analytes.back().err = column;
            continue;
        }
        const std::string where = "Column " + std::to_string(column + 1);
        if (name.empty())
            return where + " has no name in line 1; every analyte needs one.";
        for (const AnalyteColumns& a : analytes)
            if (a.name == name)
                return where + " has the name " + quoted(name) + " of column " +
                       std::to_string(a.y + 1) + "; every analyte needs its own name.";
        analytes.push_back({std::string(name), column, std::nullopt});
    }
    return named;
}

// The first cell from `used` on (from 0) that is not empty, when a line has one.
std::optional<int> firstUnusedCell(std::string_view line, std::size_t used)
{
    if (cellCount(line) <= used)
        return std::nullopt;
    LineCells cells(line);
    while (cells.next())
        if (static_cast<std::size_t>(cells.index()) >= used && !trimmed(cells.cell()).empty())
            return cells.index();
    return std::nullopt;
}

// The names a column of IDs may have, as a message lists them: "ID, Sample, ... or Label".
std::string idNames()
{
    std::string names;
    for (std::size_t i = 0; i < kIdColumnNames.size(); ++i)
        names.append(i == 0                           ? ""
                     : i + 1 == kIdColumnNames.size() ? " or "
                                                      : ", ")
            .append(kIdColumnNames[i]);
    return names;
}

// Cell `column` (from 0) of a line, or nothing when the line has fewer cells.
std::string_view cellAt(std::string_view line, std::size_t column)
{
    std::size_t start = 0;
    for (std::size_t k = 0; k < column; ++k) {
        start = line.find(kTab, start);
        if (start == std::string_view::npos)
            return {};
        ++start;
    }
    return line.substr(start, line.find(kTab, start) - start);
}

// Whether a trimmed cell is text: it holds a letter, and no way of writing numbers reads it.
bool isText(std::string_view core, const LocaleReader& inLocale)
{
    const QString wide = QString::fromUtf8(core.data(), static_cast<qsizetype>(core.size()));
    return std::any_of(wide.begin(), wide.end(), [](QChar c) { return c.isLetter(); }) &&
           !readDot(core) && !inLocale.read(wide);
}

// Whether the cell no way reads is text and its column holds text on another line too, as
// a column of IDs does.
bool holdsTextElsewhere(std::span<const std::string_view> lines, std::size_t firstLine,
                        const Place& unread, const QLocale& locale)
{
    const LocaleReader inLocale(locale);
    const auto column = static_cast<std::size_t>(unread.cell);
    if (!isText(trimmed(unread.text), inLocale))
        return false;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (firstLine + i != unread.line && isText(trimmed(cellAt(lines[i], column)), inLocale))
            return true;
    return false;
}

// An ID as a run keeps it: the trimmed cell, with U+FFFD for bytes that are not UTF-8.
std::string idOf(std::string_view cell)
{
    const std::string_view core = trimmed(cell);
    if (std::all_of(core.begin(), core.end(), [](char c) { return (c & 0x80) == 0; }))
        return std::string(core);
    return QString::fromUtf8(core.data(), static_cast<qsizetype>(core.size())).toStdString();
}

// The run of a table with a column of IDs: its lines and its analytes' names, with room for
// every analyte's reading and error on every line.
RunTable runTableOf(std::span<const std::string_view> data, std::span<const paste::TakenLine> taken,
                    const NamedColumns& columns, int nData)
{
    RunTable run;
    run.idColumn = columns.idName;
    run.idCell = static_cast<int>(*columns.ids) + 1;
    run.nData = nData;
    run.lines.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i)
        run.lines.push_back(
            {idOf(cellAt(data[i], *columns.ids)), static_cast<int>(taken[i].x), taken[i].textLine});
    for (const AnalyteColumns& column : columns.analytes)
        run.analytes.push_back(column.name);
    run.reading.assign(columns.analytes.size(), std::vector<std::optional<double>>(data.size()));
    run.error = run.reading;
    run.hasErrors.assign(columns.analytes.size(), false);
    return run;
}

}  // namespace

bool PasteIntake::add(std::string_view piece)
{
    while (!m_over && !piece.empty()) {
        const char c = piece.front();
        const bool lfOfCrLf = c == kLf && m_afterCr;
        if (m_text.size() == kMaxPasteBytes ||
            (m_lineEnds == static_cast<std::size_t>(kMaxPasteLines) + 1 && !lfOfCrLf)) {
            m_text += c;  // the first character beyond the limits
            m_over = true;
            break;
        }
        // The text up to and including the next line end, within the bytes left.
        std::size_t n = lfOfCrLf ? 1 : std::min(findLineEnd(piece, 0), piece.size() - 1) + 1;
        n = std::min(n, kMaxPasteBytes - m_text.size());
        m_text.append(piece.substr(0, n));
        const char last = piece[n - 1];
        m_afterCr = last == kCr;
        m_lineEnds += !lfOfCrLf && (last == kCr || last == kLf);
        piece.remove_prefix(n);
    }
    return !m_over;
}

std::size_t TextOrigin::fileLine(std::size_t textLine, std::optional<std::size_t> cell) const
{
    if (lineStarts.empty())
        return textLine + 1;
    std::size_t line = textLine < lineStarts.size()
                           ? lineStarts[textLine]
                           : lineStarts.back() + (textLine + 1 - lineStarts.size());
    if (!cell)
        return line;
    auto later = std::lower_bound(laterCells.begin(), laterCells.end(), textLine,
                                  [](const LaterCell& c, std::size_t l) { return c.textLine < l; });
    for (; later != laterCells.end() && later->textLine == textLine && later->cell <= *cell;
         ++later)
        line = later->fileLine;
    return line;
}

namespace {

// Order of the checks, cheapest and most global first, so the first problem reported is
// the one that makes the rest pointless and a huge text is refused in one pass:
//   1. empty text, then size;
//   2. the names of a named table (a first line of names);
//   3. number of lines (more than 6000, then fewer than 3), not counting the names line;
//   4. per line in text order, cell counts only: more than 100 cells is the limit message,
//      fewer than 2 (for a data line of a named table: an empty line) the format error;
//   5. per cell in text order, the reading of every cell: the first cell that neither way
//      of writing numbers reads ends the paste;
//   6. a text both ways read, to different values somewhere, is refused as ambiguous;
//   7. per line, the range of X in the way chosen.
PasteResult parseText(std::string_view text, const QLocale& locale, const TextOrigin* origin)
{
    cleanVectorState();
    const Where where(origin);
    if (text.empty())
        return origin ? refuse(origin->file + " is empty.") : refuse(kEmptyClipboard);
    if (text.size() > kMaxPasteBytes)
        return refuse((origin ? origin->file + " is" : std::string("The copied text is")) +
                      " larger than " + std::to_string(kMaxPasteBytes / 1'000'000) +
                      " MB; at most " + std::to_string(kMaxPasteLines) + " lines of " +
                      std::to_string(kMaxPasteCells) + " cells can be " + where.taken() + ".");

    const std::vector<std::string_view> lines = splitLines(text, kMaxPasteLines + 2);
    const bool named = holdsNames(lines.front(), locale);
    NamedColumns columns;
    if (named) {
        if (cellCount(lines.front()) > static_cast<std::size_t>(kMaxPasteCells))
            return where.plain(where.line(0) + " has " + std::to_string(cellCount(lines.front())) +
                               " cells; at most " + std::to_string(kMaxPasteCells) +
                               " are allowed.");
        auto declared = analyteColumns(lines.front());
        if (const std::string* problem = std::get_if<std::string>(&declared))
            return where.format(*problem);
        columns = std::move(std::get<NamedColumns>(declared));
    } else {
        columns.analytes.push_back({"", 1, 2});
    }
    const std::span<const std::string_view> data = std::span(lines).subspan(named ? 1 : 0);
    const std::string below = named ? " below its names" : "";

    if (data.size() > static_cast<std::size_t>(kMaxPasteLines))
        return where.plain("The table has more than " + std::to_string(kMaxPasteLines) + " lines" +
                           below + "; at most " + std::to_string(kMaxPasteLines) + " can be " +
                           where.taken() + ".");
    if (data.size() < 3)
        return where.format("The table has " + std::to_string(data.size()) +
                            (data.size() == 1 ? " line" : " lines") + below +
                            "; at least 3 are needed.");

    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::size_t cells = cellCount(data[i]);
        const std::string line = where.line(i + (named ? 1 : 0));
        if (cells > static_cast<std::size_t>(kMaxPasteCells))
            return where.plain(line + " has " + std::to_string(cells) + " cells; at most " +
                               std::to_string(kMaxPasteCells) + " are allowed.");
        if (cells < 2 && trimmed(data[i]).empty())
            return where.format(line + " is empty.");
        if (cells < 2 && !named)
            return where.format(line + " has only one cell; X and Y must be separated by " +
                                where.separator() + ".");
    }

    // A named table keeps the cells up to its last named column; a plain one X, Y, error.
    const CellRules rules{.keep = named ? cellCount(lines.front()) : 3,
                          .firstLine = named ? std::size_t{1} : std::size_t{0},
                          .emptyIsNoValue = named,
                          .textColumn = columns.ids,
                          .where = &where};
    std::vector<std::optional<double>> cells;
    if (const std::optional<CellProblem> problem = readCells(data, locale, rules, cells)) {
        // Text in a column on more than one line: a column of IDs that is not taken as one.
        if (problem->unread && !columns.ids &&
            holdsTextElsewhere(data, rules.firstLine, *problem->unread, locale))
            return where.format(problem->where.substr(0, problem->where.size() - 1) + "; " +
                                (named ? "a column of IDs must be named " + idNames() + "."
                                       : "a column of IDs needs a names line above the table, "
                                         "naming it " +
                                             idNames() + "."));
        return where.format(problem->where);
    }
    const auto cell = [&](std::size_t line, std::size_t column) -> const std::optional<double>& {
        return cells[line * rules.keep + column];
    };

    PastedTable pasted;
    pasted.named = named;
    pasted.lines = data.size();
    PasteNotes& notes = pasted.notes;
    const auto lineNumber = [&](std::size_t i) { return where.number(i + rules.firstLine); };

    // Every X first: the range check covers every line, and nData is the table's.
    std::vector<paste::TakenLine> taken(data.size());
    int nData = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const double xValue = *cell(i, 0);
        const double rounded = roundHalfEven(xValue);
        if (rounded < 0 || rounded > kMaxX)
            return where.plain(where.line(i + rules.firstLine) + ": X = " + generalForm(xValue) +
                               " is outside 0 to " + std::to_string(kMaxX) + ".");
        const int x = static_cast<int>(rounded);
        taken[i] = {static_cast<std::size_t>(x), lineNumber(i)};
        nData = std::max(nData, x);
        if (rounded != xValue)
            addTo(notes.rounded, lineNumber(i), [&](PasteNote& n) {
                n.x = x;
                n.read = quoted(data[i].substr(0, data[i].find(kTab)));
            });
        if (x == 0)
            addTo(notes.atZero, lineNumber(i), [](PasteNote& n) { n.x = 0; });
    }
    // A named table uses the columns up to its last named one; a plain one X, Y and error.
    const std::size_t used =
        named ? cellCount(lines.front()) : std::min<std::size_t>(cellCount(lines.front()), 3);
    for (std::size_t i = 0; i < data.size(); ++i)
        if (const std::optional<int> unused = firstUnusedCell(data[i], used))
            addTo(notes.unusedCells, lineNumber(i), [&](PasteNote& n) {
                n.x = static_cast<int>(taken[i].x);
                n.cell = *unused + 1;
            });

    // A plain table's error column is the third cell of its first line, if it has one.
    const bool plainErrors = cellCount(lines.front()) >= 3;
    const auto errorsOf = [&](const AnalyteColumns& column) {
        return named ? column.err.has_value() : plainErrors;
    };
    const auto valuesOf = [&](const AnalyteColumns& column, std::size_t i) {
        return paste::LineValues{cell(i, column.y),
                                 errorsOf(column) ? cell(i, column.err.value_or(2)) : std::nullopt};
    };

    if (columns.ids) {
        RunTable run = runTableOf(data, taken, columns, nData);
        bool anyValue = false;
        for (std::size_t a = 0; a < columns.analytes.size(); ++a) {
            run.hasErrors[a] = errorsOf(columns.analytes[a]);
            for (std::size_t i = 0; i < data.size(); ++i) {
                std::tie(run.reading[a][i], run.error[a][i]) = valuesOf(columns.analytes[a], i);
                anyValue = anyValue || run.reading[a][i].has_value();
            }
        }
        if (!anyValue)
            return where.format("No cell below the names holds a value.");
        RunSplit split = standardsOf(run, "", notes);
        if (!split.analytes)
            return where.format(split.message->text);
        pasted.analytes = std::move(*split.analytes);
        pasted.run = std::move(run);
        return {std::move(pasted), std::nullopt};
    }

    // A plain table counts the cells of its first line; an analyte its Y and errors.
    std::vector<paste::AnalyteShape> shapes;
    for (const AnalyteColumns& column : columns.analytes)
        shapes.push_back({column.name, named ? (errorsOf(column) ? 3 : 2)
                                             : static_cast<int>(cellCount(lines.front()))});
    pasted.analytes = paste::buildAnalytes(
        shapes, nData, taken,
        [&](std::size_t a, std::size_t i) { return valuesOf(columns.analytes[a], i); }, notes);
    if (std::none_of(pasted.analytes.begin(), pasted.analytes.end(),
                     [](const Analyte& a) { return a.table.anyValue(); }))
        return where.format("No cell below the names holds a value.");
    return {std::move(pasted), std::nullopt};
}

}  // namespace

PasteResult parseTable(std::string_view text, const QLocale& locale)
{
    return parseText(text, locale, nullptr);
}

PasteResult parseTable(std::string_view text, const QLocale& locale, const TextOrigin& origin)
{
    return parseText(text, locale, &origin);
}

}  // namespace kalibrix
