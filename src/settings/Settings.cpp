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

constexpr std::array<SettingKey, 25> kTable = {{
    keys::BackgroundKind,
    keys::BackgroundPicture,
    keys::BackgroundCentre,
    keys::BackgroundColour.red,
    keys::BackgroundColour.blue,
    keys::BackgroundColour.green,
    keys::DayColour.red,
    keys::DayColour.green,
    keys::DayColour.blue,
    keys::HolidayColour.red,
    keys::HolidayColour.green,
    keys::HolidayColour.blue,
    keys::MonthColour.red,
    keys::MonthColour.green,
    keys::MonthColour.blue,
    keys::CurrentDayColour.red,
    keys::CurrentDayColour.green,
    keys::CurrentDayColour.blue,
    keys::Autostart,
    keys::ShowAppointments,
    keys::DeleteExpired,
    keys::Alarm,
    keys::Layout,
    keys::CalendarWeeks,
    keys::SundayFirst,
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

bool ReadSetting(const IniSnapshot& ini, const SettingKey& key, std::string& value) {
    return ini.ReadValue(key.section, key.key, value);
}

IniFile::Value SettingValue(const SettingKey& key, std::string value) {
    return {key.section, key.key, std::move(value)};
}

bool IsSwitchOn(std::string_view value) {
    return Atoi(value) == 1;
}

namespace {

template <class Ini>
bool DeletesExpired(const Ini& ini) {
    std::string value;
    if (!ini.ReadValue(keys::DeleteExpired.section, keys::DeleteExpired.key, value)) return true;
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

ConfigCreation EnsureConfigFile(const std::filesystem::path& path, WriteFaults* faults) {
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
    return AtomicWriteFile(path, DefaultConfigText(), Durability::Sync, faults) ? ConfigCreation::Created
                                                      : ConfigCreation::Failed;
}

std::string ConfigCreationFailedText() {
    return W1252(
        "Beim Schreiben auf die Festplatte ist ein Fehler aufgetreten.\n"
        "Bitte überprüfen Sie, ob Sie über die nötigen Schreibrechte verfügen.");
}

}  // namespace tavolin
