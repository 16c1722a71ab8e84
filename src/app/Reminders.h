#pragma once
// The reminders of the program ("&Meldung anzeigen"): each tick of timer 105 checks
// Termine.dat on a worker thread and shows, on the user-interface thread, one
// "Termin-Erinnerung" box per appointment due, the boxes of one tick one after another. Ticks
// are aligned to minute boundaries and each minute is checked once (ReminderSchedule).

#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <vector>

#include "appointments/Appointment.h"
#include "appointments/AppointmentStore.h"
#include "appointments/ReminderCheck.h"

namespace tavolin {

class Reminders : public QObject {
    Q_OBJECT

public:
    /// Milliseconds since 1970.
    using Clock = std::function<qint64()>;
    /// Shows one reminder and calls done when it has been closed, so that the next follows.
    using Presenter = std::function<void(const Appointment&, std::function<void()> done)>;
    /// The due check of the minutes; runs on a worker thread.
    using Check = std::function<std::vector<Appointment>(MinuteRange)>;
    /// Passes a due appointment on elsewhere (the desktop notification); worker thread.
    using Notifier = std::function<void(const Appointment&)>;

    /// timer: timer 105, which the reminders re-arm for each next minute boundary.
    Reminders(QTimer& timer, AppointmentStore store, QObject* parent = nullptr);
    ~Reminders() override;

    /// Reminders on: the first check is the next minute's.
    void Start();
    /// Reminders off: no further checks.
    void Stop();
    bool IsRunning() const { return m_timer.isActive(); }

    /// One tick of timer 105.
    void Tick();

    // Test hooks; set them before the first tick.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setPresenter(Presenter presenter) { m_present = std::move(presenter); }
    void setCheck(Check check) { m_check = std::move(check); }
    void setNotifier(Notifier notifier) { m_notify = std::move(notifier); }

    /// Waits for the running checks and delivers their reminders now (tests).
    void WaitForChecks();

    /// The box of one reminder: no owner, information icon, on top of other windows; it
    /// does not block the rest of the program.
    static void ShowReminderBox(const Appointment& due, std::function<void()> done);
    static QString ReminderText(const Appointment& due);

private:
    void Arm(qint64 nowMs);
    void Deliver(const std::vector<Appointment>& due, const QString& error);
    void ShowNext(std::shared_ptr<std::vector<Appointment>> queue, size_t next);

    QTimer& m_timer;
    AppointmentStore m_store;
    ReminderSchedule m_schedule;
    Clock m_clock;
    Presenter m_present;
    Check m_check;
    Notifier m_notify;
    QThreadPool m_pool;
};

}  // namespace tavolin
