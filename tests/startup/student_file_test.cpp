#include "startup/app_path.h"
#include "startup/startup.h"
#include "startup/student_file.h"

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

// Each quantile of the shipped file within half a unit of its last printed digit.
TEST(StudentTable, ShippedFileMatchesTheDistributionsAtItsPrintedPrecision)
{
    const StudentLoad load = loadStudentTable(KALIBRIX_BIN_DIR);
    ASSERT_TRUE(load.table) << load.error;
    std::ifstream in(std::filesystem::path(KALIBRIX_SOURCE_DIR) / "data" / kStudentFileName);
    std::string line, text;
    std::getline(in, line);  // the header
    int r = 0;
    while (std::getline(in, line)) {
        std::istringstream items(line);
        std::getline(items, text, ',');  // the label
        int c = 0;
        for (++r; std::getline(items >> std::ws, text, ',');) {
            ASSERT_TRUE(++c <= kStudentColumns && r <= kStudentRows) << "row " << r;
            const double p = kUpperTailProbability[c];
            const double exact = r <= 100 ? quantile(complement(boost::math::students_t(r), p))
                                          : quantile(complement(boost::math::normal(), p));
            ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
            const auto point = text.find('.');
            const int decimals = point == std::string::npos ? 0 : int(text.size() - point - 1);
            EXPECT_NEAR(load.table->value[c][r], exact,
                        0.5 * std::pow(10.0, -decimals) * (1 + 1e-9))
                << "row " << r << ", column " << c << " printed " << text;
        }
        EXPECT_EQ(c, kStudentColumns) << "row " << r;
    }
    EXPECT_EQ(r, kStudentRows);
}

// The band of n points uses row n - 2, and row 101 beyond 100 degrees of freedom.
TEST(StudentTable, LookupRowFollowsPointCount)
{
    StudentTable t;
    for (int r = 1; r <= kStudentRows; ++r)
        t.value[2][r] = r;
    EXPECT_EQ(std::vector({t.lookup(2, 3), t.lookup(2, 102), t.lookup(2, 103), t.lookup(2, 5000)}),
              std::vector<double>({1, 100, 101, 101}));
}

// Record r holds the values 2000 - 10 r + c, written in one of four layouts, its label
// sometimes text.
std::string mixedLayoutText()
{
    const char* const after[4][7] = {{",", ",", ",", ",", ",", ",", "\n"},
                                     {"\r\n ", "\t", "\r\n", " , +", "\r\n\r\n", " ", "\r\n"},
                                     {" ", "\t", "  ", " ", "\t", " ", ", \n"},
                                     {" ,\t", ", ", ", ", ", ", ", ", ", ", "\n"}};
    std::string text = "df, \"t\", 0.1, 0.05\r\n";
    for (int r = 1; r <= kStudentRows; ++r) {
        const std::string n = std::to_string(r);
        text += r == kStudentRows ? "inf"
                : r % 8 == 2      ? "\"df, " + n + "\""
                : r % 4 == 3      ? "row " + n
                                  : n;
        for (int c = 0; c <= 6; ++c)
            text += after[r % 4][c] + (c < 6 ? std::to_string(2000 - 10 * r + c + 1) : "");
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

// student.dat beside the executable first, then in the data folder of an installation; a
// file that cannot be read is refused with its path and the reason.
TEST(StudentTable, FoundBesideTheExecutableOrInstalledAndReadOrRefused)
{
    namespace fs = std::filesystem;
    const fs::path prefix = fs::temp_directory_path() / ("kalibrix_st_" + std::to_string(getpid()));
    const fs::path bin = prefix / "bin", share = prefix / "share" / "kalibrix";
    const fs::path file = bin / kStudentFileName;
    fs::remove_all(prefix);
    fs::create_directories(bin);
    EXPECT_EQ(studentFolder(bin), bin);  // found nowhere: the error names bin
    EXPECT_TRUE(Main(bin).error.starts_with("student.dat: cannot be read from " + file.string()));
    fs::create_directories(share);
    fs::copy_file(fs::path(KALIBRIX_BIN_DIR) / kStudentFileName, share / kStudentFileName);
    EXPECT_EQ(studentFolder(bin), share);
    EXPECT_TRUE(Main(bin).state);
    std::ofstream(file) << "header\n";  // beside wins, even when broken
    EXPECT_EQ(studentFolder(bin), bin);
    EXPECT_FALSE(Main(bin).state);

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
        fs::remove_all(bin);
        fs::create_directories(bin);
        c.make();
        const StudentLoad load = loadStudentTable(bin);
        if (c.reason.empty())
            EXPECT_TRUE(load.table) << load.error;
        else
            EXPECT_EQ(load.error,
                      "student.dat: cannot be read from " + file.string() + " (" + c.reason + ")");
    }
    fs::remove_all(prefix);
}

}  // namespace
}  // namespace kalibrix
