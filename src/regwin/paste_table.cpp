#include "regwin/paste_table.h"

#include <QString>

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

constexpr const char* kEmptyClipboard = "The Clipboard is empty.";
constexpr const char* kFormatError =
    "Error occurred while trying paste data from the clipboard. "
    "Please check the format of the copied table.";

PasteResult refuse(std::string text)
{
    return {std::nullopt, UserMessage{std::move(text), MessageIcon::Exclamation, ""}};
}

// The text's lines; CR LF, LF and CR each end one. A line end after the last line opens
// no further line. Counts every line but keeps only the first `keep`, so a huge text
// costs one pass and no memory beyond the kept lines.
struct Lines {
    std::vector<std::string_view> kept;
    std::size_t count = 0;
};

Lines splitLines(std::string_view text, std::size_t keep)
{
    Lines lines;
    std::size_t start = 0;
    auto add = [&](std::size_t end) {
        if (lines.count++ < keep)
            lines.kept.push_back(text.substr(start, end - start));
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != kCr && text[i] != kLf)
            continue;
        add(i);
        if (text[i] == kCr && i + 1 < text.size() && text[i + 1] == kLf)
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        add(text.size());
    return lines;
}

std::size_t cellCount(std::string_view line)
{
    std::size_t tabs = 0;
    for (char c : line)
        tabs += c == kTab;
    return tabs + 1;
}

std::string_view trimmed(std::string_view cell)
{
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = cell.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return cell.substr(first, cell.find_last_not_of(blanks) - first + 1);
}

// The cell's value, or nullopt when it is not a finite number (the format error).
std::optional<double> readNumber(std::string_view cell, const QLocale& locale)
{
    cell = trimmed(cell);
    if (cell.empty())
        return std::nullopt;

    // Dot reading. from_chars takes no '+', and "+-5" must not pass as -5.
    std::string_view plain = cell;
    if (plain.size() > 1 && plain[0] == '+' && plain[1] != '-' && plain[1] != '+')
        plain.remove_prefix(1);
    const char* const last = plain.data() + plain.size();
    double value = 0;
    const auto [ptr, ec] = std::from_chars(plain.data(), last, value);
    if (ptr == last) {
        // It took the whole cell, so its verdict stands: beyond the range of a double
        // (1e999, 1e-999), nan and inf are refused.
        if (ec != std::errc() || !std::isfinite(value))
            return std::nullopt;
        return value;
    }

    bool ok = false;
    value = locale.toDouble(QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size())),
                            &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
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

}  // namespace

bool PasteIntake::add(std::string_view piece)
{
    if (m_over)
        return false;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        const char c = piece[i];
        const bool endsLine = c == kCr || (c == kLf && !m_afterCr);
        if ((m_lineEnds == static_cast<std::size_t>(kMaxPasteLines) && !(c == kLf && m_afterCr)) ||
            m_text.size() == kMaxPasteBytes) {
            m_text += c;  // the first character beyond the limits
            m_over = true;
            return false;
        }
        m_text += c;
        m_afterCr = c == kCr;
        if (endsLine)
            ++m_lineEnds;
    }
    return true;
}

// Order of the checks, cheapest and most global first, so the first problem reported is
// the one that makes the rest pointless and a huge text is refused in one pass:
//   1. empty text;
//   2. number of lines (more than 6000, then fewer than 3);
//   3. per line in text order, cell counts only: more than 100 cells is the limit message,
//      fewer than 2 (no tab: an empty line, a one-cell line, a first line without tab)
//      the format error;
//   4. per cell in text order: the number check, and for X the range check right after.
PasteResult Paste_Table(std::string_view text, const QLocale& locale)
{
    if (text.empty())
        return refuse(kEmptyClipboard);

    const Lines lines = splitLines(text, kMaxPasteLines);
    if (lines.count > static_cast<std::size_t>(kMaxPasteLines))
        return refuse("The table has " + std::to_string(lines.count) + " lines; at most " +
                      std::to_string(kMaxPasteLines) + " can be pasted.");
    if (lines.count < 3)
        return refuse(kFormatError);

    for (std::size_t i = 0; i < lines.kept.size(); ++i) {
        const std::size_t cells = cellCount(lines.kept[i]);
        if (cells > static_cast<std::size_t>(kMaxPasteCells))
            return refuse("Line " + std::to_string(i + 1) + " has " + std::to_string(cells) +
                          " cells; at most " + std::to_string(kMaxPasteCells) +
                          " are allowed.");
        if (cells < 2)
            return refuse(kFormatError);
    }

    DataTable table;  // fresh: no values, no rejections
    table.nCol = static_cast<int>(cellCount(lines.kept.front()));
    table.nData = 0;
    table.nY = 0;
    for (std::size_t i = 0; i < lines.kept.size(); ++i) {
        const std::string_view line = lines.kept[i];
        int x = 0;
        double y = 0;
        std::optional<double> yErr;
        std::size_t start = 0;
        for (int col = 0; start <= line.size(); ++col) {
            std::size_t end = line.find(kTab, start);
            if (end == std::string_view::npos)
                end = line.size();
            const std::optional<double> value = readNumber(line.substr(start, end - start),
                                                           locale);
            if (!value)
                return refuse(kFormatError);
            if (col == 0) {
                const double rounded = roundHalfEven(*value);
                if (rounded < 0 || rounded > kMaxX)
                    return refuse("Line " + std::to_string(i + 1) + ": X = " +
                                  generalForm(*value) + " is outside 0 to " +
                                  std::to_string(kMaxX) + ".");
                x = static_cast<int>(rounded);
            } else if (col == 1) {
                y = *value;
            } else if (col == 2 && table.nCol >= 3) {
                yErr = *value;
            }
            start = end + 1;
        }
        table.y[x] = y;
        table.yErr[x] = yErr;
        if (y > 0)
            ++table.nY;
        if (x > table.nData)
            table.nData = x;
    }
    return {std::move(table), std::nullopt};
}

}  // namespace kalibrix
