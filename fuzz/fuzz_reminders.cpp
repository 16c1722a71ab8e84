// Arbitrary bytes as Termine.dat through the reminder due check, fed whole and in pieces. The
// answers must agree with each other and, for lines that fit, with the store's own line reader.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "appointments/AppointmentStore.h"
#include "appointments/ReminderCheck.h"

using namespace tavolin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

MinuteRange FixZoneAndMinutes() {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    const TimePoint first = MakeLocal(2003, 3, 7, 14, 30, 0);
    return {first, first + 120};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const MinuteRange kMinutes = FixZoneAndMinutes();
    // The first byte picks the piece size; the rest is the file.
    if (size == 0) return 0;
    const size_t piece = data[0] + 1;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

    // The same bytes as the record of the last minute reminded: a number or nothing.
    if (const auto minute = ReminderLedger::ParseRecord(input)) {
        Check(ReminderLedger::ParseRecord(std::to_string(*minute) + "\n") == minute);
    }

    DueScanner whole(kMinutes);
    whole.Feed(input);
    const std::vector<Appointment> due = whole.Finish();
    DueScanner pieces(kMinutes);
    for (size_t i = 0; i < input.size(); i += piece) pieces.Feed(input.substr(i, piece));
    Check(pieces.Finish() == due);

    std::vector<Appointment> expected;
    bool allFit = true;
    for (const std::string& line : SplitRecordLines(input)) {
        allFit = allFit && line.size() <= DueScanner::kMaxLineBytes;
        const auto record = SplitRecord(line);
        if (record && record->IsDated() && record->When() != -1 &&
            record->When() >= kMinutes.first && record->When() <= kMinutes.last) {
            expected.push_back(*record);
        }
    }
    Check(due.size() <= expected.size() || !allFit);
    for (size_t i = 1; i < due.size(); ++i) Check(due[i - 1].When() <= due[i].When());
    for (const Appointment& a : due) Check(!a.IsNote() && a.When() >= kMinutes.first);
    if (allFit) Check(due.size() == expected.size());
    return 0;
}
