#include "app/student_table.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kalibrix {
namespace {

// The printed items of the shipped file after the header, one vector per line.
std::vector<std::vector<std::string>> printedItems()
{
    std::ifstream in(std::filesystem::path(KALIBRIX_SOURCE_DIR) / "data" / kStudentFileName);
    std::vector<std::vector<std::string>> rows;
    std::string line, item;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        rows.emplace_back();
        while (std::getline(fields >> std::ws, item, ','))
            rows.back().push_back(item);
    }
    return rows;
}

TEST(StudentTable, ShippedFileMatchesTheDistributionsAtItsPrintedPrecision)
{
    const StudentLoad load = Load_Student(KALIBRIX_BIN_DIR);
    ASSERT_TRUE(load.table) << load.error;
    const auto printed = printedItems();
    ASSERT_EQ(printed.size(), std::size_t(kStudentRows));
    for (int r = 1; r <= kStudentRows; ++r) {
        ASSERT_EQ(printed[r - 1].size(), std::size_t(kStudentColumns + 1)) << "row " << r;
        for (int c = 1; c <= kStudentColumns; ++c) {
            const double p = kUpperTailProbability[c];
            const double exact = r <= 100
                ? quantile(complement(boost::math::students_t(r), p))
                : quantile(complement(boost::math::normal(), p));
            const std::string& text = printed[r - 1][c];
            ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
            const auto point = text.find('.');
            const int decimals = point == std::string::npos ? 0 : int(text.size() - point - 1);
            const double halfUnit = 0.5 * std::pow(10.0, -decimals);
            EXPECT_NEAR(load.table->value[c][r], exact, halfUnit * (1 + 1e-9))
                << "row " << r << ", column " << c << " printed " << text;
        }
    }
    EXPECT_EQ(printed[2][3], "3.18245");
}

TEST(StudentTable, LookupRowFollowsPointCount)
{
    StudentTable t;
    for (int r = 1; r <= kStudentRows; ++r)
        t.value[2][r] = r;
    EXPECT_EQ(t.lookup(2, 3), 1);
    EXPECT_EQ(t.lookup(2, 102), 100);
    EXPECT_EQ(t.lookup(2, 103), 101);
    EXPECT_EQ(t.lookup(2, 5000), 101);
}

// Record r holds the values 10 r + c, written in one of four layouts.
std::string mixedLayoutText()
{
    std::string text = "df, \"t\", 0.1, 0.05\r\n";
    for (int r = 1; r <= kStudentRows; ++r) {
        const auto v = [r](int c) { return std::to_string(10 * r + c); };
        switch (r % 4) {
        case 0: text += std::to_string(r) + "," + v(1) + "," + v(2) + "," + v(3) + "," + v(4)
                        + "," + v(5) + "," + v(6) + "\n"; break;
        case 1: text += (r == kStudentRows ? "inf" : std::to_string(r)) + "\r\n " + v(1) + "\t"
                        + v(2) + "\r\n" + v(3) + " , +" + v(4) + "\r\n\r\n" + v(5) + " " + v(6)
                        + "\r\n"; break;
        case 2: text += "\"df, " + std::to_string(r) + "\" " + v(1) + " " + v(2) + " " + v(3)
                        + " " + v(4) + " " + v(5) + " " + v(6) + ", "; break;
        default: text += "row " + std::to_string(r) + " ,\t" + v(1) + ", " + v(2) + ", " + v(3)
                        + ", " + v(4) + ", " + v(5) + ", " + v(6) + "\n"; break;
        }
    }
    return text + "999, abc, \"x\n";
}

TEST(StudentTable, ParserReadsItemsInOrderWhateverTheLayout)
{
    const StudentLoad load = parseStudentText(mixedLayoutText());
    ASSERT_TRUE(load.table) << load.error;
    for (int r = 1; r <= kStudentRows; ++r)
        for (int c = 1; c <= kStudentColumns; ++c)
            ASSERT_EQ(load.table->value[c][r], 10 * r + c) << "row " << r << ", column " << c;
}

std::string records(int count, const std::string& last = "")
{
    std::string text = "df, t 0.1, t 0.05, t 0.025, t 0.01, t 0.005, t 0.001\n";
    for (int r = 1; r <= count; ++r)
        text += std::to_string(r) + ", 1.5, 2.5, 3.5, 4.5, 5.5, 6.5\n";
    return text + last;
}

TEST(StudentTable, UnusableTextIsReportedPrecisely)
{
    const struct { std::string text, error; } cases[] = {
        {"", "student.dat: the file is empty"},
        {records(0), "student.dat: only 0 of 101 records"},
        {"header without line end", "student.dat: only 0 of 101 records"},
        {records(100), "student.dat: only 100 of 101 records"},
        {records(100, "inf, 1, 2, 3\n"), "student.dat: record 101 has 3 values, 6 expected"},
        {records(36, "37, 1"), "student.dat: record 37 has 1 value, 6 expected"},
        {records(11, "12, 1, 2, abc, 4, 5, 6"),
         "student.dat: record 12, value 3 is not a number (\"abc\")"},
        {records(0, "1, 1, 2,3,4, 5;6, 7"), "student.dat: record 1, value 5 is not a number (\"5;6\")"},
        {records(4, "5 1 2 3 4 5 6"), "student.dat: record 5 has 0 values, 6 expected"},
        {records(0, "1, 1e999"), "student.dat: record 1, value 1 is not a finite number (\"1e999\")"},
    };
    for (const auto& c : cases) {
        const StudentLoad load = parseStudentText(c.text);
        EXPECT_FALSE(load.table) << c.text;
        EXPECT_EQ(load.error, c.error) << c.text;
    }
}

TEST(StudentTable, MissingFileNamesItsPath)
{
    const auto dir = std::filesystem::temp_directory_path() / "kalibrix_no_student_dat";
    std::filesystem::create_directories(dir);
    const StudentLoad load = Load_Student(dir);
    std::filesystem::remove(dir);
    EXPECT_FALSE(load.table);
    EXPECT_EQ(load.error, "student.dat: cannot be read from "
                              + (dir / kStudentFileName).string() + " (file not found)");
}

}  // namespace
}  // namespace kalibrix
