#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kalibrix {

// Writes `data` to `path` (its bytes as given, whatever their encoding) as the shell's
// "> path" would be allowed to, but so that a failure never leaves a half-written file:
//
// - The path is first opened for writing, as it is, by the kernel: the permissions of the
//   file (a file without write permission is refused with the system's reason, "Permission
//   denied"; root may write it, as in the shell), the protections of links in shared folders
//   (fs.protected_symlinks) and the limit on links in a row all apply. The program never
//   resolves a symbolic link itself.
// - A regular file the kernel let us open is replaced whole: the data go into a hidden file
//   ".NAME.kalibrix-XXXXXX" beside it (beside the file a link leads to), written and
//   flushed to the disk, which then takes the file's place, keeping its permissions (and
//   its owner where the user may give it). A link stays a link to the new contents.
// - A name that holds nothing yet gets a new file the same way. A link that leads to no
//   file is refused: nothing is created through it.
// - A device or FIFO (such as /dev/full or /dev/stdout) is written directly, never replaced.
// - A hidden file of an earlier save of the same file that was killed midway is removed.
//
// Returns the reason (the system's error text) when the data could not all be written; the
// file is then as it was.
std::optional<std::string> saveFile(const std::filesystem::path& path, std::string_view data);

}  // namespace kalibrix
