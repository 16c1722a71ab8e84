#pragma once
// What the program does differently on Windows at start. Windows has no session bus, so the
// automation object "Tavolin.Application" is not served there: the registration switches end
// the run at once without touching the registry (a class entry without a server behind it
// would leave COM clients waiting), and "Embedding"/"Automation" start normally.

#include <QString>
#include <optional>

#include "app/CommandLine.h"

namespace tavolin {

/// The running program file (GetModuleFileNameW); empty when it cannot be determined.
QString WindowsProgramPath();

/// The exit code of a registration run ("Regserver", "Unregserver" and their aliases), or
/// nothing when the switch starts the program.
std::optional<int> RunWindowsRegistration(AutomationSwitch automation);

}  // namespace tavolin
