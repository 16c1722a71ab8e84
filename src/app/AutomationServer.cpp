#include "app/AutomationServer.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

namespace tavolin {

const QString AutomationServer::kServiceName = QStringLiteral("org.tavolin.Application");
const QString AutomationServer::kFactoryPath = QStringLiteral("/org/tavolin/Application");

QString AutomationInstance::introspect(const QString&) const {
    // Named although it is empty, so clients can see what the object is.
    return QStringLiteral("  <interface name=\"org.tavolin.Application\">\n  </interface>\n");
}

bool AutomationInstance::handleMessage(const QDBusMessage& message,
                                       const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage) return false;
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Introspectable") &&
        message.member() == QLatin1String("Introspect")) {
        const QString xml =
            QStringLiteral(
                "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
                " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>\n"
                "  <interface name=\"org.freedesktop.DBus.Introspectable\">\n"
                "    <method name=\"Introspect\">\n"
                "      <arg name=\"xml_data\" type=\"s\" direction=\"out\"/>\n"
                "    </method>\n  </interface>\n") +
            introspect(message.path()) + QStringLiteral("</node>\n");
        connection.send(message.createReply(xml));
        return true;
    }
    connection.send(message.createErrorReply(
        QDBusError::UnknownMethod,
        QStringLiteral("org.tavolin.Application has no members")));
    return true;
}

AutomationServer::AutomationServer(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(bus), m_watcher(new QDBusServiceWatcher(this)) {
    m_watcher->setConnection(m_bus);
    m_watcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &AutomationServer::ClientGone);
}

AutomationServer::~AutomationServer() {
    for (const Instance& i : std::as_const(m_instances)) {
        m_bus.unregisterObject(i.object->objectName());
    }
    if (m_registered) {
        m_bus.unregisterObject(kFactoryPath);
        m_bus.unregisterService(kServiceName);
    }
}

bool AutomationServer::Register(QString* error) {
    if (!m_bus.isConnected()) {
        if (error) *error = QStringLiteral("no session bus");
        return false;
    }
    if (!m_bus.registerObject(kFactoryPath, this, QDBusConnection::ExportAllSlots)) {
        if (error) *error = QStringLiteral("cannot export %1").arg(kFactoryPath);
        return false;
    }
    if (!m_bus.registerService(kServiceName)) {
        if (error) *error = m_bus.lastError().message();
        m_bus.unregisterObject(kFactoryPath);
        return false;
    }
    m_registered = true;
    return true;
}

QDBusObjectPath AutomationServer::Create() {
    const QString client = calledFromDBus() ? message().service() : QString();
    if (instanceCount() >= kMaxInstances ||
        (!client.isEmpty() && m_perClient.value(client) >= kMaxPerClient)) {
        if (calledFromDBus()) {
            sendErrorReply(QStringLiteral("org.tavolin.Error.LimitExceeded"),
                           QStringLiteral("too many instances; release some first"));
        }
        return QDBusObjectPath();
    }
    const QString path = kFactoryPath + QStringLiteral("/Instance%1").arg(m_next++);
    auto* object = new AutomationInstance(this);
    object->setObjectName(path);
    m_bus.registerVirtualObject(path, object, QDBusConnection::SingleNode);
    m_instances.insert(path, {object, client});
    // One watch per client, not per instance: each watch is a match rule on the bus.
    if (!client.isEmpty() && m_perClient[client]++ == 0) m_watcher->addWatchedService(client);
    emit instancesChanged(instanceCount());
    return QDBusObjectPath(path);
}

void AutomationServer::Release(const QDBusObjectPath& path) {
    const auto it = m_instances.constFind(path.path());
    if (it == m_instances.cend()) return;
    if (calledFromDBus() && it->client != message().service()) return;
    Drop(path.path());
}

void AutomationServer::ClientGone(const QString& client) {
    for (const QString& path : m_instances.keys()) {
        if (m_instances.value(path).client == client) Drop(path);
    }
}

void AutomationServer::Drop(const QString& path) {
    const Instance instance = m_instances.take(path);
    m_bus.unregisterObject(path);
    delete instance.object;
    if (!instance.client.isEmpty() && --m_perClient[instance.client] <= 0) {
        m_perClient.remove(instance.client);
        m_watcher->removeWatchedService(instance.client);
    }
    emit instancesChanged(instanceCount());
}

}  // namespace tavolin
