#pragma once
// Whole-file reads of outside data and crash-safe rewrites. Every file the program rewrites goes
// through AtomicWriteFile (under the file's FileLock when it is read, changed and written back),
// so a crash, a full disk, a concurrent command or a symlink never loses, tears or diverts it.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "util/UniqueFd.h"

namespace tavolin {

enum class ReadStatus {
    Ok,
    Missing,     // no such file
    Unreadable,  // it exists but cannot be opened or read
    TooLarge,    // over the caller's limit; nothing was read
    NotRegular,  // a directory, FIFO, device or socket: refused without waiting on it
};

/// Opens path for reading without ever blocking (a FIFO or a device in its place is refused at
/// once, not waited on). The descriptor of a regular file, or an invalid one with status set.
UniqueFd OpenRegularFile(const std::filesystem::path& path, ReadStatus& status);

/// Reads the whole regular file at path into out, through OpenRegularFile. Files over maxBytes
/// (also when they grow while being read) are TooLarge; out is empty unless the result is Ok.
ReadStatus ReadWholeFile(const std::filesystem::path& path, std::string& out,
                         uint64_t maxBytes = uint64_t{1} << 30);

/// The file a write to path really changes: symlinks followed (relative ones from the link's
/// directory) up to the last link, whose target need not exist yet. nullopt with errno ELOOP
/// for a loop of links, or another errno when a link cannot be read.
std::optional<std::filesystem::path> ResolveWriteTarget(const std::filesystem::path& path);

/// Faults handed to the writes below, as a disk that fills up would cause them: the code under
/// test is given one (the program never is). Several threads may share one.
struct WriteFaults {
    /// AtomicWriteFile fails with ENOSPC after writing its temporary file.
    std::atomic<bool> failRewrites{false};
    /// WriteAll fails with ENOSPC once this many more bytes have gone through it; negative
    /// means no limit.
    std::atomic<int64_t> bytesLeft{-1};
};

/// Sync: the data reaches the disk before the rename (settings, appointments). NoSync: readers
/// still never see half a file, but a crash may lose the new contents (files that are made
/// again on every run, such as the wallpaper).
enum class Durability { Sync, NoSync };

/// Replaces the file's contents: writes a temporary file beside the symlink-resolved target and
/// renames it there, so a symlink stays a link and its target is updated (a dangling link gets
/// its target made). The original's permission bits are kept; a new file gets 0666 less the
/// umask (applied by the kernel, so no thread ever changes the umask). Stale temporary files of
/// earlier, killed rewrites are removed first. On false the original is untouched, no temporary
/// file remains and errno tells why (ENOSPC for a full disk). Callers that read the file, change
/// it and write it back hold its FileLock throughout.
bool AtomicWriteFile(const std::filesystem::path& path, std::string_view data,
                     Durability durability = Durability::Sync, WriteFaults* faults = nullptr);

/// The same for contents in pieces, written one after another, so a large file need not be
/// joined in memory first.
bool AtomicWriteFile(const std::filesystem::path& path,
                     std::initializer_list<std::string_view> pieces,
                     Durability durability = Durability::Sync, WriteFaults* faults = nullptr);

/// Writes all of data to an open descriptor, going on after short writes and interrupts.
bool WriteAll(int fd, std::string_view data, WriteFaults* faults = nullptr);

/// Appends data at oldSize (the file's length, taken under its lock) through a descriptor opened
/// with O_APPEND. On failure the file is cut back to oldSize, so no part of data remains, and
/// errno tells why.
bool AppendAllOrNothing(int fd, off_t oldSize, std::string_view data,
                        WriteFaults* faults = nullptr);

/// Appends data to the regular file at path (following symlinks), creating it when missing,
/// under the file's FileLock; all of data or nothing. On false errno tells why.
bool AppendToFile(const std::filesystem::path& path, std::string_view data,
                  WriteFaults* faults = nullptr);

/// Temporary files of AtomicWriteFile for target ("<name>.tmp-XXXXXX" beside it) that no running
/// rewrite holds and that were last written longer than this ago are stale.
inline constexpr std::chrono::seconds kStaleTemporaryAge{30};

/// Removes the stale temporary files of earlier rewrites of target (a resolved path); the
/// number removed. AtomicWriteFile calls it; appenders may too.
int RemoveStaleTemporaries(const std::filesystem::path& target);

/// Whether name is one of AtomicWriteFile's temporary names for a file named targetName.
bool IsTemporaryNameFor(std::string_view name, std::string_view targetName);

}  // namespace tavolin
