#include "cli/CliCommand.h"

#include <cstdio>

namespace tavolin::cli {

std::vector<CliCommand>& Registry() {
    static std::vector<CliCommand> commands;
    return commands;
}

void RegisterCommand(const CliCommand& command) { Registry().push_back(command); }

const std::vector<CliCommand>& Commands() { return Registry(); }

int UsageError(const CliCommand& command, const std::string& message) {
    std::fprintf(stderr, "tavolin-cli: %s\nusage: tavolin-cli %s %s\n", message.c_str(),
                 command.name, command.usage);
    return kExitUsage;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "tavolin-cli: %s\n", message.c_str());
    return kExitFailure;
}

}  // namespace tavolin::cli
