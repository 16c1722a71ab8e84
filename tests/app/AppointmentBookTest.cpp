// The appointment book inside the real main dialog: its buttons, the list, and the reminder
// switch with timer 105.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "AppTestSupport.h"
#include "ControlLookup.h"
#include "app/AppointmentBook.h"
#include "app/AppointmentList.h"
#include "TestProgram.h"
#include "app/CTavolinDlg.h"
#include "app/CTerminDlg.h"
#include "app/Reminders.h"
#include "controls/DialogRecorder.h"
#include "support/TestSupport.h"

using namespace tavolin;
using tavolin::test::Control;

namespace {

std::string Config(const char* programme) {
    return std::string("[Programm]\r\nTermine=1\r\nDelTermine=1\r\n") + programme;
}

}  // namespace

class AppointmentBookTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ScopedTimeZone> m_tz;
    std::unique_ptr<test::AppSandbox> m_box;

    test::TestProgram Open(const std::string& config) {
        m_box->WriteConfig(config);
        CTavolinApp::Options options;
        options.generationJob = [](std::stop_token) { return GenerationResult{}; };
        test::TestProgram dlg(m_box->context(), true, std::move(options));
        if (!dlg->Initialise()) qFatal("initialisation failed");
        dlg.store().WaitIdle();
        return dlg;
    }
    static AppointmentBook& Book(test::TestProgram& dlg) { return dlg.book(); }
    static QCheckBox* Alarm(CTavolinDlg& dlg) { return Control<QCheckBox>(dlg, "alarmCheck"); }

private slots:
    void init() {
        m_tz = std::make_unique<test::ScopedTimeZone>("Europe/Berlin");
        m_box = std::make_unique<test::AppSandbox>();
        m_box->SetNow(test::LocalTime(2003, 3, 8, 10, 7));
    }
    void cleanup() {
        m_box.reset();
        m_tz.reset();
    }

    void theButtonsDriveTheList() {
        ui::DialogRecorder recorder;
        test::WriteBytes(m_box->File("Termine.dat"), "09.03.2003 - 10:05 # Import\r\nNotiz # a");
        auto dlg = Open(Config("Alarm=0\r\n"));
        QTableWidget* list = dlg->appointmentArea().list;
        QCOMPARE(list->rowCount(), 2);  // tidied: the note first
        QCOMPARE(list->item(0, 1)->text(), QStringLiteral("a"));

        QString offered;
        Book(dlg).list()->setDialogRunner([&](CTerminDlg& d) {
            offered = d.m_timeText;
            d.m_remark = QStringLiteral("neu");
            return true;
        });
        QTest::mouseClick(dlg->appointmentArea().edit, Qt::LeftButton);
        QCOMPARE(recorder.messages().size(), size_t(1));
        QCOMPARE(recorder.messages()[0].caption, QStringLiteral("Hinweis"));

        QTest::mouseClick(dlg->appointmentArea().add, Qt::LeftButton);
        dlg.store().WaitIdle();
        QCOMPARE(offered, QStringLiteral("10:15"));
        QCOMPARE(test::ReadBytes(m_box->File("Termine.dat")),
                 "Notiz # a\r\n08.03.2003 - 10:15 # neu\r\n09.03.2003 - 10:05 # Import");

        list->selectRow(2);
        QTest::mouseClick(dlg->appointmentArea().edit, Qt::LeftButton);
        dlg.store().WaitIdle();
        QCOMPARE(offered, QStringLiteral("10:00"));
        list->selectRow(0);
        QTest::mouseClick(dlg->appointmentArea().remove, Qt::LeftButton);
        dlg.store().WaitIdle();
        QCOMPARE(test::ReadBytes(m_box->File("Termine.dat")),
                 "08.03.2003 - 10:15 # neu\r\n09.03.2003 - 10:00 # neu");
        QCOMPARE(list->rowCount(), 2);
    }

    void theAlarmSwitchStartsAndStopsTheChecks() {
        auto dlg = Open(Config("Alarm=1\r\n"));
        QVERIFY(Alarm(*dlg)->isChecked());
        QVERIFY(dlg.reminderTimer()->isActive());
        // Aimed at the next minute boundary, not a full period from now.
        QVERIFY(dlg.reminderTimer()->interval() <= 60000 + 250);

        // Half a minute in: the next boundary is 30 s away, not the dialog's full period.
        const qint64 halfPast = test::LocalTime(2003, 3, 8, 10, 7) * 1000 + 30000;
        Book(dlg).reminders()->setClock([halfPast] { return halfPast; });

        QTest::mouseClick(Alarm(*dlg), Qt::LeftButton);
        QVERIFY(!dlg.reminderTimer()->isActive());
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig())
                     .value(QStringLiteral("Programm/Alarm")),
                 QStringLiteral("0"));

        QTest::mouseClick(Alarm(*dlg), Qt::LeftButton);
        QVERIFY(dlg.reminderTimer()->isActive());
        QVERIFY(dlg.reminderTimer()->interval() >= 30000);
        QVERIFY(dlg.reminderTimer()->interval() <= 30000 + 250);
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig())
                     .value(QStringLiteral("Programm/Alarm")),
                 QStringLiteral("1"));
    }

    void aMissingAlarmKeyLeavesRemindersOff() {
        auto dlg = Open(Config(""));
        QVERIFY(!Alarm(*dlg)->isChecked());
        QVERIFY(!dlg.reminderTimer()->isActive());
    }

    void aTickOfTimer105RemindsThroughTheDialog() {
        test::WriteBytes(m_box->File("Termine.dat"), "08.03.2003 - 10:08 # Zahnarzt");
        auto dlg = Open(Config("Alarm=1\r\n"));
        Reminders* reminders = Book(dlg).reminders();
        qint64 now = test::LocalTime(2003, 3, 8, 10, 7) * 1000 + 30000;
        QStringList shown;
        reminders->setClock([&] { return now; });
        reminders->setNotifier({});
        reminders->setPresenter([&](const Appointment& a, std::function<void()> done) {
            shown << Reminders::ReminderText(a);
            done();
        });
        reminders->Start();
        now = test::LocalTime(2003, 3, 8, 10, 8) * 1000 + 250;
        QMetaObject::invokeMethod(dlg.reminderTimer(), "timeout", Qt::DirectConnection);
        reminders->WaitForChecks();
        QCOMPARE(shown, QStringList{QStringLiteral("08.03.2003 - 10:08\n\nZahnarzt")});
    }
};

QTEST_MAIN(AppointmentBookTest)
#include "AppointmentBookTest.moc"
