#pragma once

#include "model/analyte.h"
#include "model/settings.h"
#include "run/state.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kalibrix {

// The format a session file (.kalibrix) declares, and the newest version of it this program
// reads and writes.
inline constexpr const char* kSessionFormat = "KALIBRIX session";
inline constexpr int kSessionFormatVersion = 1;

// Most bytes a session may have: its table's text (at most kMaxPasteBytes) escaped in JSON
// and every analyte's rejections, one per line, fit well within this.
inline constexpr std::size_t kMaxSessionBytes = 64'000'000;
// Most values (texts, numbers, truth values, lists and objects, keys included) a session may
// hold, and most lists and objects among them: a session with every standard of the largest
// named table rejected holds about 600 000 values and 110 lists and objects. Within these
// limits reading a session takes a few times its size in memory.
inline constexpr std::size_t kMaxSessionValues = 1'000'000;
inline constexpr std::size_t kMaxSessionContainers = 1'000;

// The confidence levels by their per cent, "80" .. "99.8", at their position in levelItems():
// the names of kalibrix-cli's --level and a session's level.
std::span<const char* const> levelNames();

// The bytes of a session file: indented JSON with the format and its version, the program and
// its version, the table as it was pasted or read (its text, the name of the locale its
// numbers were read in, where it came from), the rejected X of every analyte (by name in a
// named table), the analyte shown (a named table) and every setting by its name. Equal states
// give equal bytes: keys in a fixed order, no time of saving. A state whose window has not
// chosen a level yet is saved at the level the window starts with. The table's text is kept
// exactly when it is UTF-8, as every pasted text is.
std::string sessionText(const State& state);

// Writes the session of `state` to `file` (a complete file or none); the reason when it
// cannot, also when the table is no UTF-8 text, which a session could not give back as read.
std::optional<std::string> saveSession(const State& state, const std::string& file);

// What a session holds, checked: its table read again (the analytes with their rejections),
// the analyte shown and the settings.
struct SessionContents {
    TableSource source;
    std::vector<Analyte> analytes;
    bool named = false;
    std::optional<RunTable> run;  // a run table's lines, samples included
    std::size_t selected = 0;
    Settings settings;
};

// Reads the bytes of a session file and checks everything in it: the format and its version,
// every field and its type, the method names, the level, the locale, the table (read again as
// a paste in that locale; of a run, its standards taken by the session's standard pattern),
// the known values (a correction refuses some) and that every rejection is of an analyte of
// the table at an X with a standard with Y > 0. Keys a session of an older version lacks
// take their defaults. On refusal, one line saying what is wrong, such as
// "The session is damaged: \"settings\".\"level\" is 97, not one of 80, 90, 95, 98, 99, 99.8."
// Unknown keys are passed over. Any bytes may be given: more than kMaxSessionBytes, or more
// values or lists and objects than a session holds, are refused before they are parsed.
std::variant<SessionContents, std::string> readSessionText(std::string_view bytes);

// Puts a session into the state: its table, where it came from, the rejections, the settings
// and the analyte shown; nothing is computed and the picture is empty until the caller runs
// plotAndCalculate.
void applySession(State& state, SessionContents contents);

}  // namespace kalibrix
