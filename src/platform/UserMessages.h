#pragma once
// The German message boxes the core must show, passed to the Context's sink: the GUI shows a
// real box, the command line prints one line to stderr, tests record what was shown.

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

/// The command line's way of showing one: a UTF-8 line "caption: text" on stderr.
void PrintUserMessage(const UserMessage& message);

}  // namespace tavolin
