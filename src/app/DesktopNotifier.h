#pragma once
// Desktop notifications through org.freedesktop.Notifications on the session bus, so that a
// reminder also reaches the lock screen and the notification history.

#include <QString>
#include <memory>

#include "platform/Notifications.h"

namespace tavolin {

enum class NotificationStyle {
    Transient,   // the server's default expiry
    Persistent,  // stays until the person closes or acknowledges it (critical urgency)
};

/// Sends one notification where a notification server is running; none is started for it.
/// acknowledge, when not empty, is the label of an action that closes it. Blocks for at most
/// timeoutMs, so call it off the user-interface thread. False when there is no session bus or
/// no server, or the server refused.
bool SendDesktopNotification(const QString& summary, const QString& body,
                             NotificationStyle style = NotificationStyle::Transient,
                             const QString& acknowledge = QString(), int timeoutMs = 2000);

/// The program's notifications for Context::notifier: SendDesktopNotification (Linux) or the
/// notification icon's balloons (Windows).
std::shared_ptr<Notifier> MakeDesktopNotifier();

}  // namespace tavolin
