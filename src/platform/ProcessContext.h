#pragma once
// Transitional: the process's own context for the Qt program's code that is not yet handed a
// Context explicitly. New code takes a Context instead; this goes once the program passes its
// context down.

#include <filesystem>
#include <functional>

#include "platform/Context.h"

namespace tavolin {

/// A copy of the process's context (MakeSystemContext on first use, then the test overrides).
Context ProcessContext();

/// ProcessContext().Now() and ProcessContext().DataFile(name).
TimePoint Now();
std::filesystem::path DataFile(const char* name);

// Test and start-up overrides of the process's context; empty values restore the system's.
void SetClockForTesting(std::function<TimePoint()> clock);
void SetDataDirectoryForTesting(const std::filesystem::path& dir);
UserMessageSink SetUserMessageSink(UserMessageSink sink);

}  // namespace tavolin
