#pragma once
// What the core needs from its surroundings, gathered in one object that the operations
// receive instead of reaching for process-wide state. The command line and the program each
// build one at start with MakeSystemContext (the environment is read there, once); tests build
// their own with a fixed clock, a temporary directory and recording seams.
//
// A Context is a plain value: copy it freely. After it is set up it is only read, so several
// threads may use the same one at once; the seams it points to must allow that (the system
// ones do). A sink for user messages may be called from any thread that runs an operation.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Automation.h"
#include "platform/Autostart.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Notifications.h"
#include "platform/OpenUrl.h"
#include "platform/ProcessRunner.h"
#include "platform/Screen.h"
#include "platform/UserMessages.h"
#include "platform/linux/Environment.h"

namespace tavolin {

struct WriteFaults;

struct Context {
    /// The current time; empty means the system clock.
    std::function<TimePoint()> clock;

    /// Where config.ini, Termine.dat, Background.bmp, Temp.bmp and ErrorLog.dat live.
    std::filesystem::path dataDirectory;

    /// The screen the wallpaper is rendered for; null means the default size.
    std::shared_ptr<Screen> screen;

    /// Takes the finished wallpaper; null means there is no desktop to hand it to.
    std::shared_ptr<Desktop> desktop;

    /// Starts the helper programs whose output is read back (in a UTF-8 locale); null means
    /// none can be started.
    std::shared_ptr<ProcessRunner> processRunner;

    /// Shows the German message boxes of the core; empty means they are dropped.
    UserMessageSink userMessages;

    /// The process's environment variables as they were at start (TAVOLIN_DIR, XDG_*, HOME,
    /// DISPLAY, ...); empty means none is set.
    EnvironmentLookup environment;

    /// Writes and deletes the entry that starts the program at logon; null means there is no
    /// autostart.
    std::shared_ptr<AutostartSwitch> autostart;

    /// Opens links with the desktop's default handler; null leaves the choice to the link.
    std::shared_ptr<UrlOpener> urlOpener;

    /// The desktop's notifications; null means there are none.
    std::shared_ptr<Notifier> notifier;

    /// Late-bound automation servers (the Outlook import); empty means none can be created.
    std::function<std::unique_ptr<AutomationHost>()> automationHost;

    /// The registered automation classes; null means none is registered.
    std::shared_ptr<const ClassRegistry> classRegistry;

    /// Faults the writes of config.ini, Termine.dat and the wallpaper meet, as a full disk
    /// would cause them (tests); null, the program's, means none.
    std::shared_ptr<WriteFaults> writeFaults;

    /// The variable name from environment; nullopt when unset or empty.
    std::optional<std::string> Variable(const std::string& name) const;

    TimePoint Now() const;

    /// dataDirectory / name.
    std::filesystem::path DataFile(std::string_view name) const;

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) const;

    /// The screen's size, or kDefaultScreenSize (with measured false) when there is no screen
    /// or its answer is out of range.
    /// stop: a measurement that starts helper programs ends early when it is requested.
    ScreenReading MeasureScreen(std::stop_token stop = {}) const;
};

/// The context of this process: the clock ($TAVOLIN_NOW fixes it, for end-to-end runs), the
/// data directory (made when missing), the running session's screen and desktop, the helper
/// programs' runner, autostart, link opening, automation, messages printed to stderr and the
/// environment itself. Reads the environment once, here. Notifications need the program's
/// own event loop: the program adds them.
Context MakeSystemContext();

}  // namespace tavolin
