#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kalibrix {

// Writes `data` to `path` (its bytes as given, whatever their encoding) so that a failure
// never leaves a half-written file behind: the data go into a new file in the target's
// folder, which then replaces the target. A symbolic link is followed, so a link to a
// regular file keeps pointing at the new contents. A target that exists but is no regular
// file (a device such as /dev/full, a FIFO) is written directly instead, never replaced.
// Returns the reason (the system's error text) when the data could not all be written.
std::optional<std::string> saveFile(const std::filesystem::path& path, std::string_view data);

}  // namespace kalibrix
