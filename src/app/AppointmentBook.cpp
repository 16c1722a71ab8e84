#include "app/AppointmentBook.h"

#include <QPushButton>

#include "app/AppointmentList.h"
#include "app/CTavolinDlg.h"
#include "app/Reminders.h"

namespace tavolin {

AppointmentBook::AppointmentBook() = default;
AppointmentBook::~AppointmentBook() = default;

void AppointmentBook::Initialise(CTavolinDlg& dialog) {
    const Context& context = dialog.context();
    const AppointmentStore store(context);
    m_list = std::make_unique<AppointmentList>(
        dialog.appointmentList(), &dialog, store, [&dialog] { return dialog.deleteExpired(); },
        [context] { return context.Now(); }, &dialog.storeWorker());
    AppointmentList* list = m_list.get();
    QObject::connect(dialog.appointmentButton(1041), &QPushButton::clicked, list,
                     [list] { list->OnAdd(); });
    QObject::connect(dialog.appointmentButton(1042), &QPushButton::clicked, list,
                     [list] { list->OnEdit(); });
    QObject::connect(dialog.appointmentButton(1043), &QPushButton::clicked, list,
                     [list] { list->OnDelete(); });

    // The dialog starts and stops timer 105 as "Alarm" says; the reminders aim each tick at
    // the next minute boundary.
    m_reminders = std::make_unique<Reminders>(dialog.reminderTimer(), store);
    if (dialog.reminderTimer().isActive()) m_reminders->Start();

    m_list->SetUpColumns();
    m_list->RefreshList();
    m_list->WatchFile();
}

void AppointmentBook::RefreshList() {
    if (m_list) m_list->RefreshList();
}

void AppointmentBook::ReminderTick() {
    if (m_reminders) m_reminders->Tick();
}

void AppointmentBook::AlarmChanged(bool on) {
    if (!m_reminders) return;
    if (on) {
        m_reminders->Start();
    } else {
        m_reminders->Stop();
    }
}

std::unique_ptr<AppointmentsPart> MakeAppointmentsPart() {
    return std::make_unique<AppointmentBook>();
}

}  // namespace tavolin
