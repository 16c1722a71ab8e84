// tavolin-cli remind: the program's reminder check for a terminal or a systemd user timer.
// Prints the records due in the current minute as `list` prints them, one per line.

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "appointments/AppointmentStore.h"
#include "appointments/ReminderCheck.h"
#include "cli/CliCommand.h"
#include "platform/Clock.h"
#include "util/Cp1252.h"
#include "util/Utf8.h"

namespace tavolin::cli {
namespace {

int RunRemind(const Context& context, const Args& args);

const CliCommand kRemind{"remind", "[--once]",
                         "print appointments due this minute; without --once keep checking "
                         "every minute until interrupted",
                         RunRemind};
const Registrar kRemindRegistrar(kRemind);

// A woken sleeper looks again a moment after the boundary, so a clock read just before it
// never counts as the old minute.
constexpr long kWakeSlackMs = 150;

// Checks the minutes of one tick and prints what is due. false when the file exists but could
// not be read; *lastStatus keeps repeated loops from printing the same complaint every minute.
bool CheckAndPrint(const AppointmentStore& store, MinuteRange minutes, StoreStatus* lastStatus) {
    StoreStatus status = StoreStatus::Ok;
    for (const Appointment& due : DueAppointments(store, minutes, &status)) {
        const std::string line = TerminalText(Cp1252ToUtf8(due.Line()));
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    const bool ok = status == StoreStatus::Ok || status == StoreStatus::Missing;
    if (!ok && status != *lastStatus) {
        std::fprintf(stderr, "tavolin-cli: cannot read %s: %s\n", store.Path().string().c_str(),
                     StoreStatusText(status));
    }
    *lastStatus = status;
    return ok;
}

int RunRemind(const Context& context, const Args& args) {
    bool once = false;
    for (const std::string& a : args) {
        if (a != "--once") return UsageError(kRemind, "unexpected argument '" + a + "'");
        once = true;
    }
    const AppointmentStore store(context);
    ReminderSchedule schedule;
    StoreStatus lastStatus = StoreStatus::Ok;
    if (once) {
        const auto minutes = schedule.Tick(context.Now());
        return CheckAndPrint(store, *minutes, &lastStatus) ? kExitOk : kExitFailure;
    }

#ifdef _WIN32
    // Ctrl+C, Ctrl+Break and the console closing set an event the wait below watches, so an
    // interrupt between two checks is never lost.
    static HANDLE stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stopEvent || !::SetConsoleCtrlHandler(
                          [](DWORD) -> BOOL {
                              ::SetEvent(stopEvent);
                              return TRUE;
                          },
                          TRUE)) {
        return Failure("cannot wait for interrupts");
    }
    for (;;) {
        const TimePoint now = context.Now();
        if (const auto minutes = schedule.Tick(now)) CheckAndPrint(store, *minutes, &lastStatus);
        std::fflush(stdout);
        const TimePoint wait = *schedule.NextMinute() - now;
        const DWORD ms = static_cast<DWORD>((wait > 0 ? wait : 0) * 1000 + kWakeSlackMs);
        const DWORD woken = ::WaitForSingleObject(stopEvent, ms);
        if (woken == WAIT_OBJECT_0) return kExitOk;
        if (woken != WAIT_TIMEOUT) return Failure("cannot wait for the next minute");
    }
#else
    // Interrupts are taken synchronously with sigtimedwait, so one arriving between two checks
    // is never lost and the wait needs no handler.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    if (sigprocmask(SIG_BLOCK, &stop, nullptr) != 0) return Failure("cannot wait for signals");
    for (;;) {
        const TimePoint now = context.Now();
        if (const auto minutes = schedule.Tick(now)) CheckAndPrint(store, *minutes, &lastStatus);
        const TimePoint wait = *schedule.NextMinute() - now;
        timespec timeout{};
        timeout.tv_sec = wait > 0 ? static_cast<time_t>(wait) : 0;
        timeout.tv_nsec = kWakeSlackMs * 1000000L;
        const int sig = sigtimedwait(&stop, nullptr, &timeout);
        if (sig > 0) return kExitOk;
        if (errno != EAGAIN && errno != EINTR) return Failure("cannot wait for the next minute");
    }
#endif
}

}  // namespace
}  // namespace tavolin::cli
