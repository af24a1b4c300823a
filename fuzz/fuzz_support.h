#pragma once

#include "startup/student_file.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace kalibrix::fuzz {

// The shipped t table (KALIBRIX_STUDENT_DAT_FILE), read once when a target starts; a target
// that cannot read it stops, naming itself.
inline StudentTable shippedStudentTable(const char* target)
{
    std::ifstream in(KALIBRIX_STUDENT_DAT_FILE, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    StudentLoad load = parseStudentText(text);
    if (!load.table) {
        std::fprintf(stderr, "%s: %s (%s)\n", target, load.error.c_str(),
                     KALIBRIX_STUDENT_DAT_FILE);
        std::abort();
    }
    return *load.table;
}

}  // namespace kalibrix::fuzz
