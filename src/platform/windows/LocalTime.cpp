#include "platform/windows/LocalTime.h"

#include <cstdlib>
#include <mutex>

namespace tavolin {

void UseSystemTimeZone() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (std::getenv("TZ")) ::_putenv("TZ=");
        ::_tzset();
    });
}

}  // namespace tavolin
