// Which notification icon a reminder's balloon goes to: the newest one that is shown.

#include <QSystemTrayIcon>
#include <QTest>
#include <memory>

#include "app/TrayMessages.h"

using tavolin::AddTrayMessageIcon;
using tavolin::RemoveTrayMessageIcon;
using tavolin::ShowTrayMessage;

class TrayMessagesTest : public QObject {
    Q_OBJECT

private slots:
    void noIconNoMessage() { QVERIFY(!ShowTrayMessage(QStringLiteral("T"), QStringLiteral("x"))); }

    void onlyShownAndRegisteredIconsCount() {
        auto older = std::make_unique<QSystemTrayIcon>();
        auto newer = std::make_unique<QSystemTrayIcon>();
        AddTrayMessageIcon(older.get());
        AddTrayMessageIcon(newer.get());
        // Neither is shown yet (a hidden window's icon was taken out of the area).
        QVERIFY(!ShowTrayMessage(QStringLiteral("T"), QStringLiteral("x")));
        older->show();
        QVERIFY(ShowTrayMessage(QStringLiteral("T"), QStringLiteral("x")));
        older->hide();
        newer->show();
        QVERIFY(ShowTrayMessage(QStringLiteral("T"), QStringLiteral("x")));
        // A removed icon is forgotten even while it still shows.
        RemoveTrayMessageIcon(newer.get());
        QVERIFY(!ShowTrayMessage(QStringLiteral("T"), QStringLiteral("x")));
        RemoveTrayMessageIcon(older.get());
        older->show();
        QVERIFY(!ShowTrayMessage(QStringLiteral("T"), QStringLiteral("x")));
    }
};

QTEST_MAIN(TrayMessagesTest)
#include "TrayMessagesTest.moc"
