#include "settings/Settings.h"

#include <array>

#include "settings/IniFile.h"
#include "util/Atoi.h"
#include "util/Cp1252.h"

namespace tavolin {
namespace {

// section, key, default, dialog fallback, generator fallback. Only KArt has readers that
// disagree: the dialog shows layout 1, the generator draws layout 2.
constexpr std::array<SettingKey, 25> kTable = {{
    {"Background", "BGArt", "0", "0", "0"},
    {"Background", "BGBild", "", "", ""},
    {"Background", "BGCenter", "0", "0", "0"},
    {"Background", "BGRot", "58", "58", "58"},
    {"Background", "BGBlau", "165", "165", "165"},
    {"Background", "BGGruen", "110", "110", "110"},
    {"Tag", "TRot", "255", "255", "255"},
    {"Tag", "TGruen", "255", "255", "255"},
    {"Tag", "TBlau", "255", "255", "255"},
    {"Feiertag", "FTRot", "255", "255", "255"},
    {"Feiertag", "FTGruen", "0", "0", "0"},
    {"Feiertag", "FTBlau", "0", "0", "0"},
    {"Monat", "MRot", "255", "255", "255"},
    {"Monat", "MGruen", "255", "255", "255"},
    {"Monat", "MBlau", "255", "255", "255"},
    {"Beschriftung", "BRot", "255", "255", "255"},
    {"Beschriftung", "BGruen", "215", "215", "215"},
    {"Beschriftung", "BBlau", "0", "0", "0"},
    {"Programm", "Autostart", "0", "0", "0"},
    {"Programm", "Termine", "0", "0", "0"},
    {"Programm", "DelTermine", "1", "1", "1"},
    {"Programm", "Alarm", "0", "0", "0"},
    {"Layout", "KArt", "2", "1", "2"},
    {"Layout", "KKW", "0", "0", "0"},
    {"Layout", "Sunday", "0", "0", "0"},
}};

}  // namespace

std::span<const SettingKey> SettingsTable() { return kTable; }

const SettingKey* FindSetting(std::string_view section, std::string_view key) {
    for (const SettingKey& s : kTable) {
        if (section == s.section && key == s.key) return &s;
    }
    return nullptr;
}

bool IsSwitchOn(std::string_view value) { return Atoi(value) == 1; }

bool SilentStartDeletesExpired(const IniFile& ini) {
    std::string value;
    if (!ini.ReadValue("Programm", "DelTermine", value)) return true;
    return Atoi(value) != 0;
}

ConfigCreation EnsureConfigFile(const std::filesystem::path& path) {
    IniFile ini;
    if (ini.Open(path, false)) return ConfigCreation::Existed;
    if (!ini.Open(path, true)) return ConfigCreation::Failed;
    for (const SettingKey& s : kTable) {
        if (!ini.WriteValue(s.section, s.key, s.defaultValue, true)) return ConfigCreation::Failed;
    }
    return ConfigCreation::Created;
}

std::string ConfigCreationFailedText() {
    return W1252(
        "Beim Schreiben auf die Festplatte ist ein Fehler aufgetreten.\n"
        "Bitte überprüfen Sie, ob Sie über die nötigen Schreibrechte verfügen.");
}

}  // namespace tavolin
