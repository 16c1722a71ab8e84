// Desktop notifications against a stand-in notification server on a private session bus
// (run inside tests/support/run-in-x11.sh, which starts the bus).
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <functional>

#include "app/DesktopNotifier.h"
#include "app/Reminders.h"

namespace {

class FakeServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList summaries, bodies;
    QList<QStringList> actions;
    QList<QVariantMap> hints;
    QList<int> expiry;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actionList, const QVariantMap& hintMap, int expireTimeout) {
        summaries << summary;
        bodies << body;
        actions << actionList;
        hints << hintMap;
        expiry << expireTimeout;
        return uint(summaries.size());
    }
};

// Sends from a thread of its own, as the reminder check does, while this thread serves.
bool RunOffThread(const std::function<bool()>& send) {
    std::atomic<int> result{-1};
    QThread* thread = QThread::create([&] { result = send() ? 1 : 0; });
    thread->start();
    while (!thread->wait(10)) QCoreApplication::processEvents();
    delete thread;
    return result == 1;
}

bool SendOffThread(const QString& summary, const QString& body) {
    return RunOffThread([&] { return tavolin::SendDesktopNotification(summary, body); });
}

}  // namespace

class DesktopNotifierTest : public QObject {
    Q_OBJECT

private slots:
    void withoutAServerNothingIsSentAndNothingHangs() {
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("no session bus");
        QVERIFY(!SendOffThread(QStringLiteral("Termin-Erinnerung"), QStringLiteral("x")));
    }

    void aRunningServerGetsSummaryAndEscapedBody() {
        QDBusConnection server =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"));
        if (!server.isConnected()) QSKIP("no session bus");
        FakeServer fake;
        QVERIFY(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                      QDBusConnection::ExportAllSlots));
        QVERIFY(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(SendOffThread(QStringLiteral("Termin-Erinnerung"),
                              QString::fromUtf8("07.03.2003 - 14:30\nZahnarzt <Raum 2> & Grüße")));
        QCOMPARE(fake.summaries, QStringList{QStringLiteral("Termin-Erinnerung")});
        QCOMPARE(fake.bodies, QStringList{QString::fromUtf8(
                                  "07.03.2003 - 14:30\nZahnarzt &lt;Raum 2&gt; &amp; Grüße")});
        server.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    }

    // One reminder, not two: the server takes it as a notification that stays until it is
    // acknowledged, and the reminders show no box for it. Without a server the box comes.
    void aReminderIsAPersistentNotificationWithAnAcknowledgeAction() {
        const tavolin::Appointment due{"07.03.2003 - 14:30", "Zahnarzt"};
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("no session bus");
        QVERIFY(!RunOffThread([&] { return tavolin::MakeDesktopNotifier()->Send(tavolin::Reminders::ReminderNotification(due)); }));
        QDBusConnection server =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server2"));
        FakeServer fake;
        QVERIFY(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                      QDBusConnection::ExportAllSlots));
        QVERIFY(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(RunOffThread([&] { return tavolin::MakeDesktopNotifier()->Send(tavolin::Reminders::ReminderNotification(due)); }));
        QCOMPARE(fake.summaries, QStringList{QStringLiteral("Termin-Erinnerung")});
        QCOMPARE(fake.expiry, QList<int>{0});
        QCOMPARE(fake.hints[0].value(QStringLiteral("urgency")).toInt(), 2);
        QCOMPARE(fake.actions[0].size(), 2);
        QCOMPARE(fake.actions[0][0], QStringLiteral("default"));
        server.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("server2"));
    }
};

QTEST_MAIN(DesktopNotifierTest)
#include "DesktopNotifierTest.moc"
