#include "run/table_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>

#include <algorithm>
#include <array>
#include <utility>

namespace kalibrix {

namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kTab = u'\t';
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr std::size_t kSeparatorLines = 10;  // the lines that tell the separator
constexpr qsizetype kMostHeld = 1 << 16;     // text held for them at most

// The separators a file may have, the first preferred.
constexpr std::array<char16_t, 3> kSeparators{u'\t', u';', u','};

std::string separatorName(QChar separator)
{
    return separator == kTab ? "a tab" : separator == u';' ? "a semicolon" : "a comma";
}

// The separator of a text by its first lines, outside quotes: the first of kSeparators on
// every line that has a character, else the first on any, else a tab.
QChar separatorOf(QStringView text)
{
    std::array<std::size_t, kSeparators.size()> linesWith{};
    std::array<bool, kSeparators.size()> inLine{};
    std::size_t lines = 0;
    bool quoted = false;
    bool filled = false;
    const auto endLine = [&] {
        for (std::size_t k = 0; k < kSeparators.size(); ++k)
            linesWith[k] += inLine[k];
        lines += filled;
        inLine = {};
        filled = false;
    };
    for (const QChar c : text) {
        if (c == kQuote)
            quoted = !quoted;
        if (quoted)
            continue;
        if (c == kCr || c == kLf) {
            endLine();
            if (lines == kSeparatorLines)
                break;
            continue;
        }
        filled = true;
        for (std::size_t k = 0; k < kSeparators.size(); ++k)
            inLine[k] = inLine[k] || c == kSeparators[k];
    }
    endLine();
    for (std::size_t k = 0; k < kSeparators.size(); ++k)
        if (lines > 0 && linesWith[k] == lines)
            return kSeparators[k];
    for (std::size_t k = 0; k < kSeparators.size(); ++k)
        if (linesWith[k] > 0)
            return kSeparators[k];
    return kTab;
}

// A number written with a decimal comma ("2,5", "-1,5e3") with "." in its place; any other
// cell as it is.
QString withDecimalPoint(QString cell)
{
    if (cell.count(u',') != 1)
        return cell;
    bool digit = false;
    for (const QChar c : cell) {
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (!QStringView(u"+-eE, \u00a0\u2212").contains(c))
            return cell;
    }
    if (digit)
        cell.replace(u',', u'.');
    return cell;
}

// Numbers of a file of commas or semicolons: "." as decimal point, no digit grouping.
QLocale pointLocale()
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    return c;
}

UserMessage refusal(std::string text) { return {std::move(text), MessageIcon::Exclamation, ""}; }

}  // namespace

bool TableFileIntake::add(std::string_view bytes)
{
    if (m_out.over())
        return false;
    if (!m_decoder) {
        m_head.append(bytes);
        if (m_head.size() < 4)
            return true;
        const std::string head = std::exchange(m_head, {});
        return decode(head);
    }
    return decode(bytes);
}

bool TableFileIntake::decode(std::string_view bytes)
{
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (!m_decoder)
        m_decoder.emplace(QStringConverter::encodingForData(view).value_or(QStringConverter::Utf8));
    const QString text = m_decoder->decode(view);
    if (m_separator)
        return convert(text);
    m_pending += text;
    const auto lineEnds = m_pending.count(kCr) + m_pending.count(kLf);
    if (lineEnds <= static_cast<qsizetype>(2 * kSeparatorLines) && m_pending.size() < kMostHeld)
        return true;
    m_separator = separatorOf(m_pending);
    return convert(std::exchange(m_pending, {}));
}

bool TableFileIntake::put(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return m_out.add(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

bool TableFileIntake::endCell(bool lineEnd)
{
    QString cell = *m_separator == u';' ? withDecimalPoint(std::exchange(m_cell, {}))
                                        : std::exchange(m_cell, {});
    cell += lineEnd ? kLf : kTab;
    m_field = Field::Start;
    if (lineEnd) {
        ++m_textLine;
        m_cellIndex = 0;
        m_lineStarted = false;
    } else {
        ++m_cellIndex;
    }
    return put(cell);
}

// The splitter of RFC 4180, any of the three separators, any line end.
bool TableFileIntake::convert(QStringView text)
{
    const QChar separator = *m_separator;
    for (const QChar c : text) {
        if (std::exchange(m_afterCr, c == kCr) && c == kLf)
            continue;  // the LF of a CR LF
        const bool lineEnd = c == kCr || c == kLf;
        if (!m_lineStarted) {
            m_lineStarted = true;
            m_origin.lineStarts.push_back(m_fileLine);
        }
        if (m_field == Field::Start) {
            if (m_fileLine != m_origin.lineStarts.back() &&
                m_cellIndex <= static_cast<std::size_t>(kMaxPasteCells))
                m_origin.laterCells.push_back({m_textLine, m_cellIndex, m_fileLine});
            m_field = c == kQuote ? Field::Quoted : Field::Plain;
            if (c == kQuote) {
                m_quoteLine = m_fileLine;
                continue;
            }
        }
        bool go = true;
        switch (m_field) {
        case Field::Quoted:
            if (c == kQuote)
                m_field = Field::QuoteInQuoted;
            else
                m_cell += lineEnd || c == kTab ? QChar(u' ') : c;
            break;
        case Field::QuoteInQuoted:
            if (c == kQuote) {  // a doubled quote
                m_cell += c;
                m_field = Field::Quoted;
                break;
            }
            m_field = Field::Plain;  // after the closing quote: as written
            [[fallthrough]];
        case Field::Plain:
        case Field::Start:
            if (c == separator || lineEnd)
                go = endCell(lineEnd);
            else
                m_cell += c == kTab ? QChar(u' ') : c;
            break;
        }
        if (lineEnd)
            ++m_fileLine;
        if (!go)
            return false;
        // A cell that is beyond the limits by itself (each character is a byte or more).
        if (m_out.text().size() + static_cast<std::size_t>(m_cell.size()) > kMaxPasteBytes)
            return put(m_cell);
    }
    return true;
}

TableFileResult TableFileIntake::finish(const std::string& fileName, const QLocale& locale)
{
    if (!m_decoder && !m_head.empty()) {
        const std::string head = std::exchange(m_head, {});
        decode(head);
    }
    if (!m_separator) {
        m_separator = separatorOf(m_pending);
        convert(std::exchange(m_pending, {}));
    }
    if (!m_out.over() && m_field == Field::Quoted)
        return refusal(fileName + ", line " + std::to_string(m_quoteLine) + ", cell " +
                       std::to_string(m_cellIndex + 1) +
                       ": the quote that opens the cell is not closed.");
    if (!m_out.over() && m_lineStarted)
        endCell(true);
    m_origin.file = fileName;
    m_origin.separator = separatorName(*m_separator);
    const QLocale numbers = *m_separator == kTab ? locale : pointLocale();
    PasteResult pasted = parseTable(m_out.text(), numbers, m_origin);
    if (!pasted.table)
        return std::move(*pasted.message);
    return TableFile{std::move(*pasted.table),
                     {std::move(m_out.text()), numbers.name().toStdString(), fileName}};
}

TableFileResult readTableFile(const QString& path, const QLocale& locale)
{
    QFile in(path);
    const auto cannot = [&] {
        return refusal((path + " cannot be opened: " + in.errorString()).toStdString());
    };
    if (!in.open(QIODevice::ReadOnly))
        return cannot();
    TableFileIntake intake;
    for (QByteArray piece; !(piece = in.read(1 << 16)).isEmpty();)
        if (!intake.add(
                std::string_view(piece.constData(), static_cast<std::size_t>(piece.size()))))
            break;
    if (in.error() != QFileDevice::NoError)
        return cannot();
    return intake.finish(QFileInfo(path).fileName().toStdString(), locale);
}

}  // namespace kalibrix
