// Arbitrary bytes as Termine.dat, read, tidied and rewritten on 8 March 2003 in Europe/Berlin.
// Nothing may crash, and nothing may disappear but expired appointments and duplicates:
// every other record and every hand-edited line must still be in the file afterwards.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "appointments/Appointment.h"
#include "appointments/AppointmentStore.h"
#include "util/FileIO.h"

using namespace tavolin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::map<std::string, size_t> NonEmptyCounts(const std::vector<std::string>& lines) {
    std::map<std::string, size_t> counts;
    for (const std::string& line : lines) {
        if (!line.empty()) ++counts[line];
    }
    return counts;
}

// Set up on the first input, not during static initialisation.
TimePoint FixTodayAndZone() {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    return MakeLocal(2003, 3, 8, 0, 0, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TimePoint kToday = FixTodayAndZone();
    const auto path = fuzz::ScratchDir() / "Termine.dat";
    // The first byte picks the expiry mode; the rest is the file.
    const bool deleteExpired = size == 0 || (data[0] & 1) != 0;
    const std::string input =
        size == 0 ? std::string() : std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
    Check(AtomicWriteFile(path, input));
    const AppointmentStore store(path);

    StoreStatus status = StoreStatus::Missing;
    const std::vector<std::string> before = store.ReadRecords(&status);
    Check(status == StoreStatus::Ok);
    Check(before == SplitRecordLines(input));

    // The file's tidy-up works on views into the bytes; it must give what the line version gives.
    Check(TidyRecordBytes(input, deleteExpired, kToday) ==
          JoinRecordLines(TidyRecords(before, deleteExpired, kToday)));

    TidyStats stats;
    Check(store.TidyUp(deleteExpired, kToday + 15 * 3600, &stats) == StoreStatus::Ok);
    const std::vector<std::string> after = store.ReadRecords(&status);
    Check(status == StoreStatus::Ok);
    Check(after.size() <= before.size());
    const auto present = NonEmptyCounts(after);

    // Where each line of the input must have gone.
    for (const std::string& line : before) {
        if (line.empty()) continue;
        const auto record = SplitRecord(line);
        const bool dated = record && record->IsDated();
        const TimePoint when = dated ? record->When() : 0;
        if (!dated || when >= kToday) {
            Check(present.count(line) == 1);
        } else if (deleteExpired) {
            Check(present.count(line) == 0);
        } else {
            std::string moved = "08.03.2003 - ";
            if (when != -1) {
                const std::tm t = LocalFields(when);
                char time[16];
                std::snprintf(time, sizeof time, "%02d:%02d", t.tm_hour, t.tm_min);
                moved += time;
            }
            Check(present.count(moved + " # " + record->remark) == 1);
        }
    }
    // Hand-edited lines keep their count, since they are never merged.
    const auto original = NonEmptyCounts(before);
    for (const auto& [line, count] : original) {
        const auto record = SplitRecord(line);
        if (!record || (!record->IsNote() && !record->IsDated())) {
            Check(present.at(line) == count);
        }
    }
    // A rewrite ending in an empty line reads back one line shorter.
    Check(stats.records == after.size() || stats.records == after.size() + 1);

    // A second pass changes nothing but the empty lines a rewrite may leave at the end.
    Check(store.TidyUp(deleteExpired, kToday + 15 * 3600) == StoreStatus::Ok);
    Check(NonEmptyCounts(store.ReadRecords()) == present);

    // The record commands on the same file: the first line goes, a new last line comes.
    const auto current = store.ReadRecords();
    if (!current.empty()) {
        auto expected = NonEmptyCounts(current);
        if (!current.front().empty() && --expected[current.front()] == 0) {
            expected.erase(current.front());
        }
        Check(store.RemoveRecord(current.front()) == StoreStatus::Ok);
        Check(NonEmptyCounts(store.ReadRecords()) == expected);
    }
    const std::string added = "Notiz # fuzz";
    Check(store.AppendRecord(added) == StoreStatus::Ok);
    const auto appended = store.ReadRecords();
    Check(!appended.empty() && appended.back() == added);
    return 0;
}
