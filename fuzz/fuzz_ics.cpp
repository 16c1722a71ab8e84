// Arbitrary bytes as an iCalendar file: the import must never crash or hang, and every record
// it gives must be one line of the appointments file with a date-time key.
//
// The first byte picks what is tried, so that the unfolding and the nesting bound are reached at
// their real sizes although the fuzzer's inputs are small; from 128 on, the text starts after a
// header of four bytes:
//   0..127    the bytes as they are (every real calendar starts so);
//   128..191  the text folded at every line at a chosen width (with CR LF plus a blank or
//             a tab), which must read exactly as the unfolded text;
//   192..255  the text repeated up to 4 MB inside a calendar nested a chosen
//             number of levels deep, with BEGIN written plainly, folded or with a parameter;
//             beyond the nesting bound the file must be refused.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "appointments/Appointment.h"
#include "appointments/IcsImport.h"

using namespace tavolin;

namespace {

// A fixed "now" (8 December 2026) so that runs repeat; a short budget for expansion.
constexpr TimePoint kNow = 1796727600;
constexpr double kBudget = 0.5;
constexpr size_t kNestingBound = 12;  // the import's: calendar, event, alarm and a margin
// A quarter of the file size limit: a whole 16 MB file takes the sanitizer build about the
// fuzzer's 10-second limit per input; the benchmark and the unit tests read full-size files.
constexpr size_t kAmplifiedBytes = kMaxIcsFileBytes / 4;

void CheckRecords(const IcsImportResult& r) {
    if (r.records.size() > kMaxIcsRecordsPerFile) std::abort();
    for (const std::string& line : r.records) {
        if (line.find_first_of("\r\n") != std::string::npos) std::abort();
        for (const char c : line) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u == 0x7F) std::abort();  // no control character reaches a remark
        }
        const auto record = SplitRecord(line);
        if (!record || !record->IsDated()) std::abort();
    }
}

bool RanOutOfTime(const IcsImportResult& r) {
    return r.skipped[static_cast<size_t>(IcsSkipReason::ExpansionLimit)] > 0;
}

std::string Fold(std::string_view text, size_t width, bool tab) {
    std::string out;
    out.reserve(text.size() + text.size() / width * 3 + 3);
    size_t column = 0;
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            column = 0;
        } else if (++column > width) {
            out += tab ? "\r\n\t" : "\r\n ";
            column = 1;
        }
        out += c;
    }
    return out;
}

std::string Nested(std::string_view body, size_t depth, int form, size_t copies) {
    static const char* const kOpen[] = {"BEGIN:X\r\n", "BEG\r\n IN:X\r\n",
                                        "BEGIN;P=\"a:b;c\":X\r\n"};
    std::string out = "BEGIN:VCALENDAR\r\n";
    for (size_t i = 0; i < depth; ++i) out += kOpen[form];
    const size_t room = kAmplifiedBytes - out.size() - depth * 7 - 15;
    if (!body.empty()) copies = std::min(copies, room / body.size());
    for (size_t i = 0; i < copies; ++i) out.append(body);
    out += "\r\n";
    for (size_t i = 0; i < depth; ++i) out += "END:X\r\n";
    return out + "END:VCALENDAR\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ::setenv("TZ", "Europe/Berlin", 1);
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    if (size < 4 || data[0] < 128) {
        CheckRecords(ParseIcs(all, kNow, kBudget));
        return 0;
    }
    const uint8_t mode = data[0];
    const std::string_view text = all.substr(4);
    if (mode < 192) {
        const IcsImportResult plain = ParseIcs(text, kNow, kBudget);
        CheckRecords(plain);
        const IcsImportResult folded =
            ParseIcs(Fold(text, 1 + data[1] % 75, data[2] & 1), kNow, kBudget);
        CheckRecords(folded);
        // A fold is no change of content. (Folding the first line of a file that starts with
        // blanks changes where it starts, so only calendars are compared.)
        if (plain.status == IcsFileStatus::Ok && !RanOutOfTime(plain) && !RanOutOfTime(folded) &&
            (folded.status != plain.status || folded.records != plain.records)) {
            std::abort();
        }
    } else {
        const size_t depth = data[1] % 16;
        // Mostly a few copies, so that the fuzzer keeps its pace; now and then up to 4 MB.
        const size_t copies = data[3] >= 224 ? size_t{1} << (data[3] % 24) : 1 + data[3] % 8;
        const IcsImportResult r = ParseIcs(Nested(text, depth, data[2] % 3, copies), kNow, kBudget);
        CheckRecords(r);
        if (depth + 1 > kNestingBound && r.status != IcsFileStatus::NotICalendar) std::abort();
    }
    return 0;
}
