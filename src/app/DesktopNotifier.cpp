#include "app/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace tavolin {

bool SendDesktopNotification(const QString& summary, const QString& body,
                             NotificationStyle style, const QString& acknowledge, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call.setAutoStartService(false);
    // Servers may read the body as simple markup: a remark like "<b>" stays text.
    // The "default" action is also what a click on the notification itself invokes; the
    // server closes a notification once an action was invoked.
    QStringList actions;
    if (!acknowledge.isEmpty()) actions << QStringLiteral("default") << acknowledge;
    QVariantMap hints;
    int expire = -1;
    if (style == NotificationStyle::Persistent) {
        hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(2)));
        hints.insert(QStringLiteral("category"), QStringLiteral("x-tavolin.reminder"));
        expire = 0;  // never expires
    }
    call << QStringLiteral("Tavolin") << 0u << QStringLiteral("appointment-soon") << summary
         << body.toHtmlEscaped() << actions << hints << expire;
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

std::shared_ptr<Notifier> MakeDesktopNotifier() {
    class SessionBusNotifier final : public Notifier {
    public:
        bool Send(const Notification& n) override {
            return SendDesktopNotification(
                QString::fromStdString(n.summary), QString::fromStdString(n.body),
                n.persistent ? NotificationStyle::Persistent : NotificationStyle::Transient,
                QString::fromStdString(n.acknowledge));
        }
    };
    return std::make_shared<SessionBusNotifier>();
}

}  // namespace tavolin
