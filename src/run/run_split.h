#pragma once

#include "model/analyte.h"
#include "model/run_table.h"
#include "model/user_message.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalibrix {

struct PasteNotes;

// The distinct IDs of a run, the most frequent first (of equally frequent ones, the first
// seen first). Empty IDs are not listed.
std::vector<std::string> idsByFrequency(const RunTable& run);

// Whether `id` matches `pattern`: '*' stands for any run of characters, '?' for one, every
// other character for itself; the whole ID must match.
bool idMatches(std::string_view pattern, std::string_view id);

// The standard's pattern a run uses: `pattern`, or the most frequent ID when it is empty.
std::string standardPatternOf(const RunTable& run, std::string_view pattern);

// The analytes of a run whose standards are the lines matching `pattern` (the most frequent
// ID when empty): each analyte's table takes the matching lines where it has a value, as a
// named table without IDs takes its lines. Nothing rejected, nothing computed. No value when
// no line matches: then `message` names the pattern (and when the lines say otherwise what
// the overload below refuses).
struct RunSplit {
    std::optional<std::vector<Analyte>> analytes;
    std::optional<UserMessage> message;
};
RunSplit standardsOf(const RunTable& run, std::string_view pattern);

// The same, counting in `notes` what the standards' tables took otherwise than written
// (values replaced by a later line of the same X, left out with Y <= 0, errors without a Y).
// Also no value, with `message` naming the line and its ID cell, when a sample line (one
// that does not match) has no value of any analyte, or when no standard line has a value.
RunSplit standardsOf(const RunTable& run, std::string_view pattern, PasteNotes& notes);

}  // namespace kalibrix
