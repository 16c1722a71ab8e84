#pragma once
// The one table of every key in config.ini: its section, its default when the file is
// created, and what the dialog and the generator use when the key is missing.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "settings/IniFile.h"

namespace tavolin {

struct WriteFaults;

using Colour = uint32_t;  // 0x00BBGGRR, red in the lowest byte

struct SettingKey {
    const char* section;
    const char* key;
    const char* defaultValue;       // written when config.ini is created
    const char* dialogFallback;     // the main dialog's value for a missing key
    const char* generatorFallback;  // the wallpaper generator's value for a missing key
};

/// A colour's three keys: prefix + "Rot", "Gruen", "Blau" in one section.
struct ColourKeys {
    const char* section;
    const char* prefix;
    SettingKey red, green, blue;
};

/// Every key of config.ini, declared once; readers and writers name these instead of strings.
namespace keys {
inline constexpr SettingKey BackgroundKind{"Background", "BGArt", "0", "0", "0"};
inline constexpr SettingKey BackgroundPicture{"Background", "BGBild", "", "", ""};
inline constexpr SettingKey BackgroundCentre{"Background", "BGCenter", "0", "0", "0"};
inline constexpr ColourKeys BackgroundColour{"Background",
                                             "BG",
                                             {"Background", "BGRot", "58", "58", "58"},
                                             {"Background", "BGGruen", "110", "110", "110"},
                                             {"Background", "BGBlau", "165", "165", "165"}};
inline constexpr ColourKeys DayColour{"Tag",
                                      "T",
                                      {"Tag", "TRot", "255", "255", "255"},
                                      {"Tag", "TGruen", "255", "255", "255"},
                                      {"Tag", "TBlau", "255", "255", "255"}};
inline constexpr ColourKeys HolidayColour{"Feiertag",
                                          "FT",
                                          {"Feiertag", "FTRot", "255", "255", "255"},
                                          {"Feiertag", "FTGruen", "0", "0", "0"},
                                          {"Feiertag", "FTBlau", "0", "0", "0"}};
inline constexpr ColourKeys MonthColour{"Monat",
                                        "M",
                                        {"Monat", "MRot", "255", "255", "255"},
                                        {"Monat", "MGruen", "255", "255", "255"},
                                        {"Monat", "MBlau", "255", "255", "255"}};
inline constexpr ColourKeys CurrentDayColour{"Beschriftung",
                                             "B",
                                             {"Beschriftung", "BRot", "255", "255", "255"},
                                             {"Beschriftung", "BGruen", "215", "215", "215"},
                                             {"Beschriftung", "BBlau", "0", "0", "0"}};
inline constexpr SettingKey Autostart{"Programm", "Autostart", "0", "0", "0"};
inline constexpr SettingKey ShowAppointments{"Programm", "Termine", "0", "0", "0"};
inline constexpr SettingKey DeleteExpired{"Programm", "DelTermine", "1", "1", "1"};
inline constexpr SettingKey Alarm{"Programm", "Alarm", "0", "0", "0"};
// The only key whose readers disagree: the dialog shows layout 1, the generator draws 2.
inline constexpr SettingKey Layout{"Layout", "KArt", "2", "1", "2"};
inline constexpr SettingKey CalendarWeeks{"Layout", "KKW", "0", "0", "0"};
inline constexpr SettingKey SundayFirst{"Layout", "Sunday", "0", "0", "0"};
}  // namespace keys

/// Every key, in the order a new config.ini is written (BGBlau before BGGruen).
std::span<const SettingKey> SettingsTable();

/// The table entry of section/key, or nullptr.
const SettingKey* FindSetting(std::string_view section, std::string_view key);

/// The key's value as read from ini; false (value untouched) when it is missing.
bool ReadSetting(const IniSnapshot& ini, const SettingKey& key, std::string& value);

/// One write of key for IniFile::WriteValues.
IniFile::Value SettingValue(const SettingKey& key, std::string value);

/// The text a switch is written as.
constexpr const char* SwitchText(bool on) {
    return on ? "1" : "0";
}

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
ConfigCreation EnsureConfigFile(const std::filesystem::path& path,
                                WriteFaults* faults = nullptr);

/// The message shown (caption "Fehler") when config.ini cannot be created, Windows-1252.
std::string ConfigCreationFailedText();

}  // namespace tavolin
