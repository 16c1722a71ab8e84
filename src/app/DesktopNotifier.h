#pragma once
// Desktop notifications through org.freedesktop.Notifications on the session bus, so that a
// reminder also reaches the lock screen and the notification history.

#include <QString>

namespace tavolin {

/// Sends one notification where a notification server is running; none is started for it.
/// Blocks for at most timeoutMs, so call it off the user-interface thread. False when there is
/// no session bus or no server, or the server refused.
bool SendDesktopNotification(const QString& summary, const QString& body, int timeoutMs = 2000);

}  // namespace tavolin
