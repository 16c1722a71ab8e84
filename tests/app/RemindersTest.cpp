// Reminders with an injected clock and recorded boxes, on 7 March 2003 in Europe/Berlin.
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <stdexcept>

#include "app/Reminders.h"
#include "controls/DialogRecorder.h"
#include "support/TestSupport.h"

using namespace tavolin;

class RemindersTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<test::ScopedTimeZone> m_tz;
    QTimer* m_timer = nullptr;
    bool m_notificationTaken = false;  // what the fake notification server answers
    std::unique_ptr<Reminders> m_reminders;
    qint64 m_nowMs = 0;
    QStringList m_shown;                        // texts of the boxes, in order
    std::vector<std::function<void()>> m_open;  // the boxes still open, oldest first
    QStringList m_notified;
    bool m_closeAtOnce = true;

    void Write(const std::string& bytes) const { test::WriteBytes(*m_dir / "Termine.dat", bytes); }
    static qint64 Ms(int hour, int minute, int second, int ms = 0) {
        return (test::Local(2003, 3, 7, hour, minute, second)) * 1000 + ms;
    }
    // A tick of timer 105 at the given time, its check finished and delivered.
    void TickAt(qint64 ms) {
        m_nowMs = ms;
        m_reminders->Tick();
        m_reminders->WaitForChecks();
    }

private slots:
    void init() {
        m_dir = std::make_unique<test::TempDir>();
        m_tz = std::make_unique<test::ScopedTimeZone>("Europe/Berlin");
        m_reminders = std::make_unique<Reminders>(AppointmentStore(*m_dir / "Termine.dat"), nullptr);
        m_timer = &m_reminders->timer();
        m_notificationTaken = false;
        m_shown.clear();
        m_open.clear();
        m_notified.clear();
        m_closeAtOnce = true;
        m_reminders->setClock([this] { return m_nowMs; });
        m_reminders->setPresenter([this](const Appointment& due, std::function<void()> done) {
            m_shown << Reminders::ReminderText(due);
            if (m_closeAtOnce) {
                done();
            } else {
                m_open.push_back(std::move(done));
            }
        });
        m_reminders->setNotifier([this](const Appointment& due) {
            // Worker thread: record through the user-interface thread.
            const QString text = QString::fromStdString(due.Line());
            QMetaObject::invokeMethod(
                this, [this, text] { m_notified << text; }, Qt::QueuedConnection);
            return m_notificationTaken;
        });
    }
    void cleanup() {
        m_reminders.reset();
        m_timer = nullptr;
        m_tz.reset();
        m_dir.reset();
    }

    void oneBoxInTheDueMinuteAndNoneAround() {
        Write("07.03.2003 - 14:30 # Zahnarzt");
        m_nowMs = Ms(14, 28, 30);
        m_reminders->Start();
        // The timer is aimed just past the next minute boundary.
        QVERIFY(m_timer->isActive());
        QCOMPARE(m_timer->interval(), 30000 + 250);
        TickAt(Ms(14, 29, 0, 250));
        QCOMPARE(m_shown, QStringList());
        QCOMPARE(m_timer->interval(), 60000);
        TickAt(Ms(14, 30, 0, 250));
        QCOMPARE(m_shown, QStringList{QStringLiteral("07.03.2003 - 14:30\n\nZahnarzt")});
        TickAt(Ms(14, 30, 40));  // a second tick in the same minute
        TickAt(Ms(14, 31, 0, 250));
        QCOMPARE(m_shown.size(), 1);
        QTRY_COMPARE(m_notified, QStringList{QStringLiteral("07.03.2003 - 14:30 # Zahnarzt")});
    }

    void twoAppointmentsGiveTwoBoxesOneAfterTheOther() {
        Write("07.03.2003 - 14:30 # Zahnarzt\r\n07.03.2003 - 14:30 # Arzt");
        m_closeAtOnce = false;
        m_nowMs = Ms(14, 29, 10);
        m_reminders->Start();
        TickAt(Ms(14, 30, 0, 250));
        QCOMPARE(m_shown, QStringList{QStringLiteral("07.03.2003 - 14:30\n\nZahnarzt")});
        QCOMPARE(m_open.size(), size_t(1));
        // The next tick's boxes do not wait for this one.
        Write("07.03.2003 - 14:31 # Sp\xE4ter");
        TickAt(Ms(14, 31, 0, 250));
        QCOMPARE(m_shown.size(), 2);
        QCOMPARE(m_shown[1], QString::fromUtf8("07.03.2003 - 14:31\n\nSpäter"));
        auto first = std::move(m_open[0]);
        first();
        QCOMPARE(m_shown.size(), 3);
        QCOMPARE(m_shown[2], QStringLiteral("07.03.2003 - 14:30\n\nArzt"));
    }

    void notesAndYesterdayNeverRemindAMovedOneDoes() {
        Write(
            "Notiz # 07.03.2003 - 14:30\r\nNotiz # x\r\n06.03.2003 - 14:30 # gestern\r\n"
            "06.03.2003 - 14:32 # verschoben");
        m_nowMs = Ms(14, 29, 10);
        m_reminders->Start();
        TickAt(Ms(14, 30, 0, 250));
        QCOMPARE(m_shown, QStringList());
        // Moved to today by the tidy-up, it reminds at its time of day.
        {
            test::FixedClock clock(test::Local(2003, 3, 7, 9, 0));
            QCOMPARE(AppointmentStore(*m_dir / "Termine.dat").TidyUp(false, clock.Now()), StoreStatus::Ok);
        }
        TickAt(Ms(14, 32, 0, 250));
        QCOMPARE(m_shown, QStringList{QStringLiteral("07.03.2003 - 14:32\n\nverschoben")});
    }

    void lateAndEarlyTicksStillCheckTheMinuteBetween() {
        Write("07.03.2003 - 14:30 # A\r\n07.03.2003 - 14:31 # B");
        m_nowMs = Ms(14, 28, 10);
        m_reminders->Start();
        TickAt(Ms(14, 29, 59, 900));  // early: 14:29 is checked
        TickAt(Ms(14, 31, 0, 100));   // late: 14:30 and 14:31
        QCOMPARE(m_shown, (QStringList{QStringLiteral("07.03.2003 - 14:30\n\nA"),
                                       QStringLiteral("07.03.2003 - 14:31\n\nB")}));
        // Early by 150 ms: the timer is aimed at the boundary, no minute is checked twice.
        TickAt(Ms(14, 31, 59, 850));
        QCOMPARE(m_timer->interval(), 400);
        QCOMPARE(m_shown.size(), 2);
    }

    void afterASuspendPastMinutesAreNotCaughtUp() {
        Write("07.03.2003 - 14:30 # A\r\n07.03.2003 - 15:00 # B");
        m_nowMs = Ms(14, 28, 10);
        m_reminders->Start();
        TickAt(Ms(15, 0, 30));
        QCOMPARE(m_shown, QStringList{QStringLiteral("07.03.2003 - 15:00\n\nB")});
    }

    void switchedOffThereAreNoChecks() {
        Write("07.03.2003 - 14:30 # A");
        m_nowMs = Ms(14, 29, 10);
        m_reminders->Start();
        m_reminders->Stop();
        QVERIFY(!m_timer->isActive());
        // Switched on again later: the minutes in between are not checked afterwards.
        m_nowMs = Ms(14, 30, 30);
        m_reminders->Start();
        TickAt(Ms(14, 31, 0, 250));
        QCOMPARE(m_shown, QStringList());
    }

    void errorsInTheCheckAreShown() {
        ui::DialogRecorder recorder;
        m_nowMs = Ms(14, 29, 10);
        m_reminders->Start();
        m_reminders->setCheck(
            [](MinuteRange) -> std::vector<Appointment> { throw std::runtime_error("kaputt"); });
        TickAt(Ms(14, 30, 0, 250));
        m_reminders->setCheck([](MinuteRange) -> std::vector<Appointment> { throw 42; });
        TickAt(Ms(14, 31, 0, 250));
        QCOMPARE(recorder.messages().size(), size_t(2));
        QCOMPARE(recorder.messages()[0].text, QStringLiteral("Error Caught!\r\nkaputt"));
        QCOMPARE(recorder.messages()[1].text,
                 QStringLiteral("Unknown error occurred in import_data_file_worker_thread()"));
        QCOMPARE(m_shown, QStringList());
    }

    void aMissingOrDirectoryFileLetsTheTickPass() {
        ui::DialogRecorder recorder;
        m_nowMs = Ms(14, 29, 10);
        m_reminders->Start();
        TickAt(Ms(14, 30, 0, 250));
        std::filesystem::create_directory(*m_dir / "Termine.dat");
        TickAt(Ms(14, 31, 0, 250));
        QVERIFY(recorder.messages().empty());
        QCOMPARE(m_shown, QStringList());
        QVERIFY(m_timer->isActive());
    }

    void theBoxIsOnTopOwnerlessAndTheNextFollowsItsClosing() {
        int done = 0;
        const Appointment a{"07.03.2003 - 14:30", "Zahnarzt"};
        Reminders::ShowReminderBox(a, [&] { ++done; });
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QStringLiteral("reminderBox") && w->isVisible()) {
                box = qobject_cast<QMessageBox*>(w);
            }
        }
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Termin-Erinnerung"));
        QCOMPARE(box->text(), QStringLiteral("07.03.2003 - 14:30\n\nZahnarzt"));
        QCOMPARE(box->icon(), QMessageBox::Information);
        QVERIFY(box->parentWidget() == nullptr);
        QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(box->windowModality(), Qt::NonModal);
        QPointer<QMessageBox> guard(box);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        QCOMPARE(done, 1);
        QTRY_VERIFY(guard.isNull());
    }

    // Timer 105 belongs to the reminders: off, a tick already on its way re-arms nothing.
    void theTimerRunsOnlyWhileRemindersAreOn() {
        Write("07.03.2003 - 14:30 # A");
        QVERIFY(!m_timer->isActive());
        m_nowMs = Ms(14, 29, 10);
        m_reminders->Start();
        QVERIFY(m_timer->isActive());
        QVERIFY(m_timer->isSingleShot());
        m_reminders->Stop();
        TickAt(Ms(14, 30, 0, 250));
        QVERIFY(!m_timer->isActive());
        QCOMPARE(m_shown, QStringList());
    }

    // Where the notification server takes a reminder, no box follows; where it refuses, the
    // box does.
    void aNotificationTakenMeansNoBox() {
        Write("07.03.2003 - 14:30 # A\r\n07.03.2003 - 14:31 # B");
        m_nowMs = Ms(14, 29, 10);
        m_reminders->Start();
        m_notificationTaken = true;
        TickAt(Ms(14, 30, 0, 250));
        QCOMPARE(m_shown, QStringList());
        QTRY_COMPARE(m_notified, QStringList{QStringLiteral("07.03.2003 - 14:30 # A")});
        m_notificationTaken = false;
        TickAt(Ms(14, 31, 0, 250));
        QCOMPARE(m_shown, QStringList{QStringLiteral("07.03.2003 - 14:31\n\nB")});
    }

    // Two copies of the program on one data directory remind each appointment once.
    void twoCopiesOnOneDirectoryRemindOnce() {
        Write("07.03.2003 - 14:30 # A\r\n07.03.2003 - 14:31 # B");
        Reminders second(AppointmentStore(*m_dir / "Termine.dat"), nullptr);
        QStringList secondShown;
        second.setClock([this] { return m_nowMs; });
        second.setNotifier({});
        second.setPresenter([&](const Appointment& due, std::function<void()> done) {
            secondShown << Reminders::ReminderText(due);
            done();
        });
        m_nowMs = Ms(14, 29, 10);
        m_reminders->Start();
        second.Start();
        m_nowMs = Ms(14, 30, 0, 250);
        second.Tick();
        second.WaitForChecks();
        TickAt(Ms(14, 30, 0, 300));
        m_nowMs = Ms(14, 31, 0, 250);
        m_reminders->Tick();
        second.Tick();
        second.WaitForChecks();
        m_reminders->WaitForChecks();
        QCOMPARE(m_shown.size() + secondShown.size(), 2);
        QCOMPARE(secondShown.value(0), QStringLiteral("07.03.2003 - 14:30\n\nA"));
        QVERIFY(std::filesystem::exists(*m_dir / "Termine.dat.reminded"));
    }

    // A clock set back repeats no minute, also not in a new run of the program; a record from
    // a clock that was a long way ahead is not believed.
    void aClockSetBackRemindsNoMinuteTwice() {
        Write("07.03.2003 - 14:30 # A\r\n07.03.2003 - 14:40 # B");
        m_nowMs = Ms(14, 29, 10);
        m_reminders->Start();
        TickAt(Ms(14, 30, 0, 250));
        QCOMPARE(m_shown.size(), 1);
        m_nowMs = Ms(14, 20, 0, 250);  // set back by ten minutes
        for (int minute = 21; minute <= 31; ++minute) TickAt(Ms(14, minute, 0, 250));
        QCOMPARE(m_shown.size(), 1);
        m_reminders = std::make_unique<Reminders>(AppointmentStore(*m_dir / "Termine.dat"), nullptr);
        m_reminders->setClock([this] { return m_nowMs; });
        m_reminders->setNotifier({});
        m_reminders->setPresenter([this](const Appointment& due, std::function<void()> done) {
            m_shown << Reminders::ReminderText(due);
            done();
        });
        m_nowMs = Ms(14, 20, 0, 250);
        m_reminders->Start();
        for (int minute = 21; minute <= 40; ++minute) TickAt(Ms(14, minute, 0, 250));
        QCOMPARE(m_shown, (QStringList{QStringLiteral("07.03.2003 - 14:30\n\nA"),
                                       QStringLiteral("07.03.2003 - 14:40\n\nB")}));

        test::WriteBytes(*m_dir / "Termine.dat.reminded",
                         std::to_string(test::Local(2003, 3, 9, 12, 0)) + "\n");
        Write("07.03.2003 - 14:45 # C");
        for (int minute = 41; minute <= 45; ++minute) TickAt(Ms(14, minute, 0, 250));
        QCOMPARE(m_shown.size(), 3);
    }

    void theBoxIsWideEnoughForItsCaption() {
        Reminders::ShowReminderBox(Appointment{"07.03.2003 - 14:30", "A"}, [] {});
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QStringLiteral("reminderBox") && w->isVisible()) {
                box = qobject_cast<QMessageBox*>(w);
            }
        }
        QVERIFY(box);
        const int caption = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar"))
                                .horizontalAdvance(QStringLiteral("Termin-Erinnerung"));
        QVERIFY2(box->width() >= caption + 120, qPrintable(QString::number(box->width())));
        box->close();
    }
};

QTEST_MAIN(RemindersTest)
#include "RemindersTest.moc"
