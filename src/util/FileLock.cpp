#include "util/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "util/FileIO.h"

namespace tavolin {

std::filesystem::path FileLock::LockPathFor(const std::filesystem::path& file) {
    std::filesystem::path target = ResolveWriteTarget(file).value_or(file);
    target += ".lock";
    return target;
}

FileLock::FileLock(const std::filesystem::path& file) : FileLock(file, true) {}

FileLock FileLock::TryLock(const std::filesystem::path& file) {
    return FileLock(file, false);
}

FileLock::FileLock(const std::filesystem::path& file, bool wait) {
    const std::filesystem::path lockPath = LockPathFor(file);
    // The lock file is never removed: removing it would let two holders lock two different files.
    // O_NOFOLLOW and O_NONBLOCK: a link or a FIFO planted in its place is neither followed nor
    // waited on.
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    UniqueFd fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | kFlags, 0666));
    // flock works on a descriptor opened for reading, so a lock file made by another user serves.
    if (!fd.IsValid() && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        fd = UniqueFd(::open(lockPath.c_str(), O_RDONLY | kFlags));
    }
    if (!fd.IsValid()) return;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    const int operation = wait ? LOCK_EX : LOCK_EX | LOCK_NB;
    int rc;
    do {
        rc = ::flock(fd.Get(), operation);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return;
    m_fd = std::move(fd);
}

}  // namespace tavolin
