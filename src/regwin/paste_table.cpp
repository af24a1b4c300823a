#include "regwin/paste_table.h"

#include "regwin/vector_state.h"

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
#include <utility>
#include <variant>
#include <vector>

namespace kalibrix {

namespace {

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

// A cell as a message shows it: in quotes, trimmed, at most kQuoteLength characters (a
// longer one cut with "…"), with U+FFFD for bytes that are not UTF-8 and for control and
// format characters, which a message box would not show or would let reorder the text.
std::string quoted(std::string_view cell)
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

struct Place {
    std::size_t line = 0;  // from 0
    int cell = 0;          // from 0
    std::string_view text;

    std::string name(bool capital = true) const
    {
        return (capital ? "Line " : "line ") + std::to_string(line + 1) + ", cell " +
               std::to_string(cell + 1);
    }
    bool operator==(const Place& o) const { return line == o.line && cell == o.cell; }
};

// How readCells takes the cells of a text.
struct CellRules {
    std::size_t keep = 3;         // cells kept per line, from the first
    std::size_t firstLine = 0;    // index in the text of the first line read, for messages
    bool emptyIsNoValue = false;  // an empty cell after the first is no value, not an error
};

// Reads every cell of `lines` in text order in both ways while each reads every cell so far;
// fills `cells` with the first rules.keep cells of each line (line i's at i * keep) as the
// way chosen reads them (the dot reading where both read every cell alike). Otherwise says,
// for the format error, where the text fails: the cell at which the last way fails, or the
// first cell both read differently.
std::optional<std::string> readCells(std::span<const std::string_view> lines, const QLocale& locale,
                                     const CellRules& rules,
                                     std::vector<std::optional<double>>& cells)
{
    const LocaleReader inLocale(locale);
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
                    return place.name() + " is empty.";
                // Read in the way that an earlier cell ruled out: the text mixes both.
                const auto reads = [&](Way way) {
                    return way == kDot || inLocale.readsAsDot(core)
                               ? readDot(core).has_value()
                               : inLocale.read(lineCells.wide()).has_value();
                };
                for (Way way : {kDot, kLocale}) {
                    if (failed[way] != place && reads(way))
                        return place.name() + ": " + quoted(place.text) +
                               " does not fit the number format of " + failed[way].name(false) +
                               " (" + quoted(failed[way].text) + ").";
                }
                return place.name() + ": " + quoted(place.text) + " is not a number.";
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
        return firstDifference->name() + ": " + quoted(firstDifference->text) + " reads as " +
               generalForm(differentValues[kDot]) + " or as " +
               generalForm(differentValues[kLocale]) +
               "; copy the numbers without thousands separators.";
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

// One analyte's columns in a named table.
struct AnalyteColumns {
    std::string name;
    std::size_t y = 0;
    std::optional<std::size_t> err;
};

// The analytes the names line declares, or the reason it is refused.
std::variant<std::vector<AnalyteColumns>, std::string> analyteColumns(std::string_view line)
{
    std::vector<AnalyteColumns> analytes;
    LineCells cells(line);
    cells.next();  // X, whatever its name
    while (cells.next()) {
        const auto column = static_cast<std::size_t>(cells.index());
        const std::string_view name = trimmed(cells.cell());
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
    return analytes;
}

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
PasteResult Paste_Table(std::string_view text, const QLocale& locale)
{
    cleanVectorState();
    if (text.empty())
        return refuse(kEmptyClipboard);
    if (text.size() > kMaxPasteBytes)
        return refuse("The copied text is larger than " +
                      std::to_string(kMaxPasteBytes / 1'000'000) + " MB; at most " +
                      std::to_string(kMaxPasteLines) + " lines of " +
                      std::to_string(kMaxPasteCells) + " cells can be pasted.");

    const std::vector<std::string_view> lines = splitLines(text, kMaxPasteLines + 2);
    const bool named = holdsNames(lines.front(), locale);
    std::vector<AnalyteColumns> columns;
    if (named) {
        if (cellCount(lines.front()) > static_cast<std::size_t>(kMaxPasteCells))
            return refuse("Line 1 has " + std::to_string(cellCount(lines.front())) +
                          " cells; at most " + std::to_string(kMaxPasteCells) + " are allowed.");
        auto declared = analyteColumns(lines.front());
        if (const std::string* problem = std::get_if<std::string>(&declared))
            return refuseFormat(*problem);
        columns = std::move(std::get<std::vector<AnalyteColumns>>(declared));
    } else {
        columns.push_back({"", 1, 2});
    }
    const std::span<const std::string_view> data = std::span(lines).subspan(named ? 1 : 0);
    const std::string below = named ? " below its names" : "";

    if (data.size() > static_cast<std::size_t>(kMaxPasteLines))
        return refuse("The table has more than " + std::to_string(kMaxPasteLines) + " lines" +
                      below + "; at most " + std::to_string(kMaxPasteLines) + " can be pasted.");
    if (data.size() < 3)
        return refuseFormat("The table has " + std::to_string(data.size()) +
                            (data.size() == 1 ? " line" : " lines") + below +
                            "; at least 3 are needed.");

    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::size_t cells = cellCount(data[i]);
        const std::string line = "Line " + std::to_string(i + 1 + (named ? 1 : 0));
        if (cells > static_cast<std::size_t>(kMaxPasteCells))
            return refuse(line + " has " + std::to_string(cells) + " cells; at most " +
                          std::to_string(kMaxPasteCells) + " are allowed.");
        if (cells < 2 && trimmed(data[i]).empty())
            return refuseFormat(line + " is empty.");
        if (cells < 2 && !named)
            return refuseFormat(line + " has only one cell; X and Y must be separated by a tab.");
    }

    // A named table keeps the cells up to its last named column; a plain one X, Y, error.
    const CellRules rules{.keep = named ? cellCount(lines.front()) : 3,
                          .firstLine = named ? std::size_t{1} : std::size_t{0},
                          .emptyIsNoValue = named};
    std::vector<std::optional<double>> cells;
    if (const std::optional<std::string> problem = readCells(data, locale, rules, cells))
        return refuseFormat(*problem);
    const auto cell = [&](std::size_t line, std::size_t column) -> const std::optional<double>& {
        return cells[line * rules.keep + column];
    };

    PastedTable pasted;
    pasted.named = named;
    pasted.lines = data.size();
    PasteNotes& notes = pasted.notes;
    const auto lineNumber = [&](std::size_t i) { return i + 1 + rules.firstLine; };

    // Every X first: the range check covers every line, and nData is the table's.
    std::vector<std::size_t> xs(data.size());
    int nData = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const double xValue = *cell(i, 0);
        const double rounded = roundHalfEven(xValue);
        if (rounded < 0 || rounded > kMaxX)
            return refuse("Line " + std::to_string(lineNumber(i)) + ": X = " + generalForm(xValue) +
                          " is outside 0 to " + std::to_string(kMaxX) + ".");
        const int x = static_cast<int>(rounded);
        xs[i] = static_cast<std::size_t>(x);
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
                n.x = static_cast<int>(xs[i]);
                n.cell = *unused + 1;
            });

    constexpr std::size_t kNoLine = std::numeric_limits<std::size_t>::max();
    std::vector<std::size_t> lineAt;  // the line (index) each X of an analyte's table came from
    pasted.analytes.resize(columns.size());
    bool anyValue = false;
    for (std::size_t a = 0; a < columns.size(); ++a) {
        const AnalyteColumns& column = columns[a];
        // A plain table's error column is the third cell of its first line, if it has one.
        const bool errors = named ? column.err.has_value() : cellCount(lines.front()) >= 3;
        Analyte& analyte = pasted.analytes[a];
        analyte.name = column.name;
        DataTable& table = analyte.table;  // fresh: no values, no rejections
        // A plain table counts the cells of its first line; an analyte its Y and errors.
        table.nCol = named ? (errors ? 3 : 2) : static_cast<int>(cellCount(lines.front()));
        table.nData = nData;
        lineAt.assign(static_cast<std::size_t>(nData) + 1, kNoLine);
        // Only the lines where the analyte has a value are its rows; a later row with the
        // same X replaces the earlier one.
        for (std::size_t i = 0; i < data.size(); ++i) {
            const std::size_t x = xs[i];
            const auto where = [&](PasteNote& n) {
                n.x = static_cast<int>(x);
                n.analyte = column.name;
            };
            const std::optional<double>& y = cell(i, column.y);
            const std::optional<double> err =
                errors ? cell(i, column.err.value_or(2)) : std::nullopt;
            if (!y) {
                if (err)
                    addTo(notes.lonelyErrors, lineNumber(i), where);
                continue;
            }
            if (x > 0 && lineAt[x] != kNoLine)
                addTo(notes.replaced, lineNumber(lineAt[x]), [&](PasteNote& n) {
                    where(n);
                    n.laterLine = lineNumber(i);
                });
            lineAt[x] = i;
            table.y[x] = y;
            table.yErr[x] = err;
            anyValue = true;
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
                addTo(notes.leftOut, lineNumber(lineAt[at]), [&](PasteNote& n) {
                    n.x = x;
                    n.analyte = column.name;
                });
        }
    }
    if (!anyValue)
        return refuseFormat("No cell below the names holds a value.");
    return {std::move(pasted), std::nullopt};
}

}  // namespace kalibrix
