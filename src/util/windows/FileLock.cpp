// The lock file held with LockFileEx: the whole range, exclusively. Locks belong to a handle,
// so two FileLock objects in one process exclude each other as two processes do.

#include "util/FileLock.h"

#include <windows.h>

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
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h = ::CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, kShare, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // A lock file another user made serves for reading, which is all a lock needs.
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED) {
        h = ::CreateFileW(lockPath.c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (h == INVALID_HANDLE_VALUE) return;
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return;
    }
    OVERLAPPED at{};
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (!::LockFileEx(h, flags, 0, MAXDWORD, MAXDWORD, &at)) {
        ::CloseHandle(h);
        return;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        ::UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &at);
        ::CloseHandle(h);
        return;
    }
    m_fd = UniqueFd(fd);
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
