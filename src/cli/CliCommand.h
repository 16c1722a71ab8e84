#pragma once
// Subcommands of tavolin-cli register themselves, so each lives in its own file.

#include <string>
#include <vector>

#include "platform/Context.h"

namespace tavolin::cli {

using tavolin::Context;

enum ExitCode : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

using Args = std::vector<std::string>;

struct CliCommand {
    const char* name;
    const char* usage;    // arguments after the name, e.g. "IN OUT.bmp"
    const char* summary;  // one line for --help
    int (*run)(const Context& context, const Args& args);
};

/// Registers a command; used through a static Registrar in each command's file.
void RegisterCommand(const CliCommand& command);
const std::vector<CliCommand>& Commands();

struct Registrar {
    explicit Registrar(const CliCommand& command) { RegisterCommand(command); }
};

/// Prints "tavolin-cli: message" and the command's usage to stderr; returns kExitUsage.
int UsageError(const CliCommand& command, const std::string& message);

/// Prints "tavolin-cli: message" to stderr; returns kExitFailure.
int Failure(const std::string& message);

}  // namespace tavolin::cli
