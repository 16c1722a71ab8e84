// Reminders as balloon messages of the program's own notification icon: Windows has no
// notification server to talk to, and the icon is what the user sees while the window hides.

#include <QCoreApplication>
#include <QMetaObject>
#include <QSystemTrayIcon>

#include "app/DesktopNotifier.h"
#include "app/TrayMessages.h"

namespace tavolin {

bool SendDesktopNotification(const QString& summary, const QString& body,
                             NotificationStyle /*style*/, const QString& /*acknowledge*/,
                             int /*timeoutMs*/) {
    // A balloon has no lasting form and no action button: the reminder's own message box is
    // what stays until acknowledged.
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || !QSystemTrayIcon::supportsMessages()) return false;
    // Called from a reminder thread; the icon belongs to the user-interface thread. Posting
    // never waits, so the user-interface thread may in turn wait for the reminder threads.
    return QMetaObject::invokeMethod(
        app, [summary, body] { ShowTrayMessage(summary, body); }, Qt::QueuedConnection);
}

std::shared_ptr<Notifier> MakeDesktopNotifier() {
    class TrayBalloonNotifier final : public Notifier {
    public:
        bool Send(const Notification& n) override {
            const bool shown = SendDesktopNotification(QString::fromStdString(n.summary),
                                                       QString::fromStdString(n.body));
            // A balloon fades: it cannot stand for a notice that must stay until acknowledged
            // (a reminder), so that one is reported as not taken and its box still comes.
            return shown && !n.persistent;
        }
    };
    return std::make_shared<TrayBalloonNotifier>();
}

}  // namespace tavolin
