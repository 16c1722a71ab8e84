#pragma once
// The calling thread's last error, as the controls report it (Windows error numbers, so the
// callers ported from there compare alike). Set only on failure; success leaves it alone.

namespace tavolin::ui {

enum : int {
    kErrorInvalidParameter = 87,
    kErrorInvalidData = 13,
    kErrorInvalidWindowHandle = 1400,
};

enum class ErrorLevel : int { None = 0, Error = 1, MinorError = 2, Warning = 3 };

int LastError();
ErrorLevel LastErrorLevel();
void SetLastError(int error, ErrorLevel level = ErrorLevel::Error);

}  // namespace tavolin::ui
