#include "app/AppointmentsPart.h"

namespace tavolin {

// Until the appointment book is built, its controls stay empty and inert.
std::unique_ptr<AppointmentsPart> MakeAppointmentsPart() {
    return std::make_unique<AppointmentsPart>();
}

}  // namespace tavolin
