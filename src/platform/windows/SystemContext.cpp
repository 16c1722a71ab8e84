// The context of a running tavolin-cli.exe or Tavolin.exe on Windows.

#include <libical/ical.h>

#include <cstdlib>
#include <system_error>

#include "platform/Context.h"
#include "platform/linux/DataDirectory.h"
#include "platform/linux/Environment.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsDesktop.h"

namespace tavolin {

namespace {

// The iCalendar import's time zones come from libical's own zone files in a "zoneinfo" folder
// beside the program (Windows has no system zoneinfo to read).
void UseBundledZoneinfo(const std::filesystem::path& programDir) {
    std::error_code ec;
    const std::filesystem::path zoneinfo = programDir / L"zoneinfo";
    if (!std::filesystem::is_directory(zoneinfo, ec)) return;
    // libical opens its files by char path; the manifest makes that UTF-8.
    set_zone_directory(PathToUtf8(zoneinfo).c_str());
}

}  // namespace

Context MakeSystemContext() {
    const EnvironmentTable table = ReadProcessEnvironment();
    const EnvironmentLookup env = TableEnvironment(table);
    Context context;

    if (const auto fixed = env("TAVOLIN_NOW")) {
        char* end = nullptr;
        const long long v = std::strtoll(fixed->c_str(), &end, 10);
        if (end && *end == '\0') context.clock = [v] { return static_cast<TimePoint>(v); };
    }

    const std::filesystem::path programDir = ProgramDirectory();
    UseBundledZoneinfo(programDir);
    context.dataDirectory = ChooseDataDirectory(env, programDir);
    std::string ignored;
    MakeDataDirectory(context.dataDirectory, ignored);

    context.processRunner = MakeProcessRunner(EnvironmentEntries(table));
    context.screen = std::make_shared<WindowsScreen>();
    context.desktop = std::make_shared<WindowsDesktop>();
    context.userMessages = PrintUserMessage;
    // The user's own environment and locale: the link handler starts the user's applications.
    context.urlOpener = MakeSystemUrlOpener(EnvironmentEntries(table));
    context.autostart = MakeAutostartSwitch(env);
    context.automationHost = CreateSystemAutomationHost;
    context.classRegistry = CreateSystemClassRegistry();
    context.environment = env;
    return context;
}

}  // namespace tavolin
