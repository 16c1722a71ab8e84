#include "app/Reminders.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QPointer>
#include <exception>
#include <memory>

#include "app/DesktopNotifier.h"
#include "controls/MessageBox.h"
#include "util/Cp1252.h"

namespace tavolin {
namespace {

// A tick comes this long after the minute boundary, so a timer firing a little early still
// lands in the new minute.
constexpr qint64 kSlackMs = 250;

QString FromW1252(const std::string& bytes) {
    return QString::fromStdString(Cp1252ToUtf8(bytes));
}

TimePoint Seconds(qint64 ms) {
    return ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
}

}  // namespace

Reminders::Reminders(QTimer& timer, AppointmentStore store, QObject* parent)
    : QObject(parent),
      m_timer(timer),
      m_store(std::move(store)),
      m_clock([] { return QDateTime::currentMSecsSinceEpoch(); }),
      m_present(&Reminders::ShowReminderBox) {
    m_check = [store = m_store](MinuteRange minutes) { return DueAppointments(store, minutes); };
    m_notify = [](const Appointment& due) {
        SendDesktopNotification(QStringLiteral("Termin-Erinnerung"),
                                FromW1252(due.key) + QLatin1Char('\n') + FromW1252(due.remark));
    };
}

Reminders::~Reminders() {
    // The checks post back to this object; none may outlive it.
    m_pool.waitForDone();
}

void Reminders::Start() {
    const qint64 now = m_clock();
    m_schedule.Start(Seconds(now));
    Arm(now);
}

void Reminders::Stop() {
    m_timer.stop();
    m_schedule.Reset();
}

void Reminders::Arm(qint64 nowMs) {
    const auto next = m_schedule.NextMinute();
    if (!next) return;
    const qint64 delay = *next * 1000 + kSlackMs - nowMs;
    m_timer.start(static_cast<int>(std::clamp<qint64>(delay, 10, 61000 + kSlackMs)));
}

void Reminders::Tick() {
    const qint64 now = m_clock();
    const auto minutes = m_schedule.Tick(Seconds(now));
    Arm(now);
    if (!minutes) return;
    // Each tick's check runs on its own; its boxes do not wait for those of other ticks.
    m_pool.start([this, range = *minutes] {
        // import_data_file_worker_thread: everything it does runs under the error guard.
        std::vector<Appointment> due;
        QString error;
        try {
            due = m_check(range);
            if (m_notify) {
                for (const Appointment& a : due) m_notify(a);
            }
        } catch (const std::exception& e) {
            error = QStringLiteral("Error Caught!\r\n") + QString::fromLocal8Bit(e.what());
        } catch (...) {
            error = QStringLiteral("Unknown error occurred in import_data_file_worker_thread()");
        }
        QMetaObject::invokeMethod(
            this, [this, due = std::move(due), error] { Deliver(due, error); },
            Qt::QueuedConnection);
    });
}

void Reminders::WaitForChecks() {
    m_pool.waitForDone();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void Reminders::Deliver(const std::vector<Appointment>& due, const QString& error) {
    if (!error.isEmpty()) {
        ui::MessageBox::show(nullptr, error, QCoreApplication::applicationName(),
                             ui::MessageBox::Icon::Critical);
        return;
    }
    ShowNext(std::make_shared<std::vector<Appointment>>(due), 0);
}

void Reminders::ShowNext(std::shared_ptr<std::vector<Appointment>> queue, size_t next) {
    if (next >= queue->size()) return;
    QPointer<Reminders> self(this);
    m_present((*queue)[next], [self, queue, next] {
        if (self) self->ShowNext(queue, next + 1);
    });
}

QString Reminders::ReminderText(const Appointment& due) {
    return FromW1252(due.key) + QStringLiteral("\n\n") + FromW1252(due.remark);
}

void Reminders::ShowReminderBox(const Appointment& due, std::function<void()> done) {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Termin-Erinnerung"),
                                ReminderText(due), QMessageBox::Ok);
    box->setObjectName(QStringLiteral("reminderBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    QObject::connect(box, &QMessageBox::finished, box, [done = std::move(done)] { done(); });
    box->show();
    box->raise();
    box->activateWindow();
}

}  // namespace tavolin
