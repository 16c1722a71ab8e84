// The automation object on a real session bus (the x11 runner starts a private one): the name
// is claimed, Create hands out instances, and an instance ends with Release or when its client
// leaves the bus. The dialog only hides on close while a client holds it.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QSignalSpy>
#include <QtTest>

#include "AppTestSupport.h"
#include "app/AutomationServer.h"
#include "app/CTavolinDlg.h"

using namespace tavolin;

namespace {

// Calls a factory method without blocking this thread: the server answers on it.
QDBusPendingCall CallFactory(QDBusConnection& client, const char* method,
                             const QVariantList& args = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(AutomationServer::kServiceName,
                                                       AutomationServer::kFactoryPath,
                                                       "org.tavolin.ClassFactory", method);
    call.setArguments(args);
    return client.asyncCall(call);
}

}  // namespace

class AutomationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("no session bus");
    }

    void createAndRelease() {
        AutomationServer server(QDBusConnection::sessionBus());
        QVERIFY(server.Register());
        QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
            AutomationServer::kServiceName));
        AutomationServer second(QDBusConnection::sessionBus());
        QString error;
        // One bus connection may own the name once; the second export of the path fails.
        QVERIFY(!second.Register(&error));

        {
            QDBusConnection client =
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client1");
            QDBusPendingReply<QDBusObjectPath> reply = CallFactory(client, "Create");
            QTRY_VERIFY(reply.isFinished());
            QVERIFY2(reply.isValid(), qPrintable(reply.error().message()));
            QCOMPARE(server.instanceCount(), 1);
            QVERIFY(reply.value().path().startsWith(AutomationServer::kFactoryPath + "/"));

            // The instance is an object with the empty interface.
            QDBusMessage introspect =
                QDBusMessage::createMethodCall(AutomationServer::kServiceName, reply.value().path(),
                                               "org.freedesktop.DBus.Introspectable", "Introspect");
            QDBusPendingReply<QString> xml = client.asyncCall(introspect);
            QTRY_VERIFY(xml.isFinished());
            QVERIFY2(xml.value().contains("<interface name=\"org.tavolin.Application\""),
                     qPrintable(xml.value()));

            QDBusPendingReply<> released =
                CallFactory(client, "Release", {QVariant::fromValue(reply.value())});
            QTRY_COMPARE(server.instanceCount(), 0);

            // A client that leaves the bus releases its instances.
            QDBusPendingReply<QDBusObjectPath> again = CallFactory(client, "Create");
            QTRY_COMPARE(server.instanceCount(), 1);
        }
        // The connection closes once its last handle is gone.
        QDBusConnection::disconnectFromBus("client1");
        QTRY_COMPARE(server.instanceCount(), 0);
    }

    void dialogStaysWhileAClientHoldsIt() {
        test::AppSandbox box;
        AutomationServer server(QDBusConnection::sessionBus());
        QVERIFY(server.Register());
        CTavolinDlg dlg(box.context(), true);
        QVERIFY(dlg.Initialise());
        connect(&server, &AutomationServer::instancesChanged, &dlg,
                [&dlg](int n) { dlg.setAutomationProxy(n > 0); });
        QSignalSpy ended(&dlg, &CTavolinDlg::ended);
        dlg.show();

        {
            QDBusConnection client =
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client2");
            QDBusPendingReply<QDBusObjectPath> created = CallFactory(client, "Create");
            QTRY_VERIFY(dlg.hasAutomationProxy());
        }
        dlg.close();
        QVERIFY(!dlg.isVisible());
        QCOMPARE(ended.count(), 0);
        QDBusConnection::disconnectFromBus("client2");
        QTRY_COMPARE(ended.count(), 1);
    }

    // Outer surface: an instance exports its empty interface and nothing else; one client
    // gets a bounded number of instances, and all of them go when it leaves the bus.
    void instancesAreBoundedPerClientAndExportNothingElse() {
        AutomationServer server(QDBusConnection::sessionBus());
        QVERIFY(server.Register());
        {
            QDBusConnection client =
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client3");
            QList<QDBusPendingReply<QDBusObjectPath>> replies;
            for (int i = 0; i < AutomationServer::kMaxPerClient + 5; ++i) {
                replies << CallFactory(client, "Create");
            }
            for (auto& reply : replies) QTRY_VERIFY(reply.isFinished());
            int refused = 0;
            for (auto& reply : replies) {
                if (reply.isError()) {
                    ++refused;
                    QCOMPARE(reply.error().name(), QStringLiteral("org.tavolin.Error.LimitExceeded"));
                }
            }
            QCOMPARE(refused, 5);
            QCOMPARE(server.instanceCount(), AutomationServer::kMaxPerClient);

            const QString path = replies[0].value().path();
            for (const QString& objectPath : {path, AutomationServer::kFactoryPath}) {
                QDBusMessage introspect = QDBusMessage::createMethodCall(
                    AutomationServer::kServiceName, objectPath,
                    "org.freedesktop.DBus.Introspectable", "Introspect");
                QDBusPendingReply<QString> xml = client.asyncCall(introspect);
                QTRY_VERIFY(xml.isFinished());
                QVERIFY2(!xml.value().contains("objectName"), qPrintable(xml.value()));
                QVERIFY2(!xml.value().contains("deleteLater"), qPrintable(xml.value()));
            }
            QDBusMessage set = QDBusMessage::createMethodCall(
                AutomationServer::kServiceName, path, "org.freedesktop.DBus.Properties", "Set");
            set.setArguments({QStringLiteral("org.tavolin.Application"),
                              QStringLiteral("objectName"),
                              QVariant::fromValue(QDBusVariant(QStringLiteral("x")))});
            QDBusPendingReply<> written = client.asyncCall(set);
            QTRY_VERIFY(written.isFinished());
            QVERIFY(written.isError());

            // Another client is not held back by the first one's instances.
            QDBusConnection other =
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client4");
            QDBusPendingReply<QDBusObjectPath> theirs = CallFactory(other, "Create");
            QTRY_VERIFY(theirs.isFinished());
            QVERIFY(theirs.isValid());
        }
        QDBusConnection::disconnectFromBus("client3");
        QTRY_COMPARE(server.instanceCount(), 1);
        QDBusConnection::disconnectFromBus("client4");
        QTRY_COMPARE(server.instanceCount(), 0);
        QCOMPARE(server.findChildren<AutomationInstance*>().size(), 0);
    }
};

QTEST_MAIN(AutomationTest)
#include "AutomationTest.moc"
