#pragma once
// Windows' shell and COM: shell links (.lnk) for the autostart shortcut, late-bound automation
// through IDispatch, the class registry and the "open" verb.

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/Automation.h"
#include "platform/ShellShortcut.h"

struct IDispatch;

namespace tavolin {

/// A ShellShortcut kept in a shell link file through IShellLinkW and IPersistFile.
class ShellLinkShortcut final : public ShellShortcut {
public:
    bool SetInfo(const ShortcutInfo& info) override;
    bool Save(const std::filesystem::path& path) override;
    bool Load(const std::filesystem::path& path) override;
    bool Resolve() const override;
};

/// The current user's Startup folder (FOLDERID_Startup); nullopt when the shell has none.
std::optional<std::filesystem::path> StartupFolder();

/// An AutomationObject that drives dispatch (AddRef'd here, released with the object).
std::shared_ptr<AutomationObject> WrapDispatch(IDispatch* dispatch);

/// Initialises COM for the calling thread (apartment-threaded) when it is not yet; false when
/// COM cannot be used on it.
bool EnsureCom();

}  // namespace tavolin
