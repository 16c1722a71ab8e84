#pragma once
// Notices that do not wait for an answer, handed to the desktop's notification service (on
// Linux org.freedesktop.Notifications, on Windows the program's notification icon).

#include <string>

namespace tavolin {

struct Notification {
    std::string summary;  // UTF-8
    std::string body;     // UTF-8, plain text
    /// Stays until the person closes or acknowledges it (a reminder); otherwise the service's
    /// default expiry.
    bool persistent = false;
    /// When not empty, the label of an action that closes it (UTF-8).
    std::string acknowledge;
};

class Notifier {
public:
    virtual ~Notifier() = default;
    /// Hands one notification over; false when no service takes it. May block for a moment
    /// (at most a few seconds): call it off the user-interface thread. Safe from any thread.
    virtual bool Send(const Notification& notification) = 0;
};

}  // namespace tavolin
