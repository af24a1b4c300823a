// libFuzzer target: arbitrary bytes as the text of student.dat.
//
// Beyond "no crash": a table is returned only with all 606 quantiles finite and no
// error; otherwise the error names the file ("student.dat: ...").

#include "app/student_table.h"

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
        for (int c = 1; c <= kStudentColumns; ++c)
            for (int r = 1; r <= kStudentRows; ++r)
                check(std::isfinite(load.table->value[c][r]), "every quantile is finite");
    } else {
        check(load.error.starts_with("student.dat: "), "the error names student.dat");
        check(load.error.size() > 13, "the error says what is wrong");
    }
    return 0;
}
