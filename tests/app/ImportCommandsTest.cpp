// The autostart switch and the import commands in the main dialog on the offscreen platform,
// with a scripted Outlook, a private autostart folder and recorded message boxes.

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QMenu>
#include <QtTest>
#include <memory>

#include "AppTestSupport.h"
#include "ControlLookup.h"
#include "FakeOutlook.h"
#include "TestProgram.h"
#include "app/CTavolinDlg.h"
#include "app/ImportCommands.h"
#include "appointments/AppointmentStore.h"
#include "controls/DialogRecorder.h"
#include "controls/FileDialog.h"
#include "controls/MessageBox.h"
#include "platform/linux/XdgShellShortcut.h"
#include "util/FileIO.h"

using namespace tavolin;
using tavolin::test::Control;
using tavolin::test::AppSandbox;
using tavolin::test::LocalTime;
using tavolin::test::TestProgram;

namespace {

// Hands out the test's fake server; the dialog's command takes it for one run.
class SharedHost : public AutomationHost {
public:
    explicit SharedHost(test::FakeOutlook& outlook) : m_outlook(outlook) {}
    std::shared_ptr<AutomationObject> Create(std::string_view progId) override {
        return m_outlook.Create(progId);
    }

private:
    test::FakeOutlook& m_outlook;
};

}  // namespace

class ImportCommandsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AppSandbox> m_box;
    std::unique_ptr<ui::DialogRecorder> m_recorder;
    test::FakeOutlook m_outlook;
    std::shared_ptr<test::FakeRegistry> m_registry;
    std::map<std::string, std::string> m_env;
    const std::string m_program = "/opt/Tavolin Kalender/tavolin";
    // The list's refreshes, counted, with the cursor they were called under.
    int m_refreshed = 0;
    bool m_busyEveryTime = true;

    // The sandbox with the fake Outlook, its registry and the test's environment.
    Context TestContext() {
        Context context = m_box->context();
        context.automationHost = [this] { return std::make_unique<SharedHost>(m_outlook); };
        context.classRegistry = m_registry;
        context.environment = TableEnvironment(m_env);
        context.autostart = MakeAutostartSwitch(context.environment);
        return context;
    }
    // The commands inside the program, as the dialog reaches them.
    TestProgram MakeDialog() {
        CTavolinApp::Options options;
        options.autostartProgram = m_program;
        options.generationJob = [](std::stop_token) { return GenerationResult{}; };
        TestProgram dlg(TestContext(), true, std::move(options));
        if (!dlg->Initialise()) qFatal("dialog did not start");
        return dlg;
    }
    // The commands alone, whose list refresh is the appointment book's (a tidy-up), counted.
    struct Commands {
        StoreWorker worker;
        QWidget owner;
        QMenu menu;
        std::unique_ptr<ImportCommands> imports;
    };
    std::unique_ptr<Commands> MakeCommands() {
        auto c = std::make_unique<Commands>();
        const Context context = TestContext();
        c->imports = std::make_unique<ImportCommands>(
            context, c->worker, [] { return true; },
            [this, context] {
                ++m_refreshed;
                const QCursor* cursor = QGuiApplication::overrideCursor();
                m_busyEveryTime = m_busyEveryTime && cursor && cursor->shape() == Qt::WaitCursor;
                AppointmentStore(context).TidyUp(true, context.Now());
            },
            m_program);
        c->imports->Attach(&c->owner, &c->menu);
        m_refreshed = 0;
        m_busyEveryTime = true;
        return c;
    }
    // The command is grayed unless Outlook 2000 is registered.
    void RegisterOutlook() {
        m_registry->values["Outlook.Application\\CurVer"] = "Outlook.Application.9";
    }
    static QCheckBox* Autostart(CTavolinDlg& dlg) {
        return Control<QCheckBox>(dlg, "autostartCheck");
    }
    std::filesystem::path Entry() const { return m_box->File("config/autostart/Tavolin.desktop"); }
    std::string Termine() const {
        std::string bytes;
        ReadWholeFile(m_box->File("Termine.dat"), bytes);
        return bytes;
    }

private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void init() {
        m_box = std::make_unique<AppSandbox>();
        m_box->SetNow(LocalTime(2003, 3, 1, 12, 0));
        m_recorder = std::make_unique<ui::DialogRecorder>();
        m_outlook = test::FakeOutlook{};
        m_registry = std::make_shared<test::FakeRegistry>();
        m_env = {{"XDG_CONFIG_HOME", m_box->File("config").string()}};
    }
    void cleanup() {
        m_recorder.reset();
        m_box.reset();
    }

    void tickingWritesTheEntryAndThenTheSetting() {
        auto dlg = MakeDialog();
        Autostart(*dlg)->click();
        QVERIFY(Autostart(*dlg)->isChecked());
        XdgShellShortcut entry;
        QVERIFY(entry.Load(Entry()));
        QCOMPARE(entry.Info().targetPath, m_program);
        QCOMPARE(entry.Info().arguments, std::string("/go"));
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Autostart"),
                 QString("1"));

        // Ticking again (the box cleared behind the handler's back) overwrites the entry.
        Autostart(*dlg)->setChecked(false);
        Autostart(*dlg)->click();
        QVERIFY(entry.Load(Entry()));

        Autostart(*dlg)->click();
        QVERIFY(!Autostart(*dlg)->isChecked());
        QVERIFY(!std::filesystem::exists(Entry()));
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Autostart"),
                 QString("0"));

        // Unticking without an entry is no error.
        m_box->WriteConfig("[Programm]\r\nAutostart=1\r\n");
        Autostart(*dlg)->setChecked(true);
        Autostart(*dlg)->click();
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Autostart"),
                 QString("0"));
        QVERIFY(m_recorder->messages().empty());
    }

    void anUnknownFolderIsReportedAndTheBoxCleared() {
        m_env.clear();  // no XDG_CONFIG_HOME, no HOME
        auto dlg = MakeDialog();
        const QString before =
            (dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Autostart");
        Autostart(*dlg)->click();
        QVERIFY(!Autostart(*dlg)->isChecked());
        QCOMPARE(m_recorder->messages().size(), size_t{1});
        const auto& box = m_recorder->messages().front();
        QCOMPARE(box.text, QString::fromUtf8("Beim Setzen des Kennzeichens \"Automatisch starten\" "
                                             "ist ein Fehler aufgetreten."));
        QCOMPARE(box.caption, QString("Fehler"));
        QCOMPARE(box.icon, ui::MessageBox::Icon::Critical);
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Autostart"),
                 before);

        // A file where the folder should be cannot be made a folder either.
        m_env = {{"HOME", m_box->File("home").string()}};
        WriteWholeFileForTest(m_box->File("home"));
        auto dlg2 = MakeDialog();
        Autostart(*dlg2)->click();
        QVERIFY(!Autostart(*dlg2)->isChecked());
        QCOMPARE(m_recorder->messages().size(), size_t{2});
    }

    void anEntryThatCannotBeWrittenIsReportedNotRecorded() {
        // A folder where the entry should go: the entry cannot be saved over it.
        std::filesystem::create_directories(Entry() / "keep");
        auto dlg = MakeDialog();
        const QString before =
            (dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Autostart");
        Autostart(*dlg)->click();
        QVERIFY(!Autostart(*dlg)->isChecked());
        QCOMPARE(m_recorder->messages().size(), size_t{1});
        QVERIFY(m_recorder->messages().front().text.startsWith("Beim Setzen des Kennzeichens"));
        QCOMPARE((dlg.store().WaitIdle(), m_box->ReadConfig()).value("Programm/Autostart"),
                 before);
        QVERIFY(std::filesystem::is_directory(Entry() / "keep"));
    }

    void outlookAvailabilityFollowsTheRegistry() {
        auto dlg = MakeDialog();
        QVERIFY(!dlg->command(CTavolinDlg::OutlookImport)->isEnabled());
        RegisterOutlook();
        auto dlg2 = MakeDialog();
        QVERIFY(dlg2->command(CTavolinDlg::OutlookImport)->isEnabled());
    }

    void outlookImportAppendsRefreshingAfterEachItem() {
        m_outlook.items = {{26, "Zahnarzt", test::OleDate(2003, 3, 10, 9, 0), 15, 0},
                           {48, "Steuer", 0, 0, test::OleDate(2003, 3, 12, 18, 0)}};
        RegisterOutlook();
        auto commands = MakeCommands();
        commands->imports->OutlookImport();
        QCOMPARE(Termine(),
                 std::string("10.03.2003 - 08:45 # Zahnarzt\r\n12.03.2003 - 18:00 # Steuer"));
        QCOMPARE(m_refreshed, 2);
        QVERIFY(m_busyEveryTime);
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(m_recorder->messages().empty());
    }

    void outlookFailuresAreShown() {
        m_outlook.creatable = false;
        RegisterOutlook();
        auto dlg = MakeDialog();
        dlg->command(CTavolinDlg::OutlookImport)->trigger();
        QCOMPARE(m_recorder->messages().size(), size_t{1});
        QCOMPARE(m_recorder->messages().back().text,
                 QString("Auf MS Outlook konnte nicht zugegriffen werden."));
        QCOMPARE(m_recorder->messages().back().caption, QString("Fehler"));
        QVERIFY(!QGuiApplication::overrideCursor());

        // An error in the middle: the first item stays, the error is shown.
        m_outlook = test::FakeOutlook{};
        m_outlook.items = {{26, "a", test::OleDate(2003, 3, 10, 9, 0), 0, 0},
                           {26, "b", test::OleDate(2003, 3, 11, 9, 0), 0, 0}};
        m_outlook.failAtCall = 17;  // the second item's Subject
        dlg->command(CTavolinDlg::OutlookImport)->trigger();
        QCOMPARE(m_recorder->messages().size(), size_t{2});
        QCOMPARE(m_recorder->messages().back().text, QString("Fake failure in Item2.Subject"));
        QCOMPARE(Termine(), std::string("10.03.2003 - 09:00 # a"));
    }

    void iCalendarImportFromTheMenu() {
        {
            // The program puts the command into the dialog's menu "Term&ine".
            auto dlg = MakeDialog();
            QAction* action = dlg->findChild<QAction*>("icalendarImportAction");
            QVERIFY(action);
            QCOMPARE(action->text(), QString("&iCalendar-Import ..."));
            QVERIFY(dlg->appointmentsMenu()->actions().contains(action));
        }
        auto commands = MakeCommands();
        QAction* action = commands->menu.findChild<QAction*>("icalendarImportAction");
        QVERIFY(action);

        // Cancelled: nothing happens.
        action->trigger();
        QCOMPARE(m_recorder->fileDialogs().size(), size_t{1});
        QVERIFY(m_recorder->messages().empty());

        const std::string ics =
            "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:1\r\nDTSTART:20030310T090000\r\n"
            "SUMMARY:Zahnarzt\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nUID:2\r\nDTSTART:20030311T090000\r\n"
            "SUMMARY:Friseur\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nUID:3\r\nDTSTART:20020311T090000\r\n"
            "SUMMARY:Alt\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
        AtomicWriteFile(m_box->File("cal.ics"), ics);
        ui::FileDialog::setNextFileName(m_box->Path("cal.ics"));
        action->trigger();
        // The import runs off the window's thread; its summary ends it.
        QTRY_COMPARE(m_recorder->messages().size(), size_t{1});
        QCOMPARE(Termine(),
                 std::string("10.03.2003 - 09:00 # Zahnarzt\r\n11.03.2003 - 09:00 # Friseur"));
        QCOMPARE(m_refreshed, 1);
        QVERIFY(m_busyEveryTime);
        QCOMPARE(m_recorder->messages().size(), size_t{1});
        QCOMPARE(m_recorder->messages().back().text,
                 QString("cal.ics: 2 entries imported, 1 skipped (1 in the past)."));
        QCOMPARE(m_recorder->messages().back().caption, QString("iCalendar-Import"));

        // A damaged file: refused, the appointments unchanged, a warning.
        AtomicWriteFile(m_box->File("bad.ics"), ics.substr(0, 60));
        ui::FileDialog::setNextFileName(m_box->Path("bad.ics"));
        action->trigger();
        QTRY_COMPARE(m_recorder->messages().size(), size_t{2});
        QCOMPARE(m_refreshed, 1);
        QCOMPARE(m_recorder->messages().back().icon, ui::MessageBox::Icon::Warning);
        QCOMPARE(Termine(),
                 std::string("10.03.2003 - 09:00 # Zahnarzt\r\n11.03.2003 - 09:00 # Friseur"));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

private:
    static void WriteWholeFileForTest(const std::filesystem::path& path) {
        AtomicWriteFile(path, "not a folder");
    }
};

QTEST_MAIN(ImportCommandsTest)
#include "ImportCommandsTest.moc"
