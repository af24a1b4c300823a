#include "regwin/rounding.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace kalibrix;

// The window's captions: decimals by magnitude, to about four significant digits.
TEST(Rounding, DecimalsByMagnitude)
{
    const NumberFormat fmt;
    const struct {
        double value;
        const char* text;
    } cases[] = {{1234.567, "1235"},
                 {1000, "1000.0"},
                 {941.0690, "941.1"},
                 {-19.62695, "-19.63"},
                 {4.38274, "4.383"},
                 {0.5, "0.5000"},
                 {0.1, "0.10000"},
                 {0.0123456, "0.01235"},
                 {0, "0.00000"},
                 {100, "100.00"},
                 {10, "10.000"},
                 {1, "1.0000"},
                 {123456789012.0, "123456789012"},
                 {0.000004, "0.00000"},
                 {-0.000004, "0.00000"}};
    for (const auto& c : cases)
        EXPECT_EQ(Rounding(c.value, fmt), c.text) << c.value;
    EXPECT_EQ(Rounding(std::nullopt, fmt), "");
}

// The export's and the listing's numbers: 15 significant digits, the locale's decimal point,
// never grouped.
TEST(NumberFormat, GeneralConversion)
{
    const NumberFormat fmt;
    const struct {
        double value;
        const char* text;
    } cases[] = {{1156.56612345678901, "1156.56612345679"},
                 {1.23456789012345678e-05, "1.23456789012346E-05"},
                 {1e16, "1E+16"},
                 {27, "27"},
                 {-0.0001, "-0.0001"}};
    for (const auto& c : cases)
        EXPECT_EQ(fmt.general(c.value), c.text) << c.value;
    EXPECT_EQ(fmt.general(std::optional<double>()), "");
    const NumberFormat de = NumberFormat::fromLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.general(1234.5) + " " + Rounding(0.5, de), "1234,5 0,5000");
}
