#pragma once
// ShellShortcut as an XDG autostart entry: a .desktop file of Type=Application whose Exec line
// runs the target with its arguments. Fields without a desktop-entry key of their own are kept
// in X-Tavolin- keys, so Load gives back what Save wrote.

#include <optional>
#include <string>
#include <string_view>

#include "platform/ShellShortcut.h"

namespace tavolin {

class XdgShellShortcut : public ShellShortcut {
public:
    bool SetInfo(const ShortcutInfo& info) override;
    bool Save(const std::filesystem::path& path) override;
    bool Load(const std::filesystem::path& path) override;
    bool Resolve() const override;

    /// The file text Save writes for info.
    static std::string EntryText(const ShortcutInfo& info);
    /// The fields of an entry's text; nullopt when it is no application entry with an Exec line.
    static std::optional<ShortcutInfo> ParseEntry(std::string_view text);
};

}  // namespace tavolin
