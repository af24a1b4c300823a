#include "run/paste_table.h"
#include "run/status_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <vector>

using namespace kalibrix;
using namespace std::string_literals;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kSwedish(QLocale::Swedish, QLocale::Sweden);  // minus U+2212, groups U+00A0

// The format error with its second line.
const std::string kFormatError =
    "Error occurred while trying to paste data from the clipboard. "
    "Please check the format of the copied table.\n";
std::string format(const std::string& where) { return kFormatError + where; }

// The format error for a cell that no way of writing numbers reads.
std::string notANumber(const std::string& cell, const std::string& place = "Line 3, cell 2")
{
    return format(place + ": \"" + cell + "\" is not a number.");
}

std::string repeat(const char* s, int n) { return QByteArray(s).repeated(n).toStdString(); }

const std::string kTwoRows = "1\t2\r\n2\t3\r\n";
const std::string kTooManyLines = "The table has more than 6000 lines; at most 6000 can be pasted.";
const std::string kTooLarge =
    "The copied text is larger than 32 MB; at most 6000 lines of 100 cells can be pasted.";

// The values of a table as "X:Y" or "X:Y:error", in X order, each as short as it reads back.
std::string valuesOf(const DataTable& t)
{
    std::string out;
    auto put = [&out](double v) {
        char buf[32];
        out.append(":").append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    };
    for (int x = 0; x <= kMaxX; ++x) {
        if (t.y[x]) {
            out += (out.empty() ? "" : " ") + std::to_string(x);
            put(*t.y[x]);
        }
        if (t.yErr[x])
            put(*t.yErr[x]);
    }
    return out;
}

TEST(PasteTable, AcceptedTexts)
{
    const std::string replaced = " replaced by a later line of the same X ";
    const std::string leftOut = " left out with Y \u2264 0 ";
    const std::string beyond = " with cells beyond the table's columns ";
    const struct {
        std::string text;
        const QLocale& locale;
        std::string values;
        int nData, nY, nCol;
        std::string notes;  // what the status line says besides the standards, if anything
    } cases[] = {
        {"1\t2\r\n2\t3\r3\t4", kEnglish, "1:2 2:3 3:4", 3, 3, 2, ""},
        // The minus sign U+2212 is a minus, no-break spaces around a number are ignored;
        // X = 0 is kept but is no standard.
        {"1\t\u22125\n2\t\u00a03\u00a0\n\u22120.4\t4\n", kEnglish, "0:4 1:-5 2:3", 2, 1, 2,
         "1 line rounded to a whole X (line 3: X \"\u22120.4\" taken as 0); 1 line" + leftOut +
             "(line 1: X 1); 1 line left out at X 0 (line 3)"},
        {"1\t\u22121,5\n2\t1\u00a0234,5\n3\t4\n", kSwedish, "1:-1.5 2:1234.5 3:4", 3, 2, 2,
         "1 line" + leftOut + "(line 1: X 1)"},
        {"1\t2\t0.1\n2\t3\n3\t4\t0.3\t9\n", kEnglish, "1:2:0.1 2:3 3:4:0.3", 3, 3, 3,
         "1 line" + beyond + "(line 3: cell 4 not used)"},
        {"1\t2\n2\t3\t0.5\n3\t4\n", kEnglish, "1:2 2:3 3:4", 3, 3, 2,
         "1 line" + beyond + "(line 2: cell 3 not used)"},
        // A later row of the same X replaces the earlier one; Y <= 0 is no standard.
        {"2\t1\t0.1\n4\t0\n5\t-1\n2\t3\n", kEnglish, "2:3 4:0 5:-1", 5, 1, 3,
         "1 line" + replaced + "(line 1 by line 4: X 2); 2 lines" + leftOut + "(line 2: X 4)"},
        {"12.5\t1\n13.5\t2\n27.6\t3\n", kEnglish, "12:1 14:2 28:3", 28, 3, 2,
         "3 lines rounded to a whole X (line 1: X \"12.5\" taken as 12)"},
        {"-0.5\t1\n30000.5\t2\n30000\t3\n", kEnglish, "0:1 30000:3", 30000, 1, 2,
         "2 lines rounded to a whole X (line 1: X \"-0.5\" taken as 0); 1 line" + replaced +
             "(line 2 by line 3: X 30000); 1 line left out at X 0 (line 1)"},
        {" +1 \t 1e3 \n2\t1,234.5\n3\t.5\n", kEnglish, "1:1000 2:1234.5 3:0.5", 3, 3, 2, ""},
        // One way for the whole text: "1,5" rules out the decimal point, "−1.5" the locale.
        {"1\t1,5\n2\t1.234,5\n3\t1.500\n", kGerman, "1:1.5 2:1234.5 3:1500", 3, 3, 2, ""},
        {"1\t\u22121.5\n2\t1.234\n3\t2e3\n", kGerman, "1:-1.5 2:1.234 3:2000", 3, 2, 2,
         "1 line" + leftOut + "(line 1: X 1)"},
        {repeat("1\t2\n", kMaxPasteLines), kEnglish, "1:2", 1, 1, 2,
         "5999 lines" + replaced + "(line 1 by line 2: X 1)"},
        {"5" + repeat("\t1", kMaxPasteCells - 1) + "\n6\t2\n7\t3\n", kEnglish, "5:1:1 6:2 7:3", 7,
         3, kMaxPasteCells, "1 line" + beyond + "(line 1: cell 4 not used)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const PasteResult r = parseTable(c.text, c.locale);
        ASSERT_TRUE(r.table.has_value()) << r.message->text;
        EXPECT_FALSE(r.message.has_value());
        ASSERT_EQ(r.table->analytes.size(), 1u);
        EXPECT_FALSE(r.table->named);
        const DataTable& t = r.table->analytes[0].table;
        EXPECT_EQ(valuesOf(t), c.values);
        EXPECT_EQ(t.nData, c.nData);
        EXPECT_EQ(t.nY, c.nY);
        EXPECT_EQ(t.nCol, c.nCol);
        EXPECT_EQ(pasteNotesText(*r.table), c.notes);
        EXPECT_EQ(r.table->notes.any(), !c.notes.empty());
    }
    // The status line: the standards' X, then the notes.
    const PasteResult r = parseTable("2\t1\n4\t0\n5\t-1\n2\t3\n", kEnglish);
    EXPECT_EQ(pastedText(*r.table), "Pasted 1 standard, X 2 to 2, from 4 lines; 1 line" + replaced +
                                        "(line 1 by line 4: X 2); 2 lines" + leftOut +
                                        "(line 2: X 4)");
}

TEST(PasteTable, RefusedTexts)
{
    const std::string sevens(39, '7');
    const std::string oneCell = " has only one cell; X and Y must be separated by a tab.";
    const struct {
        std::string text;
        const QLocale& locale;
        std::string message;
    } cases[] = {
        {"", kEnglish, "The Clipboard is empty."},
        {"1 2\n2\t3\n3\t4\n", kEnglish, format("Line 1" + oneCell)},
        {"1\t2\r\n", kEnglish, format("The table has 1 line; at least 3 are needed.")},
        {kTwoRows, kEnglish, format("The table has 2 lines; at least 3 are needed.")},
        {"1\t2\n \n2\t3\n3\t4\n", kEnglish, format("Line 2 is empty.")},
        {kTwoRows + "3\t4\n\r", kEnglish, format("Line 4 is empty.")},  // LF CR: two line ends
        {"1\t2\n2\t 3\t\n3\t4\n", kEnglish, format("Line 2, cell 3 is empty.")},
        {kTwoRows + "3\n", kEnglish, format("Line 3" + oneCell)},
        {"1\t2\n2\t3\tabc\n3\t4\n", kEnglish, notANumber("abc", "Line 2, cell 3")},
        {kTwoRows + "3\tnan\n", kEnglish, notANumber("nan")},
        {kTwoRows + "3\t1e999\n", kEnglish, notANumber("1e999")},
        {kTwoRows + "3\t+-4\n", kEnglish, notANumber("+-4")},
        {kTwoRows + "3\t\u2212-4\n", kGerman, notANumber("\u2212-4")},
        {kTwoRows + "3\t1,5\n", kEnglish, notANumber("1,5")},
        {kTwoRows + "3\t1\u00a0234\n", kEnglish, notANumber("1\u00a0234")},
        // A quoted cell is cut after 39 characters and shows U+FFFD for what is not text.
        {kTwoRows + "3\t4\0\x80\xff\u202e\n"s, kEnglish, notANumber("4\ufffd\ufffd\ufffd\ufffd")},
        {kTwoRows + "3\t" + sevens + "x\n", kEnglish, notANumber(sevens + "x")},
        {kTwoRows + "3\t" + sevens + "7x\n", kEnglish, notANumber(sevens + "\u2026")},
        // The first cell that neither way reads; one that only the way ruled out by an
        // earlier cell reads; a cell both read differently.
        {"1\t1,5\n2\tabc\n3\t4\n", kGerman, notANumber("abc", "Line 2, cell 2")},
        {"1\t1,5\n2\t3\n3\t2.5\n", kGerman,
         format("Line 3, cell 2: \"2.5\" does not fit the number format of line 1, cell 2 "
                "(\"1,5\").")},
        {"1\t2.5\n2\t3\n3\t1,5\n", kGerman,
         format("Line 3, cell 2: \"1,5\" does not fit the number format of line 1, cell 2 "
                "(\"2.5\").")},
        {"1\t2\n2\t3\n3\t12.345\t1.000\n", kGerman,
         format("Line 3, cell 2: \"12.345\" reads as 12.345 or as 12345; copy the numbers "
                "without thousands separators.")},
        {repeat("x\n", kMaxPasteLines + 1), kEnglish, kTooManyLines},  // before the cells
        {std::string(kMaxPasteBytes + 1, '\n'), kEnglish, kTooLarge},
        {"1\t2\n1" + repeat("\t1", kMaxPasteCells) + "\n3\t4\n", kEnglish,
         "Line 2 has 101 cells; at most 100 are allowed."},
        {kTwoRows + "30000,6\t4\n", kGerman, "Line 3: X = 30000.6 is outside 0 to 30000."},
        {"-1\t2\n2\t3\n3\t4\n", kEnglish, "Line 1: X = -1 is outside 0 to 30000."},
        {"30.001\t2\n2\t3\n3\t4,5\n", kGerman, "Line 1: X = 30001 is outside 0 to 30000."},
        {"1\t\n30001\t3\n3\t4\n", kEnglish, format("Line 1, cell 2 is empty.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const PasteResult r = parseTable(c.text, c.locale);
        EXPECT_FALSE(r.table.has_value());
        ASSERT_TRUE(r.message.has_value());
        EXPECT_EQ(*r.message, (UserMessage{c.message, MessageIcon::Exclamation, ""}));
    }
}  // namespace

TEST(PasteIntake, StopsJustPastTheLimits)
{
    // The most a paste takes: a names line and 6000 lines below it.
    const std::string lines = "X\tCu\r\n" + repeat("1\t2\r\n", kMaxPasteLines);
    const std::string tooManyNamed =
        "The table has more than 6000 lines below its names; at most 6000 can be pasted.";
    const std::string bytes(kMaxPasteBytes - 1, '1');  // at the limit with one more byte
    const std::string_view all = lines, cr = all.substr(0, lines.size() - 1);
    const struct {
        std::vector<std::string_view> pieces;
        std::size_t kept;     // bytes kept when over
        std::string message;  // parseTable's, when over
    } cases[] = {
        {{all}, 0, ""},
        {{cr.substr(0, cr.size() - 1)}, 0, ""},  // no line end after the last line
        {{cr, "\n"}, 0, ""},                     // the LF of a CR LF
        {{all, "xy"}, lines.size() + 1, tooManyNamed},
        {{cr, "\r\n"}, lines.size(), tooManyNamed},
        {{bytes, "234"}, kMaxPasteBytes + 1, kTooLarge},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kept);
        PasteIntake intake;
        std::string text;
        for (std::size_t i = 0; i < c.pieces.size() && !intake.over(); ++i) {
            text += c.pieces[i];
            const bool taking = intake.add(c.pieces[i]);
            EXPECT_EQ(taking, !intake.over());
        }
        EXPECT_EQ(intake.over(), !c.message.empty());
        EXPECT_EQ(intake.text(), intake.over() ? text.substr(0, c.kept) : text);
        if (intake.over()) {
            EXPECT_FALSE(intake.add("1"));
            EXPECT_EQ(parseTable(intake.text(), kEnglish).message->text, c.message);
        }
    }
}

}  // namespace
