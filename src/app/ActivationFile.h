#pragma once
// The D-Bus activation file of the automation object: with it the session bus starts
// "tavolin -Embedding" when a client asks for org.tavolin.Application.

#include <QString>

namespace tavolin {

class ActivationFile {
public:
    /// $XDG_DATA_HOME/dbus-1/services/org.tavolin.Application.service (~/.local/share/...).
    static QString Path();
    /// The file's contents for the program at programPath.
    static QByteArray Contents(const QString& programPath);
    /// Writes the file (atomically, only when its contents differ); false when it cannot.
    static bool Write(const QString& programPath);
    /// Removes the file; a missing file is no error.
    static bool Remove();
};

}  // namespace tavolin
