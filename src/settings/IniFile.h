#pragma once
// Reader and writer of config.ini. Every call reads the file afresh and every write rewrites
// it whole (under the file's FileLock, atomically), so several IniFile objects on one path, in
// one process or several, always see each other's changes and never lose one.
// Strings are raw bytes (Windows-1252 in practice).

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/IniSnapshot.h"

namespace tavolin {

struct WriteFaults;

class IniFile {
public:
    /// True when the file exists and can be read; otherwise, with create, it is created
    /// empty (an existing but unreadable file is never truncated). Stores the path on true.
    bool Open(const std::filesystem::path& path, bool create);

    /// True when the key is found in the section; the last match in the file wins.
    /// The value is untouched on false.
    bool ReadValue(const std::string& section, const std::string& key, std::string& value) const;

    /// True when a line key=value was written. False when not open, when the key (or, without
    /// create, the section) is missing, or when the rewrite failed; the old file is then intact.
    bool WriteValue(const std::string& section, const std::string& key, const std::string& value,
                    bool create);

    /// One key of a batch for WriteValues.
    struct Value {
        std::string section;
        std::string key;
        std::string value;
    };
    /// Writes every value in one rewrite under one lock, so a reader never sees half of the
    /// batch (a colour's three components). False, with the old file intact, when not open or
    /// when any value could not be written by WriteValue's rules.
    bool WriteValues(const std::vector<Value>& values, bool create);

    /// The whole file read once, for an operation that reads many values; empty (not loaded)
    /// when not open.
    IniSnapshot Snapshot() const;

    bool IsOpen() const { return m_open; }
    const std::filesystem::path& Path() const { return m_path; }

    /// Faults the rewrites meet (tests); none by default.
    void SetWriteFaults(std::shared_ptr<WriteFaults> faults) { m_faults = std::move(faults); }

private:
    bool m_open = false;
    std::filesystem::path m_path;
    std::shared_ptr<WriteFaults> m_faults;
};

/// ReadValue's rules on the text of a file.
bool ReadIniValue(std::string_view text, const std::string& section, const std::string& key,
                  std::string& value);

enum class IniWrite {
    Written,         // out holds the text with key=value
    KeyMissing,      // out holds the text rewritten without it (empty lines dropped)
    SectionMissing,  // without create: nothing to write
};

/// WriteValue's rules on the text of a file: the text it would write to out.
IniWrite WriteIniValue(std::string_view text, const std::string& section, const std::string& key,
                       const std::string& value, bool create, std::string& out);

}  // namespace tavolin
