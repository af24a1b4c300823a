#include "run/rounding.h"

#include <charconv>
#include <cmath>

namespace kalibrix {

namespace {

constexpr int kSignificant = 4;
constexpr double kSmallestFixed = 0.001;
constexpr double kFixedBelow = 9999999.5;  // rounds to at most seven integer digits

// The decimals of the first design: above 1000 none, above 100 one, above 10 two, above 1
// three, above 0.1 four, otherwise five.
int designedDecimals(double a)
{
    if (a > 1000)
        return 0;
    if (a > 100)
        return 1;
    if (a > 10)
        return 2;
    if (a > 1)
        return 3;
    if (a > 0.1)
        return 4;
    return 5;
}

}  // namespace

std::string Rounding(const std::optional<double>& value, const NumberFormat& fmt)
{
    if (!value)
        return {};
    const double a = std::abs(*value);
    if (a == 0 || (a >= 0.01 && a < kFixedBelow))
        return fmt.fixed(*value, designedDecimals(a));
    if (a >= kSmallestFixed && a < 0.01)
        return fmt.fixed(*value, 6);
    return fmt.scientific(*value, kSignificant - 1);
}

double shownValue(double value)
{
    const std::string text = Rounding(value, NumberFormat{});
    double shown = value;
    std::from_chars(text.data(), text.data() + text.size(), shown);
    return shown;
}

std::string fixedRounding(const std::optional<double>& value, const NumberFormat& fmt)
{
    return value ? fmt.fixed(*value, designedDecimals(std::abs(*value))) : std::string();
}

}  // namespace kalibrix
