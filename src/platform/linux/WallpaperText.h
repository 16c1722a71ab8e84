#pragma once
// Text forms a path takes on its way to a desktop: a file URI, a JavaScript string literal for
// Plasma's scripting call, GVariant text for gsettings, and an argument sway's command parser
// cannot misread. Each form is safe for every byte a file name may hold, or refuses it.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tavolin {

/// "file://" + the absolute path with every byte other than A-Z a-z 0-9 - . _ ~ / written as
/// %XX, so the URI is plain ASCII whatever the path holds.
std::string FileUri(const std::filesystem::path& absolutePath);

/// A double-quoted JavaScript string literal of the text: quotes, backslashes, control bytes
/// and everything beyond ASCII are written as escapes (a byte that is not part of valid UTF-8
/// as \u00XX), so the literal is ASCII and cannot end early.
std::string JsStringLiteral(std::string_view text);

/// A single-quoted GVariant text string for gsettings; nullopt when the text is not valid
/// UTF-8 or holds a NUL byte (a GVariant string cannot hold either).
std::optional<std::string> GVariantStringLiteral(std::string_view text);

/// The string that a GVariant text (as `gsettings get` prints it, with single or double quotes
/// and backslash escapes) stands for; nullopt when the text is not one quoted string.
std::optional<std::string> ParseGVariantString(std::string_view text);

bool IsValidUtf8(std::string_view text);

/// The path as one double-quoted argument of a sway command. sway splits its commands at
/// blanks, ';' and ',' and expands the path like a shell word, so only paths made of letters,
/// digits, single blanks, "/._-+@%=:" and valid UTF-8 beyond ASCII are taken; nullopt for any
/// other path.
std::optional<std::string> SwayPathArgument(std::string_view path);

}  // namespace tavolin
