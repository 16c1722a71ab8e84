#pragma once
// The appointment book in the main dialog: the list 1038 with its buttons and the reminders of
// timer 105.

#include <memory>

#include "app/AppointmentsPart.h"

namespace tavolin {

class AppointmentList;
class Reminders;

class AppointmentBook : public AppointmentsPart {
public:
    AppointmentBook();
    ~AppointmentBook() override;

    void Initialise(CTavolinDlg& dialog) override;
    void RefreshList() override;
    QTimer* ReminderTimer() override;
    void AlarmChanged(bool on) override;

    AppointmentList* list() const { return m_list.get(); }
    Reminders* reminders() const { return m_reminders.get(); }

private:
    std::unique_ptr<AppointmentList> m_list;
    std::unique_ptr<Reminders> m_reminders;
};

}  // namespace tavolin
