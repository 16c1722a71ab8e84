#pragma once
// The notification icons alive in this process, so that code without access to the main
// dialog (the reminder notifications on Windows) can show a balloon message at one of them.

#include <QString>

class QSystemTrayIcon;

namespace tavolin {

/// The icon is shown in the notification area from now on / no longer. UI thread only.
void AddTrayMessageIcon(QSystemTrayIcon* icon);
void RemoveTrayMessageIcon(QSystemTrayIcon* icon);

/// Shows a balloon message at the newest visible icon. UI thread only; false when there is none.
bool ShowTrayMessage(const QString& title, const QString& text);

}  // namespace tavolin
