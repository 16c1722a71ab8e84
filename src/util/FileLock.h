#pragma once
// The cross-process lock of one file the program rewrites: an exclusive flock on a lock file
// beside the file's symlink-resolved target ("Termine.dat.lock"). Every read-modify-write and
// every append of the file holds it, in tavolin-cli, in the program and in each of its threads
// (two FileLock objects on one file exclude each other within a process, too). Readers that only
// read need none: rewrites are atomic renames.

#include <filesystem>

#include "util/UniqueFd.h"

namespace tavolin {

class FileLock {
public:
    /// Holds nothing.
    FileLock() = default;

    /// Waits until the lock of file is held. When no lock file can be made or opened (a
    /// read-only directory, where nothing can be rewritten either) the lock is not held;
    /// see IsLocked.
    explicit FileLock(const std::filesystem::path& file);

    /// The lock when it is free at once; otherwise a FileLock that holds nothing.
    static FileLock TryLock(const std::filesystem::path& file);

    FileLock(FileLock&&) noexcept = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
#ifdef _WIN32
    // Windows frees a closed handle's lock only eventually: it is unlocked first.
    FileLock& operator=(FileLock&& other) noexcept {
        if (this != &other) {
            Unlock();
            m_fd = std::move(other.m_fd);
        }
        return *this;
    }
    ~FileLock() { Unlock(); }
    void Unlock();
#else
    FileLock& operator=(FileLock&&) noexcept = default;
    ~FileLock() = default;  // closing the descriptor releases the lock
    void Unlock() { m_fd.Reset(); }
#endif

    bool IsLocked() const { return m_fd.IsValid(); }

    /// The lock file of file: "<resolved target>.lock".
    static std::filesystem::path LockPathFor(const std::filesystem::path& file);

private:
    FileLock(const std::filesystem::path& file, bool wait);

    UniqueFd m_fd;
};

}  // namespace tavolin
