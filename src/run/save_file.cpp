#include "run/save_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalibrix {

namespace {

namespace fs = std::filesystem;

// The hidden file of a save is ".NAME" + kTempMark + six random characters, in the folder
// of the file it replaces. While the save runs it holds a lock on that file, so that the
// next save of NAME can tell a file of a killed save (no lock) from one being written.
constexpr std::string_view kTempMark = ".kalibrix-";
constexpr std::size_t kRandomChars = 6;
// Of a long NAME only its start goes into the hidden name, which must stay within the 255
// bytes a file name may have.
constexpr std::size_t kNamePart = 200;
// Hidden files made before one is given up (each lost only to another save's sweep).
constexpr int kAttempts = 100;

constexpr const char* kDanglingLink = "the symbolic link leads to no file";
constexpr const char* kReplacedMeanwhile = "the file was replaced while it was being written";

std::string reason(int error) { return std::strerror(error); }

// An open file, closed when it goes out of scope unless closed before.
class OpenFile {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }
    // Closes the file; 0, or the error of a failed close.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// Writes all of `data`; 0 or the error.
int writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string tempPrefix(const fs::path& file)
{
    return "." + file.filename().native().substr(0, kNamePart) + std::string(kTempMark);
}

// Removes from `folder` the hidden files of saves of `file` that were killed midway: those
// of this user that no running save holds locked.
void removeStale(const fs::path& folder, const fs::path& file)
{
    const std::string prefix = tempPrefix(file);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name.size() != prefix.size() + kRandomChars || !name.starts_with(prefix))
            continue;
        const OpenFile temp(::openat(dirFd, entry->d_name,
                                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        if (temp.fd() >= 0 && ::fstat(temp.fd(), &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid() && ::flock(temp.fd(), LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
}

// A new hidden file beside `file`, locked; its name in `temp`. -1 with errno set on failure.
int createTemp(const fs::path& file, std::string& temp)
{
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    removeStale(folder, file);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        temp = (folder / (tempPrefix(file) + std::string(kRandomChars, 'X'))).native();
        const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0)
            return -1;
        // Where the file system has no locks the save goes on without. Between the file's
        // creation and the lock another save's sweep may have taken it for a stale file and
        // removed it: then it is made anew.
        [[maybe_unused]] const int locked = ::flock(fd, LOCK_EX);
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && ::lstat(temp.c_str(), &named) == 0 &&
            sameFile(opened, named))
            return fd;
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// Writes `data` to a hidden file beside `file` and puts it in the place of `file`: of the
// regular file `old` when given (which must still be there), else of nothing.
std::optional<std::string> replace(const fs::path& file, const struct stat* old,
                                   std::string_view data)
{
    std::string temp;
    OpenFile out(createTemp(file, temp));
    if (out.fd() < 0)
        return reason(errno);
    // The new file keeps the owner (where the user may give it) and the permissions of the
    // file it replaces; a new file gets the usual permissions. Where the file system has
    // neither, the data still count.
    if (old) {
        [[maybe_unused]] const int owned = ::fchown(out.fd(), old->st_uid, old->st_gid);
        [[maybe_unused]] const int mode = ::fchmod(out.fd(), old->st_mode & 07777);
    } else {
        [[maybe_unused]] const int mode = ::fchmod(out.fd(), newFileMode());
    }
    int error = writeAll(out.fd(), data);
    if (!error && ::fsync(out.fd()) != 0)
        error = errno;
    struct stat now {};
    if (!error && old && (::lstat(file.c_str(), &now) != 0 || !sameFile(now, *old))) {
        ::unlink(temp.c_str());
        return kReplacedMeanwhile;
    }
    if (!error && ::rename(temp.c_str(), file.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(temp.c_str());
    const int closed = out.close();  // after the rename: the lock lasts until the name is gone
    if (!error)
        error = closed;
    return error ? std::optional<std::string>(reason(error)) : std::nullopt;
}

}  // namespace

std::optional<std::string> saveFile(const fs::path& path, std::string_view data)
{
    // The kernel opens the path as for the shell's "> path", following a link only where it
    // allows it. Nothing is truncated yet.
    OpenFile target(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (target.fd() < 0) {
        const int error = errno;
        struct stat st {};
        if (error != ENOENT)
            return reason(error);
        if (::lstat(path.c_str(), &st) == 0)
            return S_ISLNK(st.st_mode) ? kDanglingLink : reason(error);
        return replace(path, nullptr, data);  // nothing there yet, or no such folder
    }
    struct stat opened {};
    if (::fstat(target.fd(), &opened) != 0)
        return reason(errno);
    if (!S_ISREG(opened.st_mode)) {  // a device or FIFO: written, never replaced
        int error = writeAll(target.fd(), data);
        const int closed = target.close();
        if (!error)
            error = closed;
        return error ? std::optional<std::string>(reason(error)) : std::nullopt;
    }
    // The file the kernel opened is replaced under a name without links, which the rename
    // cannot follow elsewhere: the path itself, or for a link the path it leads to. That the
    // name still holds the opened file is checked right before the rename.
    struct stat own {};
    if (::lstat(path.c_str(), &own) == 0 && !S_ISLNK(own.st_mode))
        return replace(path, &opened, data);
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (!real)
        return reason(errno);
    return replace(fs::path(real.get()), &opened, data);
}

}  // namespace kalibrix
