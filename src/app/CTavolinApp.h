#pragma once
// The start of the program: the automation switches, then the command text decides between the
// normal dialog, the silent start "/go" and the information window "/?". Also the program's
// composition root: it builds the main dialog (a view) and the controllers behind it (the store
// worker, the generation, the appointment book with the reminders, autostart and the imports)
// and connects the dialog's signals to them.

#include <QStringList>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/CommandLine.h"
#include "app/GenerationRunner.h"
#include "platform/Context.h"

namespace tavolin {

class AppointmentBook;
class AutomationServer;
class CTavolinDlg;
class GenerationPresenter;
class ImportCommands;
class StoreWorker;

class CTavolinApp {
public:
    /// What a test puts in place of the program's own parts; the defaults are the real ones.
    struct Options {
        /// Whether the desktop offers a notification area; empty asks Qt.
        std::function<bool()> trayAvailable;
        /// The work of one generation; empty: the wallpaper generation of the context.
        GenerationRunner::Job generationJob;
        /// The program the autostart entry starts; empty: this one.
        std::filesystem::path autostartProgram;
    };

    /// context: the process's surroundings (MakeSystemContext in Main; tests their own).
    explicit CTavolinApp(Context context, Options options = {});
    ~CTavolinApp();

    /// The whole program: handles the registration switches without a display, refuses to
    /// start without a graphical session (exit 1), otherwise runs the GUI (exit 0).
    static int Main(int argc, char** argv);

    /// The program's path, for the activation file.
    static QString ProgramPath();

    /// True when a display is there to show windows on (a running X server, Wayland, or a Qt
    /// platform named in QT_QPA_PLATFORM); env: the process's environment.
    static bool HasGraphicalSession(const EnvironmentLookup& env);

    /// The GUI part of a run, inside a QApplication: returns the exit code once the dialog (or
    /// the information window) has ended. Tests call Prepare and drive the dialog instead.
    int Run(const QStringList& arguments);

    /// Everything of Run up to the event loop. Returns false when the run is already over
    /// ("/?" after its window, "/go" without config.ini, a config.ini that cannot be made);
    /// exitCode then says how it ended.
    bool Prepare(const QStringList& arguments);
    int exitCode() const { return m_exitCode; }

    /// The end of the run: the changes still waiting for their file get up to bound; the ones
    /// that could not be made are named in a message (and on stderr). Returns them.
    QStringList FinishWrites(std::chrono::milliseconds bound);

    /// Builds the main dialog and the controllers and connects them (Prepare does it for the
    /// start it recognises). Nothing is shown or read yet: the dialog's Initialise or Start
    /// follows. Once.
    CTavolinDlg& Compose(bool visible);

    StoreWorker* storeWorker() const { return m_store.get(); }
    GenerationRunner* generation() const { return m_runner.get(); }
    GenerationPresenter* presenter() const { return m_presenter.get(); }
    AppointmentBook* appointmentBook() const { return m_book.get(); }
    ImportCommands* imports() const { return m_imports.get(); }

    CTavolinDlg* dialog() const { return m_dialog.get(); }
#ifndef _WIN32
    AutomationServer* automation() const { return m_automation.get(); }
#endif

private:
    void Wire();

    Context m_context;
    Options m_options;
    int m_exitCode = 0;
#ifndef _WIN32
    // The D-Bus automation object; Windows has none (see app/windows/WindowsProgram.h).
    std::unique_ptr<AutomationServer> m_automation;
#endif
    std::unique_ptr<CTavolinDlg> m_dialog;
    std::unique_ptr<GenerationPresenter> m_presenter;
    std::unique_ptr<GenerationRunner> m_runner;
    std::unique_ptr<AppointmentBook> m_book;
    std::unique_ptr<ImportCommands> m_imports;
    std::unique_ptr<StoreWorker> m_store;  // outlives the dialog: its writes finish at the end
};

}  // namespace tavolin
