#pragma once
// The D-Bus activation file of the automation object: with it the session bus starts
// "tavolin -Embedding" when a client asks for org.tavolin.Application. Written by the
// registration run (-Regserver) only; it lives outside the data directory.

#include <QString>
#include <optional>
#include <string>

#include "platform/linux/Environment.h"

namespace tavolin {

class ActivationFile {
public:
    /// $XDG_DATA_HOME/dbus-1/services/org.tavolin.Application.service (~/.local/share/...).
    /// env: the process's environment (Context::environment).
    static QString Path(const EnvironmentLookup& env);

    /// The file's contents for the program at programPath (file-system bytes), started with
    /// TAVOLIN_DIR=dataDirectory when one is given. nullopt when a path cannot be written so
    /// that the bus starts exactly that program: control characters (a tab or line feed would
    /// split or end the Exec line) or bytes that are not UTF-8 (the bus refuses the file).
    static std::optional<std::string> Contents(
        const std::string& programPath,
        const std::optional<std::string>& dataDirectory = std::nullopt);

    /// Writes the file (atomically, only when its contents differ). False when it cannot, or
    /// when Contents refuses the paths; error (when given) then says why.
    static bool Write(const EnvironmentLookup& env, const std::string& programPath,
                      const std::optional<std::string>& dataDirectory = std::nullopt,
                      QString* error = nullptr);
    /// Removes the file; a missing file is no error.
    static bool Remove(const EnvironmentLookup& env);
};

}  // namespace tavolin
