#pragma once
// The start of the program: the automation switches, then the command text decides between the
// normal dialog, the silent start "/go" and the information window "/?".

#include <QStringList>
#include <chrono>
#include <memory>

#include "app/CommandLine.h"
#include "platform/Context.h"

namespace tavolin {

class AutomationServer;
class CTavolinDlg;
class StoreWorker;

class CTavolinApp {
public:
    /// context: the process's surroundings (MakeSystemContext in Main; tests their own).
    explicit CTavolinApp(Context context);
    ~CTavolinApp();

    /// The whole program: handles the registration switches without a display, refuses to
    /// start without a graphical session (exit 1), otherwise runs the GUI (exit 0).
    static int Main(int argc, char** argv);

    /// The program's path, for the activation file.
    static QString ProgramPath();

    /// True when a display is there to show windows on (a running X server, Wayland, or a Qt
    /// platform named in QT_QPA_PLATFORM).
    static bool HasGraphicalSession();

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

    StoreWorker* storeWorker() const { return m_store.get(); }

    CTavolinDlg* dialog() const { return m_dialog.get(); }
#ifndef _WIN32
    AutomationServer* automation() const { return m_automation.get(); }
#endif

private:
    Context m_context;
    int m_exitCode = 0;
    std::shared_ptr<StoreWorker> m_store;  // outlives the dialog: its writes finish at the end
#ifndef _WIN32
    // The D-Bus automation object; Windows has none (see app/windows/WindowsProgram.h).
    std::unique_ptr<AutomationServer> m_automation;
#endif
    std::unique_ptr<CTavolinDlg> m_dialog;
};

}  // namespace tavolin
