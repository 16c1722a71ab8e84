#include "util/FileLock.h"

#include <algorithm>
#include <chrono>
#include <thread>

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

UniqueFd FileLock::OpenLockFile(const std::filesystem::path& file) {
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
    if (!fd.IsValid()) return fd;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFd();
    return fd;
}

FileLock::FileLock(const std::filesystem::path& file, bool wait) {
    UniqueFd fd = OpenLockFile(file);
    if (!fd.IsValid()) return;
    const int operation = wait ? LOCK_EX : LOCK_EX | LOCK_NB;
    int rc;
    do {
        rc = ::flock(fd.Get(), operation);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return;
    m_fd = std::move(fd);
}

FileLock::FileLock(const std::filesystem::path& file, std::stop_token stop) {
    UniqueFd fd = OpenLockFile(file);
    if (!fd.IsValid()) return;
    // Short at first (a writer of this program holds it for milliseconds), then a few times a
    // second while another process keeps it.
    auto pause = std::chrono::milliseconds(2);
    while (!stop.stop_requested()) {
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) {
            m_fd = std::move(fd);
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

}  // namespace tavolin
