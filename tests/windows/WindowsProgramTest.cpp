// The Windows parts of the program that only a Windows Qt can show: the hidden program's date
// check hears of a clock set by hand and of a machine waking from sleep at once, through the
// broadcasts Windows sends every top-level window.

#include <windows.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include "app/MidnightTimer.h"

namespace tavolin {

class WindowsProgramTest : public QObject {
    Q_OBJECT

private slots:
    void clockChangesReachEveryMidnightTimer();
    void aDisarmedTimerStaysQuiet();
};

namespace {

void Broadcast(UINT message, WPARAM wParam) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, message, wParam, 0, SMTO_ABORTIFHUNG, 2000, &result);
}

TimePoint FixedNow() { return 1765393200; }  // 10.12.2025 20:00 in Berlin

}  // namespace

void WindowsProgramTest::clockChangesReachEveryMidnightTimer() {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool fires;
    };
    const Case cases[] = {
        {"clock set", WM_TIMECHANGE, 0, true},
        {"woke by itself", WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, true},
        {"woke by the user", WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, true},
        {"going to sleep", WM_POWERBROADCAST, PBT_APMSUSPEND, false},
        {"a setting changed", WM_SETTINGCHANGE, 0, false},
    };
    // Two timers: the second finds the window class registered by the first.
    MidnightTimer first(FixedNow);
    MidnightTimer second(FixedNow);
    QSignalSpy firstSpy(&first, &MidnightTimer::dateMayHaveChanged);
    QSignalSpy secondSpy(&second, &MidnightTimer::dateMayHaveChanged);
    first.Arm();
    second.Arm();
    for (const Case& c : cases) {
        firstSpy.clear();
        secondSpy.clear();
        Broadcast(c.message, c.wParam);
        if (c.fires) {
            QVERIFY2(firstSpy.count() > 0 || firstSpy.wait(3000), c.name);
            QVERIFY2(secondSpy.count() > 0 || secondSpy.wait(3000), c.name);
        } else {
            QTest::qWait(300);
            QVERIFY2(firstSpy.isEmpty() && secondSpy.isEmpty(), c.name);
        }
        // Each firing aims the timer anew; it stays armed for the next midnight.
        QVERIFY2(first.IsArmed() && second.IsArmed(), c.name);
    }
}

void WindowsProgramTest::aDisarmedTimerStaysQuiet() {
    MidnightTimer timer(FixedNow);
    QSignalSpy spy(&timer, &MidnightTimer::dateMayHaveChanged);
    timer.Arm();
    timer.Disarm();
    Broadcast(WM_TIMECHANGE, 0);
    QTest::qWait(300);
    QCOMPARE(spy.count(), 0);
    // A timer that is gone leaves no window behind to be called into.
    { MidnightTimer gone(FixedNow); }
    Broadcast(WM_TIMECHANGE, 0);
    QTest::qWait(100);
}

}  // namespace tavolin

QTEST_GUILESS_MAIN(tavolin::WindowsProgramTest)
#include "WindowsProgramTest.moc"
