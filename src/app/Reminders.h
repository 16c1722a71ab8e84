#pragma once
// The reminders of the program ("&Meldung anzeigen"): while they are on, timer 105 (owned here)
// fires just after each minute boundary; each tick checks Termine.dat on a worker thread and
// shows, on the user-interface thread, one "Termin-Erinnerung" per appointment due, the
// reminders of one tick one after another. Each minute is checked once (ReminderSchedule), and
// once across every copy of the program on the same data directory and across a clock set
// back (ReminderLedger). Where a notification server runs a reminder is a persistent desktop
// notification; where none runs it is a box.

#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <vector>

#include "appointments/Appointment.h"
#include "appointments/AppointmentStore.h"
#include "appointments/ReminderCheck.h"
#include "platform/Notifications.h"

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
    /// Hands a due appointment to the desktop's notification server; worker thread. True when
    /// the server took it: then no box is shown for it.
    using Notifier = std::function<bool(const Appointment&)>;

    /// notifier: the desktop's notifications (Context::notifier); null shows every reminder as
    /// a box.
    Reminders(AppointmentStore store, std::shared_ptr<tavolin::Notifier> notifier,
              QObject* parent = nullptr);
    ~Reminders() override;

    /// Reminders on: the first check is the next minute's.
    void Start();
    /// Reminders off: the timer stops, no further checks.
    void Stop();
    bool IsRunning() const { return m_timer.isActive(); }

    /// Timer 105. It runs only while the reminders are on, aimed at the next minute boundary.
    QTimer& timer() { return m_timer; }

    /// One tick of timer 105.
    void Tick();

    // Test hooks; set them before the first tick.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setPresenter(Presenter presenter) { m_present = std::move(presenter); }
    void setCheck(Check check) { m_check = std::move(check); }
    void setNotifier(Notifier notifier) { m_notify = std::move(notifier); }

    /// Waits for the running checks and delivers their reminders now (tests).
    void WaitForChecks();

    /// The box of one reminder: no owner, information icon, on top of other windows, wide
    /// enough for its caption; it does not block the rest of the program.
    static void ShowReminderBox(const Appointment& due, std::function<void()> done);
    static QString ReminderText(const Appointment& due);
    static QString Caption();
    /// The notification of one reminder: persistent, with an acknowledge action.
    static Notification ReminderNotification(const Appointment& due);

private:
    void Arm(qint64 nowMs);
    void Deliver(const std::vector<Appointment>& due, const QString& error);
    void ShowNext(std::shared_ptr<std::vector<Appointment>> queue, size_t next);

    QTimer m_timer;
    AppointmentStore m_store;
    ReminderSchedule m_schedule;
    Clock m_clock;
    Presenter m_present;
    Check m_check;
    Notifier m_notify;
    bool m_on = false;
    QThreadPool m_pool;
};

}  // namespace tavolin
