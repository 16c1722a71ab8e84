// The main dialog on the offscreen platform: start-up from config.ini, every setting handler,
// the collapsing appointment area, keys that must do nothing, the notification-area mode and
// the day-change regeneration.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>
#include <memory>

#include "AppTestSupport.h"
#include "TestProgram.h"
#include "app/CTavolinDlg.h"
#include "app/HelpBalloon.h"
#include "app/TrayIcon.h"
#include "controls/CColourPicker.h"
#include "controls/DialogRecorder.h"
#include "controls/FileDialog.h"
#include "settings/Settings.h"
#include "util/FileIO.h"

using namespace tavolin;
using tavolin::test::AppSandbox;
using tavolin::test::LocalTime;
using tavolin::test::TestProgram;

namespace {

const char* const kAllKeys =
    "[Background]\r\nBGArt=0\r\nBGBild=\r\nBGCenter=0\r\nBGRot=58\r\nBGBlau=165\r\nBGGruen=110\r\n"
    "[Tag]\r\nTRot=255\r\nTGruen=255\r\nTBlau=255\r\n[Feiertag]\r\nFTRot=255\r\nFTGruen=0\r\n"
    "FTBlau=0\r\n[Monat]\r\nMRot=255\r\nMGruen=255\r\nMBlau=255\r\n[Beschriftung]\r\nBRot=255\r\n"
    "BGruen=215\r\nBBlau=0\r\n[Programm]\r\nAutostart=0\r\nTermine=1\r\nDelTermine=1\r\n"
    "Alarm=0\r\n[Layout]\r\nKArt=2\r\nKKW=0\r\nSunday=0\r\n";

}  // namespace

class CTavolinDlgTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AppSandbox> m_box;

    // The dialog as the program wires it; tray: whether a notification area is there (none
    // given: Qt's answer, none on the offscreen platform).
    TestProgram MakeDialog(bool visible = true, std::function<bool()> tray = {}) {
        CTavolinApp::Options options;
        options.trayAvailable = std::move(tray);
        // Generation is not under test here: count the runs instead.
        options.generationJob = [this](std::stop_token) {
            ++m_generations;
            return GenerationResult{};
        };
        return TestProgram(m_box->context(), visible, std::move(options));
    }
    static bool Always() { return true; }
    static bool Never() { return false; }
    template <class T>
    T* Control(CTavolinDlg& dlg, int id) {
        auto* w = qobject_cast<T*>(dlg.control(id));
        if (!w) qFatal("control %d missing", id);
        return w;
    }
    std::atomic<int> m_generations{0};

private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void init() {
        m_box = std::make_unique<AppSandbox>();
        m_generations = 0;
    }
    void cleanup() { m_box.reset(); }

    void freshStartCreatesDefaultsAndShowsThem() {
        auto dlg = MakeDialog();
        QSignalSpy initialised(dlg.get(), &CTavolinDlg::initialised);
        QSignalSpy alarm(dlg.get(), &CTavolinDlg::alarmSwitched);
        QVERIFY(dlg->Initialise());
        const auto config = (dlg.store().WaitIdle(), m_box->ReadConfig());
        QCOMPARE(config.size(), 25);
        QCOMPARE(config.value("Layout/KArt"), QString("2"));
        QCOMPARE(config.value("Background/BGRot"), QString("58"));
        QVERIFY(!Control<QCheckBox>(*dlg, 1008)->isChecked());
        QVERIFY(Control<QRadioButton>(*dlg, 1015)->isChecked());
        QVERIFY(Control<QCheckBox>(*dlg, 1030)->isChecked());
        QVERIFY(dlg->deleteExpired());
        QVERIFY(!Control<QCheckBox>(*dlg, 1029)->isChecked());
        QVERIFY(!Control<QCheckBox>(*dlg, 1050)->isChecked());
        QVERIFY(!dlg.reminderTimer()->isActive());
        QVERIFY(dlg->animationTimer().isActive());
        QCOMPARE(Control<QComboBox>(*dlg, 1051)->currentText(), QString("Montag"));
        QCOMPARE(initialised.count(), 1);
        QCOMPARE(alarm.count(), 1);
        QCOMPARE(alarm.at(0).at(0).toBool(), false);
        // No Outlook here: the import is grayed.
        QVERIFY(!dlg->command(CTavolinDlg::OutlookImport)->isEnabled());
    }

    void storedSettingsAreShown() {
        m_box->WriteConfig(
            "[Background]\r\nBGArt=1\r\nBGBild=/pics/Sommer.jpg\r\nBGCenter=1\r\n[Programm]\r\n"
            "Autostart=1\r\nTermine=1\r\nDelTermine=0\r\nAlarm=1\r\n[Layout]\r\nKArt=4\r\nKKW=1\r\n"
            "Sunday=1\r\n");
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        QVERIFY(Control<QCheckBox>(*dlg, 1008)->isChecked());
        QCOMPARE(Control<QLineEdit>(*dlg, 1004)->text(), QString("/pics/Sommer.jpg"));
        QVERIFY(Control<QCheckBox>(*dlg, 1052)->isChecked());
        QVERIFY(Control<QRadioButton>(*dlg, 1026)->isChecked());
        QVERIFY(Control<QCheckBox>(*dlg, 1028)->isChecked());
        QVERIFY(Control<QCheckBox>(*dlg, 1046)->isChecked());
        QVERIFY(!Control<QCheckBox>(*dlg, 1030)->isChecked());
        QVERIFY(!dlg->deleteExpired());
        QVERIFY(Control<QCheckBox>(*dlg, 1050)->isChecked());
        // The reminders run, aimed at the next minute's start.
        QVERIFY(dlg.reminderTimer()->isActive());
        QVERIFY(dlg.reminderTimer()->interval() <= 60000 + 250);
        QCOMPARE(Control<QComboBox>(*dlg, 1051)->currentText(), QString("Sonntag"));
    }

    void oddValuesFallBack() {
        // Out-of-range layout, a trailing blank, non-numbers, an enormous number.
        m_box->WriteConfig(
            "[Background]\r\nBGArt=1 \r\nBGCenter=abc\r\n[Programm]\r\nTermine=\r\n"
            "DelTermine=99999999999999999999\r\nAlarm=2\r\n[Layout]\r\nKArt=7\r\nSunday=x\r\n");
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        QVERIFY(Control<QRadioButton>(*dlg, 1014)->isChecked());
        QVERIFY(!Control<QCheckBox>(*dlg, 1008)->isChecked());  // the text must be exactly "1"
        QVERIFY(!Control<QCheckBox>(*dlg, 1052)->isChecked());
        QVERIFY(!Control<QCheckBox>(*dlg, 1030)->isChecked());
        QVERIFY(!Control<QCheckBox>(*dlg, 1050)->isChecked());
        QCOMPARE(dlg->height(), dlg->collapsedHeight());
        // The background rule writes BGArt back as the dialog shows it.
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Background/BGArt"), QString("0"));

        m_box->WriteConfig("[Layout]\r\nKArt=0\r\n");
        auto second = MakeDialog();
        QVERIFY(second->Initialise());
        QVERIFY(Control<QRadioButton>(*second, 1014)->isChecked());
    }

    void eachHandlerWritesExactlyItsKey_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("Hintergrundbild") << 1008 << "Background/BGArt"
                                         << "1";
        QTest::newRow("zentrieren") << 1052 << "Background/BGCenter"
                                    << "1";
        QTest::newRow("1 Monat") << 1014 << "Layout/KArt"
                                 << "1";
        QTest::newRow("Aktueller Tag") << 1016 << "Layout/KArt"
                                       << "3";
        QTest::newRow("Ohne Datum") << 1026 << "Layout/KArt"
                                    << "4";
        QTest::newRow("Termine anzeigen") << 1029 << "Programm/Termine"
                                          << "0";
        QTest::newRow("Termine loeschen") << 1030 << "Programm/DelTermine"
                                          << "0";
        QTest::newRow("Kalenderwoche") << 1046 << "Layout/KKW"
                                       << "1";
        QTest::newRow("Meldung") << 1050 << "Programm/Alarm"
                                 << "1";
    }
    void eachHandlerWritesExactlyItsKey() {
        QFETCH(int, id);
        QFETCH(QString, key);
        QFETCH(QString, value);
        m_box->WriteConfig(kAllKeys);
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        if (id == 1052) Control<QCheckBox>(*dlg, 1008)->click();  // make the box visible first
        auto before = (dlg.store().WaitIdle(), m_box->ReadConfig());
        auto* button = Control<QAbstractButton>(*dlg, id);
        QVERIFY(button->isVisible());
        button->click();
        auto after = (dlg.store().WaitIdle(), m_box->ReadConfig());
        QCOMPARE(after.value(key), value);
        after.remove(key);
        before.remove(key);
        QCOMPARE(after, before);
    }

    void pickersShowAndStoreTheirColours() {
        m_box->WriteConfig(std::string(kAllKeys) + "[Monat]\r\nMRot=300\r\n");
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        auto picker = [&](int id) { return Control<ui::CColourPicker>(*dlg, id); };
        QCOMPARE(picker(1003)->CurrentColour(), PackColour(58, 110, 165));
        QCOMPARE(picker(1018)->CurrentColour(), PackColour(255, 0, 0));
        QCOMPARE(picker(1021)->CurrentColour(), PackColour(44, 255, 255));  // 300 wraps
        QCOMPARE(picker(1024)->CurrentColour(), PackColour(255, 215, 0));
        QCOMPARE(picker(1012)->DefaultText(), QString("Automatisch"));
        QCOMPARE(picker(1012)->CustomText(), QString("Weitere ..."));

        // Choosing "Rot" for the day colour writes exactly its three keys.
        auto before = (dlg.store().WaitIdle(), m_box->ReadConfig());
        picker(1012)->OpenPopup();
        ui::ColourDropDown* popup = picker(1012)->Popup();
        QVERIFY(popup);
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->CellRect(16).center());
        QTRY_VERIFY(!picker(1012)->IsPopupOpen());
        auto after = (dlg.store().WaitIdle(), m_box->ReadConfig());
        QCOMPARE(after.value("Tag/TRot"), QString("255"));
        QCOMPARE(after.value("Tag/TGruen"), QString("0"));
        QCOMPARE(after.value("Tag/TBlau"), QString("0"));
        for (const char* k : {"Tag/TRot", "Tag/TGruen", "Tag/TBlau"}) {
            after.remove(k);
            before.remove(k);
        }
        QCOMPARE(after, before);
    }

    void firstWeekdayWritesSunday() {
        m_box->WriteConfig(kAllKeys);
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        auto* list = Control<QComboBox>(*dlg, 1051);
        auto before = (dlg.store().WaitIdle(), m_box->ReadConfig());
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentText(), QString("Sonntag"));
        auto after = (dlg.store().WaitIdle(), m_box->ReadConfig());
        QCOMPARE(after.value("Layout/Sunday"), QString("1"));
        after.remove("Layout/Sunday");
        before.remove("Layout/Sunday");
        QCOMPARE(after, before);
    }

    void alarmStartsAndStopsTheReminderTimer() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        auto* alarm = Control<QCheckBox>(*dlg, 1050);
        QSignalSpy switched(dlg.get(), &CTavolinDlg::alarmSwitched);
        Control<QCheckBox>(*dlg, 1029)->click();  // open the area so the box can be clicked
        alarm->click();
        QVERIFY(dlg.reminderTimer()->isActive());
        alarm->click();
        QVERIFY(!dlg.reminderTimer()->isActive());
        QCOMPARE(switched.count(), 2);
        QCOMPARE(switched.at(0).at(0).toBool(), true);
        QCOMPARE(switched.at(1).at(0).toBool(), false);
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Alarm"), QString("0"));
    }

    void deleteModeRefreshesTheList() {
        m_box->WriteConfig(kAllKeys);
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        QSignalSpy switched(dlg.get(), &CTavolinDlg::deleteExpiredSwitched);
        Control<QCheckBox>(*dlg, 1030)->click();
        QVERIFY(!dlg->deleteExpired());
        QCOMPARE(switched.count(), 1);
        QVERIFY(!dlg.book().DeleteExpired());  // the list is tidied the new way
    }

    void autostartGoesToItsSwitch() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        QSignalSpy switched(dlg.get(), &CTavolinDlg::autostartSwitched);
        Control<QCheckBox>(*dlg, 1028)->click();
        QCOMPARE(switched.count(), 1);
        QCOMPARE(switched.at(0).at(0).toBool(), true);
        QVERIFY(std::filesystem::exists(m_box->File("config/autostart/Tavolin.desktop")));
    }

    void unwritableConfigKeepsTheControlState() {
        m_box->WriteConfig(kAllKeys);
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        ui::DialogRecorder recorder;
        auto* kkw = Control<QCheckBox>(*dlg, 1046);
        SetAtomicWriteFailureForTesting(true);  // as a full disk would
        kkw->click();
        dlg.store().WaitIdle();
        SetAtomicWriteFailureForTesting(false);
        QVERIFY(kkw->isChecked());
        QCOMPARE(m_box->ReadConfig().value("Layout/KKW"), QString("0"));
        QVERIFY(recorder.messages().empty());
    }

    void collapsedAtTheSeparatorAndRestored() {
        auto dlg = MakeDialog();  // fresh config: Termine=0
        QVERIFY(dlg->Initialise());
        dlg->show();
        dlg->move(40, 30);
        const QPoint pos = dlg->pos();
        const int width = dlg->width();
        QCOMPARE(dlg->height(), dlg->collapsedHeight());
        QVERIFY(dlg->collapsedHeight() < dlg->fullHeight());
        QCOMPARE(dlg->collapsedHeight(), dlg->control(1039)->mapTo(dlg.get(), QPoint(0, 0)).y());
        QVERIFY(!dlg->appointmentArea().list->isVisible());
        QVERIFY(!dlg->appointmentArea().add->isVisible());

        Control<QCheckBox>(*dlg, 1029)->click();
        QCOMPARE(dlg->height(), dlg->fullHeight());
        QCOMPARE(dlg->pos(), pos);
        QCOMPARE(dlg->width(), width);
        QVERIFY(dlg->appointmentArea().list->isVisible());
        const CTavolinDlg::AppointmentArea area = dlg->appointmentArea();
        for (QPushButton* b : {area.add, area.edit, area.remove}) QVERIFY(b->isVisible());
        QVERIFY(dlg->control(1046)->isVisible());
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Termine"), QString("1"));

        Control<QCheckBox>(*dlg, 1029)->click();
        QCOMPARE(dlg->height(), dlg->collapsedHeight());
        QVERIFY(!dlg->appointmentArea().list->isVisible());
    }

    void backgroundPairsSwap() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        auto visible = [&](int id) { return dlg->control(id)->isVisible(); };
        QVERIFY(visible(1007) && visible(1003));
        QVERIFY(!visible(1006) && !visible(1004) && !visible(1002) && !visible(1052));
        QCOMPARE(dlg->control(1003)->geometry().topLeft().y(),
                 dlg->control(1004)->geometry().topLeft().y());
        Control<QCheckBox>(*dlg, 1008)->click();
        QVERIFY(!visible(1007) && !visible(1003));
        QVERIFY(visible(1006) && visible(1004) && visible(1002) && visible(1052));
        Control<QCheckBox>(*dlg, 1008)->click();
        QVERIFY(visible(1007) && visible(1003) && !visible(1004));
    }

    void browseWritesThePicturePath() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        Control<QCheckBox>(*dlg, 1008)->click();
        ui::DialogRecorder recorder;
        ui::FileDialog::setNextFileName(QString());  // cancelled: nothing changes
        Control<QPushButton>(*dlg, 1002)->click();
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Background/BGBild"), QString());
        const QString picture = m_box->Path("Ferien Bild.png");
        ui::FileDialog::setNextFileName(picture);
        Control<QPushButton>(*dlg, 1002)->click();
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Background/BGBild"), picture);
        QCOMPARE(Control<QLineEdit>(*dlg, 1004)->text(), picture);
        QCOMPARE(int(recorder.fileDialogs().size()), 2);
        const QString filter = recorder.fileDialogs().front().filter;
        for (const char* type : {"*.tif;", "*.ico", "*.tga", "*.pcx", "*.wbmp", "*.wmf", "*.emf"})
            QVERIFY2(filter.section(u'|', 1, 1).contains(QLatin1String(type)), type);
    }

    void enterAndEscapeLeaveItOpen() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        QSignalSpy ended(dlg.get(), &CTavolinDlg::ended);
        dlg->show();
        ui::DialogRecorder recorder;
        for (int id : {1008, 1002, 1014}) {
            dlg->control(id)->setFocus();
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(dlg->control(id), key);
        }
        QVERIFY(dlg->isVisible());
        QCOMPARE(ended.count(), 0);
        QVERIFY(recorder.fileDialogs().empty());
    }

    void closeEndsUnlessAnAutomationClientHoldsIt() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        QSignalSpy ended(dlg.get(), &CTavolinDlg::ended);
        dlg->show();
        dlg->setAutomationProxy(true);
        dlg->close();
        QVERIFY(!dlg->isVisible());
        QCOMPARE(ended.count(), 0);
        dlg->setAutomationProxy(false);  // the client left: the close takes effect
        QCOMPARE(ended.count(), 1);
        QVERIFY(!dlg->animationTimer().isActive());
    }

    void quitCommandEnds() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        QSignalSpy ended(dlg.get(), &CTavolinDlg::ended);
        dlg->show();
        dlg->command(CTavolinDlg::Quit)->trigger();
        QCOMPARE(ended.count(), 1);
    }

    void aRunsMessagesAreShownWhenItEnds() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg.generation().setJob([](std::stop_token) {
            GenerationResult result;
            result.messages.push_back({"Fehler beim Speichern", "Tavolin", MessageIcon::Warning});
            result.messages.push_back({"0", "Tavolin", MessageIcon::Warning});
            return result;
        });
        ui::DialogRecorder recorder;
        dlg->OnGenerate();
        dlg.generation().waitForIdle();
        QCOMPARE(int(recorder.messages().size()), 2);
        QCOMPARE(recorder.messages()[0].text, QStringLiteral("Fehler beim Speichern"));
        QCOMPARE(recorder.messages()[0].caption, QStringLiteral("Tavolin"));
        QCOMPARE(recorder.messages()[1].text, QStringLiteral("0"));
    }

    void closingTheDialogStopsARunningGeneration() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        std::atomic<bool> stopped{false};
        dlg.generation().setJob([&](std::stop_token stop) {
            // A hand-over that would take long, unless it is asked to stop.
            for (int i = 0; i < 30000 && !stop.stop_requested(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            stopped = stop.stop_requested();
            return GenerationResult{};
        });
        QVERIFY(dlg.generation().start());
        dlg.reset();
        QVERIFY(stopped);
    }

    void menuGenerateRunsOnceAtATime() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        std::atomic<bool> release{false};
        dlg.generation().setJob([&](std::stop_token) {
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ++m_generations;
            return GenerationResult{};
        });
        dlg->command(CTavolinDlg::Generate)->trigger();
        QVERIFY(dlg.generation().isBusy());
        QVERIFY(!dlg->command(CTavolinDlg::Generate)->isEnabled());
        dlg->OnGenerate();  // refused while busy
        release = true;
        dlg.generation().waitForIdle();
        QCOMPARE(m_generations.load(), 1);
        QVERIFY(dlg->command(CTavolinDlg::Generate)->isEnabled());
    }

    void silentStartWaitsInTheTray() {
        m_box->WriteConfig(kAllKeys);
        auto dlg = MakeDialog(false, Always);
        QVERIFY(dlg->Start());
        QVERIFY(!dlg->isVisible());
        QVERIFY(dlg->trayIcon());
        QCOMPARE(dlg->trayIcon()->systemTrayIcon()->toolTip(), QString("Tavolin by Pelmar"));
        QStringList texts;
        for (QAction* a : dlg->trayIcon()->menu()->actions()) texts << a->text();
        QCOMPARE(texts, (QStringList{"&Wiederherstellen", "&Kalender erstellen", "&Informationen",
                                     "", "&Beenden"}));
        // A single click does nothing; a double-click restores.
        dlg->trayIcon()->activate(QSystemTrayIcon::Trigger);
        QCoreApplication::processEvents();
        QVERIFY(!dlg->isVisible());
        dlg->trayIcon()->activate(QSystemTrayIcon::DoubleClick);
        QTRY_VERIFY(dlg->isVisible());
        QVERIFY(!dlg->trayIcon());
        QVERIFY(dlg->isVisibleFlag());

        dlg->GoToTray();  // as the minimise button does
        QVERIFY(!dlg->isVisible());
        QVERIFY(dlg->trayIcon());
        QVERIFY(!dlg->isVisibleFlag());
        dlg->trayIcon()->action(TrayIcon::Generate)->trigger();
        dlg.generation().waitForIdle();
        QCOMPARE(m_generations.load(), 1);
        QVERIFY(!dlg->isVisible());

        QSignalSpy ended(dlg.get(), &CTavolinDlg::ended);
        dlg->trayIcon()->action(TrayIcon::Quit)->trigger();
        QTRY_COMPARE(ended.count(), 1);
    }

    void dayChangeRegeneratesOncePerDateAndNotWhileVisible() {
        m_box->WriteConfig(kAllKeys);
        m_box->SetNow(LocalTime(2026, 12, 7, 23, 59));
        auto dlg = MakeDialog(true, Always);
        QVERIFY(dlg->Start());
        dlg->animationTimer().stop();  // ticks are driven by hand

        m_box->SetNow(LocalTime(2026, 12, 8, 0, 0));
        dlg->OnAnimationTick();  // visible: no check, the last day stays
        dlg.generation().waitForIdle();
        QCOMPARE(m_generations.load(), 0);
        QCOMPARE(dlg->lastDay(), 7);

        dlg->GoToTray();
        dlg->OnAnimationTick();  // first tick in the tray notices the new date
        dlg.generation().waitForIdle();
        QCOMPARE(m_generations.load(), 1);
        QCOMPARE(dlg->lastDay(), 8);
        for (int i = 0; i < 5; ++i) dlg->OnAnimationTick();
        dlg.generation().waitForIdle();
        QCOMPARE(m_generations.load(), 1);

        // Any change of the day of month counts, even into another month.
        m_box->SetNow(LocalTime(2027, 1, 8, 0, 0));
        dlg->OnAnimationTick();
        dlg.generation().waitForIdle();
        QCOMPARE(m_generations.load(), 1);  // same day number: the check only compares that
        m_box->SetNow(LocalTime(2027, 1, 9, 0, 0));
        dlg->OnAnimationTick();
        dlg.generation().waitForIdle();
        QCOMPARE(m_generations.load(), 2);
    }

    void withoutTrayItWaitsInTheTaskBar() {
        m_box->WriteConfig(kAllKeys);
        auto dlg = MakeDialog(false, Never);
        QVERIFY(dlg->Start());
        QVERIFY(dlg->isVisible());
        QVERIFY(dlg->isMinimized());
        QVERIFY(!dlg->trayIcon());
        dlg->animationTimer().stop();
        m_box->SetNow(LocalTime(2026, 12, 8, 0, 1));
        dlg->OnAnimationTick();
        dlg.generation().waitForIdle();
        QCOMPARE(m_generations.load(), 1);

        // A visible window minimised by the user stays in the task bar too.
        auto second = MakeDialog(true, Never);
        QVERIFY(second->Start());
        second->showMinimized();
        second->GoToTray();
        QVERIFY(second->isVisible());
        QVERIFY(!second->trayIcon());
        QVERIFY(!second->isVisibleFlag());
    }

    void animationStepsThroughTheFrames() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->animationTimer().stop();
        for (int i = 0; i < 27; ++i) dlg->OnAnimationTick();
        QVERIFY(dlg->animationTimer().interval() == 100);
    }

    void helpBalloonForControlsWithHelp() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        Control<QCheckBox>(*dlg, 1029)->click();
        dlg->appointmentArea().list->setFocus();
        dlg->ShowHelp();
        QVERIFY(dlg->helpBalloon());
        QCOMPARE(dlg->helpBalloon()->title(), QString("Termintabelle"));
        QVERIFY(dlg->helpBalloon()->text().contains(
            "angezeigt.\nDurch Doppelklick können sie bearbeitet werden."));
        HelpBalloon* first = dlg->helpBalloon();
        dlg->ShowHelp();  // one balloon at a time
        QCOMPARE(dlg->helpBalloon(), first);
        QTest::mouseClick(first, Qt::LeftButton);
        QTRY_VERIFY(!dlg->helpBalloon());

        dlg->control(1051)->setFocus();
        dlg->ShowHelp();
        QVERIFY(dlg->helpBalloon());
        QCOMPARE(dlg->helpBalloon()->title(), QString("Erster Wochentag"));
        dlg->helpBalloon()->close();
        QTRY_VERIFY(!dlg->helpBalloon());

        dlg->control(1046)->setFocus();  // a check box with help
        dlg->ShowHelp();
        QVERIFY(dlg->helpBalloon());
        dlg->helpBalloon()->close();
        QTRY_VERIFY(!dlg->helpBalloon());
        dlg->control(1039)->setFocus();  // the separator has none
        dlg->ShowHelp();
        QVERIFY(!dlg->helpBalloon());
    }

    void helpBalloonSizeAndShape() {
        const QFontMetrics fm(QApplication::font());
        const int avg = fm.averageCharWidth();
        const QString shortText(10, u'x');
        QCOMPARE(HelpBalloon::SizeFor(shortText, 1000, fm), QSize(10 * avg, 6 * fm.height()));
        const QString longText(300, u'x');
        const int t = 300 * avg;
        QCOMPARE(HelpBalloon::SizeFor(longText, 200, fm), QSize(200, (t / 200 + 6) * fm.height()));
        const QPainterPath shape = HelpBalloon::Shape(QSize(200, 100));
        QVERIFY(shape.contains(QPointF(100, 40)));  // body
        QVERIFY(shape.contains(QPointF(134, 95)));  // near the pointer's tip
        QVERIFY(!shape.contains(QPointF(20, 95)));  // below the body, beside the pointer
        QVERIFY(!shape.contains(QPointF(1, 1)));    // cut-off corner
    }

    void controlsKeepTheirIdsAndMnemonics() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        const QMap<int, QString> texts{{1052, "Hintergrundbild &zentrieren"},
                                       {1014, "&1 Monat"},
                                       {1015, "&3 Monate"},
                                       {1016, "&Aktueller Tag"},
                                       {1026, "&Ohne Datum"},
                                       {1028, "A&utomatisch starten"},
                                       {1029, "&Termine anzeigen"},
                                       {1046, "&Kalenderwoche anzeigen"},
                                       {1030, "T&ermine löschen"},
                                       {1050, "&Meldung anzeigen"},
                                       {1041, "&Hinzfügen"},
                                       {1042, "&Bearbeiten"},
                                       {1043, "&Löschen"}};
        for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
            auto* b = Control<QAbstractButton>(*dlg, it.key());
            QCOMPARE(b->text(), it.value());
            QVERIFY(!b->accessibleName().isEmpty());
        }
        QStringList menus;
        for (QAction* a : dlg->findChild<QMenuBar*>()->actions()) menus << a->text();
        QCOMPARE(menus, (QStringList{"&Programm", "Term&ine", "&?"}));
        QCOMPARE(dlg->windowTitle(), QString("Tavolin by Pelmar"));
        QCOMPARE(dlg->minimumSize(), dlg->maximumSize());  // fixed size
    }
};

QTEST_MAIN(CTavolinDlgTest)
#include "CTavolinDlgTest.moc"
