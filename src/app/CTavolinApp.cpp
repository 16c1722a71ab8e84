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
#include "app/AppointmentBook.h"
#include "app/CAboutDlg.h"
#include "app/CTavolinDlg.h"
#include "app/DesktopNotifier.h"
#include "app/GenerationPresenter.h"
#include "app/ImportCommands.h"
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

CTavolinApp::CTavolinApp(Context context, Options options)
    : m_context(std::move(context)), m_options(std::move(options)) {}

CTavolinApp::~CTavolinApp() {
    // The store worker first: its completions refer to the list and the dialog. Then the
    // controllers (each waits for its own threads), the dialog they were attached to, and the
    // automation object last, which the dialog may still refer to.
    m_store.reset();
    m_imports.reset();
    m_book.reset();
    m_runner.reset();
    m_presenter.reset();
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

bool CTavolinApp::HasGraphicalSession(const EnvironmentLookup& env) {
#ifdef _WIN32
    (void)env;
    return true;  // a Windows process always has its desktop
#else
    if (env("WAYLAND_DISPLAY") || env("QT_QPA_PLATFORM")) return true;
    // Qt ends the process when the X server DISPLAY names is not there; ask it first.
    const auto display = env("DISPLAY");
    return display && X11DisplayAnswers(*display);
#endif
}

int CTavolinApp::Main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    // The environment is read once; everything after takes it from here (or the Context).
    const EnvironmentLookup env = TableEnvironment(ReadProcessEnvironment());

#ifdef _WIN32
    if (const auto code = RunWindowsRegistration(FindAutomationSwitch(arguments))) return *code;
#else
    // Registration runs need no display: they only write or remove the activation file.
    switch (FindAutomationSwitch(arguments)) {
        case AutomationSwitch::Register: {
            QString error;
            if (!ActivationFile::Write(env, OwnProgramPath().string(), env("TAVOLIN_DIR"),
                                       &error)) {
                std::fprintf(stderr, "tavolin: no activation file: %s\n",
                             error.toLocal8Bit().constData());
                return 1;
            }
            return 0;
        }
        case AutomationSwitch::Unregister:
            if (!ActivationFile::Remove(env)) {
                std::fprintf(stderr, "tavolin: cannot remove %s\n",
                             QFile::encodeName(ActivationFile::Path(env)).constData());
                return 1;
            }
            return 0;
        default:
            break;
    }
#endif

    if (!HasGraphicalSession(env)) {
        std::fprintf(stderr,
                     "tavolin: no graphical session (neither DISPLAY nor WAYLAND_DISPLAY names "
                     "a running display).\nFor use without a desktop run tavolin-cli, for "
                     "example 'tavolin-cli generate'.\n");
        return 1;
    }

    QApplication app(argc, argv);
    InstallTranslations(app, LanguageFromEnvironment(env));
    Context context = MakeSystemContext();
    // Qt knows the screen already: no tool is started (and waited for) to measure it.
    context.screen = QtScreen::FollowPrimary(&app);
    // Notifications go through the session bus (or the icon's balloons), which need Qt.
    context.notifier = MakeDesktopNotifier();
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
            CAboutDlg about(m_context.urlOpener);
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
            Compose(false);
            break;
        }
        case StartKind::Normal:
            Compose(true);
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
    if (!m_dialog->Start()) {
        m_exitCode = 1;
        return false;
    }
    // The silent start tidies Termine.dat and paints once, while the icon already waits: both
    // on workers, the tidy-up first (the picture shows the tidied list).
    if (kind == StartKind::Silent) {
        const Context context = m_context;
        const std::filesystem::path config = m_context.DataFile("config.ini");
        GenerationRunner* runner = m_runner.get();
        m_store->Post(
            QCoreApplication::translate("tavolin::CTavolinApp", "Termine.dat: Aufräumen"),
            AppointmentStore(m_context).Path(),
            [context, config, runner](std::stop_token) -> StoreWorker::Completion {
                IniFile ini;
                if (ini.Open(config, false)) {
                    AppointmentStore(context).TidyUp(SilentStartDeletesExpired(ini), context.Now());
                }
                return [runner] { runner->start(GenerationOrigin::Unattended); };
            });
    }
    return true;
}

CTavolinDlg& CTavolinApp::Compose(bool visible) {
    if (m_dialog) return *m_dialog;
    m_store = std::make_unique<StoreWorker>(m_context.writeFaults);
    m_dialog = std::make_unique<CTavolinDlg>(m_context, visible, m_options.trayAvailable);
    CTavolinDlg* dialog = m_dialog.get();

    m_runner = std::make_unique<GenerationRunner>();
    m_runner->setJob(m_options.generationJob ? m_options.generationJob
                                             : GenerationRunner::RecordingJob(m_context));
    m_presenter = std::make_unique<GenerationPresenter>(
        m_context,
        [dialog](const UserMessage& message) {
            MessageBox::userMessageSink(dialog->isVisible() ? dialog : nullptr)(message);
        },
        [dialog](const QString& caption, const QString& text) {
            dialog->ShowNotice(caption, text);
        });

    m_book = std::make_unique<AppointmentBook>(m_context, *m_store);
    AppointmentBook* book = m_book.get();
    m_imports = std::make_unique<ImportCommands>(
        m_context, *m_store, [book] { return book->DeleteExpired(); },
        [book] { book->RefreshList(); }, m_options.autostartProgram);
    m_imports->Attach(dialog, dialog->appointmentsMenu());
    // Only a working Outlook gets an active import command.
    dialog->setOutlookImportAvailable(m_imports->OutlookAvailable());

    Wire();
    return *dialog;
}

void CTavolinApp::Wire() {
    CTavolinDlg* dialog = m_dialog.get();
    StoreWorker* store = m_store.get();
    GenerationRunner* runner = m_runner.get();
    GenerationPresenter* presenter = m_presenter.get();
    AppointmentBook* book = m_book.get();
    ImportCommands* imports = m_imports.get();

    // Every setting the window changes is written by the one worker, in order.
    QObject::connect(dialog, &CTavolinDlg::settingsPosted, store,
                     [store](const std::filesystem::path& file,
                             const std::vector<IniFile::Value>& values) {
                         store->PostSettings(file, values);
                     });

    // The generation: one run at a time; the window shows that one runs.
    QObject::connect(dialog, &CTavolinDlg::generateRequested, runner,
                     [runner](GenerationOrigin origin) { runner->start(origin); });
    QObject::connect(runner, &GenerationRunner::started, dialog,
                     [dialog] { dialog->setGenerationBusy(true); });
    QObject::connect(runner, &GenerationRunner::finished, dialog,
                     [dialog, presenter](GenerationResult result, GenerationOrigin origin) {
                         dialog->setGenerationBusy(false);
                         // The run's messages as the run met them; the presenter owns them.
                         presenter->Present(std::move(result), origin);
                     });

    // The appointment book fills the list once the dialog has read config.ini.
    QObject::connect(dialog, &CTavolinDlg::initialised, dialog, [dialog, book] {
        book->SetDeleteExpired(dialog->deleteExpired());
        const CTavolinDlg::AppointmentArea area = dialog->appointmentArea();
        book->Attach(area.list, area.add, area.edit, area.remove, dialog);
    });
    QObject::connect(dialog, &CTavolinDlg::alarmSwitched, dialog,
                     [book](bool on) { book->AlarmChanged(on); });
    QObject::connect(dialog, &CTavolinDlg::deleteExpiredSwitched, dialog, [book](bool on) {
        book->SetDeleteExpired(on);
        book->RefreshList();
    });

    QObject::connect(dialog, &CTavolinDlg::autostartSwitched, dialog, [dialog, imports](bool on) {
        dialog->setAutostartChecked(imports->AutostartToggled(on));
    });
    QObject::connect(dialog, &CTavolinDlg::outlookImportRequested, dialog,
                     [imports] { imports->OutlookImport(); });
}

}  // namespace tavolin
