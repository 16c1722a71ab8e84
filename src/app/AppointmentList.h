#pragma once
// The appointment list 1038 of the main dialog and its commands: add (1041), edit (1042 and a
// double click), delete (1043). Every command changes Termine.dat through AppointmentStore on
// the store worker (the window never waits for the file's lock) and rebuilds the list with
// RefreshList, which tidies the file first. A change made elsewhere (tavolin-cli, a second
// copy) is noticed and the list reloaded.

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "appointments/AppointmentStore.h"

class QFileSystemWatcher;
class QTableWidget;
class QWidget;

namespace tavolin {

class CTerminDlg;
class StoreWorker;

class AppointmentList : public QObject {
    Q_OBJECT

public:
    /// Shows the appointment dialog; true when it was closed with OK.
    using DialogRunner = std::function<bool(CTerminDlg&)>;

    /// list: the list 1038; owner: the window that owns the messages and the dialog;
    /// deleteExpired: the expiry mode of each tidy-up; now: the clock of tidy-ups and offers;
    /// worker: where the file is changed (null: a worker of the list's own).
    AppointmentList(QTableWidget* list, QWidget* owner, AppointmentStore store,
                    std::function<bool()> deleteExpired, std::function<TimePoint()> now,
                    StoreWorker* worker = nullptr, QObject* parent = nullptr);
    ~AppointmentList() override;

    /// Columns "Datum" and "Bemerkung" with their widths, the list's look; once.
    void SetUpColumns();

    /// Tidies Termine.dat, then shows its records in file order (once the worker has done so).
    void RefreshList();

    /// Rereads Termine.dat without tidying it (it was changed elsewhere).
    void Reload();

    /// Follows changes of Termine.dat made elsewhere; a burst of them is one reload.
    void WatchFile();

    /// Waits until every change and refresh asked for so far is done and shown (tests).
    void WaitIdle();

    void OnAdd();
    /// fromDoubleClick: without a selected row the double click does nothing, the button says so.
    void OnEdit(bool fromDoubleClick = false);
    void OnDelete();

    /// Test hook: how the appointment dialog is shown (default: modally).
    void setDialogRunner(DialogRunner runner) { m_runDialog = std::move(runner); }

private:
    int SelectedRow() const;
    /// The record line of a dialog closed with OK, or an empty string after the message.
    std::string RecordOf(const CTerminDlg& dialog) const;
    void ReportFailure(StoreStatus status) const;
    /// Runs a change on the worker, then refreshes the list. ignoreNotFound: already gone is
    /// what was wanted (delete).
    void PostChange(const QString& what, std::function<StoreStatus(const AppointmentStore&)> change,
                    bool ignoreNotFound);
    void PostRead(bool tidy);
    void Show(const std::vector<std::string>& lines, StoreStatus status);

    QTableWidget* m_list;
    QWidget* m_owner;
    AppointmentStore m_store;
    std::function<bool()> m_deleteExpired;
    std::function<TimePoint()> m_now;
    DialogRunner m_runDialog;
    std::unique_ptr<StoreWorker> m_ownWorker;
    StoreWorker* m_worker;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer m_reloadDelay;
    StoreStatus m_shownStatus = StoreStatus::Ok;  // of the last read, reported once per change
};

}  // namespace tavolin
