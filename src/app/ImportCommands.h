#pragma once
// The main dialog's autostart switch and its import commands: "&Outlook-Import" (Outlook's
// automation interface; Linux has none, so it stays grayed there) and "&iCalendar-Import ...".

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/ImportsPart.h"
#include "appointments/IcsImport.h"
#include "platform/Automation.h"
#include "platform/linux/Environment.h"

namespace tavolin {

class ImportCommands : public ImportsPart {
public:
    /// The command id of "&iCalendar-Import ..." (action "icalendarImportAction").
    static constexpr int kICalendarImport = 155;

    /// What the commands reach outside the program; the defaults are the system's.
    struct Seams {
        std::function<std::unique_ptr<AutomationHost>()> automation = CreateSystemAutomationHost;
        std::shared_ptr<const ClassRegistry> registry = CreateSystemClassRegistry();
        EnvironmentLookup environment = TableEnvironment(ReadProcessEnvironment());
        std::filesystem::path program;  // the program autostart runs; empty: this one
    };

    ImportCommands();
    explicit ImportCommands(Seams seams);
    ~ImportCommands() override;

    void Initialise(CTavolinDlg& dialog) override;
    bool OutlookAvailable() const override;
    void OutlookImport(CTavolinDlg& dialog) override;
    void AutostartToggled(CTavolinDlg& dialog, bool checked) override;
    /// Reads and imports the chosen file on a worker thread; the window stays responsive and
    /// shows the summary when it is done. A second import waits for the first to end.
    void ICalendarImport(CTavolinDlg& dialog);

private:
    void ICalendarImported(CTavolinDlg& dialog, const std::string& name,
                           const IcsImportResult& result);

    Seams m_seams;
    std::jthread m_icsWorker;
    bool m_icsBusy = false;
};

}  // namespace tavolin
