#include "platform/ProcessContext.h"

#include <mutex>
#include <optional>

namespace tavolin {
namespace {

std::mutex g_mutex;
std::optional<Context> g_system;
std::function<TimePoint()> g_clock;
std::filesystem::path g_dir;
std::optional<UserMessageSink> g_sink;

}  // namespace

Context ProcessContext() {
    std::lock_guard lock(g_mutex);
    if (!g_system) g_system = MakeSystemContext();
    Context context = *g_system;
    if (g_clock) context.clock = g_clock;
    if (!g_dir.empty()) context.dataDirectory = g_dir;
    if (g_sink) context.userMessages = *g_sink;
    return context;
}

TimePoint Now() { return ProcessContext().Now(); }

std::filesystem::path DataFile(const char* name) { return ProcessContext().DataFile(name); }

void SetClockForTesting(std::function<TimePoint()> clock) {
    std::lock_guard lock(g_mutex);
    g_clock = std::move(clock);
}

void SetDataDirectoryForTesting(const std::filesystem::path& dir) {
    std::lock_guard lock(g_mutex);
    g_dir = dir;
}

UserMessageSink SetUserMessageSink(UserMessageSink sink) {
    std::lock_guard lock(g_mutex);
    UserMessageSink previous = g_sink ? *g_sink : UserMessageSink(PrintUserMessage);
    g_sink = std::move(sink);
    return previous;
}

}  // namespace tavolin
