#include "platform/Autostart.h"

#include <system_error>

#include "platform/ShellShortcut.h"
#include "util/Cp1252.h"

#ifdef _WIN32
#include "platform/linux/DataDirectory.h"
#include "platform/windows/WindowsShell.h"
#endif

namespace tavolin {

#ifdef _WIN32
std::optional<std::filesystem::path> AutostartFolder(const EnvironmentLookup&) {
    return StartupFolder();
}

std::filesystem::path OwnProgramPath() {
    const std::filesystem::path dir = ProgramDirectory();
    return dir.empty() ? dir : dir / L"Tavolin.exe";
}
#else
std::optional<std::filesystem::path> AutostartFolder(const EnvironmentLookup& env) {
    // Relative values are invalid by the base directory rules and must be ignored.
    if (const auto xdg = env("XDG_CONFIG_HOME"); xdg && xdg->front() == '/') {
        return std::filesystem::path(*xdg) / "autostart";
    }
    if (const auto home = env("HOME"); home && home->front() == '/') {
        return std::filesystem::path(*home) / ".config" / "autostart";
    }
    return std::nullopt;
}

std::filesystem::path OwnProgramPath() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}
#endif

ShortcutInfo AutostartShortcut(const std::filesystem::path& program,
                               const std::optional<std::string>& dataDirectory) {
    ShortcutInfo info;
#ifdef _WIN32
    // Shortcut fields are UTF-8 here; the shell link takes them as UTF-16.
    const auto text = [](const std::filesystem::path& p) {
        const std::u8string u8 = p.u8string();
        return std::string(u8.begin(), u8.end());
    };
    constexpr char kSeparator = '\\';
#else
    const auto text = [](const std::filesystem::path& p) { return p.string(); };
    constexpr char kSeparator = '/';
#endif
    info.targetPath = text(program);
    info.arguments = "/go";
    std::string directory = text(program.parent_path());
    if (directory.empty() || directory.back() != kSeparator) directory += kSeparator;
    info.workingDirectory = directory;
    info.description = "Erstellen des Hintergrundbildes";
#ifdef _WIN32
    // A shell link shows the program's own icon resource.
    info.iconPath = text(program);
#else
    info.iconPath = kThemeIconName;
#endif
    if (dataDirectory && !dataDirectory->empty()) {
        info.environment.push_back("TAVOLIN_DIR=" + *dataDirectory);
    }
    info.iconIndex = 0;
    info.showCommand = 1;
    return info;
}

AutostartResult ApplyAutostart(bool enable, const std::optional<std::filesystem::path>& folder,
                               const std::filesystem::path& program,
                               const std::optional<std::string>& dataDirectory) {
    if (!folder) return AutostartResult::FolderUnavailable;
    const std::filesystem::path entry = *folder / kAutostartEntryName;
    std::error_code ec;

    if (!enable) {
        const auto status = std::filesystem::symlink_status(entry, ec);
        if (ec || !std::filesystem::exists(status)) return AutostartResult::Done;
        // Only a file (or a link to one) can be an entry; anything else starts nothing.
        if (std::filesystem::is_directory(status)) return AutostartResult::Done;
        return std::filesystem::remove(entry, ec) && !ec ? AutostartResult::Done
                                                         : AutostartResult::DeleteFailed;
    }

    std::filesystem::create_directories(*folder, ec);
    if (ec || !std::filesystem::is_directory(*folder, ec)) {
        return AutostartResult::FolderUnavailable;
    }
    const auto shortcut = CreateShellShortcut();
    if (!shortcut->SetInfo(AutostartShortcut(program, dataDirectory)) || !shortcut->Save(entry)) {
        return AutostartResult::SaveFailed;
    }
    // Read back as the desktop will: an entry that does not load was not written properly.
    const auto check = CreateShellShortcut();
    if (!check->Load(entry)) return AutostartResult::SaveFailed;
    check->Resolve();
    return AutostartResult::Done;
}

std::shared_ptr<AutostartSwitch> MakeAutostartSwitch(EnvironmentLookup env) {
    class FolderSwitch final : public AutostartSwitch {
    public:
        explicit FolderSwitch(EnvironmentLookup env) : m_env(std::move(env)) {}
        AutostartResult Apply(bool enable, const std::filesystem::path& program,
                              const std::optional<std::string>& dataDirectory) override {
            const EnvironmentLookup none = [](const std::string&) {
                return std::optional<std::string>();
            };
            return ApplyAutostart(enable, AutostartFolder(m_env ? m_env : none), program,
                                  dataDirectory);
        }

    private:
        EnvironmentLookup m_env;
    };
    return std::make_shared<FolderSwitch>(std::move(env));
}

std::string AutostartErrorText(bool enable) {
    return enable ? W1252(
                        "Beim Setzen des Kennzeichens \"Automatisch starten\" ist ein Fehler "
                        "aufgetreten.")
                  : W1252(
                        "Beim Löschen des Kennzeichens \"Automatisch starten\" ist ein Fehler "
                        "aufgetreten.");
}

}  // namespace tavolin
