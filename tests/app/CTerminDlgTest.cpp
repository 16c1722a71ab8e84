// The appointment dialog: layout, the note flag, the quarter-hour steps, the whole-field checks
// of time and date, and the checks on OK.
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "ControlLookup.h"
#include "app/CTerminDlg.h"
#include "app/UpDownArrows.h"
#include "controls/COXMaskedEdit.h"
#include "controls/DialogRecorder.h"
#include "controls/DialogUnits.h"
#include "controls/Sound.h"

using tavolin::CTerminDlg;
using tavolin::test::Control;
using tavolin::ui::DialogRecorder;

class CTerminDlgTest : public QObject {
    Q_OBJECT

private:
    static QLineEdit* Edit(CTerminDlg& d, const char* name) { return Control<QLineEdit>(d, name); }

private slots:
    void layoutTitleAndTabOrder() {
        CTerminDlg d;
        QCOMPARE(d.windowTitle(), QString::fromUtf8("Termin / Notiz hinzufügen"));
        const auto du = tavolin::ui::DialogUnits::of(&d);
        QCOMPARE(d.size(), du.size(174, 61));
        QCOMPARE(Control(d, "remarkEdit")->geometry(), du.rect(7, 24, 160, 14));
        QCOMPARE(Control(d, "dateEdit")->geometry().topLeft(), du.rect(59, 7, 54, 15).topLeft());
        d.m_timeText = QStringLiteral("09:15");
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        // The arrows sit at the right end of the time field.
        const QRect time = Control(d, "timeEdit")->geometry();
        const QRect arrows = Control(d, "timeArrows")->geometry();
        QVERIFY(arrows.left() >= time.left() && arrows.right() <= time.right() + 1);
        QTRY_VERIFY(Control(d, "remarkEdit")->hasFocus());
        QStringList chain;
        QWidget* w = Control(d, "remarkEdit");
        for (int i = 0; i < 100 && chain.size() < 7; ++i, w = w->nextInFocusChain()) {
            if (w->property("controlId").isValid() && !chain.contains(w->objectName())) {
                chain << w->objectName();
            }
        }
        QCOMPARE(chain, (QStringList{"remarkEdit", "okButton", "cancelButton", "noteCheck",
                                     "dateEdit", "timeArrows", "timeEdit"}));
        auto* ok = Control<QPushButton>(d, "okButton");
        QVERIFY(ok->isDefault());
        QCOMPARE(Control<QPushButton>(d, "cancelButton")->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(Edit(d, "timeEdit")->text(), QStringLiteral("09:15"));
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
        auto* box = Control<QCheckBox>(d, "noteCheck");
        QVERIFY(box->isChecked());
        for (const char* name : {"dateEdit", "timeEdit", "timeArrows"})
            QVERIFY(!Control(d, name)->isVisible());
        for (const char* name : {"remarkEdit", "okButton", "cancelButton", "noteCheck"})
            QVERIFY(Control(d, name)->isVisible());
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!d.m_note);
        for (const char* name : {"dateEdit", "timeEdit", "timeArrows"})
            QVERIFY(Control(d, name)->isVisible());
        QCOMPARE(Control<QDateEdit>(d, "dateEdit")->date(), QDate(2003, 3, 9));
        QCOMPARE(Edit(d, "timeEdit")->text(), QStringLiteral("14:45"));
        // The mnemonic ticks it again.
        QTest::keyClick(&d, Qt::Key_N, Qt::AltModifier);
        QTRY_VERIFY(d.m_note);
        QVERIFY(!Control(d, "timeEdit")->isVisible());
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
            QCOMPARE(Edit(d, "timeEdit")->text(), d.m_timeText);
            QCOMPARE(Control<QDateEdit>(d, "dateEdit")->date(), QDate(2003, 3, 9));
        }
    }

    void arrowsAndKeysStepFromTheShownTimeAndKeepTheRest() {
        CTerminDlg d;
        d.m_timeText = QStringLiteral("09:00");
        d.m_remark = QStringLiteral("alt");
        d.m_date = QDate(2026, 12, 8);
        d.show();
        QWidget* arrows = Control(d, "timeArrows");
        for (int i = 0; i < 10; ++i)
            QTest::mouseClick(arrows, Qt::LeftButton, {}, QPoint(arrows->width() / 2, 1));
        QCOMPARE(Edit(d, "timeEdit")->text(), QStringLiteral("11:30"));
        QTest::mouseClick(arrows, Qt::LeftButton, {},
                          QPoint(arrows->width() / 2, arrows->height() - 2));
        QCOMPARE(Edit(d, "timeEdit")->text(), QStringLiteral("11:15"));
        arrows->setFocus();
        QTest::keyClick(arrows, Qt::Key_Up);
        QCOMPARE(Edit(d, "timeEdit")->text(), QStringLiteral("11:30"));
        QTest::keyClick(arrows, Qt::Key_Down);
        QCOMPARE(Edit(d, "timeEdit")->text(), QStringLiteral("11:15"));
        // What was typed since stays; the step counts from the time shown.
        Edit(d, "remarkEdit")->setText(QStringLiteral("neu"));
        auto* date = Control<QDateEdit>(d, "dateEdit");
        date->setDate(QDate(2026, 12, 24));
        auto* time = Edit(d, "timeEdit");
        time->setFocus();
        time->selectAll();
        QTest::keyClicks(time, QStringLiteral("14"));
        QCOMPARE(time->text(), QStringLiteral("14:00"));
        QTest::mouseClick(arrows, Qt::LeftButton, {}, QPoint(arrows->width() / 2, 1));
        QCOMPARE(Edit(d, "remarkEdit")->text(), QStringLiteral("neu"));
        QCOMPARE(date->date(), QDate(2026, 12, 24));
        QCOMPARE(time->text(), QStringLiteral("14:15"));
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.m_remark, QStringLiteral("neu"));
        QCOMPARE(d.m_date, QDate(2026, 12, 24));
        QCOMPARE(d.m_timeText, QStringLiteral("14:15"));
    }

    // Whole-field checks: a keystroke or paste that would shift the digits into an impossible
    // time is refused with a beep, and the field keeps its time.
    void timeFieldNeverHoldsAnImpossibleTime() {
        tavolin::ui::SoundRecorder sounds;
        CTerminDlg d;
        d.m_timeText = QStringLiteral("09:15");
        d.m_remark = QStringLiteral("Zahnarzt");
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        auto* time = Control<tavolin::ui::COXMaskedEdit>(d, "timeEdit");
        QVERIFY(time->InsertMode());
        time->setFocus();
        time->setCursorPosition(0);
        QTest::keyClick(time, Qt::Key_1);  // insert mode: would give "10:91"
        QCOMPARE(time->text(), QStringLiteral("09:15"));
        QCOMPARE(sounds.beeps(), 1);

        QApplication::clipboard()->setText(QStringLiteral("9999"));
        time->selectAll();
        QTest::keyClick(time, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(time->text(), QStringLiteral("09:15"));
        QCOMPARE(sounds.beeps(), 2);

        time->setText(QStringLiteral("19:30"));
        time->setCursorPosition(0);
        QTest::keyClick(time, Qt::Key_Delete);  // would shift to "93:00"
        QCOMPARE(time->text(), QStringLiteral("19:30"));
        QCOMPARE(sounds.beeps(), 3);
        time->setCursorPosition(2);
        QTest::keyClick(time, Qt::Key_Backspace);  // a shift that stays a time is taken
        QCOMPARE(time->text(), QStringLiteral("13:00"));

        // A paste that makes a time is taken.
        QApplication::clipboard()->setText(QStringLiteral("2315"));
        time->selectAll();
        QTest::keyClick(time, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(time->text(), QStringLiteral("23:15"));
    }

    // A time or date that does not exist (a stored "10:91", a typed 31.02.) is refused on OK and
    // on Enter with a warning; nothing is taken over.
    void okAndEnterRefuseImpossibleTimesAndDates_data() {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("date");
        QTest::addColumn<bool>("enter");
        QTest::addColumn<QString>("named");
        QTest::newRow("10:91 OK") << "10:91"
                                  << "" << false << "10:91";
        QTest::newRow("99:99 Enter") << "99:99"
                                     << "" << true << "99:99";
        QTest::newRow("24:00 OK") << "24:00"
                                  << "" << false << "24:00";
        QTest::newRow("31.02. OK") << "09:15"
                                   << "31.02.2026" << false << "31.02.2026";
        QTest::newRow("00.13. Enter") << "09:15"
                                      << "00.13.2026" << true << "00.13.2026";
    }
    void okAndEnterRefuseImpossibleTimesAndDates() {
        QFETCH(QString, time);
        QFETCH(QString, date);
        QFETCH(bool, enter);
        QFETCH(QString, named);
        DialogRecorder recorder;
        CTerminDlg d;
        d.m_timeText = time;
        d.m_date = QDate(2026, 12, 8);
        d.m_remark = QStringLiteral("Zahnarzt");
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        if (!date.isEmpty()) {
            // Typed over the whole field, as a person would: the field refuses the keys that
            // would make the date impossible, and what it shows is what OK stores.
            auto* dateEdit = Control<QDateEdit>(d, "dateEdit");
            dateEdit->setFocus();
            dateEdit->setCurrentSection(QDateTimeEdit::DaySection);
            QTest::keyClicks(dateEdit, date);
            const QString shown = dateEdit->text();
            QVERIFY(shown != date);
            const QDate shownDate = QDate::fromString(shown, CTerminDlg::DateFormat());
            QVERIFY2(shownDate.isValid(), qPrintable(shown));
            QTest::keyClick(Edit(d, "remarkEdit"), Qt::Key_Return);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QVERIFY(recorder.messages().empty());
            QCOMPARE(d.m_date, shownDate);
            return;
        }
        if (enter) {
            QTest::keyClick(Edit(d, "remarkEdit"), Qt::Key_Return);
        } else {
            QTest::mouseClick(Control(d, "okButton"), Qt::LeftButton);
        }
        QVERIFY(d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(recorder.messages().size(), size_t(1));
        QCOMPARE(recorder.messages()[0].caption, QStringLiteral("Warnung"));
        QVERIFY2(recorder.messages()[0].text.contains(named),
                 qPrintable(recorder.messages()[0].text));
        QCOMPARE(d.m_timeText, time);
        QCOMPARE(d.m_date, QDate(2026, 12, 8));
    }

    void okRefusesUnstorableAndWarnsOfUndrawableRemarks() {
        DialogRecorder recorder;
        CTerminDlg d;
        d.m_remark = QString(40, QLatin1Char('x'));  // an imported remark may be longer
        d.m_timeText = QStringLiteral("09:15");
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QLineEdit* remark = Edit(d, "remarkEdit");
        QCOMPARE(remark->text().size(), 40);
        // Its time can be changed without shortening it.
        d.OnDeltaPos(-1);
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.m_remark.size(), 40);
        QCOMPARE(d.m_timeText, QStringLiteral("09:30"));
        QVERIFY(recorder.messages().empty());

        // Typing stops at 35 characters; shortening a longer text still works.
        d.show();
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
        QCOMPARE(recorder.messages().size(), size_t(1));
        QCOMPARE(recorder.messages()[0].caption, QStringLiteral("Warnung"));
        QVERIFY(recorder.messages()[0].text.contains(QString::fromUtf8("\"→\"")));

        // Storable but not drawable on the wallpaper: the warning names each character once,
        // and No keeps the dialog open.
        tavolin::ui::MessageBox::setNextAnswer(tavolin::ui::MessageBox::No);
        remark->setText(QString::fromUtf8("Grüße € 5 – Señor ó €"));
        d.accept();
        QVERIFY(d.isVisible());
        QCOMPARE(recorder.messages().size(), size_t(2));
        const QString warning = recorder.messages()[1].text;
        QCOMPARE(recorder.messages()[1].caption, QStringLiteral("Warnung"));
        QVERIFY2(warning.contains(QString::fromUtf8("\"€\", \"–\", \"ñ\", \"ó\"")),
                 qPrintable(warning));
        QVERIFY(!warning.contains(QString::fromUtf8("\"ü\"")));
        d.accept();  // Yes (the default) stores it as it stands
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.m_remark, QString::fromUtf8("Grüße € 5 – Señor ó €"));
    }

    // The date shows day.month.four-digit year whatever the locale; its calendar opens under
    // the field's right edge and marks Sundays and holidays only.
    void datePopupIsRightAlignedAndMarksSundaysAndHolidays() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        CTerminDlg d;
        QLocale::setDefault(QLocale::c());
        d.m_date = QDate(2026, 12, 8);
        d.m_timeText = QStringLiteral("09:15");
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        auto* date = Control<QDateEdit>(d, "dateEdit");
        QCOMPARE(date->text(), QStringLiteral("08.12.2026"));
        QCalendarWidget* calendar = date->calendarWidget();
        const QColor red(Qt::red);
        QCOMPARE(calendar->weekdayTextFormat(Qt::Sunday).foreground().color(), red);
        QVERIFY(calendar->weekdayTextFormat(Qt::Saturday).foreground().color() != red);
        QCOMPARE(calendar->dateTextFormat(QDate(2026, 12, 25)).foreground().color(), red);
        QCOMPARE(calendar->dateTextFormat(QDate(2026, 12, 26)).foreground().color(), red);
        QVERIFY(calendar->dateTextFormat(QDate(2026, 12, 24)).foreground().color() != red);
        calendar->setCurrentPage(2027, 4);  // Easter Monday 2027 is 29 March
        QCOMPARE(calendar->dateTextFormat(QDate(2027, 3, 29)).foreground().color(), red);

        // Opened by a click on its arrow, the pop-up's right edge is the field's.
        QTest::mouseClick(date, Qt::LeftButton, {}, QPoint(date->width() - 4, date->height() / 2));
        QWidget* popup = calendar->window();
        QTRY_VERIFY(popup->isVisible());
        const int fieldRight = date->mapToGlobal(QPoint(date->width(), 0)).x();
        QCOMPARE(popup->geometry().right() + 1, fieldRight);
        popup->hide();
    }
};

QTEST_MAIN(CTerminDlgTest)
#include "CTerminDlgTest.moc"
