#include "regwin/paste_table.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace kalibrix;
using namespace std::string_literals;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kSwedish(QLocale::Swedish, QLocale::Sweden);  // minus U+2212, groups U+00A0

const std::string kFormat =
    "Error occurred while trying paste data from the clipboard. "
    "Please check the format of the copied table.";

std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

const std::string kTwoRows = "1\t2\r\n2\t3\r\n";

struct Cell {
    int x;
    double y;
    std::optional<double> err = std::nullopt;
};

struct Accepted {
    std::string text;
    const QLocale& locale;
    std::vector<Cell> cells;  // later cells of the same X win
    int nData, nY, nCol;
};

TEST(PasteTable, AcceptedTexts)
{
    const Accepted cases[] = {
        {"1\t2\r\n2\t3\r\n3\t4\r\n", kEnglish, {{1, 2}, {2, 3}, {3, 4}}, 3, 3, 2},
        {"1\t2\n2\t3\n3\t4", kEnglish, {{1, 2}, {2, 3}, {3, 4}}, 3, 3, 2},
        {"1\t2\r2\t3\r3\t4\r", kEnglish, {{1, 2}, {2, 3}, {3, 4}}, 3, 3, 2},
        {"1\t2\r\n2\t3\n3\t4\r", kEnglish, {{1, 2}, {2, 3}, {3, 4}}, 3, 3, 2},
        // The minus sign U+2212 (spreadsheets and Qt write it in some locales) is read as a
        // minus in every locale, and no-break spaces around a number are ignored: the value
        // stored is the value the cell shows. A no-break space inside a number is digit
        // grouping only where it is the locale's group separator (refused below).
        {"1\t\u22125\n2\t\u00a03\u00a0\n\u22120.4\t4\n", kEnglish, {{1, -5}, {2, 3}, {0, 4}},
         2, 2, 2},
        {"1\t\u22121,5\n2\t1\u00a0234,5\n3\t4\n", kSwedish, {{1, -1.5}, {2, 1234.5}, {3, 4}},
         3, 2, 2},
        {"1\t2\t0.1\n2\t3\n3\t4\t0.3\t9\n", kEnglish, {{1, 2, 0.1}, {2, 3}, {3, 4, 0.3}}, 3, 3, 3},
        {"1\t2\n2\t3\t0.5\n3\t4\n", kEnglish, {{1, 2}, {2, 3}, {3, 4}}, 3, 3, 2},
        {"2\t1\t0.1\n2\t3\n5\t4\t0.4\n", kEnglish, {{2, 3}, {5, 4, 0.4}}, 5, 3, 3},
        {"3\t5\n4\t0\n5\t-1\n3\t7\n", kEnglish, {{3, 7}, {4, 0}, {5, -1}}, 5, 2, 2},
        {"12.5\t1\n13.5\t2\n27.6\t3\n", kEnglish, {{12, 1}, {14, 2}, {28, 3}}, 28, 3, 2},
        {"-0.5\t1\n30000.5\t2\n30000\t3\n", kEnglish, {{0, 1}, {30000, 3}}, 30000, 3, 2},
        {" +1 \t 1e3 \n2\t1,234.5\n3\t.5\n", kEnglish, {{1, 1000}, {2, 1234.5}, {3, 0.5}}, 3, 3, 2},
        {"1\t1,5\n2\t1.234,5\n3\t1.500\n", kGerman, {{1, 1.5}, {2, 1234.5}, {3, 1.5}}, 3, 3, 2},
        {repeat("1\t2\n", kMaxPasteLines), kEnglish, {{1, 2}}, 1, kMaxPasteLines, 2},
        {"5" + repeat("\t1", kMaxPasteCells - 1) + "\n6\t2\n7\t3\n", kEnglish,
         {{5, 1, 1}, {6, 2}, {7, 3}}, 7, 3, kMaxPasteCells},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const PasteResult r = Paste_Table(c.text, c.locale);
        ASSERT_TRUE(r.table.has_value()) << r.message->text;
        EXPECT_FALSE(r.message.has_value());
        DataTable want;
        for (const Cell& cell : c.cells) {
            want.y[cell.x] = cell.y;
            want.yErr[cell.x] = cell.err;
        }
        for (int x = 0; x <= kMaxX; ++x) {
            ASSERT_EQ(r.table->y[x], want.y[x]) << "y at X = " << x;
            ASSERT_EQ(r.table->yErr[x], want.yErr[x]) << "error at X = " << x;
        }
        EXPECT_EQ(r.table->nData, c.nData);
        EXPECT_EQ(r.table->nY, c.nY);
        EXPECT_EQ(r.table->nCol, c.nCol);
    }
}

struct Refused {
    std::string text;
    const QLocale& locale;
    std::string message;
};

TEST(PasteTable, RefusedTexts)
{
    const Refused cases[] = {
        {"", kEnglish, "The Clipboard is empty."},
        {"1 2\n2\t3\n3\t4\n", kEnglish, kFormat},         // no tab in the first line
        {"1\t2\r\n", kEnglish, kFormat},                  // one line
        {kTwoRows, kEnglish, kFormat},                    // two lines
        {"X\tY\n" + kTwoRows + "3\t4\n", kEnglish, kFormat},
        {"1\t2\n\n2\t3\n3\t4\n", kEnglish, kFormat},      // empty line in the middle
        {kTwoRows + "3\t4\r\n\r\n", kEnglish, kFormat},   // two line ends at the end
        {kTwoRows + "3\t4\n\r", kEnglish, kFormat},       // LF then CR: two line ends
        {kTwoRows + "3\t4\n\n\n", kEnglish, kFormat},     // two empty lines at the end
        {"1\t2\n2\t\n3\t4\n", kEnglish, kFormat},         // empty cell
        {"1\t2\n2\t 3\t\n3\t4\n", kEnglish, kFormat},     // line ending in a tab
        {kTwoRows + "3\n", kEnglish, kFormat},            // one cell
        {"1\t2\n2\t3\tabc\n3\t4\n", kEnglish, kFormat},   // unused extra cell still checked
        {kTwoRows + "3\tnan\n", kEnglish, kFormat},
        {kTwoRows + "3\t-inf\n", kEnglish, kFormat},
        {kTwoRows + "3\tinf\n", kEnglish, kFormat},
        {kTwoRows + "3\t\u00a0nan\n", kEnglish, kFormat},  // no-break space: locale path
        {kTwoRows + "3\t1e999\n", kEnglish, kFormat},
        {kTwoRows + "3\t+-4\n", kEnglish, kFormat},
        {kTwoRows + "3\t1,5\n", kEnglish, kFormat},       // Qt checks the digit grouping
        {kTwoRows + "3\t4\0\n"s, kEnglish, kFormat},
        {kTwoRows + "3\t\x80\xff\n", kEnglish, kFormat},  // not UTF-8
        {kTwoRows + "3\t1\u00a0234\n", kEnglish, kFormat},  // no-break space, "," groups
        {repeat("1\t2\n", kMaxPasteLines + 1), kEnglish,
         "The table has 6001 lines; at most 6000 can be pasted."},
        {repeat("x\n", kMaxPasteLines + 1), kEnglish,     // line count before the cells
         "The table has 6001 lines; at most 6000 can be pasted."},
        {"1\t2\n1" + repeat("\t1", kMaxPasteCells) + "\n3\t4\n", kEnglish,
         "Line 2 has 101 cells; at most 100 are allowed."},
        {kTwoRows + "30001\t4\n", kEnglish, "Line 3: X = 30001 is outside 0 to 30000."},
        {kTwoRows + "30000,6\t4\n", kGerman, "Line 3: X = 30000.6 is outside 0 to 30000."},
        {"-1\t2\n2\t3\n3\t4\n", kEnglish, "Line 1: X = -1 is outside 0 to 30000."},
        {"1\t\n30001\t3\n3\t4\n", kEnglish, kFormat},     // first problem in text order
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const PasteResult r = Paste_Table(c.text, c.locale);
        EXPECT_FALSE(r.table.has_value());
        ASSERT_TRUE(r.message.has_value());
        EXPECT_EQ(*r.message, (UserMessage{c.message, MessageIcon::Exclamation, ""}));
    }
}

TEST(PasteTable, HugeOrBinaryTextIsRefusedQuickly)
{
    constexpr int kTenMB = 10 << 20;
    std::string binary(kTenMB, '\0');
    unsigned state = 12345;
    for (char& c : binary)
        c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
    const struct { std::string text, message; } cases[] = {
        {std::string(kTenMB, '\n'), "The table has 10485760 lines; at most 6000 can be pasted."},
        {"1\t" + std::string(kTenMB, '7') + "\n2\t3\n3\t4\n", kFormat},   // overflows
        {"1\t" + repeat("1,", kTenMB / 2) + "\n2\t3\n3\t4\n", kFormat},  // left to the locale
        {"1" + std::string(kTenMB, '\t') + "\n2\t3\n3\t4\n",
         "Line 1 has 10485761 cells; at most 100 are allowed."},
        {binary, "The table has 82258 lines; at most 6000 can be pasted."},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& c : cases) {
        const PasteResult r = Paste_Table(c.text, kGerman);
        EXPECT_FALSE(r.table.has_value());
        ASSERT_TRUE(r.message.has_value());
        EXPECT_EQ(r.message->text, c.message);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
