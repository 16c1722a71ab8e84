#pragma once
// The German message boxes the core must show. The GUI installs a sink that shows a real
// box; the command line prints one line to stderr; tests record what was shown.

#include <functional>
#include <string>

namespace tavolin {

enum class MessageIcon { Stop, Warning, Information };

struct UserMessage {
    std::string text;     // Windows-1252
    std::string caption;  // Windows-1252
    MessageIcon icon = MessageIcon::Information;
};

using UserMessageSink = std::function<void(const UserMessage&)>;

/// Shows a message through the installed sink (default: one UTF-8 line on stderr).
void ShowUserMessage(const std::string& text, const std::string& caption, MessageIcon icon);

/// Installs the sink and returns the previous one.
UserMessageSink SetUserMessageSink(UserMessageSink sink);

}  // namespace tavolin
