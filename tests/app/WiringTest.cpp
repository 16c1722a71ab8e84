// How the program's pieces meet: generation results shown from their own values (also when a
// box runs an event loop in which the next run ends), runs nobody asked for that show no box,
// the store worker under a lock held elsewhere, the hidden program's single timer, and the
// keyboard's way through the main dialog.

#include <QCheckBox>
#include <QEventLoop>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>
#include <memory>
#include <mutex>
#include <thread>

#include "AppTestSupport.h"
#include "ControlLookup.h"
#include "TestProgram.h"
#include "app/CAboutDlg.h"
#include "app/CTavolinDlg.h"
#include "controls/HyperLink.h"
#include "app/GenerationPresenter.h"
#include "app/GenerationRunner.h"
#include "app/HelpBalloon.h"
#include "app/MidnightTimer.h"
#include "app/StoreWorker.h"
#include "app/Translations.h"
#include "controls/CColourPicker.h"
#include "controls/DialogRecorder.h"
#include "settings/IniFile.h"
#include "util/FileIO.h"
#include "util/FileLock.h"

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
    "BGruen=215\r\nBBlau=0\r\n[Programm]\r\nAutostart=0\r\nTermine=0\r\nDelTermine=1\r\n"
    "Alarm=0\r\n[Layout]\r\nKArt=2\r\nKKW=0\r\nSunday=0\r\n";

GenerationResult WithMessages(const std::string& run, int count) {
    GenerationResult result;
    result.status = GenerationStatus::Written;
    for (int i = 0; i < count; ++i) {
        result.messages.push_back({run + std::to_string(i), "Warnung", MessageIcon::Warning});
    }
    return result;
}

}  // namespace

class WiringTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppSandbox> m_box;

    TestProgram MakeDialog(bool visible = true) {
        m_box->WriteConfig(kAllKeys);
        CTavolinApp::Options options;
        options.generationJob = [](std::stop_token) { return GenerationResult{}; };
        options.trayAvailable = [] { return true; };
        return TestProgram(m_box->context(), visible, std::move(options));
    }

private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void init() { m_box = std::make_unique<AppSandbox>(); }
    void cleanup() { m_box.reset(); }

    // A box left open while the next run ends (an error box across midnight): the outer box's
    // messages must not be the next run's, nor freed memory (run under ASan).
    void aRunEndingInsideABoxDoesNotChangeTheMessagesBeingShown() {
        GenerationRunner runner;
        int run = 0;
        runner.setJob([&run](std::stop_token) { return WithMessages(run++ == 0 ? "a" : "b", 3); });
        QStringList shown;
        bool nested = false;
        GenerationPresenter presenter(
            m_box->context(),
            [&](const UserMessage& message) {
                shown << QString::fromStdString(message.text);
                if (nested) return;
                nested = true;
                // What a modal box does: an event loop, in which the next run starts and ends.
                QEventLoop loop;
                QVERIFY(runner.start(GenerationOrigin::Requested));
                QTimer::singleShot(0, &loop, [&] {
                    runner.waitForIdle();
                    loop.quit();
                });
                loop.exec();
            },
            {});
        connect(&runner, &GenerationRunner::finished, &presenter,
                [&](GenerationResult result, GenerationOrigin origin) {
                    presenter.Present(std::move(result), origin);
                });
        QVERIFY(runner.start());
        QTRY_COMPARE(shown.size(), 6);
        QCOMPARE(shown, (QStringList{"a0", "b0", "b1", "b2", "a1", "a2"}));
    }

    // Runs nobody asked for (the silent start, the day change) show no box: their messages go to
    // ErrorLog.dat and one notice; a failure that was only logged is told the same way.
    void unattendedRunsLogAndNotifyInsteadOfBoxes() {
        QStringList boxes, notices;
        GenerationPresenter presenter(
            m_box->context(),
            [&](const UserMessage& m) { boxes << QString::fromStdString(m.text); },
            [&](const QString& caption, const QString& text) { notices << caption + ": " + text; });

        struct Case {
            const char* name;
            GenerationResult result;
            GenerationOrigin origin;
            int boxes, notices, logLines;
            const char* noticeHas;
        };
        GenerationResult glyphs = WithMessages("x", 1);
        glyphs.messages[0] = MissingGlyphsMessage("\x80\xF3");
        GenerationResult logged;  // picture missing: only a log line
        logged.status = GenerationStatus::Failed;
        logged.logLines = {"09.12.2026 - 10:00:00 - Das Hintergrundbild wurde nicht gefunden."};
        GenerationResult refused = WithMessages("x", 0);
        refused.wallpaper = {WallpaperStatus::Failed, "openbox", "the desktop draws no wallpaper"};
        refused.messages.push_back({"Fehler beim Setzen des Hintergrundbildes.", "Fehler",
                                    MessageIcon::Warning});
        const Case cases[] = {
            {"glyphs, requested", glyphs, GenerationOrigin::Requested, 1, 0, 0, ""},
            {"glyphs, unattended", glyphs, GenerationOrigin::Unattended, 0, 1, 1, "(-128)"},
            {"only logged, requested", logged, GenerationOrigin::Requested, 0, 1, 0,
             "nicht gefunden"},
            {"only logged, unattended", logged, GenerationOrigin::Unattended, 0, 1, 0,
             "nicht gefunden"},
            {"refused, requested", refused, GenerationOrigin::Requested, 1, 1, 0,
             "draws no wallpaper"},
            {"refused, unattended", refused, GenerationOrigin::Unattended, 0, 1, 1,
             "draws no wallpaper"},
            {"nothing to say", WithMessages("x", 0), GenerationOrigin::Unattended, 0, 0, 0, ""},
        };
        for (const Case& c : cases) {
            boxes.clear();
            notices.clear();
            std::filesystem::remove(m_box->File("ErrorLog.dat"));
            presenter.Present(c.result, c.origin);
            QVERIFY2(boxes.size() == c.boxes, c.name);
            QVERIFY2(notices.size() == c.notices, c.name);
            if (c.notices) QVERIFY2(notices[0].contains(QString::fromUtf8(c.noticeHas)), c.name);
            std::string log;
            (void)ReadWholeFile(m_box->File("ErrorLog.dat"), log);
            QVERIFY2(std::count(log.begin(), log.end(), '\n') == c.logLines, c.name);
        }
    }

    // The dialog alone is a view: it tells its changes and requests and touches no file but
    // the config.ini its initialisation reads (and makes when missing).
    void theDialogAloneWritesNothing() {
        m_box->WriteConfig(kAllKeys);
        const QMap<QString, QString> before = m_box->ReadConfig();
        CTavolinDlg dlg(m_box->context(), true, [] { return true; });
        QSignalSpy posted(&dlg, &CTavolinDlg::settingsPosted);
        QSignalSpy generate(&dlg, &CTavolinDlg::generateRequested);
        QSignalSpy alarm(&dlg, &CTavolinDlg::alarmSwitched);
        QVERIFY(dlg.Initialise());
        dlg.show();
        const int atStart = posted.count();  // the background rule writes BGArt back
        QCOMPARE(atStart, 1);
        Control<QCheckBox>(dlg, "showAppointmentsCheck")->click();
        Control<QCheckBox>(dlg, "alarmCheck")->click();
        auto* picker = Control<ui::CColourPicker>(dlg, "dayColourPicker");
        emit picker->colourConfirmed(ui::Rgb(1, 2, 3), 1012);
        dlg.command(CTavolinDlg::Generate)->trigger();
        QCoreApplication::processEvents();

        QCOMPARE(posted.count(), atStart + 3);
        // A colour is one batch of its three keys, for config.ini of the data directory.
        const auto colour = posted.at(atStart + 2);
        QCOMPARE(colour.at(0).value<std::filesystem::path>(), m_box->File("config.ini"));
        const auto values = colour.at(1).value<std::vector<IniFile::Value>>();
        QCOMPARE(values.size(), size_t{3});
        QCOMPARE(values[0].key, std::string("TRot"));
        QCOMPARE(values[2].value, std::string("3"));
        QCOMPARE(generate.count(), 1);
        QCOMPARE(alarm.count(), 2);  // the stored state at the start, then the click
        QCOMPARE(m_box->ReadConfig(), before);
        QVERIFY(!m_box->Exists("Termine.dat"));
        QVERIFY(!m_box->Exists("Background.bmp"));
    }

    // In the program the same clicks reach config.ini through its one worker, and a
    // generation request reaches the runner, whose run the window shows.
    void theProgramCarriesTheDialogsSignalsToTheirControllers() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        std::atomic<bool> release{false};
        dlg.generation().setJob([&](std::stop_token) {
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return GenerationResult{};
        });
        Control<QCheckBox>(*dlg, "showAppointmentsCheck")->click();
        Control<QCheckBox>(*dlg, "calendarWeeksCheck")->click();
        dlg.store().WaitIdle();
        QCOMPARE(m_box->ReadConfig().value("Layout/KKW"), QString("1"));

        dlg->command(CTavolinDlg::Generate)->trigger();
        QVERIFY(dlg.generation().isBusy());
        QVERIFY(dlg->isGenerating());
        QVERIFY(!dlg->command(CTavolinDlg::Generate)->isEnabled());
        release = true;
        dlg.generation().waitForIdle();
        QVERIFY(!dlg->isGenerating());
        QVERIFY(dlg->command(CTavolinDlg::Generate)->isEnabled());
        QVERIFY(!QApplication::overrideCursor());

        // The reminders follow the alarm switch; the list follows the expiry mode.
        Control<QCheckBox>(*dlg, "alarmCheck")->click();
        QVERIFY(dlg.reminderTimer()->isActive());
        Control<QCheckBox>(*dlg, "deleteExpiredCheck")->click();
        QVERIFY(!dlg.book().DeleteExpired());
        // The end of the dialog stops the reminders.
        dlg->command(CTavolinDlg::Quit)->trigger();
        QVERIFY(!dlg.reminderTimer()->isActive());
    }

    // What the program takes from the system comes through its Context: a notice of the
    // hidden program without a tray goes to the context's notifier, the information window's
    // links open through the context's opener.
    void noticesAndLinksGoThroughTheContext() {
        struct RecordingNotifier : Notifier {
            std::mutex mutex;
            std::vector<Notification> sent;
            bool Send(const Notification& n) override {
                const std::lock_guard lock(mutex);
                sent.push_back(n);
                return true;
            }
            size_t count() {
                const std::lock_guard lock(mutex);
                return sent.size();
            }
        };
        struct RecordingOpener : UrlOpener {
            std::atomic<int> opened{0};
            int Open(const std::string&) override {
                ++opened;
                return kOpenUrlSucceeded;
            }
        };
        auto notifier = std::make_shared<RecordingNotifier>();
        auto opener = std::make_shared<RecordingOpener>();
        Context context = m_box->context();
        context.notifier = notifier;
        context.urlOpener = opener;
        m_box->WriteConfig(kAllKeys);
        CTavolinApp::Options options;
        options.trayAvailable = [] { return false; };
        TestProgram dlg(context, false, std::move(options));
        QVERIFY(dlg->Start());
        QVERIFY(dlg->isMinimized());
        dlg->ShowNotice(QStringLiteral("Tavolin"), QStringLiteral("Hintergrund"));
        QTRY_COMPARE(notifier->count(), size_t{1});
        QCOMPARE(notifier->sent[0].body, std::string("Hintergrund"));
        QVERIFY(!notifier->sent[0].persistent);

        CAboutDlg about(context.urlOpener);
        about.mailLink()->Open();
        QTRY_COMPARE(opener->opened.load(), 1);
        QTRY_VERIFY(about.mailLink()->Visited());  // once the result is back
    }

    // With config.ini locked elsewhere the clicks return at once and nothing reaches the file;
    // once the lock is free every change is there, the last one winning, a colour whole.
    void settingsWaitForALockHeldElsewhereWithoutHoldingUpTheWindow() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Initialise());
        dlg->show();
        dlg.store().WaitIdle();
        std::optional<FileLock> held(std::in_place, m_box->File("config.ini"));
        QVERIFY(held->IsLocked());
        const QMap<QString, QString> before = m_box->ReadConfig();

        Control<QCheckBox>(*dlg, "showAppointmentsCheck")->click();   // Termine: 0 -> 1
        Control<QRadioButton>(*dlg, "layoutOneMonthRadio")->click();  // KArt=1
        Control<QRadioButton>(*dlg, "layoutNoDateRadio")->click();    // KArt=4
        auto* picker = Control<ui::CColourPicker>(*dlg, "dayColourPicker");
        emit picker->colourConfirmed(ui::Rgb(1, 2, 3), 1012);
        QCoreApplication::processEvents();
        QCOMPARE(dlg->height(), dlg->fullHeight());  // the window answered meanwhile
        QVERIFY(dlg.store().Pending() > 0);
        QCOMPARE(m_box->ReadConfig(), before);

        held.reset();
        dlg.store().WaitIdle();
        const auto after = m_box->ReadConfig();
        QCOMPARE(after.value("Programm/Termine"), QString("1"));
        QCOMPARE(after.value("Layout/KArt"), QString("4"));
        QCOMPARE(after.value("Tag/TRot"), QString("1"));
        QCOMPARE(after.value("Tag/TGruen"), QString("2"));
        QCOMPARE(after.value("Tag/TBlau"), QString("3"));
    }

    // The end of the program while the lock is still held elsewhere: bounded, and what was not
    // written is named.
    void finishingUnderAHeldLockNamesWhatWasNotWritten() {
        m_box->WriteConfig(kAllKeys);
        StoreWorker worker;
        const FileLock held(m_box->File("config.ini"));
        worker.PostSettings(m_box->File("config.ini"), {{"Layout", "KArt", "3"}});
        worker.PostSettings(m_box->File("config.ini"), {{"Layout", "KKW", "1"}});
        const QStringList lost = worker.Finish(std::chrono::milliseconds(100));
        QCOMPARE(lost.size(), 2);
        QVERIFY(lost[0].contains("KArt=3"));
        QVERIFY(lost[1].contains("KKW=1"));
        QCOMPARE(m_box->ReadConfig().value("Layout/KArt"), QString("2"));
        // Finished: nothing posted later runs.
        worker.PostSettings(m_box->File("config.ini"), {{"Layout", "KArt", "1"}});
        QCOMPARE(worker.Pending(), 0);
    }

    void aBatchIsWrittenWholeOrNotAtAll() {
        m_box->WriteConfig("[Tag]\r\nTRot=9\r\n");
        IniFile ini;
        QVERIFY(ini.Open(m_box->File("config.ini"), false));
        // Without create, a missing section refuses the whole batch: the first key stays.
        QVERIFY(!ini.WriteValues({{"Tag", "TRot", "1"}, {"Nirgends", "X", "2"}}, false));
        QCOMPARE(m_box->ReadConfig().value("Tag/TRot"), QString("9"));
        QVERIFY(ini.WriteValues({{"Tag", "TRot", "1"}, {"Tag", "TGruen", "2"}}, true));
        QCOMPARE(m_box->ReadConfig().value("Tag/TGruen"), QString("2"));
    }

    // Hidden, the program only wakes at midnight; shown again, the icon turns again.
    void hiddenTheProgramSleepsUntilMidnight() {
        m_box->SetNow(LocalTime(2026, 12, 7, 22, 0));
        auto dlg = MakeDialog();
        QVERIFY(dlg->Start());
        QVERIFY(dlg->animationTimer().isActive());
        QVERIFY(!dlg->midnightTimer().IsArmed());
        dlg->GoToTray();
        QVERIFY(!dlg->animationTimer().isActive());
        QVERIFY(dlg->midnightTimer().IsArmed());
        dlg->Restore();
        QVERIFY(dlg->animationTimer().isActive());
        QVERIFY(!dlg->midnightTimer().IsArmed());
        // A day that changed while the window was open is noticed on hiding.
        int runs = 0;
        dlg.generation().setJob([&](std::stop_token) {
            ++runs;
            return GenerationResult{};
        });
        m_box->SetNow(LocalTime(2026, 12, 8, 9, 0));
        dlg->GoToTray();
        dlg.generation().waitForIdle();
        QCOMPARE(runs, 1);
        // The midnight timer's signal is the day-change check.
        emit dlg->midnightTimer().dateMayHaveChanged();
        dlg.generation().waitForIdle();
        QCOMPARE(runs, 1);
        m_box->SetNow(LocalTime(2026, 12, 9, 0, 0));
        emit dlg->midnightTimer().dateMayHaveChanged();
        dlg.generation().waitForIdle();
        QCOMPARE(runs, 2);
    }

    void nextMidnight_data() {
        QTest::addColumn<qint64>("now");
        QTest::addColumn<qint64>("midnight");
        QTest::newRow("evening") << qint64(LocalTime(2026, 12, 7, 22, 0))
                                 << qint64(LocalTime(2026, 12, 8, 0, 0));
        QTest::newRow("at midnight") << qint64(LocalTime(2026, 12, 8, 0, 0))
                                     << qint64(LocalTime(2026, 12, 9, 0, 0));
        QTest::newRow("year end") << qint64(LocalTime(2026, 12, 31, 23, 59))
                                  << qint64(LocalTime(2027, 1, 1, 0, 0));
        // Days of 23 and 25 hours.
        QTest::newRow("spring forward") << qint64(LocalTime(2026, 3, 29, 1, 0))
                                        << qint64(LocalTime(2026, 3, 30, 0, 0));
        QTest::newRow("fall back") << qint64(LocalTime(2026, 10, 25, 1, 0))
                                   << qint64(LocalTime(2026, 10, 26, 0, 0));
    }
    void nextMidnight() {
        QFETCH(qint64, now);
        QFETCH(qint64, midnight);
        QCOMPARE(qint64(MidnightTimer::NextMidnight(now)), midnight);
    }

    void theWindowKeepsItsPlaceAcrossTheTray() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Start());
        dlg->move(123, 145);
        const QPoint at = dlg->pos();
        dlg->GoToTray();
        dlg->move(0, 0);  // as a window manager may place a re-shown window
        dlg->Restore();
        QCOMPARE(dlg->pos(), at);
    }

    // Collapsed, the controls below the separator are hidden, not merely cut off: Tab cannot
    // reach them and Space cannot switch them unseen.
    void collapsedControlsLeaveTheTabChain() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Start());
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        QCOMPARE(dlg->height(), dlg->collapsedHeight());
        for (const char* name :
             {"deleteExpiredCheck", "calendarWeeksCheck", "alarmCheck", "appointmentList",
              "addAppointmentButton", "editAppointmentButton", "deleteAppointmentButton"}) {
            QVERIFY2(!Control(*dlg, name)->isVisible(), name);
        }
        Control(*dlg, "showAppointmentsCheck")->setFocus();
        QWidget* start = QApplication::focusWidget();
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* w = QApplication::focusWidget();
            QVERIFY(w);
            QVERIFY2(w->mapTo(dlg.get(), QPoint(0, 0)).y() < dlg->collapsedHeight(),
                     qPrintable(w->objectName()));
            if (w == start) break;
        }
        // Opened again, they are back.
        Control<QCheckBox>(*dlg, "showAppointmentsCheck")->click();
        QVERIFY(Control(*dlg, "deleteExpiredCheck")->isVisible());
        QVERIFY(Control(*dlg, "alarmCheck")->isVisible());
    }

    // Tab into the layout group lands on the chosen layout, as in any group of option buttons.
    void tabbingIntoTheLayoutGroupFocusesTheCheckedButton() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Start());
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        QVERIFY(Control<QRadioButton>(*dlg, "layoutThreeMonthsRadio")->isChecked());  // KArt=2
        Control(*dlg, "currentDayColourPicker")
            ->setFocus();  // the last picker, just before the group
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Control(*dlg, "layoutThreeMonthsRadio"));
        // Another choice moves the group's tab stop with it.
        Control<QRadioButton>(*dlg, "layoutNoDateRadio")->click();
        Control(*dlg, "currentDayColourPicker")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Control(*dlg, "layoutNoDateRadio"));
    }

    // Every text of the settings page is shown whole, at the default font and scaled up: a
    // control runs on into free room beside it rather than cutting its last letters.
    void noTextIsClipped_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<double>("scale");
        for (bool english : {false, true}) {
            for (double scale : {1.0, 1.25, 1.5}) {
                QTest::addRow("%s %d %%", english ? "English" : "German", int(scale * 100))
                    << english << scale;
            }
        }
    }
    void noTextIsClipped() {
        QFETCH(bool, english);
        QFETCH(double, scale);
        if (english) QVERIFY(InstallTranslations(*qApp, UiLanguage::English));
        const auto german = qScopeGuard([] { InstallTranslations(*qApp, UiLanguage::German); });
        const QFont original = QApplication::font();
        QFont font = original;
        font.setPointSizeF(original.pointSizeF() * scale);
        QApplication::setFont(font);
        auto dlg = MakeDialog();
        QVERIFY(dlg->Start());
        Control<QCheckBox>(*dlg, "showAppointmentsCheck")->click();   // the whole page
        Control<QCheckBox>(*dlg, "backgroundPictureCheck")->click();  // the picture row too
        QStringList clipped;
        for (QAbstractButton* b : dlg->findChildren<QAbstractButton*>()) {
            if (!b->isVisible() || b->text().isEmpty() || b->text() == "...") continue;
            // The room the style leaves for the text, against the text's width; a push
            // button's text also keeps off its frame.
            const int text = b->fontMetrics().horizontalAdvance(QString(b->text()).remove('&'));
            int room = b->width() - 6;
            if (!qobject_cast<QPushButton*>(b)) {
                QStyleOptionButton option;
                option.initFrom(b);
                option.text = b->text();
                const bool radio = qobject_cast<QRadioButton*>(b) != nullptr;
                room = b->style()
                           ->subElementRect(radio ? QStyle::SE_RadioButtonContents
                                                  : QStyle::SE_CheckBoxContents,
                                            &option, b)
                           .width();
            }
            if (room < text) {
                clipped << QStringLiteral("%1 (%2 < %3)").arg(b->text()).arg(room).arg(text);
            }
        }
        QApplication::setFont(original);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(", ")));
    }

    void theHelpBalloonPointsAtTheControlsCentre() {
        auto dlg = MakeDialog();
        QVERIFY(dlg->Start());
        for (const char* name :
             {"backgroundPictureCheck", "showAppointmentsCheck", "firstWeekdayCombo"}) {
            QWidget* control = Control(*dlg, name);
            control->setFocus();
            dlg->ShowHelp();
            HelpBalloon* balloon = dlg->helpBalloon();
            QVERIFY(balloon);
            const QPoint centre = control->mapToGlobal(control->rect().center());
            const QRect g = balloon->geometry();
            QCOMPARE(g.left() + HelpBalloon::TipOffset(g.width()), centre.x());
            QCOMPARE(g.top() + g.height(), centre.y());
            balloon->close();
            QTRY_VERIFY(!dlg->helpBalloon());
        }
    }
};

QTEST_MAIN(WiringTest)
#include "WiringTest.moc"
