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

    // The reminders own timer 105; the dialog switches them through AlarmChanged.
    m_reminders = std::make_unique<Reminders>(store);

    m_list->SetUpColumns();
    m_list->RefreshList();
    m_list->WatchFile();
}

void AppointmentBook::RefreshList() {
    if (m_list) m_list->RefreshList();
}

QTimer* AppointmentBook::ReminderTimer() {
    return m_reminders ? &m_reminders->timer() : nullptr;
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
