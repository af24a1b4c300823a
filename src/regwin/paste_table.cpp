#include "regwin/paste_table.h"

#include "regwin/vector_state.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <utility>
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
    "Error occurred while trying paste data from the clipboard. "
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

// The X, Y and error cells of a line.
using Row = std::array<std::optional<double>, 3>;

// Reads every cell of `lines` in text order in both ways while each reads every cell so far;
// fills `rows` with the X, Y and error cells as the way chosen reads them (the dot reading
// where both read every cell alike). Otherwise says, for the format error, where the text
// fails: the cell at which the last way fails, or the first cell both read differently.
std::optional<std::string> readCells(const std::vector<std::string_view>& lines,
                                     const QLocale& locale, std::vector<Row>& rows)
{
    const LocaleReader inLocale(locale);
    std::vector<std::array<Row, 2>> read(lines.size());
    std::array<bool, 2> alive{true, true};
    std::array<Place, 2> failed;           // where each way failed
    std::optional<Place> firstDifference;  // the first cell both read, to different values
    std::array<double, 2> differentValues{};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineCells cells(lines[i]);
        while (cells.next()) {
            const Place place{i, cells.index(), cells.cell()};
            const std::string_view core = trimmed(place.text);
            const bool plain = alive[kLocale] && inLocale.readsAsDot(core);
            std::array<std::optional<double>, 2> value;
            if (alive[kDot] || plain)
                value[kDot] = readDot(core);
            if (alive[kLocale])
                value[kLocale] = plain ? value[kDot] : inLocale.read(cells.wide());
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
                               : inLocale.read(cells.wide()).has_value();
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
            if (place.cell < 3)
                for (Way way : {kDot, kLocale})
                    read[i][way][static_cast<std::size_t>(place.cell)] = value[way];
        }
    }
    if (alive[kDot] && alive[kLocale] && firstDifference)
        return firstDifference->name() + ": " + quoted(firstDifference->text) + " reads as " +
               generalForm(differentValues[kDot]) + " or as " +
               generalForm(differentValues[kLocale]) +
               "; copy the numbers without thousands separators.";
    const Way chosen = alive[kDot] ? kDot : kLocale;
    rows.clear();
    for (const auto& r : read)
        rows.push_back(r[chosen]);
    return std::nullopt;
}

}  // namespace

bool PasteIntake::add(std::string_view piece)
{
    while (!m_over && !piece.empty()) {
        const char c = piece.front();
        const bool lfOfCrLf = c == kLf && m_afterCr;
        if (m_text.size() == kMaxPasteBytes ||
            (m_lineEnds == static_cast<std::size_t>(kMaxPasteLines) && !lfOfCrLf)) {
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
//   2. number of lines (more than 6000, then fewer than 3);
//   3. per line in text order, cell counts only: more than 100 cells is the limit message,
//      fewer than 2 the format error;
//   4. per cell in text order, the reading of every cell: the first cell that neither way
//      of writing numbers reads ends the paste;
//   5. a text both ways read, to different values somewhere, is refused as ambiguous;
//   6. per line, the range of X in the way chosen.
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

    const std::vector<std::string_view> lines = splitLines(text, kMaxPasteLines + 1);
    if (lines.size() > static_cast<std::size_t>(kMaxPasteLines))
        return refuse("The table has more than " + std::to_string(kMaxPasteLines) +
                      " lines; at most " + std::to_string(kMaxPasteLines) + " can be pasted.");
    if (lines.size() < 3)
        return refuseFormat("The table has " + std::to_string(lines.size()) +
                            (lines.size() == 1 ? " line" : " lines") + "; at least 3 are needed.");

    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t cells = cellCount(lines[i]);
        const std::string line = "Line " + std::to_string(i + 1);
        if (cells > static_cast<std::size_t>(kMaxPasteCells))
            return refuse(line + " has " + std::to_string(cells) + " cells; at most " +
                          std::to_string(kMaxPasteCells) + " are allowed.");
        if (cells < 2 && trimmed(lines[i]).empty())
            return refuseFormat(line + " is empty.");
        if (cells < 2)
            return refuseFormat(line + " has only one cell; X and Y must be separated by a tab.");
    }

    std::vector<Row> rows;
    if (const std::optional<std::string> problem = readCells(lines, locale, rows))
        return refuseFormat(*problem);

    DataTable table;  // fresh: no values, no rejections
    table.nCol = static_cast<int>(cellCount(lines.front()));
    table.nData = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& [xValue, y, yErr] = rows[i];
        const double rounded = roundHalfEven(*xValue);
        if (rounded < 0 || rounded > kMaxX)
            return refuse("Line " + std::to_string(i + 1) + ": X = " + generalForm(*xValue) +
                          " is outside 0 to " + std::to_string(kMaxX) + ".");
        const auto x = static_cast<std::size_t>(rounded);
        table.y[x] = y;
        table.yErr[x] = table.nCol >= 3 ? yErr : std::nullopt;
        table.nData = std::max(table.nData, static_cast<int>(x));
    }
    // The standards of the table as it stands: a later row with the same X replaced the
    // earlier one, and X = 0 is no standard.
    table.nY = 0;
    for (int x = 1; x <= table.nData; ++x)
        table.nY += table.y[static_cast<std::size_t>(x)].value_or(0) > 0;
    return {std::move(table), std::nullopt};
}

}  // namespace kalibrix
