#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kalibrix {

inline constexpr int kStudentColumns = 6;   // upper-tail probabilities, see kUpperTailProbability
inline constexpr int kStudentRows = 101;    // df 1..100; row 101 = large-sample (normal) limit
inline constexpr std::array<double, kStudentColumns + 1> kUpperTailProbability{
    0.0, 0.1, 0.05, 0.025, 0.01, 0.005, 0.001};
inline constexpr const char* kStudentFileName = "student.dat";
inline constexpr std::size_t kStudentMaxBytes = 1 << 20;  // the shipped file has about 7 KB

// One-sided Student t quantiles: value[column][row], column 1..6, row 1..101 (index 0 unused).
struct StudentTable {
    std::array<std::array<double, kStudentRows + 1>, kStudentColumns + 1> value{};

    // Returns t for the level column probCol (1..6) and nOK fitted points (at least 3):
    // row nOK - 2, or row 101 beyond 102 points.
    double lookup(int probCol, int nOK) const;
};

// Either the table or the reason it could not be read ("student.dat: ...").
struct StudentLoad {
    std::optional<StudentTable> table;
    std::string error;
};

// Parses the text of student.dat: a header line, then 101 records, one per line, of seven
// free-format items (a row label, then the six t values). A record may go on over the
// following lines while it is incomplete and the next line does not begin the next record.
// The values must form a one-sided t table: positive, increasing along each record, not
// increasing from one record to the next.
StudentLoad parseStudentText(std::string_view text);

// Reads appPath / student.dat: a regular file of at most kStudentMaxBytes.
StudentLoad Load_Student(const std::filesystem::path& appPath);

}  // namespace kalibrix
