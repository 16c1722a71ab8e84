#include "app/MidnightTimer.h"

#include <QSocketNotifier>
#include <algorithm>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#endif

namespace tavolin {

MidnightTimer::MidnightTimer(std::function<TimePoint()> now, QObject* parent)
    : QObject(parent), m_now(std::move(now)) {
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &MidnightTimer::Fired);
#ifdef __linux__
    m_fd = ::timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        m_notifier->setEnabled(false);
        connect(m_notifier, &QSocketNotifier::activated, this, &MidnightTimer::Fired);
    }
#endif
}

MidnightTimer::~MidnightTimer() {
#ifdef __linux__
    delete m_notifier;
    if (m_fd >= 0) ::close(m_fd);
#endif
}

TimePoint MidnightTimer::NextMidnight(TimePoint t) {
    // 26 hours on from today's start lands in tomorrow whatever the clocks do in between.
    return StartOfLocalDay(StartOfLocalDay(t) + 26 * 3600);
}

void MidnightTimer::Arm() {
    m_armed = true;
    const TimePoint now = m_now ? m_now() : SystemNow();
    const TimePoint wait = std::max<TimePoint>(1, NextMidnight(now) - now);
#ifdef __linux__
    if (m_fd >= 0) {
        // Absolute on the real-time clock, cancelled when that clock is set: the timer then
        // wakes the program at once instead of at a midnight that has moved. A suspend does not
        // stop the real-time clock, so a midnight slept through fires on waking.
        itimerspec when{};
        when.it_value.tv_sec = static_cast<time_t>(SystemNow() + wait);
        if (::timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when,
                              nullptr) == 0) {
            m_notifier->setEnabled(true);
            return;
        }
    }
#endif
    // A day in milliseconds still fits an int.
    m_fallback.start(static_cast<int>(std::min<TimePoint>(wait, 25 * 3600) * 1000));
}

void MidnightTimer::Disarm() {
    m_armed = false;
    m_fallback.stop();
#ifdef __linux__
    if (m_fd >= 0) {
        m_notifier->setEnabled(false);
        const itimerspec off{};
        ::timerfd_settime(m_fd, 0, &off, nullptr);
    }
#endif
}

void MidnightTimer::Fired() {
#ifdef __linux__
    if (m_fd >= 0) {
        // Expired, or ECANCELED for a clock that was set: either way the date is checked.
        uint64_t expirations = 0;
        while (::read(m_fd, &expirations, sizeof expirations) < 0 && errno == EINTR) {
        }
    }
#endif
    if (!m_armed) return;
    Arm();
    emit dateMayHaveChanged();
}

}  // namespace tavolin
