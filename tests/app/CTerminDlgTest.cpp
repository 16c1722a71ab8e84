// The appointment dialog: layout, the note flag, the quarter-hour steps and the checks on OK.
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/CTerminDlg.h"
#include "app/UpDownArrows.h"
#include "controls/DialogRecorder.h"
#include "controls/DialogUnits.h"

using tavolin::CTerminDlg;
using tavolin::ui::DialogRecorder;

class CTerminDlgTest : public QObject {
    Q_OBJECT

private:
    static QLineEdit* Edit(CTerminDlg& d, int id) {
        return qobject_cast<QLineEdit*>(d.control(id));
    }

private slots:
    void layoutTitleAndTabOrder() {
        CTerminDlg d;
        QCOMPARE(d.windowTitle(), QString::fromUtf8("Termin / Notiz hinzufügen"));
        const auto du = tavolin::ui::DialogUnits::of(&d);
        QCOMPARE(d.size(), du.size(174, 61));
        QCOMPARE(d.control(1042)->geometry(), du.rect(7, 24, 160, 14));
        QCOMPARE(d.control(1043)->geometry().topLeft(), du.rect(59, 7, 54, 15).topLeft());
        d.m_timeText = QStringLiteral("09:15");
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        // The arrows sit at the right end of the time field.
        const QRect time = d.control(1044)->geometry();
        const QRect arrows = d.control(1048)->geometry();
        QVERIFY(arrows.left() >= time.left() && arrows.right() <= time.right() + 1);
        QTRY_VERIFY(d.control(1042)->hasFocus());
        QStringList chain;
        QWidget* w = d.control(1042);
        for (int i = 0; i < 100 && chain.size() < 7; ++i, w = w->nextInFocusChain()) {
            if (w->objectName().startsWith(QStringLiteral("ctl")) &&
                !chain.contains(w->objectName())) {
                chain << w->objectName();
            }
        }
        QCOMPARE(chain, (QStringList{"ctl1042", "ctl1", "ctl2", "ctl1047", "ctl1043", "ctl1048",
                                     "ctl1044"}));
        auto* ok = qobject_cast<QPushButton*>(d.control(1));
        QVERIFY(ok->isDefault());
        QCOMPARE(qobject_cast<QPushButton*>(d.control(2))->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(Edit(d, 1044)->text(), QStringLiteral("09:15"));
    }

    void noteFlagHidesAndRestoresDateAndTime() {
        CTerminDlg d;
        d.m_note = true;
        d.m_date = QDate(2003, 3, 9);
        d.m_timeText = QStringLiteral("14:45");
        d.m_remark = QStringLiteral("Blumen");
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        auto* box = qobject_cast<QCheckBox*>(d.control(1047));
        QVERIFY(box->isChecked());
        for (int id : {1043, 1044, 1048}) QVERIFY(!d.control(id)->isVisible());
        for (int id : {1042, 1, 2, 1047}) QVERIFY(d.control(id)->isVisible());
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!d.m_note);
        for (int id : {1043, 1044, 1048}) QVERIFY(d.control(id)->isVisible());
        QCOMPARE(qobject_cast<QDateEdit*>(d.control(1043))->date(), QDate(2003, 3, 9));
        QCOMPARE(Edit(d, 1044)->text(), QStringLiteral("14:45"));
        // The mnemonic ticks it again.
        QTest::keyClick(&d, Qt::Key_N, Qt::AltModifier);
        QTRY_VERIFY(d.m_note);
        QVERIFY(!d.control(1044)->isVisible());
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(d.m_note);
        QCOMPARE(d.m_remark, QStringLiteral("Blumen"));
    }

    void stepsFollowTheQuarterHourTable_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("up");
        QTest::addColumn<QString>("down");
        QTest::newRow("09:45") << "09:45"
                               << "10:00"
                               << "09:30";
        QTest::newRow("09:00") << "09:00"
                               << "09:15"
                               << "08:45";
        QTest::newRow("23:45") << "23:45"
                               << "00:00"
                               << "23:30";
        QTest::newRow("00:00") << "00:00"
                               << "00:15"
                               << "23:45";
        QTest::newRow("10:35") << "10:35"
                               << "11:00"
                               << "10:15";
    }
    void stepsFollowTheQuarterHourTable() {
        QFETCH(QString, before);
        QFETCH(QString, up);
        QFETCH(QString, down);
        for (const int delta : {-1, 1}) {
            CTerminDlg d;
            d.m_date = QDate(2003, 3, 9);
            d.m_timeText = before;
            d.show();
            d.OnDeltaPos(delta);
            QCOMPARE(d.m_timeText, delta == -1 ? up : down);
            QCOMPARE(Edit(d, 1044)->text(), d.m_timeText);
            QCOMPARE(qobject_cast<QDateEdit*>(d.control(1043))->date(), QDate(2003, 3, 9));
        }
    }

    void arrowsAndKeysStepFromTheHeldTime() {
        CTerminDlg d;
        d.m_timeText = QStringLiteral("09:00");
        d.m_remark = QStringLiteral("alt");
        d.show();
        QWidget* arrows = d.control(1048);
        for (int i = 0; i < 10; ++i)
            QTest::mouseClick(arrows, Qt::LeftButton, {}, QPoint(arrows->width() / 2, 1));
        QCOMPARE(d.m_timeText, QStringLiteral("11:30"));
        QTest::mouseClick(arrows, Qt::LeftButton, {},
                          QPoint(arrows->width() / 2, arrows->height() - 2));
        QCOMPARE(d.m_timeText, QStringLiteral("11:15"));
        arrows->setFocus();
        QTest::keyClick(arrows, Qt::Key_Up);
        QCOMPARE(d.m_timeText, QStringLiteral("11:30"));
        QTest::keyClick(arrows, Qt::Key_Down);
        QCOMPARE(d.m_timeText, QStringLiteral("11:15"));
        // A step re-transfers every held field: text typed since is replaced by the held one.
        Edit(d, 1042)->setText(QStringLiteral("neu"));
        d.OnDeltaPos(-1);
        QCOMPARE(Edit(d, 1042)->text(), QStringLiteral("alt"));
        QCOMPARE(Edit(d, 1044)->text(), QStringLiteral("11:30"));
    }

    void okRefusesOverlongAndUnstorableRemarks() {
        DialogRecorder recorder;
        CTerminDlg d;
        d.m_remark = QString(40, QLatin1Char('x'));  // an imported remark may be longer
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QLineEdit* remark = Edit(d, 1042);
        QCOMPARE(remark->text().size(), 40);
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(d.isVisible());
        QCOMPARE(recorder.messages().size(), size_t(1));
        QCOMPARE(recorder.messages()[0].text,
                 QStringLiteral("Please enter no more than 35 characters."));
        QTRY_VERIFY(remark->hasFocus());

        // Typing stops at 35 characters; shortening a longer text still works.
        remark->clear();
        QTest::keyClicks(remark, QString(50, QLatin1Char('y')));
        QCOMPARE(remark->text().size(), CTerminDlg::kMaxRemark);
        remark->setText(QString(40, QLatin1Char('z')));
        QTest::keyClick(remark, Qt::Key_End);
        QTest::keyClick(remark, Qt::Key_Backspace);
        QCOMPARE(remark->text().size(), 39);
        QTest::keyClick(remark, Qt::Key_A);
        QCOMPARE(remark->text().size(), 39);

        remark->setText(QString::fromUtf8("Pfeil → rechts"));
        d.accept();
        QVERIFY(d.isVisible());
        QCOMPARE(recorder.messages().size(), size_t(2));
        QVERIFY(recorder.messages()[1].text.contains(QString::fromUtf8("\"→\"")));
        QCOMPARE(d.m_remark, QString(40, QLatin1Char('x')));  // nothing taken over

        remark->setText(QString::fromUtf8("Grüße € 5"));
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.m_remark, QString::fromUtf8("Grüße € 5"));
    }
};

QTEST_MAIN(CTerminDlgTest)
#include "CTerminDlgTest.moc"
