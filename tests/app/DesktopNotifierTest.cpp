// Desktop notifications against a stand-in notification server on a private session bus
// (run inside tests/support/run-in-x11.sh, which starts the bus).
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QThread>
#include <QtTest>
#include <atomic>

#include "app/DesktopNotifier.h"

namespace {

class FakeServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList summaries, bodies;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        summaries << summary;
        bodies << body;
        return uint(summaries.size());
    }
};

// Sends from a thread of its own, as the reminder check does, while this thread serves.
bool SendOffThread(const QString& summary, const QString& body) {
    std::atomic<int> result{-1};
    QThread* thread =
        QThread::create([&] { result = tavolin::SendDesktopNotification(summary, body) ? 1 : 0; });
    thread->start();
    while (!thread->wait(10)) QCoreApplication::processEvents();
    delete thread;
    return result == 1;
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
};

QTEST_MAIN(DesktopNotifierTest)
#include "DesktopNotifierTest.moc"
