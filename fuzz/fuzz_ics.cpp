// Arbitrary bytes as an iCalendar file: the import must never crash or hang, and every record
// it gives must be one line of the appointments file with a date-time key.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "appointments/Appointment.h"
#include "appointments/IcsImport.h"

using namespace tavolin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ::setenv("TZ", "Europe/Berlin", 1);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // A fixed "now" (8 December 2026) so that runs repeat; a short budget for expansion.
    const IcsImportResult r = ParseIcs(text, 1796727600, 0.5);
    if (r.records.size() > kMaxIcsRecordsPerFile) std::abort();
    for (const std::string& line : r.records) {
        if (line.find_first_of("\r\n") != std::string::npos) std::abort();
        const auto record = SplitRecord(line);
        if (!record || !record->IsDated()) std::abort();
    }
    return 0;
}
