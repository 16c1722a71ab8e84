#pragma once
// The one UTF-8 decoder and encoder of the program.

#include <cstddef>
#include <string>
#include <string_view>

namespace tavolin {

/// Decodes the UTF-8 sequence at text[i] into cp and returns its length; 0 when the bytes there
/// are not valid UTF-8 (cut short, overlong forms, surrogates, values past U+10FFFF).
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp);

/// Appends the UTF-8 form of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

/// text for a terminal: every control character (U+0000 to U+001F, U+007F to U+009F) and every
/// byte that is no valid UTF-8 becomes "?", so a stored text cannot drive the terminal.
std::string TerminalText(std::string_view text);

}  // namespace tavolin
