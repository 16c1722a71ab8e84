#pragma once
// The program's automation object on the session bus: the name org.tavolin.Application, a
// class factory at /org/tavolin/Application whose Create hands out instances (objects with an
// interface of no methods and no properties). While any instance exists the program stays
// alive; an instance ends with Release or when its client leaves the bus.

#include <QDBusVirtualObject>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>

class QDBusServiceWatcher;

namespace tavolin {

/// The object handed to a client: the empty interface org.tavolin.Application and nothing else.
/// It answers introspection itself and refuses every call, so nothing of QObject (its
/// objectName property, its slots) reaches the bus.
class AutomationInstance : public QDBusVirtualObject {
    Q_OBJECT

public:
    using QDBusVirtualObject::QDBusVirtualObject;
    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
};

class AutomationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tavolin.ClassFactory")

public:
    static const QString kServiceName;
    static const QString kFactoryPath;
    /// Live instances one client may hold, and all clients together; Create fails beyond.
    static constexpr int kMaxPerClient = 16;
    static constexpr int kMaxInstances = 256;

    explicit AutomationServer(QDBusConnection bus, QObject* parent = nullptr);
    ~AutomationServer() override;

    /// Claims the name and exports the factory; false (with the reason) when the bus refuses.
    bool Register(QString* error = nullptr);

    int instanceCount() const { return int(m_instances.size()); }

public slots:
    /// Creates an instance for the calling client and returns its object path; an error
    /// (org.tavolin.Error.LimitExceeded) when the client or the program holds too many.
    QDBusObjectPath Create();
    /// Ends the instance at path (only its own client may).
    void Release(const QDBusObjectPath& path);

signals:
    /// The number of live instances changed (0: no client holds the program any more).
    void instancesChanged(int count);

private:
    void ClientGone(const QString& client);
    void Drop(const QString& path);

    struct Instance {
        AutomationInstance* object;
        QString client;
    };
    QDBusConnection m_bus;
    QMap<QString, Instance> m_instances;  // by object path
    QMap<QString, int> m_perClient;       // live instances of each watched client
    QDBusServiceWatcher* m_watcher;
    quint64 m_next = 1;
    bool m_registered = false;
};

}  // namespace tavolin
