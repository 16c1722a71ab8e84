// The lock file held with LockFileEx: the whole range, exclusively. Locks belong to a handle,
// so two FileLock objects in one process exclude each other as two processes do.

#include "util/FileLock.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <thread>

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

namespace {

// The lock file opened, or INVALID_HANDLE_VALUE when none can be made.
HANDLE OpenLockHandle(const std::filesystem::path& lockPath) {
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h = ::CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, kShare, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // A lock file another user made serves for reading, which is all a lock needs.
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED) {
        h = ::CreateFileW(lockPath.c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

bool Lock(HANDLE h, bool wait) {
    OVERLAPPED at{};
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    return ::LockFileEx(h, flags, 0, MAXDWORD, MAXDWORD, &at) != 0;
}

// The locked handle as a descriptor; an invalid one (and the lock released) when that fails.
UniqueFd AdoptLocked(HANDLE h) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        OVERLAPPED at{};
        ::UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &at);
        ::CloseHandle(h);
        return UniqueFd();
    }
    return UniqueFd(fd);
}

}  // namespace

FileLock::FileLock(const std::filesystem::path& file, std::stop_token stop) {
    const HANDLE h = OpenLockHandle(LockPathFor(file));
    if (h == INVALID_HANDLE_VALUE) return;
    // Short at first (a writer of this program holds it for milliseconds), then a few times a
    // second while another process keeps it.
    auto pause = std::chrono::milliseconds(2);
    while (!stop.stop_requested()) {
        if (Lock(h, false)) {
            m_fd = AdoptLocked(h);
            return;
        }
        if (::GetLastError() != ERROR_LOCK_VIOLATION && ::GetLastError() != ERROR_IO_PENDING) break;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    ::CloseHandle(h);
}

FileLock::FileLock(const std::filesystem::path& file, bool wait) {
    const HANDLE h = OpenLockHandle(LockPathFor(file));
    if (h == INVALID_HANDLE_VALUE) return;
    if (!Lock(h, wait)) {
        ::CloseHandle(h);
        return;
    }
    m_fd = AdoptLocked(h);
}

void FileLock::Unlock() {
    if (!m_fd.IsValid()) return;
    // Released at once: closing alone frees the range only when the system gets round to it.
    OVERLAPPED at{};
    ::UnlockFileEx(reinterpret_cast<HANDLE>(::_get_osfhandle(m_fd.Get())), 0, MAXDWORD, MAXDWORD,
                   &at);
    m_fd.Reset();
}

}  // namespace tavolin
