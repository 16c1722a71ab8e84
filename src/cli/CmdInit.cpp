#include <cstdio>

#include "cli/CliCommand.h"
#include "platform/Context.h"
#include "settings/Settings.h"
#include "util/Cp1252.h"

namespace tavolin::cli {
namespace {

int RunInit(const Context& context, const Args& args);

const CliCommand kInit{"init", "", "create config.ini with the default settings when it is missing",
                       RunInit};
const Registrar kRegistrar(kInit);

int RunInit(const Context& context, const Args& args) {
    if (!args.empty()) return UsageError(kInit, "unexpected argument '" + args.front() + "'");
    const auto path = context.DataFile("config.ini");
    switch (EnsureConfigFile(path)) {
        case ConfigCreation::Existed:
            std::printf("%s already exists; nothing changed\n", path.string().c_str());
            return kExitOk;
        case ConfigCreation::Created:
            std::printf("created %s with the default settings\n", path.string().c_str());
            return kExitOk;
        case ConfigCreation::Failed:
            break;
    }
    return Failure(Cp1252ToUtf8(ConfigCreationFailedText()) + " (" + path.string() + ")");
}

}  // namespace
}  // namespace tavolin::cli
