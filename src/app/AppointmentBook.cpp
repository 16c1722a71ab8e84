#include "app/AppointmentBook.h"

#include <QPushButton>

#include "app/AppointmentList.h"
#include "app/Reminders.h"

namespace tavolin {

AppointmentBook::AppointmentBook(Context context, StoreWorker& worker)
    : m_context(std::move(context)),
      m_worker(worker),
      // The reminders own timer 105; the program switches them through AlarmChanged.
      m_reminders(std::make_unique<Reminders>(AppointmentStore(m_context), m_context.notifier)) {}

AppointmentBook::~AppointmentBook() = default;

void AppointmentBook::Attach(QTableWidget* list, QPushButton* add, QPushButton* edit,
                             QPushButton* remove, QWidget* owner) {
    if (m_list) return;
    const Context context = m_context;
    m_list = std::make_unique<AppointmentList>(
        list, owner, AppointmentStore(context), [this] { return m_deleteExpired; },
        [context] { return context.Now(); }, &m_worker);
    AppointmentList* l = m_list.get();
    QObject::connect(add, &QPushButton::clicked, l, [l] { l->OnAdd(); });
    QObject::connect(edit, &QPushButton::clicked, l, [l] { l->OnEdit(); });
    QObject::connect(remove, &QPushButton::clicked, l, [l] { l->OnDelete(); });
    m_list->SetUpColumns();
    m_list->RefreshList();
    m_list->WatchFile();
}

void AppointmentBook::RefreshList() {
    if (m_list) m_list->RefreshList();
}

QTimer& AppointmentBook::reminderTimer() {
    return m_reminders->timer();
}

void AppointmentBook::AlarmChanged(bool on) {
    if (on) {
        m_reminders->Start();
    } else {
        m_reminders->Stop();
    }
}

}  // namespace tavolin
