#include "app/Reminders.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QDateTime>
#include <QMessageBox>
#include <QPointer>
#include <exception>
#include <memory>

#include "controls/MessageBox.h"
#include "util/Cp1252.h"

namespace tavolin {
namespace {

// A tick comes this long after the minute boundary, so a timer firing a little early still
// lands in the new minute.
constexpr qint64 kSlackMs = 250;

// What a title bar needs beside its caption: the window icon and the close, minimise and
// maximise buttons of the common themes, with their margins.
constexpr int kTitleBarExtras = 140;

QString FromW1252(const std::string& bytes) {
    return QString::fromStdString(Cp1252ToUtf8(bytes));
}

TimePoint Seconds(qint64 ms) {
    return ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
}

}  // namespace

Reminders::Reminders(AppointmentStore store, std::shared_ptr<tavolin::Notifier> notifier,
                     QObject* parent)
    : QObject(parent),
      m_store(std::move(store)),
      m_clock([] { return QDateTime::currentMSecsSinceEpoch(); }),
      m_present(&Reminders::ShowReminderBox) {
    if (notifier) {
        m_notify = [notifier](const Appointment& due) {
            return notifier->Send(ReminderNotification(due));
        };
    }
    m_timer.setObjectName(QStringLiteral("timer105"));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Reminders::Tick);
    // Only the minutes no copy of the program on this data directory has reminded yet.
    m_check = [store = m_store,
               ledger = std::make_shared<ReminderLedger>(m_store.Path())](MinuteRange minutes) {
        const auto fresh = ledger->Claim(minutes);
        return fresh ? DueAppointments(store, *fresh) : std::vector<Appointment>();
    };
}

Reminders::~Reminders() {
    // The checks post back to this object; none may outlive it.
    m_pool.waitForDone();
}

void Reminders::Start() {
    m_on = true;
    const qint64 now = m_clock();
    m_schedule.Start(Seconds(now));
    Arm(now);
}

void Reminders::Stop() {
    m_on = false;
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
    if (!m_on) return;  // a timeout already queued when the reminders were switched off
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
            // A reminder the notification server took needs no box.
            std::vector<Appointment> boxes;
            for (const Appointment& a : m_check(range)) {
                if (!m_notify || !m_notify(a)) boxes.push_back(a);
            }
            due = std::move(boxes);
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
        ui::MessageBox::show(nullptr, error, tr("Fehler"), ui::MessageBox::Icon::Critical);
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

QString Reminders::Caption() {
    return tr("Termin-Erinnerung");
}

Notification Reminders::ReminderNotification(const Appointment& due) {
    // Persistent (no expiry, critical urgency) until the person acknowledges it.
    return Notification{
        Caption().toStdString(),
        (FromW1252(due.key) + QLatin1Char('\n') + FromW1252(due.remark)).toStdString(), true,
        tr("Gesehen").toStdString()};
}

void Reminders::ShowReminderBox(const Appointment& due, std::function<void()> done) {
    auto* box = new QMessageBox(QMessageBox::Information, Caption(), ReminderText(due),
                                QMessageBox::Ok);
    // A message box sizes itself to its text; a short reminder would cut the caption off in
    // the title bar. Room for the caption and the window manager's buttons beside it.
    const int captionWidth =
        QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(Caption());
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(captionWidth + kTitleBarExtras, 0, QSizePolicy::Minimum,
                                      QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
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
