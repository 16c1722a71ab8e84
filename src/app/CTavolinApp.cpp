#include "app/CTavolinApp.h"

#include <QApplication>
#include <QFile>
#include <cstdio>
#include <filesystem>

#ifdef _WIN32
#include "app/windows/WindowsProgram.h"
#else
#include <QDBusConnection>

#include "app/ActivationFile.h"
#include "app/AutomationServer.h"
#include "platform/linux/X11Display.h"
#endif
#include "app/CAboutDlg.h"
#include "app/CTavolinDlg.h"
#include "app/QtScreen.h"
#include "app/StoreWorker.h"
#include "app/Resources.h"
#include "app/Translations.h"
#include "appointments/AppointmentStore.h"
#include "controls/MessageBox.h"
#include "platform/Autostart.h"
#include "platform/UserMessages.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "util/Cp1252.h"

namespace tavolin {

using ui::MessageBox;

CTavolinApp::CTavolinApp(Context context) : m_context(std::move(context)) {}

CTavolinApp::~CTavolinApp() {
    // The dialog goes before the automation object it may still refer to, the store worker
    // (whose completions refer to the dialog) before the dialog.
    m_store.reset();
    m_dialog.reset();
#ifndef _WIN32
    m_automation.reset();
#endif
}

QString CTavolinApp::ProgramPath() {
#ifdef _WIN32
    return WindowsProgramPath();
#else
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? QString() : QFile::decodeName(QByteArray::fromStdString(exe.string()));
#endif
}

bool CTavolinApp::HasGraphicalSession() {
#ifdef _WIN32
    return true;  // a Windows process always has its desktop
#else
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return true;
    }
    // Qt ends the process when the X server DISPLAY names is not there; ask it first.
    const QByteArray display = qgetenv("DISPLAY");
    return !display.isEmpty() && X11DisplayAnswers(display.toStdString());
#endif
}

int CTavolinApp::Main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

#ifdef _WIN32
    if (const auto code = RunWindowsRegistration(FindAutomationSwitch(arguments))) return *code;
#else
    // Registration runs need no display: they only write or remove the activation file.
    switch (FindAutomationSwitch(arguments)) {
        case AutomationSwitch::Register: {
            QString error;
            const QByteArray dataDir = qgetenv("TAVOLIN_DIR");
            if (!ActivationFile::Write(OwnProgramPath().string(),
                                       dataDir.isEmpty() ? std::nullopt
                                                         : std::optional(dataDir.toStdString()),
                                       &error)) {
                std::fprintf(stderr, "tavolin: no activation file: %s\n",
                             error.toLocal8Bit().constData());
                return 1;
            }
            return 0;
        }
        case AutomationSwitch::Unregister:
            if (!ActivationFile::Remove()) {
                std::fprintf(stderr, "tavolin: cannot remove %s\n",
                             QFile::encodeName(ActivationFile::Path()).constData());
                return 1;
            }
            return 0;
        default:
            break;
    }
#endif

    if (!HasGraphicalSession()) {
        std::fprintf(stderr,
                     "tavolin: no graphical session (neither DISPLAY nor WAYLAND_DISPLAY names "
                     "a running display).\nFor use without a desktop run tavolin-cli, for "
                     "example 'tavolin-cli generate'.\n");
        return 1;
    }

    QApplication app(argc, argv);
    InstallTranslations(app, LanguageFromEnvironment());
    Context context = MakeSystemContext();
    // Qt knows the screen already: no tool is started (and waited for) to measure it.
    context.screen = QtScreen::FollowPrimary(&app);
    CTavolinApp tavolin(std::move(context));
    return tavolin.Run(arguments);
}

int CTavolinApp::Run(const QStringList& arguments) {
    if (!Prepare(arguments)) {
        FinishWrites(std::chrono::seconds(3));
        return m_exitCode;
    }
    QApplication::exec();
    FinishWrites(std::chrono::seconds(3));
    return m_exitCode;
}

QStringList CTavolinApp::FinishWrites(std::chrono::milliseconds bound) {
    if (!m_store) return {};
    const QStringList lost = m_store->Finish(bound);
    if (lost.isEmpty()) return lost;
    const QString text =
        QCoreApplication::translate("tavolin::CTavolinApp",
                                    "Diese Änderungen konnten nicht gespeichert werden, weil "
                                    "ein anderes Programm die Datei sperrt:\n%1")
            .arg(lost.join(u'\n'));
    std::fprintf(stderr, "tavolin: not saved (file locked): %s\n",
                 lost.join(QStringLiteral("; ")).toLocal8Bit().constData());
    MessageBox::show(nullptr, text, QCoreApplication::translate("tavolin::CTavolinApp", "Fehler"),
                     MessageBox::Icon::Critical);
    return lost;
}

bool CTavolinApp::Prepare(const QStringList& arguments) {
    EnsureResources();
    QApplication::setApplicationName(QStringLiteral("Tavolin"));
    QApplication::setApplicationVersion(QStringLiteral("2.4"));
    QApplication::setDesktopFileName(QStringLiteral("tavolin"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/icon128.png")));
    m_context.userMessages = MessageBox::userMessageSink(nullptr);
    if (!m_store) m_store = std::make_shared<StoreWorker>();

    const AutomationSwitch automation = FindAutomationSwitch(arguments);
    const StartKind kind = ClassifyCommandText(CommandTextOfArguments(arguments));
#ifdef _WIN32
    (void)automation;  // no automation object is served on Windows: an "Embedding" start is normal
#else
    if (automation == AutomationSwitch::Embedding) {
        m_automation = std::make_unique<AutomationServer>(QDBusConnection::sessionBus());
        QString error;
        if (!m_automation->Register(&error)) {
            // Without a session bus everything else still works.
            std::fprintf(stderr, "tavolin: automation object not available: %s\n",
                         error.toLocal8Bit().constData());
            m_automation.reset();
        }
    }
#endif

    switch (kind) {
        case StartKind::Info: {
            CAboutDlg about;
            about.exec();
            return false;
        }
        case StartKind::Silent: {
            IniFile ini;
            if (!ini.Open(m_context.DataFile("config.ini"), false)) {
                MessageBox::showW1252(
                    nullptr,
                    W1252("Beim Erstellen der Hintergrundbildes ist ein Fehler aufgetreten."),
                    "Fehler", MessageBox::Icon::Critical);
                // A login script sees that nothing was made.
                m_exitCode = 1;
                return false;
            }
            m_dialog = std::make_unique<CTavolinDlg>(m_context, false);
            break;
        }
        case StartKind::Normal:
            m_dialog = std::make_unique<CTavolinDlg>(m_context, true);
            break;
    }

#ifndef _WIN32
    if (m_automation) {
        QObject::connect(m_automation.get(), &AutomationServer::instancesChanged, m_dialog.get(),
                         [this](int count) { m_dialog->setAutomationProxy(count > 0); });
    }
#endif
    QObject::connect(m_dialog.get(), &CTavolinDlg::ended, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    m_dialog->setStoreWorker(m_store);
    if (!m_dialog->Start()) {
        m_exitCode = 1;
        return false;
    }
    // The silent start tidies Termine.dat and paints once, while the icon already waits: both
    // on workers, the tidy-up first (the picture shows the tidied list).
    if (kind == StartKind::Silent) {
        const Context context = m_context;
        const std::filesystem::path config = m_context.DataFile("config.ini");
        CTavolinDlg* dialog = m_dialog.get();
        m_store->Post(
            QCoreApplication::translate("tavolin::CTavolinApp", "Termine.dat: Aufräumen"),
            AppointmentStore(m_context).Path(),
            [context, config, dialog](std::stop_token) -> StoreWorker::Completion {
                IniFile ini;
                if (ini.Open(config, false)) {
                    AppointmentStore(context).TidyUp(SilentStartDeletesExpired(ini), context.Now());
                }
                return [dialog] { dialog->generationRunner().start(GenerationOrigin::Unattended); };
            });
    }
    return true;
}

}  // namespace tavolin
