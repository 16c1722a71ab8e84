#pragma once
// The one table of every key in config.ini: its section, its default when the file is
// created, and what the dialog and the generator use when the key is missing.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace tavolin {

using Colour = uint32_t;  // 0x00BBGGRR, red in the lowest byte

struct SettingKey {
    const char* section;
    const char* key;
    const char* defaultValue;       // written when config.ini is created
    const char* dialogFallback;     // the main dialog's value for a missing key
    const char* generatorFallback;  // the wallpaper generator's value for a missing key
};

/// Every key, in the order a new config.ini is written (BGBlau before BGGruen).
std::span<const SettingKey> SettingsTable();

/// The table entry of section/key, or nullptr.
const SettingKey* FindSetting(std::string_view section, std::string_view key);

/// 0x00BBGGRR from the low 8 bits of each component.
constexpr Colour PackColour(int red, int green, int blue) {
    return (static_cast<Colour>(red) & 0xFF) | ((static_cast<Colour>(green) & 0xFF) << 8) |
           ((static_cast<Colour>(blue) & 0xFF) << 16);
}

/// Switches are on when their atoi value equals 1.
bool IsSwitchOn(std::string_view value);

/// The expiry mode as the silent start reads it: delete expired appointments when DelTermine is
/// missing or its value is not 0; move them to today when it is 0.
bool SilentStartDeletesExpired(const class IniFile& ini);
bool SilentStartDeletesExpired(const class IniSnapshot& ini);

enum class ConfigCreation { Existed, Created, Failed };

/// The bytes of a new config.ini: every default written in table order.
std::string DefaultConfigText();

/// The first-start rule: an existing config.ini is left alone; a missing one is created with
/// DefaultConfigText in one atomic write (a dangling symlink gets its target made). Failed when
/// the file cannot be created or written, or exists but cannot be read.
ConfigCreation EnsureConfigFile(const std::filesystem::path& path);

/// The message shown (caption "Fehler") when config.ini cannot be created, Windows-1252.
std::string ConfigCreationFailedText();

}  // namespace tavolin
