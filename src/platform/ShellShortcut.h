#pragma once
// A shortcut file that starts a program: fill it with SetInfo, write it with Save, read one
// back with Load. The platform decides the file format (an XDG desktop entry on Linux).

#include <filesystem>
#include <memory>

#include "platform/ShortcutInfo.h"

namespace tavolin {

class ShellShortcut {
public:
    virtual ~ShellShortcut() = default;

    /// Takes over every field of info; false when the platform has no shortcuts.
    virtual bool SetInfo(const ShortcutInfo& info) = 0;
    /// Writes the shortcut to path, replacing any file there atomically; true on success.
    virtual bool Save(const std::filesystem::path& path) = 0;
    /// Reads the shortcut at path into Info(); false when it is missing or no shortcut.
    virtual bool Load(const std::filesystem::path& path) = 0;
    /// Whether the loaded shortcut's target can be started.
    virtual bool Resolve() const = 0;

    const ShortcutInfo& Info() const { return m_info; }

protected:
    ShortcutInfo m_info;
};

/// The platform's shortcut (Linux: XDG desktop entry).
std::unique_ptr<ShellShortcut> CreateShellShortcut();

}  // namespace tavolin
