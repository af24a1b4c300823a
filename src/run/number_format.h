#pragma once

#include <optional>
#include <string>

class QLocale;

namespace kalibrix {

// Turns numbers into the texts the window, the parameter listing and the export show.
// Digits come from the standard library's shortest/precise conversions; the separators
// come from the user's locale, fetched once when the formatter is made.
struct NumberFormat {
    std::string decimalPoint = ".";
    std::string minusSign = "-";
    std::string groupSeparator = ",";

    // General conversion: up to 15 significant digits, no grouping, exponent form such
    // as 1.23456789012346E-05 for very small or large magnitudes, integers without decimals.
    std::string general(double v) const;
    // The same text appended to `out` (no string of its own: the export writes millions).
    void appendGeneral(std::string& out, double v) const;
    // The same, empty for no result.
    std::string general(const std::optional<double>& v) const;
    // Fixed point with exactly `decimals` decimals, no grouping ("0.00" is fixed(v, 2)).
    // A value that rounds to zero is written without a minus sign.
    std::string fixed(double v, int decimals) const;
    // Exponent form with one digit before the decimal point and exactly `decimals` after it,
    // the exponent signed and of at least two digits: 2.565E+10, -4.000E-06.
    std::string scientific(double v, int decimals) const;

    // The separators of `locale`, as the window shows them.
    static NumberFormat fromLocale(const QLocale& locale);
    // The separators of `locale` for text that spreadsheets and scripts read (the export,
    // kalibrix-cli): the locale's decimal point, but the ASCII minus and no direction marks.
    static NumberFormat forExport(const QLocale& locale);
    // This format with the ASCII minus and its separators stripped of direction marks.
    NumberFormat forExport() const;
};

}  // namespace kalibrix
