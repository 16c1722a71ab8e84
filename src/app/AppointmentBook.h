#pragma once
// The appointment book: the list 1038 with its buttons 1041-1043 and the reminders of timer 105.
// The program builds it and hands it the main dialog's widgets; it never reaches back into the
// dialog.

#include <QTimer>
#include <memory>

#include "app/StoreWorker.h"
#include "platform/Context.h"

class QPushButton;
class QTableWidget;
class QWidget;

namespace tavolin {

class AppointmentList;
class Reminders;

class AppointmentBook {
public:
    /// context: the data directory of Termine.dat, the clock and the notifications; worker
    /// writes Termine.dat (it must outlive the book).
    AppointmentBook(Context context, StoreWorker& worker);
    ~AppointmentBook();

    /// The widgets the book fills: the list, its three buttons and the window that owns the
    /// appointment dialog and the messages. Sets up the columns, connects the buttons and fills
    /// the list (RefreshList); once.
    void Attach(QTableWidget* list, QPushButton* add, QPushButton* edit, QPushButton* remove,
                QWidget* owner);

    /// Whether expired appointments are deleted (else moved to today) when the list is tidied.
    void SetDeleteExpired(bool on) { m_deleteExpired = on; }
    bool DeleteExpired() const { return m_deleteExpired; }

    /// Rebuild the list from Termine.dat after tidying it (the expiry mode changed, an import).
    void RefreshList();

    /// "&Meldung anzeigen" is on or off: the reminders run or stop.
    void AlarmChanged(bool on);

    /// Timer 105 of the reminders, running only while "&Meldung anzeigen" is on.
    QTimer& reminderTimer();

    AppointmentList* list() const { return m_list.get(); }
    Reminders* reminders() const { return m_reminders.get(); }

private:
    Context m_context;
    StoreWorker& m_worker;
    bool m_deleteExpired = true;
    std::unique_ptr<AppointmentList> m_list;
    std::unique_ptr<Reminders> m_reminders;
};

}  // namespace tavolin
