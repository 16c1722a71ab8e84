#include "controls/LastError.h"

namespace tavolin::ui {
namespace {

thread_local int t_error = 0;
thread_local ErrorLevel t_level = ErrorLevel::None;

}  // namespace

int LastError() {
    return t_error;
}
ErrorLevel LastErrorLevel() {
    return t_level;
}

void SetLastError(int error, ErrorLevel level) {
    t_error = error;
    t_level = level;
}

}  // namespace tavolin::ui
