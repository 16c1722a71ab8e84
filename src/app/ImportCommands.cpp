#include "app/ImportCommands.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>

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

ImportCommands::ImportCommands(Context context, StoreWorker& worker,
                               std::function<bool()> deleteExpired,
                               std::function<void()> refreshList, std::filesystem::path program)
    : m_context(std::move(context)),
      m_worker(worker),
      m_deleteExpired(std::move(deleteExpired)),
      m_refreshList(std::move(refreshList)),
      m_program(std::move(program)) {}

ImportCommands::~ImportCommands() {
    // The worker posts to m_receiver: it ends before the receiver goes.
    if (m_icsWorker.joinable()) m_icsWorker.join();
}

void ImportCommands::Attach(QWidget* owner, QMenu* menu) {
    m_owner = owner;
    if (!menu) return;
    QAction* action = menu->addAction(
        QCoreApplication::translate("tavolin::CTavolinDlg", "&iCalendar-Import ..."));
    action->setObjectName(QStringLiteral("icalendarImportAction"));
    action->setProperty("commandId", kICalendarImport);
    QObject::connect(action, &QAction::triggered, &m_receiver, [this] { ICalendarImport(); });
}

bool ImportCommands::OutlookAvailable() const {
    return m_context.classRegistry && IsOutlookAvailable(*m_context.classRegistry);
}

void ImportCommands::OutlookImport() {
    BusyCursor busy;
    const std::unique_ptr<AutomationHost> host =
        m_context.automationHost ? m_context.automationHost() : nullptr;
    if (!host) {
        busy.End();
        MessageBox::showW1252(m_owner, OutlookNotAccessibleText(), "Fehler",
                              MessageBox::Icon::Critical);
        return;
    }
    const AppointmentStore store(m_context);
    // Each item is followed by a refresh, which tidies the file as the list shows it.
    const OutlookImportResult result = ImportFromOutlook(*host, store, [this] {
        if (m_refreshList) m_refreshList();
    });
    busy.End();
    switch (result.status) {
        case OutlookImportResult::Status::Done:
            break;
        case OutlookImportResult::Status::NotAccessible:
            MessageBox::showW1252(m_owner, OutlookNotAccessibleText(), "Fehler",
                                  MessageBox::Icon::Critical);
            break;
        case OutlookImportResult::Status::CallFailed:
        case OutlookImportResult::Status::WriteFailed:
            MessageBox::show(m_owner, QString::fromStdString(result.error),
                             QStringLiteral("Fehler"), MessageBox::Icon::Critical);
            break;
    }
}

bool ImportCommands::AutostartToggled(bool checked) {
    std::filesystem::path program = m_program;
    if (program.empty()) {
        program = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    }
    const AutostartResult result =
        m_context.autostart
            ? m_context.autostart->Apply(checked, program, m_context.Variable("TAVOLIN_DIR"))
            : AutostartResult::FolderUnavailable;
    if (result != AutostartResult::Done) {
        // A failed deletion leaves the entry in place: the box says so again.
        const bool entryThere = result == AutostartResult::DeleteFailed;
        MessageBox::showW1252(
            m_owner, AutostartErrorText(result == AutostartResult::DeleteFailed ? false : checked),
            "Fehler", MessageBox::Icon::Critical);
        return entryThere;
    }
    m_worker.PostSettings(m_context.DataFile("config.ini"),
                          {SettingValue(keys::Autostart, SwitchText(checked))});
    return checked;
}

void ImportCommands::ICalendarImport() {
    if (m_icsBusy) return;
    const QString file = ui::FileDialog::getOpenFileName(
        m_owner, QStringLiteral("iCalendar-Import"), QString(),
        QStringLiteral("iCalendar (*.ics)|*.ics|All files (*.*)|*.*||"));
    if (file.isEmpty()) return;
    m_icsBusy = true;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_icsWorker.joinable()) m_icsWorker.join();  // it has posted its result; reap it
    // A large or hostile calendar takes seconds; the window must not wait for it.
    const AppointmentStore store(m_context);
    const TimePoint now = m_context.Now();
    const bool deleteExpired = !m_deleteExpired || m_deleteExpired();
    std::string path = QFile::encodeName(file).toStdString();
    std::string name = QFileInfo(file).fileName().toStdString();
    QObject* receiver = &m_receiver;
    m_icsWorker = std::jthread(
        [this, receiver, store, now, deleteExpired, path = std::move(path),
         name = std::move(name)] {
            IcsImportResult result = ImportIcsFile(path, store, now, deleteExpired);
            // Back to the window's thread. The destructor joins this thread before the
            // receiver goes, so the event is either delivered or dropped with it.
            QMetaObject::invokeMethod(
                receiver,
                [this, name, result = std::move(result)] { ICalendarImported(name, result); },
                Qt::QueuedConnection);
        });
}

void ImportCommands::ICalendarImported(const std::string& name, const IcsImportResult& result) {
    // The file was replaced with its tidy-up; the list shows it.
    if (result.status == IcsFileStatus::Ok && result.imported > 0 && m_refreshList) {
        m_refreshList();
    }
    QGuiApplication::restoreOverrideCursor();
    m_icsBusy = false;
    const std::string text = IcsSummaryText(name, result);
    MessageBox::show(m_owner, QString::fromStdString(text), QStringLiteral("iCalendar-Import"),
                     result.status == IcsFileStatus::Ok ? MessageBox::Icon::Information
                                                        : MessageBox::Icon::Warning);
}

}  // namespace tavolin
