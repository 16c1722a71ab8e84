#pragma once
// Whole-file reads and crash-safe rewrites. Every file the program rewrites goes through
// AtomicWriteFile, so a crash, a full disk or a concurrent reader never sees half a file.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tavolin {

enum class ReadStatus { Ok, Missing, Unreadable, TooLarge };

/// Reads the whole regular file at path into out. Directories and other non-regular files are
/// Unreadable; files over maxBytes are TooLarge and out stays empty.
ReadStatus ReadWholeFile(const std::filesystem::path& path, std::string& out,
                         uint64_t maxBytes = uint64_t{1} << 30);

/// Sync: the data reaches the disk before the rename (settings, appointments). NoSync: readers
/// still never see half a file, but a crash may lose the new contents (files that are made
/// again on every run, such as the wallpaper).
enum class Durability { Sync, NoSync };

/// Replaces the file's contents: writes a temporary file in the same directory and renames it
/// over the original. The original's permission bits are kept. On false the original is
/// untouched and no temporary file remains.
bool AtomicWriteFile(const std::filesystem::path& path, std::string_view data,
                     Durability durability = Durability::Sync);

/// The same for contents in pieces, written one after another, so a large file need not be
/// joined in memory first.
bool AtomicWriteFile(const std::filesystem::path& path, std::initializer_list<std::string_view> pieces,
                     Durability durability = Durability::Sync);

/// Writes all of data to an open descriptor, going on after short writes and interrupts.
bool WriteAll(int fd, std::string_view data);

/// Appends data to the file, creating it when missing.
bool AppendToFile(const std::filesystem::path& path, std::string_view data);

/// Test hook: while set, AtomicWriteFile fails after writing its temporary file, as a full disk
/// would.
void SetAtomicWriteFailureForTesting(bool fail);

}  // namespace tavolin
