#include "run/number_format.h"

#include <QLocale>
#include <QString>

#include <charconv>
#include <cmath>
#include <string_view>

namespace kalibrix {

namespace {

constexpr int kGeneralDigits = 15;

// Appends `digits` with the C decimal point and minus sign replaced by the locale's.
void appendLocalised(std::string& out, std::string_view digits, const NumberFormat& fmt)
{
    if (fmt.decimalPoint == "." && fmt.minusSign == "-") {
        out.append(digits);
        return;
    }
    if (fmt.decimalPoint.size() == 1 && fmt.minusSign.size() == 1 && digits.size() <= 64) {
        char buf[64];
        for (std::size_t i = 0; i < digits.size(); ++i) {
            const char c = digits[i];
            buf[i] = c == '.' ? fmt.decimalPoint[0] : (c == '-' && i == 0 ? fmt.minusSign[0] : c);
        }
        out.append(buf, digits.size());
        return;
    }
    const std::size_t start = out.size();
    for (char c : digits) {
        if (c == '.')
            out += fmt.decimalPoint;
        else if (c == '-' && out.size() == start)
            out += fmt.minusSign;
        else
            out += c;
    }
}

// `text` (UTF-8) without the marks that only steer the direction of the text around them
// (ALM, LRM, RLM, the embeddings and the isolates), which Arabic and Persian locales put
// into their separators.
std::string withoutDirectionMarks(const std::string& text)
{
    QString s = QString::fromStdString(text);
    s.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) ||
               (u >= 0x2066 && u <= 0x2069);
    });
    return s.toStdString();
}

}  // namespace

void NumberFormat::appendGeneral(std::string& out, double v) const
{
    char buf[64];
    char* end =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, kGeneralDigits).ptr;
    // to_chars writes "1.5e-05"; the window and the export write "1.5E-05".
    for (char* p = buf; p != end; ++p)
        if (*p == 'e')
            *p = 'E';
    appendLocalised(out, std::string_view(buf, static_cast<size_t>(end - buf)), *this);
}

std::string NumberFormat::general(double v) const
{
    std::string out;
    appendGeneral(out, v);
    return out;
}

std::string NumberFormat::general(const std::optional<double>& v) const
{
    return v ? general(*v) : std::string();
}

std::string NumberFormat::fixed(double v, int decimals) const
{
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
    if (!text.empty() && text.front() == '-' &&
        text.find_first_of("123456789") == std::string_view::npos)
        text.remove_prefix(1);
    std::string out;
    appendLocalised(out, text, *this);
    return out;
}

std::string NumberFormat::scientific(double v, int decimals) const
{
    char buf[64];
    char* end =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, decimals).ptr;
    for (char* p = buf; p != end; ++p)
        if (*p == 'e')
            *p = 'E';
    std::string out;
    appendLocalised(out, std::string_view(buf, static_cast<size_t>(end - buf)), *this);
    return out;
}

NumberFormat NumberFormat::fromLocale(const QLocale& locale)
{
    NumberFormat fmt;
    fmt.decimalPoint = locale.decimalPoint().toStdString();
    fmt.minusSign = locale.negativeSign().toStdString();
    fmt.groupSeparator = locale.groupSeparator().toStdString();
    return fmt;
}

NumberFormat NumberFormat::forExport(const QLocale& locale)
{
    return fromLocale(locale).forExport();
}

NumberFormat NumberFormat::forExport() const
{
    NumberFormat fmt;  // with the ASCII minus
    fmt.decimalPoint = withoutDirectionMarks(decimalPoint);
    fmt.groupSeparator = withoutDirectionMarks(groupSeparator);
    return fmt;
}

}  // namespace kalibrix
