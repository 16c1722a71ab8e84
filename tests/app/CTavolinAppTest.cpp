// Start-up: the command text rules, the automation switches, "/?" and "/go", the activation
// file and the information window.

#include <QDir>
#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "AppTestSupport.h"
#include "app/ActivationFile.h"
#include "app/CAboutDlg.h"
#include "app/CTavolinApp.h"
#include "app/CTavolinDlg.h"
#include "app/CommandLine.h"
#include "app/Translations.h"
#include "controls/DialogRecorder.h"
#include "controls/HyperLink.h"

using namespace tavolin;
using tavolin::test::AppSandbox;

class CTavolinAppTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppSandbox> m_box;
    QTemporaryDir m_xdg;

    // Closes the next modal window as soon as it is shown.
    static void CloseNextModal() {
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, timer, [timer] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
                timer->deleteLater();
            }
        });
        timer->start(10);
    }

    EnvironmentLookup m_env;

private slots:
    void initTestCase() {
        m_env = TableEnvironment({{"XDG_DATA_HOME", QFile::encodeName(m_xdg.path()).toStdString()}});
    }
    void init() { m_box = std::make_unique<AppSandbox>(); }
    void cleanup() {
        m_box.reset();
        QDir(m_xdg.path()).removeRecursively();
        QDir().mkpath(m_xdg.path());
    }

    void commandText_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        const int normal = int(StartKind::Normal), silent = int(StartKind::Silent),
                  info = int(StartKind::Info);
        QTest::newRow("none") << QStringList{} << "" << normal;
        QTest::newRow("go") << QStringList{"/go"} << "/go" << silent;
        QTest::newRow("go with blanks") << QStringList{"  /go "} << "/go" << silent;
        QTest::newRow("help") << QStringList{"/?"} << "/?" << info;
        QTest::newRow("upper case") << QStringList{"/GO"} << "/GO" << normal;
        QTest::newRow("extra word") << QStringList{"/go", "now"} << "/go now" << normal;
        QTest::newRow("word before") << QStringList{"x", "/go"} << "x /go" << normal;
        // The text after the first quote past the first character is kept: a quoted program
        // path is cut off, a quoted switch after an unquoted word survives.
        QTest::newRow("quoted path and switch")
            << QStringList{"\"/opt/Tavolin/tavolin\"", "/go"} << "/go" << silent;
        QTest::newRow("quoted switch after word") << QStringList{"x", "\"/go\""} << "/go" << silent;
        QTest::newRow("quoted switch alone") << QStringList{"\"/go\""} << "" << normal;
        QTest::newRow("quote in the middle") << QStringList{"/g\"o"} << "o" << normal;
        QTest::newRow("help with more") << QStringList{"/?", "/go"} << "/? /go" << normal;
    }
    void commandText() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, text);
        QFETCH(int, kind);
        QCOMPARE(CommandTextOfArguments(arguments), text);
        QCOMPARE(int(ClassifyCommandText(CommandTextOfArguments(arguments))), kind);
    }

    void automationSwitches() {
        QCOMPARE(FindAutomationSwitch({"-Embedding"}), AutomationSwitch::Embedding);
        QCOMPARE(FindAutomationSwitch({"/AUTOMATION"}), AutomationSwitch::Embedding);
        QCOMPARE(FindAutomationSwitch({"/regserver"}), AutomationSwitch::Register);
        QCOMPARE(FindAutomationSwitch({"-Register"}), AutomationSwitch::Register);
        QCOMPARE(FindAutomationSwitch({"/go", "-UnregServer"}), AutomationSwitch::Unregister);
        QCOMPARE(FindAutomationSwitch({"/Unregister"}), AutomationSwitch::Unregister);
        QCOMPARE(FindAutomationSwitch({"Embedding", "/go", "/Embed"}), AutomationSwitch::None);
    }

    // The bus reads Exec with shell rules after the key file's backslash escapes: every path is
    // one quoted word, and a path that cannot be written so is refused.
    void activationFileQuotesOrRefusesThePath_data() {
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<QByteArray>("dataDir");
        QTest::addColumn<QByteArray>("exec");  // empty: refused
        QTest::newRow("blank") << QByteArray("/opt/my apps/tavolin") << QByteArray()
                               << QByteArray("'/opt/my apps/tavolin' -Embedding");
        QTest::newRow("quotes") << QByteArray("/opt/it's \"x\"/tavolin") << QByteArray()
                                << QByteArray("'/opt/it'\\\\''s \"x\"/tavolin' -Embedding");
        QTest::newRow("data dir") << QByteArray("/usr/bin/tavolin") << QByteArray("/home/a b/Kal")
                                  << QByteArray("/usr/bin/env 'TAVOLIN_DIR=/home/a b/Kal' "
                                                "'/usr/bin/tavolin' -Embedding");
        QTest::newRow("tab") << QByteArray("/opt/a\tb/tavolin") << QByteArray() << QByteArray();
        QTest::newRow("newline") << QByteArray("/opt/a\nExec=/bin/evil") << QByteArray()
                                 << QByteArray();
        QTest::newRow("CR") << QByteArray("/opt/a\rb/tavolin") << QByteArray() << QByteArray();
        QTest::newRow("not UTF-8") << QByteArray("/opt/\xE4/tavolin") << QByteArray()
                                   << QByteArray();
        QTest::newRow("bad data dir") << QByteArray("/usr/bin/tavolin")
                                      << QByteArray("/tmp/x\n") << QByteArray();
    }
    void activationFileQuotesOrRefusesThePath() {
        QFETCH(QByteArray, program);
        QFETCH(QByteArray, dataDir);
        QFETCH(QByteArray, exec);
        const std::optional<std::string> dir =
            dataDir.isEmpty() ? std::nullopt : std::optional(dataDir.toStdString());
        const auto contents = ActivationFile::Contents(program.toStdString(), dir);
        QString error;
        const bool written = ActivationFile::Write(m_env, program.toStdString(), dir, &error);
        if (exec.isEmpty()) {
            QVERIFY(!contents);
            QVERIFY(!written);
            QVERIFY(!error.isEmpty());
            QVERIFY(!QFile::exists(ActivationFile::Path(m_env)));
            return;
        }
        QVERIFY(contents);
        QVERIFY(written);
        QFile file(ActivationFile::Path(m_env));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[D-BUS Service]\nName=org.tavolin.Application\n"
                                            "Exec=" + exec + "\n"));
        QVERIFY(ActivationFile::Remove(m_env));
        QVERIFY(!QFile::exists(ActivationFile::Path(m_env)));
        QVERIFY(ActivationFile::Remove(m_env));  // already gone: no error
    }

    void usageIsAskedForWithHelpOnly() {
        QVERIFY(WantsUsage({"--help"}));
        QVERIFY(WantsUsage({"/go", "-h"}));
        QVERIFY(!WantsUsage({"/?"}));
        QVERIFY(!WantsUsage({"/go"}));
        QVERIFY(!WantsUsage({"--HELP"}));
        for (const char* word : {"/go", "/?", "-Embedding", "-Regserver", "--help"}) {
            QVERIFY2(UsageText().contains(QLatin1String(word)), word);
        }
    }

    void languageFollowsTheLocale_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("english");
        QTest::newRow("nothing") << "" << false;
        QTest::newRow("C") << "C" << false;
        QTest::newRow("C.UTF-8") << "C.UTF-8" << false;
        QTest::newRow("POSIX") << "POSIX" << false;
        QTest::newRow("de_AT") << "de_AT.UTF-8" << false;
        QTest::newRow("de@euro") << "de_DE@euro" << false;
        QTest::newRow("en_US") << "en_US.UTF-8" << true;
        QTest::newRow("fr_FR") << "fr_FR.UTF-8" << true;
    }
    void languageFollowsTheLocale() {
        QFETCH(QString, name);
        QFETCH(bool, english);
        QCOMPARE(LanguageForLocaleName(name) == UiLanguage::English, english);
    }

    // German: Qt's own dialogs speak German; English: the program's texts are translated and
    // Qt's stay as they are.
    void translationsAreInstalled() {
        QVERIFY(InstallTranslations(*qApp, UiLanguage::German));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Open"), QString::fromUtf8("&Öffnen"));
        QCOMPARE(QCoreApplication::translate("tavolin::CTerminDlg", "Abbrechen"),
                 QStringLiteral("Abbrechen"));
        QVERIFY(InstallTranslations(*qApp, UiLanguage::English));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("&Open"));
        QCOMPARE(QCoreApplication::translate("tavolin::CTerminDlg", "Abbrechen"),
                 QStringLiteral("Cancel"));
        QVERIFY(InstallTranslations(*qApp, UiLanguage::German));
        QLocale::setDefault(QLocale::c());
    }

    void infoStartTouchesNoFile() {
        CTavolinApp app(m_box->context());
        CloseNextModal();
        QVERIFY(!app.Prepare({"/?"}));
        QCOMPARE(app.exitCode(), 0);
        QVERIFY(!app.dialog());
        QVERIFY(QDir(m_box->Path("")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
        QVERIFY(QDir(m_xdg.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    }

    void silentStartWithoutConfigShowsTheErrorAndEnds() {
        ui::DialogRecorder recorder;
        CTavolinApp app(m_box->context());
        QVERIFY(!app.Prepare({"/go"}));
        QCOMPARE(app.exitCode(), 1);  // a login script sees that nothing was made
        QVERIFY(!app.dialog());
        QCOMPARE(int(recorder.messages().size()), 1);
        QCOMPARE(recorder.messages()[0].text,
                 QString("Beim Erstellen der Hintergrundbildes ist ein Fehler aufgetreten."));
        QCOMPARE(recorder.messages()[0].caption, QString("Fehler"));
        QCOMPARE(recorder.messages()[0].icon, ui::MessageBox::Icon::Critical);
        QVERIFY(!m_box->Exists("config.ini"));
        QVERIFY(!m_box->Exists("Background.bmp"));
    }

    // The activation file lives outside the data directory: only -Regserver writes it.
    void normalStartShowsTheDialogAndLeavesTheActivationFileAlone() {
        CTavolinApp app(m_box->context());
        QVERIFY(app.Prepare({}));
        QVERIFY(app.dialog());
        QVERIFY(app.dialog()->isVisible());
        QVERIFY(m_box->Exists("config.ini"));
        QVERIFY(!QFile::exists(ActivationFile::Path(m_env)));
    }

    void uncreatableConfigEndsTheNormalStart() {
        // A data directory that cannot exist: config.ini cannot be made, even by root.
        Context context = m_box->context();
        context.dataDirectory = m_box->File("config.ini") / "sub";
        m_box->WriteConfig("");
        ui::DialogRecorder recorder;
        CTavolinApp app(context);
        QVERIFY(!app.Prepare({}));
        QCOMPARE(app.exitCode(), 1);
        QCOMPARE(int(recorder.messages().size()), 1);
        QVERIFY(recorder.messages()[0].text.startsWith("Beim Schreiben auf die Festplatte"));
        QCOMPARE(recorder.messages()[0].caption, QString("Fehler"));
    }

    void aboutDialog() {
        CAboutDlg about(nullptr);
        QCOMPARE(about.windowTitle(), QString("Info über Tavolin"));
        QVERIFY(about.findChild<QLabel*>() != nullptr);
        bool version = false;
        for (QLabel* l : about.findChildren<QLabel*>())
            version |= l->text() == "Tavolin Version 2.4";
        QVERIFY(version);
        QCOMPARE(about.mailLink()->toolTip(),
                 QString("Senden Sie Ihre Meinung zu diesem Programm"));
        QCOMPARE(about.webLink()->toolTip(), QString("Besuchen Sie den Autor im Internet"));
        QCOMPARE(about.mailLink()->Target(),
                 QString("mailto:pelmar@example.org?subject=Fragen und Anregungen zu Tavolin"));
        QCOMPARE(about.webLink()->Target(), QString("https://tavolin.example.org"));
        QCOMPARE(about.mailLink()->objectName(), QString("ctl1037"));
        QCOMPARE(about.minimumSize(), about.maximumSize());
    }
};

QTEST_MAIN(CTavolinAppTest)
#include "CTavolinAppTest.moc"
