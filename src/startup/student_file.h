#pragma once

#include "model/student_table.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kalibrix {

inline constexpr const char* kStudentFileName = "student.dat";
inline constexpr std::size_t kStudentMaxBytes = 1 << 20;  // the shipped file has about 7 KB

// Parses the text of student.dat: a header line, then 101 records, one per line, of seven
// free-format items (a row label, then the six t values). A record may go on over the
// following lines while it is incomplete and the next line does not begin the next record.
// The values must form a one-sided t table: positive, increasing along each record, not
// increasing from one record to the next.
StudentLoad parseStudentText(std::string_view text);

// Reads appPath / student.dat: a regular file of at most kStudentMaxBytes.
StudentLoad loadStudentTable(const std::filesystem::path& appPath);

}  // namespace kalibrix
