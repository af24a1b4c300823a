#include "fit/number_format.h"

#include <QLocale>

#include <charconv>
#include <cmath>

namespace kalibrix {

namespace {

constexpr int kGeneralDigits = 15;

// Replaces the C decimal point and minus sign of `digits` by the locale's.
std::string localise(std::string_view digits, const NumberFormat& fmt)
{
    std::string out;
    out.reserve(digits.size() + 4);
    for (char c : digits) {
        if (c == '.')
            out += fmt.decimalPoint;
        else if (c == '-' && out.empty())
            out += fmt.minusSign;
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string NumberFormat::general(double v) const
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, kGeneralDigits);
    // to_chars writes "1.5e-05"; the window and the export write "1.5E-05".
    for (char* p = buf; p != res.ptr; ++p)
        if (*p == 'e')
            *p = 'E';
    return localise(std::string_view(buf, static_cast<size_t>(res.ptr - buf)), *this);
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
    if (!text.empty() && text.front() == '-' && text.find_first_of("123456789") == std::string_view::npos)
        text.remove_prefix(1);
    return localise(text, *this);
}

NumberFormat NumberFormat::fromLocale(const QLocale& locale)
{
    NumberFormat fmt;
    fmt.decimalPoint = locale.decimalPoint().toStdString();
    fmt.minusSign = locale.negativeSign().toStdString();
    fmt.groupSeparator = locale.groupSeparator().toStdString();
    return fmt;
}

}  // namespace kalibrix
