// libFuzzer target: arbitrary bytes as the text of student.dat.
//
// Beyond "no crash": a table is returned only with no error and all 606 quantiles finite,
// positive, increasing along each row and not increasing down each column; otherwise the
// error names the file ("student.dat: ...").

#include "startup/student_file.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_student: check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kalibrix;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const StudentLoad load = parseStudentText(text);
    if (load.table) {
        check(load.error.empty(), "a loaded table comes without an error");
        const auto& t = load.table->value;
        for (int c = 1; c <= kStudentColumns; ++c)
            for (int r = 1; r <= kStudentRows; ++r) {
                check(std::isfinite(t[c][r]) && t[c][r] > 0, "every quantile is finite and > 0");
                check(c == 1 || t[c][r] > t[c - 1][r], "rows increase");
                check(r == 1 || t[c][r] <= t[c][r - 1], "columns do not increase");
            }
    } else {
        check(load.error.starts_with("student.dat: "), "the error names student.dat");
        check(load.error.size() > 13, "the error says what is wrong");
    }
    return 0;
}
