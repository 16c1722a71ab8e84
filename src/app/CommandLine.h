#pragma once
// How a start of the program is decided from its arguments: the automation switches first, then
// the command text ("/go", "/?" or anything else).

#include <QString>
#include <QStringList>

namespace tavolin {

enum class AutomationSwitch {
    None,
    Embedding,   // "Embedding" or "Automation": serve the automation object, then start normally
    Register,    // "Regserver" or "Register": write the activation file and end
    Unregister,  // "Unregserver" or "Unregister": remove the activation file and end
};

enum class StartKind {
    Normal,  // show the main dialog
    Silent,  // "/go": generate, then wait in the notification area
    Info,    // "/?": only the information window
};

/// The first automation switch among the arguments: a leading '/' or '-' and the name in any
/// case. Later switches of the same run are ignored, as the framework's parser does.
AutomationSwitch FindAutomationSwitch(const QStringList& arguments);

/// The command text of a command line: trimmed; when a double quote follows the first
/// character, only the text after it (this cuts off a quoted program path); every double quote
/// removed; trimmed again.
QString CommandText(const QString& commandLine);

/// The command text of the arguments after the program name, joined by single spaces.
QString CommandTextOfArguments(const QStringList& arguments);

/// "/go" and "/?" exactly (case matters); everything else, even empty, is a normal start.
StartKind ClassifyCommandText(const QString& commandText);

/// True when an argument is "--help" or "-h": print UsageText and end, without a window.
/// ("/?" stays the information window.)
bool WantsUsage(const QStringList& arguments);

/// What `tavolin --help` prints.
QString UsageText();

}  // namespace tavolin
