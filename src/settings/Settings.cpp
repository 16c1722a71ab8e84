#include "settings/Settings.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>

#include "settings/IniFile.h"
#include "util/Atoi.h"
#include "util/Cp1252.h"
#include "util/FileIO.h"
#include "util/FileLock.h"

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

std::span<const SettingKey> SettingsTable() {
    return kTable;
}

const SettingKey* FindSetting(std::string_view section, std::string_view key) {
    for (const SettingKey& s : kTable) {
        if (section == s.section && key == s.key) return &s;
    }
    return nullptr;
}

bool IsSwitchOn(std::string_view value) {
    return Atoi(value) == 1;
}

namespace {

template <class Ini>
bool DeletesExpired(const Ini& ini) {
    std::string value;
    if (!ini.ReadValue("Programm", "DelTermine", value)) return true;
    return Atoi(value) != 0;
}

}  // namespace

bool SilentStartDeletesExpired(const IniFile& ini) {
    return DeletesExpired(ini);
}

bool SilentStartDeletesExpired(const IniSnapshot& ini) {
    return DeletesExpired(ini);
}

std::string DefaultConfigText() {
    // Every default written in table order, as key-by-key writes into an empty file would.
    std::string text, next;
    for (const SettingKey& s : kTable) {
        WriteIniValue(text, s.section, s.key, s.defaultValue, true, next);
        text.swap(next);
    }
    return text;
}

ConfigCreation EnsureConfigFile(const std::filesystem::path& path) {
    // Under the lock, so that two first starts make the file once.
    const FileLock lock(path);
    IniFile ini;
    if (ini.Open(path, false)) return ConfigCreation::Existed;
    // Something that exists but cannot be read is never replaced. A dangling link does not
    // exist here; its target is made, the link kept.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 || errno != ENOENT) return ConfigCreation::Failed;
    // One atomic write: a kill or a full disk leaves no config.ini or the whole one, never a
    // part that would later pass for existing settings.
    return AtomicWriteFile(path, DefaultConfigText()) ? ConfigCreation::Created
                                                      : ConfigCreation::Failed;
}

std::string ConfigCreationFailedText() {
    return W1252(
        "Beim Schreiben auf die Festplatte ist ein Fehler aufgetreten.\n"
        "Bitte überprüfen Sie, ob Sie über die nötigen Schreibrechte verfügen.");
}

}  // namespace tavolin
