#include "regwin/save_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalibrix {

namespace {

namespace fs = std::filesystem;

// Most symbolic links followed in a row, as the kernel allows.
constexpr int kMaxLinks = 40;

std::string reason(int error) { return std::strerror(error); }

// Writes all of `data`; false with errno set otherwise.
bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Closes `fd`; a failure only counts when everything before it went well.
void closeChecked(int fd, bool& ok, int& error)
{
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
}

// The path a chain of symbolic links ends at; it need not exist.
fs::path followLinks(fs::path path, int& error)
{
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        if (links == kMaxLinks) {
            error = ELOOP;
            return {};
        }
        std::error_code ec;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            error = ec.value();
            return {};
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
}

std::optional<std::string> writeInPlace(const fs::path& path, std::string_view data)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return reason(errno);
    bool ok = writeAll(fd, data);
    int error = errno;
    closeChecked(fd, ok, error);
    return ok ? std::nullopt : std::optional<std::string>(reason(error));
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::optional<std::string> saveFile(const fs::path& path, std::string_view data)
{
    int error = 0;
    const fs::path target = followLinks(path, error);
    if (error)
        return reason(error);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return writeInPlace(target, data);

    std::string temp = (target.parent_path() / ".kalibrix-save-XXXXXX").native();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return reason(errno);
    // The replacement keeps the permissions of the file it replaces; a new file gets the
    // usual ones. Where the file system has no permissions the data still count.
    (void)::fchmod(fd, exists ? (st.st_mode & 07777) : newFileMode());
    bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
    error = errno;
    closeChecked(fd, ok, error);
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (ok)
        return std::nullopt;
    ::unlink(temp.c_str());
    return reason(error);
}

}  // namespace kalibrix
