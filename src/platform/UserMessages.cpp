#include "platform/UserMessages.h"

#include <cstdio>
#include <mutex>

#include "util/Cp1252.h"

namespace tavolin {
namespace {

std::mutex g_mutex;

void PrintToStderr(const UserMessage& m) {
    std::string line = Cp1252ToUtf8(m.caption) + ": " + Cp1252ToUtf8(m.text);
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

UserMessageSink& Sink() {
    static UserMessageSink sink = PrintToStderr;
    return sink;
}

}  // namespace

void ShowUserMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    UserMessageSink sink;
    {
        std::lock_guard lock(g_mutex);
        sink = Sink();
    }
    if (sink) sink(UserMessage{text, caption, icon});
}

UserMessageSink SetUserMessageSink(UserMessageSink sink) {
    std::lock_guard lock(g_mutex);
    UserMessageSink previous = std::move(Sink());
    Sink() = sink ? std::move(sink) : UserMessageSink(PrintToStderr);
    return previous;
}

}  // namespace tavolin
