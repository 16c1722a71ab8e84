#pragma once
// config.ini read once: the values of one operation (a generation, a tidy-up) come from one
// reading of the file, with IniFile::ReadValue's rules. IniFile itself still reads afresh on
// every call, for callers that need to see other writers' changes.

#include <filesystem>
#include <string>

namespace tavolin {

class IniSnapshot {
public:
    /// Reads the file. False when IniFile::Open(path, false) would fail (missing, not a regular
    /// file, unreadable); a file too large to read loads, but every ReadValue fails, as it would
    /// through IniFile.
    bool Load(const std::filesystem::path& path);

    bool IsLoaded() const { return m_loaded; }

    /// As IniFile::ReadValue: true when the key is found in the section, the last match wins,
    /// the value is untouched on false.
    bool ReadValue(const std::string& section, const std::string& key, std::string& value) const;

private:
    std::string m_text;
    bool m_loaded = false;
    bool m_readable = false;
};

}  // namespace tavolin
