#include "app/ImportCommands.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>

#include "app/CTavolinDlg.h"
#include "app/StoreWorker.h"
#include "appointments/AppointmentStore.h"
#include "appointments/IcsImport.h"
#include "appointments/OutlookImport.h"
#include "controls/FileDialog.h"
#include "controls/MessageBox.h"
#include "platform/Autostart.h"
#include "platform/Clock.h"

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

void ImportCommands::Initialise(CTavolinDlg& dialog) {
    QMenu* menu = dialog.appointmentsMenu();
    if (!menu) return;
    QAction* action = menu->addAction(QStringLiteral("&iCalendar-Import ..."));
    action->setObjectName(QStringLiteral("cmd%1").arg(kICalendarImport));
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
        ApplyAutostart(checked, AutostartFolder(m_seams.environment), program);
    if (result != AutostartResult::Done) {
        // A failed deletion leaves the entry in place: the box says so again.
        const bool entryThere = result == AutostartResult::DeleteFailed;
        MessageBox::showW1252(
            &dialog, AutostartErrorText(result == AutostartResult::DeleteFailed ? false : checked),
            "Fehler", MessageBox::Icon::Critical);
        if (box) box->setChecked(entryThere);
        return;
    }
    dialog.PostSetting("Programm", "Autostart", checked ? "1" : "0");
}

void ImportCommands::ICalendarImport(CTavolinDlg& dialog) {
    const QString file = ui::FileDialog::getOpenFileName(
        &dialog, QStringLiteral("iCalendar-Import"), QString(),
        QStringLiteral("iCalendar (*.ics)|*.ics|All files (*.*)|*.*||"));
    if (file.isEmpty()) return;
    // On the store worker, after the changes posted before it: a large file or a lock held
    // elsewhere does not hold up the window. One refresh (and so one tidy-up) for the whole
    // file, once it is in.
    const AppointmentStore store(dialog.context());
    const TimePoint now = dialog.context().Now();
    const std::filesystem::path path = QFile::encodeName(file).toStdString();
    const QString name = QFileInfo(file).fileName();
    QPointer<CTavolinDlg> owner(&dialog);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    dialog.storeWorker().Post(
        QStringLiteral("Termine.dat: iCalendar-Import ") + name, store.Path(),
        [store, now, path, name, owner](std::stop_token) -> StoreWorker::Completion {
            auto result = std::make_shared<IcsImportResult>(ImportIcsFile(path, store, now, [] {}));
            return [result, name, owner] {
                if (owner && result->imported > 0) owner->appointments().RefreshList();
                QGuiApplication::restoreOverrideCursor();
                if (!owner) return;
                const std::string text = IcsSummaryText(name.toStdString(), *result);
                MessageBox::show(owner, QString::fromStdString(text),
                                 QStringLiteral("iCalendar-Import"),
                                 result->status == IcsFileStatus::Ok
                                     ? MessageBox::Icon::Information
                                     : MessageBox::Icon::Warning);
            };
        });
}

}  // namespace tavolin
