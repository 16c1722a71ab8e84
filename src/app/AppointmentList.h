#pragma once
// The appointment list 1038 of the main dialog and its commands: add (1041), edit (1042 and a
// double click), delete (1043). Every command changes Termine.dat at once through
// AppointmentStore and rebuilds the list with RefreshList, which tidies the file first.

#include <QObject>
#include <functional>

#include "appointments/AppointmentStore.h"

class QTableWidget;
class QWidget;

namespace tavolin {

class CTerminDlg;

class AppointmentList : public QObject {
    Q_OBJECT

public:
    /// Shows the appointment dialog; true when it was closed with OK.
    using DialogRunner = std::function<bool(CTerminDlg&)>;

    /// list: the list 1038; owner: the window that owns the messages and the dialog;
    /// deleteExpired: the expiry mode of each tidy-up; now: the clock of tidy-ups and offers.
    AppointmentList(QTableWidget* list, QWidget* owner, AppointmentStore store,
                    std::function<bool()> deleteExpired, std::function<TimePoint()> now,
                    QObject* parent = nullptr);

    /// Columns "Datum" and "Bemerkung" with their widths, the list's look; once.
    void SetUpColumns();

    /// Tidies Termine.dat, then shows its records in file order.
    void RefreshList();

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

    QTableWidget* m_list;
    QWidget* m_owner;
    AppointmentStore m_store;
    std::function<bool()> m_deleteExpired;
    std::function<TimePoint()> m_now;
    DialogRunner m_runDialog;
};

}  // namespace tavolin
