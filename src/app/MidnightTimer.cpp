#include "app/MidnightTimer.h"

#include <QSocketNotifier>
#include <algorithm>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#endif
#ifdef _WIN32
#include <windows.h>
#endif

namespace tavolin {

#ifdef _WIN32
namespace {

constexpr wchar_t kClockWindowClass[] = L"TavolinClockWatch";

LRESULT CALLBACK ClockWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool changed =
        message == WM_TIMECHANGE ||
        (message == WM_POWERBROADCAST &&
         (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND));
    if (changed) {
        const auto* notify =
            reinterpret_cast<const std::function<void()>*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (notify != nullptr && *notify) (*notify)();
    }
    if (message == WM_POWERBROADCAST) return TRUE;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateClockWindow(const std::function<void()>* notify) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = ClockWindowProc;
    cls.hInstance = instance;
    cls.lpszClassName = kClockWindowClass;
    ::RegisterClassExW(&cls);  // fails harmlessly for the second timer: the class is there
    // Not a message-only window: those get no broadcasts.
    HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, kClockWindowClass, L"", WS_POPUP, 0, 0, 0,
                                    0, nullptr, nullptr, instance, nullptr);
    if (window != nullptr) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(notify));
    }
    return window;
}

}  // namespace
#endif

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
#ifdef _WIN32
    // The broadcast may arrive inside another window's call; the date is checked afterwards.
    m_clockChanged = [this] {
        QMetaObject::invokeMethod(this, [this] { Fired(); }, Qt::QueuedConnection);
    };
    m_clockWindow = CreateClockWindow(&m_clockChanged);
#endif
}

MidnightTimer::~MidnightTimer() {
#ifdef __linux__
    delete m_notifier;
    if (m_fd >= 0) ::close(m_fd);
#endif
#ifdef _WIN32
    if (m_clockWindow != nullptr) ::DestroyWindow(static_cast<HWND>(m_clockWindow));
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
