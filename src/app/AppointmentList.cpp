#include "app/AppointmentList.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QPointer>
#include <QTableWidget>

#include "app/CTerminDlg.h"
#include "app/StoreWorker.h"
#include "appointments/Appointment.h"
#include "appointments/AppointmentTime.h"
#include "controls/MessageBox.h"
#include "platform/Clock.h"
#include "util/Atoi.h"
#include "util/Cp1252.h"

namespace tavolin {
namespace {

using ui::MessageBox;

// Each cell keeps the record's own bytes, so a row leads back to its line exactly, whatever the
// text looks like on screen.
constexpr int kBytesRole = Qt::UserRole;
// Column 0 also keeps the whole line, so that even a hand-edited line without " # " can be
// edited and deleted.
constexpr int kLineRole = Qt::UserRole + 1;

QTableWidgetItem* Cell(const std::string& bytes) {
    auto* item = new QTableWidgetItem(QString::fromStdString(Cp1252ToUtf8(bytes)));
    item->setData(kBytesRole, QByteArray::fromStdString(bytes));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

std::string BytesOf(const QTableWidgetItem* item, int role = kBytesRole) {
    return item ? item->data(role).toByteArray().toStdString() : std::string();
}

QDate LocalDate(TimePoint t) {
    const std::tm f = LocalFields(t);
    return QDate(f.tm_year + 1900, f.tm_mon + 1, f.tm_mday);
}

QString QuarterOf(TimePoint t) {
    const std::tm f = LocalFields(t);
    return QString::fromStdString(QuarterTime(f.tm_hour, f.tm_min));
}

}  // namespace

AppointmentList::AppointmentList(QTableWidget* list, QWidget* owner, AppointmentStore store,
                                 std::function<bool()> deleteExpired,
                                 std::function<TimePoint()> now, StoreWorker* worker,
                                 QObject* parent)
    : QObject(parent),
      m_list(list),
      m_owner(owner),
      m_store(std::move(store)),
      m_deleteExpired(std::move(deleteExpired)),
      m_now(std::move(now)),
      m_runDialog([](CTerminDlg& dialog) { return dialog.exec() == QDialog::Accepted; }),
      m_ownWorker(worker ? nullptr : std::make_unique<StoreWorker>()),
      m_worker(worker ? worker : m_ownWorker.get()) {
    connect(m_list, &QAbstractItemView::doubleClicked, this, [this] { OnEdit(true); });
    // Several events come with one change (the new file, the rename, the directory): one
    // reload a moment after the last.
    m_reloadDelay.setSingleShot(true);
    m_reloadDelay.setInterval(250);
    connect(&m_reloadDelay, &QTimer::timeout, this, &AppointmentList::Reload);
}

AppointmentList::~AppointmentList() = default;

void AppointmentList::WatchFile() {
    if (m_watcher) return;
    m_watcher = new QFileSystemWatcher(this);
    // The file is replaced by a rename on every change, so its directory is watched too (and
    // the file again once it is back).
    const QString file = QFile::decodeName(QByteArray::fromStdString(m_store.Path().string()));
    m_watcher->addPath(QFileInfo(file).absolutePath());
    if (QFileInfo::exists(file)) m_watcher->addPath(file);
    const auto changed = [this, file] {
        if (!m_watcher->files().contains(file) && QFileInfo::exists(file)) {
            m_watcher->addPath(file);
        }
        m_reloadDelay.start();
    };
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
}

void AppointmentList::WaitIdle() {
    m_worker->WaitIdle();
}

void AppointmentList::SetUpColumns() {
    m_list->setColumnCount(2);
    m_list->setHorizontalHeaderLabels(
        {QCoreApplication::translate("tavolin::AppointmentList", "Datum"),
         QCoreApplication::translate("tavolin::AppointmentList", "Bemerkung")});
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->verticalHeader()->hide();
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    // The selection stays visible when the list loses the focus.
    QPalette palette = m_list->palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    m_list->setPalette(palette);
    // A right click is taken and does nothing.
    m_list->setContextMenuPolicy(Qt::PreventContextMenu);
    const int w = m_list->width();
    m_list->setColumnWidth(0, (w - 20) / 3 - 10);
    m_list->setColumnWidth(1, (2 * w - 40) / 3 + 10);
}

void AppointmentList::RefreshList() {
    PostRead(true);
}

void AppointmentList::Reload() {
    PostRead(false);
}

void AppointmentList::PostRead(bool tidy) {
    const AppointmentStore store = m_store;
    const bool deleteExpired = m_deleteExpired();
    const TimePoint now = m_now();
    const QPointer<AppointmentList> self(this);
    m_worker->Post(
        QCoreApplication::translate("tavolin::AppointmentList", "Termine.dat: Aufräumen"),
        tidy ? store.Path() : std::filesystem::path(),
        [store, tidy, deleteExpired, now, self](std::stop_token) -> StoreWorker::Completion {
            if (tidy) store.TidyUp(deleteExpired, now);
            auto status = std::make_shared<StoreStatus>(StoreStatus::Ok);
            auto lines =
                std::make_shared<std::vector<std::string>>(store.ReadRecords(status.get()));
            return [self, lines, status] {
                if (self) self->Show(*lines, *status);
            };
        });
}

void AppointmentList::Show(const std::vector<std::string>& lines, StoreStatus status) {
    // The selection follows its record across the reload, where it is still there.
    std::string selected;
    if (const int row = SelectedRow(); row >= 0)
        selected = BytesOf(m_list->item(row, 0), kLineRole);
    // A file the list cannot show is said once, not after every refresh.
    const bool unreadable = status == StoreStatus::TooLarge || status == StoreStatus::Unreadable;
    if (unreadable && status != m_shownStatus) {
        const QString text =
            QCoreApplication::translate(
                "tavolin::AppointmentList",
                "Die Termindatei %1 kann nicht angezeigt werden: %2. Sie bleibt unverändert.")
                .arg(
                    QString::fromStdString(m_store.Path().string()),
                    status == StoreStatus::TooLarge
                        ? QCoreApplication::translate("tavolin::AppointmentList", "sie ist zu groß")
                        : QCoreApplication::translate("tavolin::AppointmentList",
                                                      "sie kann nicht gelesen werden"));
        m_shownStatus = status;
        MessageBox::show(m_owner, text, QStringLiteral("Fehler"), MessageBox::Icon::Critical);
    } else if (!unreadable) {
        m_shownStatus = status;
    }
    m_list->setRowCount(0);
    for (const std::string& line : lines) {
        // A hand-edited line without " # " is all key, as a reader that splits at the first
        // " # " sees it.
        const size_t split = line.find(kRecordSeparator);
        const std::string key = line.substr(0, split);
        const std::string remark = split == std::string::npos
                                       ? std::string()
                                       : line.substr(split + kRecordSeparator.size());
        const int row = m_list->rowCount();
        m_list->insertRow(row);
        QTableWidgetItem* first = Cell(key == kNoteKey ? std::string() : key);
        first->setData(kLineRole, QByteArray::fromStdString(line));
        m_list->setItem(row, 0, first);
        m_list->setItem(row, 1, Cell(remark));
        if (!selected.empty() && line == selected) {
            m_list->selectRow(row);
            selected.clear();
        }
    }
}

void AppointmentList::PostChange(const QString& what,
                                 std::function<StoreStatus(const AppointmentStore&)> change,
                                 bool ignoreNotFound) {
    const AppointmentStore store = m_store;
    const QPointer<AppointmentList> self(this);
    m_worker->Post(
        what, store.Path(),
        [store, change, self, ignoreNotFound](std::stop_token) -> StoreWorker::Completion {
            const StoreStatus s = change(store);
            return [self, s, ignoreNotFound] {
                if (!self) return;
                if (s != StoreStatus::Ok && !(ignoreNotFound && s == StoreStatus::NotFound)) {
                    self->ReportFailure(s);
                }
            };
        });
    RefreshList();
}

int AppointmentList::SelectedRow() const {
    int first = -1;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows()) {
        if (first < 0 || index.row() < first) first = index.row();
    }
    return first;
}

std::string AppointmentList::RecordOf(const CTerminDlg& dialog) const {
    const auto remark = Utf8ToCp1252(dialog.m_remark.toStdString());
    if (!remark || remark->empty()) {
        MessageBox::showW1252(m_owner, EmptyRemarkText(), W1252("Warnung"),
                              MessageBox::Icon::Critical);
        return {};
    }
    std::string key(kNoteKey);
    if (!dialog.m_note) {
        const std::string time = dialog.m_timeText.toStdString();
        const int hour = Atoi(std::string_view(time).substr(0, 2));
        const int minute = Atoi(time.size() >= 2 ? std::string_view(time).substr(time.size() - 2)
                                                 : std::string_view(time));
        key = FormatWhen(dialog.m_date.day(), dialog.m_date.month(), dialog.m_date.year(), hour,
                         minute);
    }
    return Appointment{key, *remark}.Line();
}

void AppointmentList::ReportFailure(StoreStatus status) const {
    // Not silent: the user would take the appointment for saved.
    const QString text =
        status == StoreStatus::NotFound
            ? QCoreApplication::translate(
                  "tavolin::AppointmentList",
                  "Dieser Eintrag steht nicht mehr in der Termindatei; er wurde inzwischen "
                  "geändert oder entfernt. Es wurde nichts geändert.")
            : QCoreApplication::translate(
                  "tavolin::AppointmentList",
                  "Die Termindatei %1 konnte nicht geändert werden (%2). Es wurde nichts "
                  "gespeichert.")
                  .arg(QString::fromStdString(m_store.Path().string()),
                       QString::fromUtf8(StoreStatusText(status)));
    MessageBox::show(m_owner, text, QStringLiteral("Fehler"), MessageBox::Icon::Critical);
}

void AppointmentList::OnAdd() {
    const TimePoint now = m_now();
    CTerminDlg dialog(m_owner);
    dialog.m_date = LocalDate(now);
    dialog.m_timeText = QuarterOf(now);
    dialog.m_remark.clear();
    dialog.m_note = false;
    if (!m_runDialog(dialog)) return;
    const std::string line = RecordOf(dialog);
    if (line.empty()) return;
    PostChange(
        QCoreApplication::translate("tavolin::AppointmentList", "Termine.dat: neuer Termin ") +
            QString::fromStdString(Cp1252ToUtf8(line)),
        [line](const AppointmentStore& store) { return store.AppendRecord(line); }, false);
}

void AppointmentList::OnEdit(bool fromDoubleClick) {
    const int row = SelectedRow();
    if (row < 0) {
        if (!fromDoubleClick) {
            MessageBox::showW1252(m_owner, W1252("Es ist noch kein Eintrag markiert wurden."),
                                  W1252("Hinweis"), MessageBox::Icon::Critical);
        }
        return;
    }
    const std::string date = BytesOf(m_list->item(row, 0));
    const std::string remark = BytesOf(m_list->item(row, 1));
    const TimePoint now = m_now();
    CTerminDlg dialog(m_owner);
    dialog.m_remark = QString::fromStdString(Cp1252ToUtf8(remark));
    if (date.empty()) {
        dialog.m_date = LocalDate(now);
        dialog.m_timeText = QuarterOf(now);
        dialog.m_note = true;
    } else {
        // The stored time moved to a quarter hour: an imported 10:05 is offered as 10:00.
        const TimePoint t = ParseWhen(date);
        dialog.m_date = LocalDate(t);
        dialog.m_timeText = QuarterOf(t);
        dialog.m_note = false;
    }
    if (!m_runDialog(dialog)) return;
    const std::string line = RecordOf(dialog);
    if (line.empty()) return;
    // The row as it was shown: when the file no longer holds it (changed elsewhere meanwhile)
    // the store finds nothing to replace, and the person is told instead of a wrong line
    // being overwritten.
    const std::string oldLine = BytesOf(m_list->item(row, 0), kLineRole);
    PostChange(
        QCoreApplication::translate("tavolin::AppointmentList", "Termine.dat: geänderter Termin ") +
            QString::fromStdString(Cp1252ToUtf8(line)),
        [oldLine, line](const AppointmentStore& store) {
            return store.ReplaceRecord(oldLine, line);
        },
        false);
}

void AppointmentList::OnDelete() {
    const int row = SelectedRow();
    if (row < 0) return;
    const std::string line = BytesOf(m_list->item(row, 0), kLineRole);
    // Already gone is what was wanted.
    PostChange(
        QCoreApplication::translate("tavolin::AppointmentList", "Termine.dat: gelöschter Termin ") +
            QString::fromStdString(Cp1252ToUtf8(line)),
        [line](const AppointmentStore& store) { return store.RemoveRecord(line); }, true);
}

}  // namespace tavolin
