// iCalendar import of a calendar program's export: 5 000 events in about 1.6 MB (the size real
// exports have: descriptions, alarms, one series in twenty repeating, zoned times), and 100 000
// leaner events in a file just below the 16 MB limit. Targets: 5 000 events in at most 0.3 s; 100
// 000 in at most 2 s and 150 MB. Memory is the process's peak resident size ("peak_MB").
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "appointments/IcsImport.h"
#include "platform/Clock.h"

namespace {

using namespace tavolin;

TimePoint FixClock() {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    return MakeLocal(2026, 12, 8, 12, 0, 0);
}

std::string Two(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// rich: events as a desktop calendar exports them (about 330 bytes each, so 5 000 make 1.6 MB);
// otherwise lean ones (about 150 bytes), so that 100 000 stay below the 16 MB a file may have.
std::string MakeCalendar(size_t events, bool rich) {
    std::mt19937 rng(4711);
    std::string text =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//Export//EN\r\n"
        "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\n"
        "TZOFFSETTO:+0200\r\nTZNAME:CEST\r\nDTSTART:19700329T020000\r\n"
        "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\nBEGIN:STANDARD\r\n"
        "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nTZNAME:CET\r\nDTSTART:19701025T030000\r\n"
        "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    for (size_t i = 0; i < events; ++i) {
        const int year = 2024 + static_cast<int>(rng() % 4);
        const int month = 1 + static_cast<int>(rng() % 12);
        const int day = 1 + static_cast<int>(rng() % 28);
        const int hour = 7 + static_cast<int>(rng() % 12);
        const std::string date = std::to_string(year) + Two(month) + Two(day);
        text += "BEGIN:VEVENT\r\nUID:" + std::to_string(i) +
                "\r\n"
                "DTSTART;TZID=Europe/Berlin:" +
                date + "T" + Two(hour) +
                "0000\r\n"
                "DTEND;TZID=Europe/Berlin:" +
                date + "T" + Two(hour + 1) +
                "0000\r\n"
                "SUMMARY:Termin " +
                std::to_string(i) + "\r\n";
        if (rich) {
            text +=
                "DTSTAMP:20261201T100000Z\r\nLAST-MODIFIED:20260101T100000Z\r\n"
                "SEQUENCE:" +
                std::to_string(rng() % 3) + "\r\nLOCATION:Raum " + std::to_string(rng() % 400) +
                "\r\n"
                "DESCRIPTION:Bericht\\, Planung\\, Verschiedenes. Bitte die Unterlagen\r\n"
                "  vorher lesen.\\n\r\n";
        }
        if (i % 20 == 0) text += "RRULE:FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20271231T230000Z\r\n";
        if (i % 4 == 0) {
            text += "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n";
        }
        text += "END:VEVENT\r\n";
    }
    return text + "END:VCALENDAR\r\n";
}

double PeakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void BM_ImportIcs(benchmark::State& state) {
    const TimePoint now = FixClock();
    const size_t events = static_cast<size_t>(state.range(0));
    const std::string text = MakeCalendar(events, events <= 5000);
    size_t records = 0;
    for (auto _ : state) {
        const IcsImportResult r = ParseIcs(text, now);
        records = r.records.size();
        benchmark::DoNotOptimize(records);
    }
    state.counters["file_MB"] = static_cast<double>(text.size()) / (1024.0 * 1024.0);
    state.counters["records"] = static_cast<double>(records);
    state.counters["peak_MB"] = PeakMegabytes();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_ImportIcs)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportIcs)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
