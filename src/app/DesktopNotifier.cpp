#include "app/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace tavolin {

bool SendDesktopNotification(const QString& summary, const QString& body, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call.setAutoStartService(false);
    // Servers may read the body as simple markup: a remark like "<b>" stays text.
    call << QStringLiteral("Tavolin") << 0u << QStringLiteral("appointment-soon") << summary
         << body.toHtmlEscaped() << QStringList() << QVariantMap() << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace tavolin
