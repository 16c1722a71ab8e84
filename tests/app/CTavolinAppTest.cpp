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

private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_xdg.path().toLocal8Bit()); }
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

    void activationFile() {
        QVERIFY(ActivationFile::Path().startsWith(m_xdg.path() + "/dbus-1/services/"));
        QVERIFY(ActivationFile::Write("/opt/my apps/tavolin"));
        QFile file(ActivationFile::Path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[D-BUS Service]\nName=org.tavolin.Application\n"
                                            "Exec=\"/opt/my apps/tavolin\" -Embedding\n"));
        QVERIFY(ActivationFile::Remove());
        QVERIFY(!QFile::exists(ActivationFile::Path()));
        QVERIFY(ActivationFile::Remove());  // already gone: no error
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

    void normalStartShowsTheDialogAndRefreshesTheActivationFile() {
        CTavolinApp app(m_box->context());
        QVERIFY(app.Prepare({}));
        QVERIFY(app.dialog());
        QVERIFY(app.dialog()->isVisible());
        QVERIFY(m_box->Exists("config.ini"));
        QVERIFY(QFile::exists(ActivationFile::Path()));
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
        CAboutDlg about;
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
