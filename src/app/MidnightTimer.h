#pragma once
// The one wake-up of the hidden program: a timer to the next local midnight, so that the
// wallpaper follows the date without the program waking in between. The system reports a clock
// that was set (by hand, by a time service) and the end of a suspend, and the timer then fires
// at once and is aimed again, so a date change is never missed and never waited for.

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "platform/Clock.h"

class QSocketNotifier;

namespace tavolin {

class MidnightTimer : public QObject {
    Q_OBJECT

public:
    /// now: the clock the midnights are taken from (the Context's).
    explicit MidnightTimer(std::function<TimePoint()> now, QObject* parent = nullptr);
    ~MidnightTimer() override;

    /// Aims at the next local midnight after now (again after each firing).
    void Arm();
    void Disarm();
    bool IsArmed() const { return m_armed; }

    /// The first local midnight after t.
    static TimePoint NextMidnight(TimePoint t);

signals:
    /// Midnight was reached, or the clock was set or the machine woke: the date may differ.
    void dateMayHaveChanged();

private:
    void Fired();

    std::function<TimePoint()> m_now;
    bool m_armed = false;
    int m_fd = -1;  // a timerfd on the real-time clock, where the system has one
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_fallback;  // elsewhere: a single-shot timer
#ifdef _WIN32
    // A hidden top-level window: Windows tells every top-level window when the clock was set
    // and when the machine woke, which a single-shot timer notices neither.
    void* m_clockWindow = nullptr;
    std::function<void()> m_clockChanged;
#endif
};

}  // namespace tavolin
