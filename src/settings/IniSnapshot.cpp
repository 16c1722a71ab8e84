#include "settings/IniSnapshot.h"

#include "settings/IniFile.h"
#include "util/FileIO.h"

namespace tavolin {

bool IniSnapshot::Load(const std::filesystem::path& path) {
    m_text.clear();
    m_loaded = false;
    m_readable = false;
    switch (ReadWholeFile(path, m_text)) {
        case ReadStatus::Ok:
            m_loaded = m_readable = true;
            break;
        case ReadStatus::TooLarge:
            // It opens, as for IniFile::Open, but no value can be read from it.
            m_loaded = true;
            break;
        default:
            break;
    }
    return m_loaded;
}

bool IniSnapshot::ReadValue(const std::string& section, const std::string& key,
                            std::string& value) const {
    return m_readable && ReadIniValue(m_text, section, key, value);
}

}  // namespace tavolin
