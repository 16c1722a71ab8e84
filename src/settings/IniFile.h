#pragma once
// Reader and writer of config.ini. Every call reads the file afresh and every write rewrites
// it whole, so several IniFile objects on one path always see each other's changes.
// Strings are raw bytes (Windows-1252 in practice).

#include <filesystem>
#include <string>

namespace tavolin {

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

    bool IsOpen() const { return m_open; }
    const std::filesystem::path& Path() const { return m_path; }

private:
    bool m_open = false;
    std::filesystem::path m_path;
};

}  // namespace tavolin
