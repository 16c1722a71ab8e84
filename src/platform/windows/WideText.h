#pragma once
// UTF-8 <-> UTF-16 for the wide-character Windows calls, and the error codes they report in
// errno's terms, so that callers see the same reasons as on Linux.

#include <filesystem>
#include <string>
#include <string_view>

namespace tavolin {

/// UTF-16 of UTF-8 text; invalid bytes become U+FFFD.
std::wstring Widen(std::string_view utf8);

/// UTF-8 of UTF-16 text; unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view wide);

/// A path from UTF-8 text, never through the ANSI code page.
std::filesystem::path PathFromUtf8(std::string_view utf8);

/// The path as UTF-8 text.
std::string PathToUtf8(const std::filesystem::path& path);

/// errno for a Win32 error code (GetLastError()): ENOSPC for a full disk, EACCES, ENOENT, ...
int ErrnoFromWin32(unsigned long error);

/// Sets errno from GetLastError().
void SetErrnoFromLastError();

/// The system's message for a Win32 error code, in English words where the system has them.
std::string Win32Message(unsigned long error);

}  // namespace tavolin
