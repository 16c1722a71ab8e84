#pragma once
// The rendering error log: one time-stamped German line per problem, appended to
// ErrorLog.dat. It is only ever appended to.

#include <filesystem>
#include <string>

#include "platform/Clock.h"

namespace tavolin {

enum ErrorCode : int {
    kErrorNone = 0,
    kErrorConfigMissing = 1,
    kErrorSettingMissing = 2,
    kErrorLayoutUnknown = 3,
    kErrorPictureNotFound = 4,
    kErrorPictureFormat = 5,
    kErrorPictureTooWide = 6,
    kErrorPictureTooHigh = 7,
};

/// The Windows-1252 text of a code; unknown codes give the "no errors" text.
std::string ErrorText(int code);

/// "DD.MM.YYYY - HH:MM:SS - text" in local time, without the line end.
std::string FormatErrorLine(int code, TimePoint when);

/// A line of the same form for a message that has no code (Windows-1252 text; line ends in it
/// become spaces).
std::string FormatLogLine(const std::string& text, TimePoint when);
bool AppendLogLine(const std::filesystem::path& path, const std::string& text, TimePoint when);

/// Appends the line for code, stamped with when, and CR LF to path. False when it could not be
/// written; logging never stops a generation, so callers may go on regardless.
bool AppendErrorLog(const std::filesystem::path& path, int code, TimePoint when);

}  // namespace tavolin
