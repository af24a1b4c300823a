// libFuzzer target: a session file (.kalibrix) read from arbitrary bytes.
//
// Any bytes are either refused with a message of one line that says something, or accepted;
// an accepted session is applied to the started state, run as the window runs it (with the
// picture and the leave-one-out errors) and saved again, and those bytes must read back to a
// session that saves to the very same bytes. A violated check aborts, which libFuzzer
// reports as a finding.

#include "startup/student_file.h"
#include "fuzz_support.h"
#include "run/driver.h"
#include "run/session.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace {

using namespace kalibrix;

State* gBase = nullptr;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_session_file: check failed: %s\n", what);
        std::abort();
    }
}

// The state the bytes' session is applied to; nullptr when they are refused.
std::optional<State> opened(std::string_view bytes)
{
    std::variant<SessionContents, std::string> read = readSessionText(bytes);
    if (const std::string* message = std::get_if<std::string>(&read)) {
        check(!message->empty(), "a refusal says something");
        check(message->find('\n') == std::string::npos, "a refusal is one line");
        return std::nullopt;
    }
    State state = *gBase;
    applySession(state, std::move(std::get<SessionContents>(read)));
    check(state.selected < state.analytes.size(), "the analyte shown is one of the table");
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gBase = new State;
    gBase->student = kalibrix::fuzz::shippedStudentTable("fuzz_session_file");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::optional<State> state = opened({reinterpret_cast<const char*>(data), size});
    if (!state)
        return 0;
    const NumberFormat fmt;
    check(plotAndCalculate(*state, fmt, Drawing::Build, LeaveOneOutErrors::Compute).ran,
          "the run took place");
    const std::string saved = sessionText(*state);
    std::optional<State> again = opened(saved);
    check(again.has_value(), "a saved session reads back");
    check(sessionText(*again) == saved, "saved again, the same bytes");
    return 0;
}
