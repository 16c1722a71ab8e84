#pragma once
// The main dialog's autostart switch and its import commands: "&Outlook-Import" (Outlook's
// automation interface; Linux has none, so it stays grayed there) and "&iCalendar-Import ...".
// The program builds them beside the dialog and connects the dialog's requests to them.

#include <QObject>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/StoreWorker.h"
#include "appointments/IcsImport.h"
#include "platform/Context.h"

class QMenu;
class QWidget;

namespace tavolin {

class ImportCommands {
public:
    /// The command id of "&iCalendar-Import ..." (action "icalendarImportAction").
    static constexpr int kICalendarImport = 155;

    /// context: Termine.dat and the clock, the autostart entry, the environment (TAVOLIN_DIR)
    /// and the automation servers. worker writes config.ini and must outlive the commands.
    /// deleteExpired: the list's expiry mode, for the tidy-up after an import. refreshList:
    /// shows Termine.dat anew after an import. program: what autostart starts; empty: this
    /// program.
    ImportCommands(Context context, StoreWorker& worker, std::function<bool()> deleteExpired,
                   std::function<void()> refreshList, std::filesystem::path program = {});
    ~ImportCommands();

    /// The window that owns the file dialog and the messages; adds "&iCalendar-Import ..." to
    /// menu. Once.
    void Attach(QWidget* owner, QMenu* menu);
    /// Whether the Outlook import can run here; "&Outlook-Import" is grayed otherwise.
    bool OutlookAvailable() const;
    /// Menu command 154.
    void OutlookImport();
    /// "A&utomatisch starten" changed to checked: writes or deletes the entry and, when that
    /// worked, the setting. Returns the state the check box is to show (the entry's).
    bool AutostartToggled(bool checked);
    /// Reads and imports the chosen file on a worker thread; the window stays responsive and
    /// shows the summary when it is done. A second import waits for the first to end.
    void ICalendarImport();

private:
    void ICalendarImported(const std::string& name, const IcsImportResult& result);

    Context m_context;
    StoreWorker& m_worker;
    std::function<bool()> m_deleteExpired;
    std::function<void()> m_refreshList;
    std::filesystem::path m_program;
    QPointer<QWidget> m_owner;
    QObject m_receiver;  // the import thread's result arrives here
    std::jthread m_icsWorker;
    bool m_icsBusy = false;
};

}  // namespace tavolin
