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
#include "app/Resources.h"
#include "appointments/AppointmentStore.h"
#include "controls/MessageBox.h"
#include "platform/UserMessages.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "util/Cp1252.h"

namespace tavolin {

using ui::MessageBox;

CTavolinApp::CTavolinApp(Context context) : m_context(std::move(context)) {}

CTavolinApp::~CTavolinApp() {
    // The dialog goes before the automation object it may still refer to.
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
        case AutomationSwitch::Register:
            if (!ActivationFile::Write(ProgramPath())) {
                std::fprintf(stderr, "tavolin: cannot write %s\n",
                             QFile::encodeName(ActivationFile::Path()).constData());
                return 1;
            }
            return 0;
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
    CTavolinApp tavolin(MakeSystemContext());
    return tavolin.Run(arguments);
}

int CTavolinApp::Run(const QStringList& arguments) {
    if (!Prepare(arguments)) return 0;
    QApplication::exec();
    return 0;
}

bool CTavolinApp::Prepare(const QStringList& arguments) {
    EnsureResources();
    QApplication::setApplicationName(QStringLiteral("Tavolin"));
    QApplication::setApplicationVersion(QStringLiteral("2.4"));
    QApplication::setDesktopFileName(QStringLiteral("tavolin"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/icon128.png")));
    m_context.userMessages = MessageBox::userMessageSink(nullptr);

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
    } else if (kind == StartKind::Normal) {
        ActivationFile::Write(ProgramPath());  // a failure only loses automatic activation
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
                return false;
            }
            AppointmentStore(m_context).TidyUp(SilentStartDeletesExpired(ini), m_context.Now());
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
    if (!m_dialog->Start()) return false;
    // The silent start paints once; the generation runs while the icon already waits.
    if (kind == StartKind::Silent) m_dialog->generationRunner().start();
    return true;
}

}  // namespace tavolin
