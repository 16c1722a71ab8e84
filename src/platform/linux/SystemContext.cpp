// The context of a running tavolin-cli or tavolin on Linux.

#include <cstdlib>

#include "platform/Context.h"
#include "platform/linux/DataDirectory.h"
#include "platform/linux/Environment.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/LinuxScreen.h"

namespace tavolin {
namespace {

// The screen and the desktop keep the runner they were built with for as long as they live.
template <typename Seam, typename Interface>
std::shared_ptr<Interface> OwningRunner(std::shared_ptr<ProcessRunner> runner,
                                        const EnvironmentLookup& env) {
    struct Bundle {
        std::shared_ptr<ProcessRunner> runner;
        Seam seam;
    };
    auto bundle = std::make_shared<Bundle>(Bundle{runner, Seam(*runner, env)});
    return std::shared_ptr<Interface>(bundle, &bundle->seam);
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

    context.dataDirectory = ChooseDataDirectory(env, ProgramDirectory());
    // A failure shows later, where a file is to be written, with that file's own message.
    std::string ignored;
    MakeDataDirectory(context.dataDirectory, ignored);

    const EnvironmentTable tools = ToolEnvironment(table);
    context.processRunner = MakeProcessRunner(EnvironmentEntries(tools));
    const EnvironmentLookup toolEnv = TableEnvironment(tools);
    context.screen = OwningRunner<LinuxScreen, Screen>(context.processRunner, toolEnv);
    context.desktop = OwningRunner<LinuxDesktop, Desktop>(context.processRunner, toolEnv);
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
