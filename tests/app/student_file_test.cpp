#include "app/student_file.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

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
            const double exact = r <= 100 ? quantile(complement(boost::math::students_t(r), p))
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

// Record r holds the values 2000 - 10 r + c, written in one of four layouts.
std::string mixedLayoutText()
{
    std::string text = "df, \"t\", 0.1, 0.05\r\n";
    for (int r = 1; r <= kStudentRows; ++r) {
        const auto v = [r](int c) { return std::to_string(2000 - 10 * r + c); };
        const std::string label = std::to_string(r);
        switch (r % 4) {
        case 0:
            text += label + "," + v(1) + "," + v(2) + "," + v(3) + "," + v(4) + "," + v(5) + "," +
                    v(6) + "\n";
            break;
        case 1:
            text += (r == kStudentRows ? "inf" : label) + "\r\n " + v(1) + "\t" + v(2) + "\r\n" +
                    v(3) + " , +" + v(4) + "\r\n\r\n" + v(5) + " " + v(6) + "\r\n";
            break;
        case 2:
            text += (r % 8 == 2 ? "\"df, " + label + "\"" : label) + " " + v(1) + "\t" + v(2) +
                    "  " + v(3) + " " + v(4) + "\t" + v(5) + " " + v(6) + ", \n";
            break;
        default:
            text += "row " + label + " ,\t" + v(1) + ", " + v(2) + ", " + v(3) + ", " + v(4) +
                    ", " + v(5) + ", " + v(6) + "\n";
            break;
        }
    }
    return text + "999, abc, \"x\n";
}

std::string records(int count, const std::string& last = "")
{
    std::string text = "df, t 0.1, t 0.05, t 0.025, t 0.01, t 0.005, t 0.001\n";
    for (int r = 1; r <= count; ++r)
        text += std::to_string(r) + ", 1.5, 2.5, 3.5, 4.5, 5.5, 6.5\n";
    return text + last;
}

TEST(StudentTable, ParserReadsItemsInOrderWhateverTheLayout)
{
    const StudentLoad load = parseStudentText(mixedLayoutText());
    ASSERT_TRUE(load.table) << load.error;
    for (int r = 1; r <= kStudentRows; ++r)
        for (int c = 1; c <= kStudentColumns; ++c)
            ASSERT_EQ(load.table->value[c][r], 2000 - 10 * r + c) << "row " << r << ", col " << c;
    const StudentLoad equalRows = parseStudentText(records(kStudentRows));  // equal columns
    EXPECT_TRUE(equalRows.table) << equalRows.error;
}

TEST(StudentTable, UnusableTextIsReportedPrecisely)
{
    const struct {
        std::string text, error;
    } cases[] = {
        {"", "the file is empty"},
        {"header without line end", "only 0 of 101 records"},
        {records(100), "only 100 of 101 records"},
        {records(36, "37, 1"), "line 38: record 37 has 1 value, 6 expected"},
        {records(36, "37, 1, 1.5, 2, 2.5, 3\n38, 1, 2, 3, 4, 5, 6\n"),
         "line 38: record 37 has 5 values, 6 expected"},
        {records(99, "100, 1, 2, 3\r\n\r\ninf, 1, 2, 3, 4, 5, 6\n"),
         "line 101: record 100 has 3 values, 6 expected"},
        {records(9, "10 1 2 3 4 5 6 7\n"), "line 11: record 10 has 7 values, 6 expected"},
        {records(11, "12, 1, 2, abc, 4, 5, 6"),
         "line 13: record 12, value 3 is not a number (\"abc\")"},
        {records(0, "1\r\n1, 2\r\n\r\n3, x"), "line 5: record 1, value 4 is not a number (\"x\")"},
        {records(0, "1, 1e999"), "line 2: record 1, value 1 is not a finite number (\"1e999\")"},
        {records(0, "1, 0, 1, 2, 3, 4, 5"), "line 2: record 1, value 1 is not positive (\"0\")"},
        {records(2, "3, 1.5, 2.5, 3.5, 3.5, 5.5, 6.5"),
         "line 4: record 3, value 4 (\"3.5\") is not larger than value 3 (\"3.5\")"},
        {records(2, "3, 1.5, 2.5, 3.5, 4.5, 5.5, 6.6"),
         "line 4: record 3, value 6 (\"6.6\") is larger than in record 2 (\"6.5\")"},
    };
    for (const auto& c : cases) {
        const StudentLoad load = parseStudentText(c.text);
        EXPECT_FALSE(load.table) << c.text;
        EXPECT_EQ(load.error, "student.dat: " + c.error) << c.text;
    }
}

TEST(StudentTable, UnreadableFileIsRefusedWithItsPathAndReason)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kalibrix_st_" + std::to_string(getpid()));
    const fs::path file = dir / kStudentFileName;
    std::ifstream in(fs::path(KALIBRIX_SOURCE_DIR) / "data" / kStudentFileName, std::ios::binary);
    const std::string shipped{std::istreambuf_iterator<char>(in), {}};
    const auto padded = [&](std::size_t size) {
        std::ofstream(file, std::ios::binary) << shipped << std::string(size - shipped.size(), ' ');
    };
    const struct {
        std::function<void()> make;
        std::string reason;
    } cases[] = {
        {[] {}, "file not found"},
        {[&] { fs::create_directory(file); }, "it is a folder"},
        {[&] { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }, "it is not a regular file"},
        {[&] { fs::create_symlink("/dev/zero", file); }, "it is not a regular file"},
        {[&] { padded(kStudentMaxBytes); }, ""},
        {[&] { padded(kStudentMaxBytes + 1); }, "it is larger than 1 MiB"},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        c.make();
        const StudentLoad load = Load_Student(dir);
        if (c.reason.empty())
            EXPECT_TRUE(load.table) << load.error;
        else
            EXPECT_EQ(load.error,
                      "student.dat: cannot be read from " + file.string() + " (" + c.reason + ")");
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kalibrix
