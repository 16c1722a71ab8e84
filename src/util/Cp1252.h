#pragma once
// The one place where text crosses between UTF-8 (source code, terminal, Qt) and the
// single-byte Windows-1252 used in every file and on the wallpaper.

#include <optional>
#include <string>
#include <string_view>

namespace tavolin {

/// Windows-1252 bytes to UTF-8. The five bytes Windows-1252 leaves undefined map to the
/// C1 control code points of the same value, so the conversion never loses a byte.
std::string Cp1252ToUtf8(std::string_view bytes);

/// UTF-8 to Windows-1252; nullopt when the text holds a character Windows-1252 cannot
/// represent or is not valid UTF-8.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

/// Windows-1252 bytes of a German literal written in UTF-8 source. The literal must be
/// representable; anything else is a programming error and is replaced by '?'.
std::string W1252(std::string_view utf8Literal);

}  // namespace tavolin
