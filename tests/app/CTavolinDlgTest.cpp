// The main dialog on the offscreen platform: start-up from config.ini, every setting handler,
// the collapsing appointment area, keys that must do nothing, the notification-area mode and
// the day-change regeneration.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
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
#include "ControlLookup.h"
#include "TestProgram.h"
#include "app/CTavolinDlg.h"
#include "app/HelpBalloon.h"
#include "app/Translations.h"
#include "app/TrayIcon.h"
#include "controls/CColourPicker.h"
#include "controls/DialogRecorder.h"
#include "controls/DialogUnits.h"
#include "controls/FileDialog.h"
#include "settings/Settings.h"
#include "util/FileIO.h"

using namespace tavolin;
using tavolin::test::AppSandbox;
using tavolin::test::Control;
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

    void freshStartCreatesDefaults() {
        auto dlg = MakeDialog();
        QSignalSpy initialised(dlg.get(), &CTavolinDlg::initialised);
        QSignalSpy alarm(dlg.get(), &CTavolinDlg::alarmSwitched);
        QVERIFY(dlg->Initialise());
        const auto config = (dlg.store().WaitIdle(), m_box->ReadConfig());
        QCOMPARE(config.size(), 25);
        QCOMPARE(config.value("Layout/KArt"), QString("2"));
        QCOMPARE(config.value("Background/BGRot"), QString("58"));
        QVERIFY(dlg->deleteExpired());
        QVERIFY(dlg->animationTimer().isActive());
        QCOMPARE(initialised.count(), 1);
        QCOMPARE(alarm.count(), 1);
        QCOMPARE(alarm.at(0).at(0).toBool(), false);
        // No Outlook here: the import is grayed.
        QVERIFY(!dlg->command(CTavolinDlg::OutlookImport)->isEnabled());
    }

    // What config.ini holds, as the window shows it: the boxes and buttons that are checked,
    // the first weekday, whether the appointment area is open and the reminders run.
    void settingsAreShown_data() {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<int>("weekday");
        QTest::addColumn<bool>("open");
        QTest::newRow("fresh") << QString()
                               << QStringList{"layoutThreeMonthsRadio", "deleteExpiredCheck"} << 0
                               << false;
        QTest::newRow("all set")
            << "[Background]\r\nBGArt=1\r\nBGBild=/pics/Sommer.jpg\r\nBGCenter=1\r\n"
               "[Programm]\r\nAutostart=1\r\nTermine=1\r\nDelTermine=0\r\nAlarm=1\r\n"
               "[Layout]\r\nKArt=4\r\nKKW=1\r\nSunday=1\r\n"
            << QStringList{"backgroundPictureCheck",
                           "centrePictureCheck",
                           "layoutNoDateRadio",
                           "autostartCheck",
                           "showAppointmentsCheck",
                           "calendarWeeksCheck",
                           "alarmCheck"}
            << 1 << true;
        // Out-of-range layout, a trailing blank (the text must be exactly "1"), non-numbers,
        // an enormous number.
        QTest::newRow("odd values")
            << "[Background]\r\nBGArt=1 \r\nBGCenter=abc\r\n[Programm]\r\nTermine=\r\n"
               "DelTermine=99999999999999999999\r\nAlarm=2\r\n[Layout]\r\nKArt=7\r\n"
               "Sunday=x\r\n"
            << QStringList{"layoutOneMonthRadio"} << 0 << false;
        QTest::newRow("layout 0") << "[Layout]\r\nKArt=0\r\n"
                                  << QStringList{"layoutOneMonthRadio", "deleteExpiredCheck"} << 0
                                  << false;
        // The dialog's fallback for a missing KArt is layout 1 (the generator's is 2).
        QTest::newRow("no KArt") << "[Programm]\r\nTermine=1\r\n"
                                 << QStringList{"layoutOneMonthRadio", "showAppointmentsCheck",
                                                "deleteExpiredCheck"}
                                 << 0 << true;
    }
    void settingsAreShown() {
        QFETCH(QString, config);
        QFETCH(QStringList, checked);
        QFETCH(int, weekday);
        QFETCH(bool, open);
        if (!config.isEmpty()) m_box->WriteConfig(config.toStdString());
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        QStringList shown;
        for (QAbstractButton* b : dlg->findChildren<QAbstractButton*>()) {
            if (b->isChecked()) shown << b->objectName();
        }
        shown.sort();
        checked.sort();
        QCOMPARE(shown, checked);
        QCOMPARE(Control<QComboBox>(*dlg, "firstWeekdayCombo")->currentIndex(), weekday);
        QCOMPARE(dlg->height(), open ? dlg->fullHeight() : dlg->collapsedHeight());
        const bool alarm = checked.contains("alarmCheck");
        // The reminders run, aimed at the next minute's start.
        QCOMPARE(dlg.reminderTimer()->isActive(), alarm);
        if (alarm) QVERIFY(dlg.reminderTimer()->interval() <= 60000 + 250);
        QCOMPARE(dlg->deleteExpired(), checked.contains("deleteExpiredCheck"));
        if (config.contains("Sommer.jpg")) {
            QCOMPARE(Control<QLineEdit>(*dlg, "picturePathEdit")->text(),
                     QString("/pics/Sommer.jpg"));
        }
        // The background rule writes BGArt back as the window shows it.
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Background/BGArt"),
                 checked.contains("backgroundPictureCheck") ? QString("1") : QString("0"));
    }

    void eachHandlerWritesExactlyItsKey_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("Hintergrundbild") << "backgroundPictureCheck"
                                         << "Background/BGArt"
                                         << "1";
        QTest::newRow("zentrieren") << "centrePictureCheck"
                                    << "Background/BGCenter"
                                    << "1";
        QTest::newRow("1 Monat") << "layoutOneMonthRadio"
                                 << "Layout/KArt"
                                 << "1";
        QTest::newRow("Aktueller Tag") << "layoutCurrentDayRadio"
                                       << "Layout/KArt"
                                       << "3";
        QTest::newRow("Ohne Datum") << "layoutNoDateRadio"
                                    << "Layout/KArt"
                                    << "4";
        QTest::newRow("Termine anzeigen") << "showAppointmentsCheck"
                                          << "Programm/Termine"
                                          << "0";
        QTest::newRow("Termine loeschen") << "deleteExpiredCheck"
                                          << "Programm/DelTermine"
                                          << "0";
        QTest::newRow("Kalenderwoche") << "calendarWeeksCheck"
                                       << "Layout/KKW"
                                       << "1";
        QTest::newRow("Meldung") << "alarmCheck"
                                 << "Programm/Alarm"
                                 << "1";
    }
    void eachHandlerWritesExactlyItsKey() {
        QFETCH(QString, control);
        QFETCH(QString, key);
        QFETCH(QString, value);
        m_box->WriteConfig(kAllKeys);
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        if (control == "centrePictureCheck") {
            Control<QCheckBox>(*dlg, "backgroundPictureCheck")->click();  // makes it visible
        }
        auto before = (dlg.store().WaitIdle(), m_box->ReadConfig());
        auto* button = Control<QAbstractButton>(*dlg, qPrintable(control));
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
        auto picker = [&](const char* name) { return Control<ui::CColourPicker>(*dlg, name); };
        QCOMPARE(picker("backgroundColourPicker")->CurrentColour(), PackColour(58, 110, 165));
        QCOMPARE(picker("holidayColourPicker")->CurrentColour(), PackColour(255, 0, 0));
        QCOMPARE(picker("monthColourPicker")->CurrentColour(),
                 PackColour(44, 255, 255));  // 300 wraps
        QCOMPARE(picker("currentDayColourPicker")->CurrentColour(), PackColour(255, 215, 0));
        QCOMPARE(picker("dayColourPicker")->DefaultText(), QString("Automatisch"));
        QCOMPARE(picker("dayColourPicker")->CustomText(), QString("Weitere ..."));

        // Choosing "Rot" for the day colour writes exactly its three keys.
        auto before = (dlg.store().WaitIdle(), m_box->ReadConfig());
        picker("dayColourPicker")->OpenPopup();
        ui::ColourDropDown* popup = picker("dayColourPicker")->Popup();
        QVERIFY(popup);
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->CellRect(16).center());
        QTRY_VERIFY(!picker("dayColourPicker")->IsPopupOpen());
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
        auto* list = Control<QComboBox>(*dlg, "firstWeekdayCombo");
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
        auto* alarm = Control<QCheckBox>(*dlg, "alarmCheck");
        Control<QCheckBox>(*dlg, "showAppointmentsCheck")
            ->click();  // open the area so the box can be clicked
        QSignalSpy switched(dlg.get(), &CTavolinDlg::alarmSwitched);
        alarm->click();
        QVERIFY(dlg.reminderTimer()->isActive());
        alarm->click();
        QVERIFY(!dlg.reminderTimer()->isActive());
        QCOMPARE(switched.count(), 2);
        QCOMPARE(switched.at(0).at(0).toBool(), true);
        QCOMPARE(switched.at(1).at(0).toBool(), false);
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Alarm"),
                 QString("0"));
    }

    void deleteModeRefreshesTheList() {
        m_box->WriteConfig(kAllKeys);
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        QSignalSpy switched(dlg.get(), &CTavolinDlg::deleteExpiredSwitched);
        Control<QCheckBox>(*dlg, "deleteExpiredCheck")->click();
        QVERIFY(!dlg->deleteExpired());
        QCOMPARE(switched.count(), 1);
        QVERIFY(!dlg.book().DeleteExpired());  // the list is tidied the new way
    }

    void autostartGoesToItsSwitch() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        QSignalSpy switched(dlg.get(), &CTavolinDlg::autostartSwitched);
        Control<QCheckBox>(*dlg, "autostartCheck")->click();
        QCOMPARE(switched.count(), 1);
        QCOMPARE(switched.at(0).at(0).toBool(), true);
        QVERIFY(std::filesystem::exists(m_box->File("config/autostart/Tavolin.desktop")));
    }

    void unwritableConfigKeepsTheControlState() {
        m_box->WriteConfig(kAllKeys);
        Context context = m_box->context();
        context.writeFaults = std::make_shared<WriteFaults>();
        TestProgram dlg(context, true);
        QVERIFY(dlg->Initialise());
        dlg->show();
        dlg.store().WaitIdle();
        ui::DialogRecorder recorder;
        auto* kkw = Control<QCheckBox>(*dlg, "calendarWeeksCheck");
        context.writeFaults->failRewrites = true;  // as a full disk would
        kkw->click();
        dlg.store().WaitIdle();
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
        QCOMPARE(dlg->collapsedHeight(),
                 Control(*dlg, "separatorLine")->mapTo(dlg.get(), QPoint(0, 0)).y());
        QVERIFY(!dlg->appointmentArea().list->isVisible());
        QVERIFY(!dlg->appointmentArea().add->isVisible());

        Control<QCheckBox>(*dlg, "showAppointmentsCheck")->click();
        QCOMPARE(dlg->height(), dlg->fullHeight());
        QCOMPARE(dlg->pos(), pos);
        QCOMPARE(dlg->width(), width);
        QVERIFY(dlg->appointmentArea().list->isVisible());
        const CTavolinDlg::AppointmentArea area = dlg->appointmentArea();
        for (QPushButton* b : {area.add, area.edit, area.remove}) QVERIFY(b->isVisible());
        QVERIFY(Control(*dlg, "calendarWeeksCheck")->isVisible());
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Termine"),
                 QString("1"));

        Control<QCheckBox>(*dlg, "showAppointmentsCheck")->click();
        QCOMPARE(dlg->height(), dlg->collapsedHeight());
        QVERIFY(!dlg->appointmentArea().list->isVisible());
    }

    void backgroundPairsSwap() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        // Each pair is wholly shown or wholly hidden.
        auto shown = [&](std::initializer_list<const char*> names) {
            int visible = 0;
            for (const char* n : names) visible += Control(*dlg, n)->isVisible();
            return visible == int(names.size()) ? 1 : visible == 0 ? 0 : -1;
        };
        auto colour = [&] { return shown({"backgroundColourLabel", "backgroundColourPicker"}); };
        auto picture = [&] {
            return shown({"picturePathLabel", "picturePathEdit", "browsePictureButton",
                          "centrePictureCheck"});
        };
        QCOMPARE(colour(), 1);
        QCOMPARE(picture(), 0);
        // Both occupy the same row.
        QVERIFY(qAbs(Control(*dlg, "backgroundColourPicker")->geometry().center().y() -
                     Control(*dlg, "picturePathEdit")->geometry().center().y()) <= 1);
        Control<QCheckBox>(*dlg, "backgroundPictureCheck")->click();
        QCOMPARE(colour(), 0);
        QCOMPARE(picture(), 1);
        Control<QCheckBox>(*dlg, "backgroundPictureCheck")->click();
        QCOMPARE(colour(), 1);
        QCOMPARE(picture(), 0);
    }

    void browseWritesThePicturePath() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        Control<QCheckBox>(*dlg, "backgroundPictureCheck")->click();
        ui::DialogRecorder recorder;
        ui::FileDialog::setNextFileName(QString());  // cancelled: nothing changes
        Control<QPushButton>(*dlg, "browsePictureButton")->click();
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Background/BGBild"),
                 QString());
        const QString picture = m_box->Path("Ferien Bild.png");
        ui::FileDialog::setNextFileName(picture);
        Control<QPushButton>(*dlg, "browsePictureButton")->click();
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Background/BGBild"),
                 picture);
        QCOMPARE(Control<QLineEdit>(*dlg, "picturePathEdit")->text(), picture);
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
        for (const char* name :
             {"backgroundPictureCheck", "browsePictureButton", "layoutOneMonthRadio"}) {
            Control(*dlg, name)->setFocus();
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(Control(*dlg, name), key);
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

    // F1 on a control shows its help, one balloon at a time, closed by a click; controls
    // without help show nothing.
    void helpBalloonForTheFocusedControl_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("title");  // empty: no balloon
        QTest::addColumn<QString>("text");   // a part of the text
        QTest::newRow("list") << "appointmentList"
                              << "Termintabelle"
                              << "angezeigt.\nDurch Doppelklick können sie bearbeitet werden.";
        QTest::newRow("weekday") << "firstWeekdayCombo"
                                 << "Erster Wochentag"
                                 << "ob der Sonntag oder der Montag";
        QTest::newRow("a layout") << "layoutCurrentDayRadio"
                                  << "Layout"
                                  << "das aktuelle Datum oder kein Datum";
        QTest::newRow("browse") << "browsePictureButton"
                                << "Hintergrundbild"
                                << "Pfad für das Hintergrundbild";
        QTest::newRow("delete button") << "deleteAppointmentButton"
                                       << "Termine löschen"
                                       << "zum Löschen des markierten Termins";
        QTest::newRow("separator") << "separatorLine" << QString() << QString();
        QTest::newRow("label") << "dayColourLabel" << QString() << QString();
    }
    void helpBalloonForTheFocusedControl() {
        QFETCH(QString, control);
        QFETCH(QString, title);
        QFETCH(QString, text);
        m_box->WriteConfig(kAllKeys);
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        Control<QCheckBox>(*dlg, "backgroundPictureCheck")->click();  // the browse button shows
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        Control(*dlg, qPrintable(control))->setFocus();
        dlg->ShowHelp();
        if (title.isEmpty()) {
            QVERIFY(!dlg->helpBalloon());
            return;
        }
        HelpBalloon* balloon = dlg->helpBalloon();
        QVERIFY(balloon);
        QCOMPARE(balloon->title(), title);
        QVERIFY2(balloon->text().contains(text), qPrintable(balloon->text()));
        dlg->ShowHelp();  // one balloon at a time
        QCOMPARE(dlg->helpBalloon(), balloon);
        QTest::mouseClick(balloon, Qt::LeftButton);
        QTRY_VERIFY(!dlg->helpBalloon());
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

    // Each colour picker is 14 dialog units tall and centred on the label that names it, at
    // the default font and scaled ones.
    void pickersAreCentredOnTheirLabels_data() {
        QTest::addColumn<double>("scale");
        QTest::newRow("100 %") << 1.0;
        QTest::newRow("125 %") << 1.25;
        QTest::newRow("150 %") << 1.5;
    }
    void pickersAreCentredOnTheirLabels() {
        QFETCH(double, scale);
        const QFont original = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(original); });
        QFont font = original;
        font.setPointSizeF(original.pointSizeF() * scale);
        QApplication::setFont(font);
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        const ui::DialogUnits du = ui::DialogUnits::of(dlg.get());
        int pairs = 0;
        for (QLabel* label : dlg->findChildren<QLabel*>()) {
            auto* picker = qobject_cast<ui::CColourPicker*>(label->buddy());
            if (!picker) continue;
            ++pairs;
            const QRect p = picker->geometry(), l = label->geometry();
            QVERIFY2(qAbs(p.height() - du.y(14)) <= 1, qPrintable(picker->objectName()));
            // Centres twice over, so that half pixels count: at most one apart.
            const int offset = (2 * p.y() + p.height()) - (2 * l.y() + l.height());
            QVERIFY2(qAbs(offset) <= 1, qPrintable(picker->objectName()));
            QCOMPARE(p.x(), du.x(74));
        }
        QCOMPARE(pairs, 5);
    }

    // Every control is named for people and for tests, and found again by its template id.
    void controlsAreNamedAndKeepTheirIds() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        QSet<int> ids;
        for (QWidget* w :
             dlg->findChild<QWidget*>("page")->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
            QVERIFY2(!w->objectName().isEmpty() && !w->objectName().startsWith("ctl"),
                     qPrintable(w->objectName()));
            const int id = w->property("controlId").toInt();
            if (!id) continue;
            QVERIFY2(!ids.contains(id), qPrintable(QString::number(id)));
            ids.insert(id);
            QCOMPARE(dlg->control(id), w);
        }
        QVERIFY(ids.size() >= 30);
        QCOMPARE(dlg->command(CTavolinDlg::Generate)->objectName(), QString("generateAction"));
        QCOMPARE(dlg->windowTitle(), QString("Tavolin by Pelmar"));
        QCOMPARE(dlg->minimumSize(), dlg->maximumSize());  // fixed size
    }

    // The window speaks the program's language; its mnemonics stay unique and work in both.
    void textsFollowTheLanguage_data() {
        QTest::addColumn<bool>("english");
        // "Termine anzeigen", "Ohne Datum", the first menu, the second weekday, the weekday's help
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("German") << false
                                << QStringList{"&Termine anzeigen", "&Ohne Datum", "&Programm",
                                               "Sonntag", "Erster Wochentag"};
        QTest::newRow("English") << true
                                 << QStringList{"Show &appointments", "&No date", "&Program",
                                                "Sunday", "First weekday"};
    }
    void textsFollowTheLanguage() {
        QFETCH(bool, english);
        QFETCH(QStringList, texts);
        if (english) QVERIFY(InstallTranslations(*qApp, UiLanguage::English));
        const auto german = qScopeGuard([] { InstallTranslations(*qApp, UiLanguage::German); });
        m_box->WriteConfig(kAllKeys);  // the appointment area open: every control is there
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        auto* shown = Control<QCheckBox>(*dlg, "showAppointmentsCheck");
        auto* noDate = Control<QRadioButton>(*dlg, "layoutNoDateRadio");
        auto* weekday = Control<QComboBox>(*dlg, "firstWeekdayCombo");
        QMenuBar* menuBar = dlg->findChild<QMenuBar*>();
        QCOMPARE(shown->text(), texts[0]);
        QCOMPARE(noDate->text(), texts[1]);
        QCOMPARE(menuBar->actions().first()->text(), texts[2]);
        QCOMPARE(weekday->itemText(1), texts[3]);

        Control<QCheckBox>(*dlg, "backgroundPictureCheck")->click();  // its row too
        QMap<QChar, QString> taken;
        auto claim = [&](const QString& text) {
            const int at = text.indexOf(u'&');
            if (at < 0 || at + 1 >= text.size()) return true;
            const QChar key = text[at + 1].toLower();
            if (taken.contains(key)) {
                qWarning("%s and %s share a mnemonic", qPrintable(text), qPrintable(taken[key]));
                return false;
            }
            taken.insert(key, text);
            return true;
        };
        for (QAction* a : menuBar->actions()) QVERIFY(claim(a->text()));
        for (QAbstractButton* b : dlg->findChildren<QAbstractButton*>()) {
            if (b->isVisible()) QVERIFY(claim(b->text()));
        }

        auto mnemonic = [](const QString& text) {
            return Qt::Key(text[text.indexOf(u'&') + 1].toUpper().unicode());
        };
        QTest::keyClick(dlg.get(), mnemonic(noDate->text()), Qt::AltModifier);
        QTRY_VERIFY(noDate->isChecked());  // a mnemonic clicks after a moment
        QTest::keyClick(dlg.get(), mnemonic(shown->text()), Qt::AltModifier);
        QTRY_VERIFY(!shown->isChecked());
        QCOMPARE(dlg->height(), dlg->collapsedHeight());
        weekday->setFocus();
        QTest::keyClick(weekday, Qt::Key_Down);  // the translated "Sonntag"
        const auto config = (dlg.store().WaitIdle(), m_box->ReadConfig());
        QCOMPARE(config.value("Layout/KArt"), QString("4"));
        QCOMPARE(config.value("Programm/Termine"), QString("0"));
        QCOMPARE(config.value("Layout/Sunday"), QString("1"));

        weekday->setFocus();
        dlg->ShowHelp();
        QVERIFY(dlg->helpBalloon());
        QCOMPARE(dlg->helpBalloon()->title(), texts[4]);
    }
};

QTEST_MAIN(CTavolinDlgTest)
#include "CTavolinDlgTest.moc"
