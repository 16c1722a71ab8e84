#include "app/ImportCommands.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>

#include "app/CTavolinDlg.h"
#include "appointments/AppointmentStore.h"
#include "appointments/OutlookImport.h"
#include "controls/FileDialog.h"
#include "controls/MessageBox.h"
#include "platform/Autostart.h"
#include "platform/Clock.h"
#include "settings/Settings.h"

namespace tavolin {
namespace {

using ui::MessageBox;

// The busy cursor for the length of a command; ended early before a message box.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { End(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void End() {
        if (m_on) QGuiApplication::restoreOverrideCursor();
        m_on = false;
    }

private:
    bool m_on = true;
};

}  // namespace

ImportCommands::ImportCommands() : ImportCommands(Seams{}) {}

ImportCommands::ImportCommands(Seams seams) : m_seams(std::move(seams)) {}

ImportCommands::~ImportCommands() {
    if (m_icsWorker.joinable()) m_icsWorker.join();
}

void ImportCommands::Initialise(CTavolinDlg& dialog) {
    QMenu* menu = dialog.appointmentsMenu();
    if (!menu) return;
    QAction* action = menu->addAction(
        QCoreApplication::translate("tavolin::CTavolinDlg", "&iCalendar-Import ..."));
    action->setObjectName(QStringLiteral("icalendarImportAction"));
    action->setProperty("commandId", kICalendarImport);
    QObject::connect(action, &QAction::triggered, &dialog,
                     [this, &dialog] { ICalendarImport(dialog); });
}

bool ImportCommands::OutlookAvailable() const {
    return m_seams.registry && IsOutlookAvailable(*m_seams.registry);
}

void ImportCommands::OutlookImport(CTavolinDlg& dialog) {
    BusyCursor busy;
    const std::unique_ptr<AutomationHost> host = m_seams.automation();
    const AppointmentStore store(dialog.context());
    // Each item is followed by a refresh, which tidies the file as the list shows it.
    const OutlookImportResult result =
        ImportFromOutlook(*host, store, [&dialog] { dialog.appointments().RefreshList(); });
    busy.End();
    switch (result.status) {
        case OutlookImportResult::Status::Done:
            break;
        case OutlookImportResult::Status::NotAccessible:
            MessageBox::showW1252(&dialog, OutlookNotAccessibleText(), "Fehler",
                                  MessageBox::Icon::Critical);
            break;
        case OutlookImportResult::Status::CallFailed:
        case OutlookImportResult::Status::WriteFailed:
            MessageBox::show(&dialog, QString::fromStdString(result.error),
                             QStringLiteral("Fehler"), MessageBox::Icon::Critical);
            break;
    }
}

void ImportCommands::AutostartToggled(CTavolinDlg& dialog, bool checked) {
    auto* box = qobject_cast<QCheckBox*>(dialog.control(1028));
    std::filesystem::path program = m_seams.program;
    if (program.empty()) {
        program = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    }
    const AutostartResult result =
        ApplyAutostart(checked, AutostartFolder(m_seams.environment), program,
                       m_seams.environment("TAVOLIN_DIR"));
    if (result != AutostartResult::Done) {
        // A failed deletion leaves the entry in place: the box says so again.
        const bool entryThere = result == AutostartResult::DeleteFailed;
        MessageBox::showW1252(
            &dialog, AutostartErrorText(result == AutostartResult::DeleteFailed ? false : checked),
            "Fehler", MessageBox::Icon::Critical);
        if (box) box->setChecked(entryThere);
        return;
    }
    dialog.PostSetting(keys::Autostart, SwitchText(checked));
}

void ImportCommands::ICalendarImport(CTavolinDlg& dialog) {
    if (m_icsBusy) return;
    const QString file = ui::FileDialog::getOpenFileName(
        &dialog, QStringLiteral("iCalendar-Import"), QString(),
        QStringLiteral("iCalendar (*.ics)|*.ics|All files (*.*)|*.*||"));
    if (file.isEmpty()) return;
    m_icsBusy = true;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_icsWorker.joinable()) m_icsWorker.join();  // it has posted its result; reap it
    // A large or hostile calendar takes seconds; the window must not wait for it.
    const AppointmentStore store(dialog.context());
    const TimePoint now = dialog.context().Now();
    const bool deleteExpired = dialog.deleteExpired();
    std::string path = QFile::encodeName(file).toStdString();
    std::string name = QFileInfo(file).fileName().toStdString();
    CTavolinDlg* target = &dialog;
    m_icsWorker = std::jthread(
        [this, target, store, now, deleteExpired, path = std::move(path), name = std::move(name)] {
            IcsImportResult result = ImportIcsFile(path, store, now, deleteExpired);
            // Back to the window's thread. The dialog owns this part and joins the worker before
            // it goes, so an event posted to it is either delivered or dropped with it.
            QMetaObject::invokeMethod(
                target,
                [this, target, name, result = std::move(result)] {
                    ICalendarImported(*target, name, result);
                },
                Qt::QueuedConnection);
        });
}

void ImportCommands::ICalendarImported(CTavolinDlg& dialog, const std::string& name,
                                       const IcsImportResult& result) {
    // The file was replaced with its tidy-up; the list shows it.
    if (result.status == IcsFileStatus::Ok && result.imported > 0) {
        dialog.appointments().RefreshList();
    }
    QGuiApplication::restoreOverrideCursor();
    m_icsBusy = false;
    const std::string text = IcsSummaryText(name, result);
    MessageBox::show(&dialog, QString::fromStdString(text), QStringLiteral("iCalendar-Import"),
                     result.status == IcsFileStatus::Ok ? MessageBox::Icon::Information
                                                        : MessageBox::Icon::Warning);
}

}  // namespace tavolin
