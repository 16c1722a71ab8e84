#pragma once
// The text of freedesktop.org desktop entries (.desktop files): string escapes, the quoting
// rules of the Exec key, and a reader for the [Desktop Entry] group.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavolin {

/// A string value as stored: backslash, line feed, tab and carriage return as \\ \n \t \r, a
/// leading or trailing blank as \s (readers trim blanks around values).
std::string EscapeDesktopString(std::string_view value);
/// The reverse of EscapeDesktopString; an unknown escape keeps its backslash.
std::string UnescapeDesktopString(std::string_view stored);

/// One Exec argument: quoted when it holds a reserved character (or is empty), with ", `, $
/// and \ escaped inside the quotes; every % doubled, so it is never a field code.
std::string QuoteExecArgument(std::string_view argument);
/// Splits an (unescaped) Exec value into its arguments; nullopt for an unterminated quote.
std::optional<std::vector<std::string>> SplitExec(std::string_view exec);

/// The unlocalised keys of the [Desktop Entry] group, values unescaped. Other groups, comments
/// and localised keys (Name[de]) are skipped; the first of two equal keys wins.
std::map<std::string, std::string> ReadDesktopEntry(std::string_view text);

}  // namespace tavolin
