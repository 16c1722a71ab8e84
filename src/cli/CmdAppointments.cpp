// The appointment book from a terminal: list, add, remove, tidy. Text on the terminal is UTF-8;
// Termine.dat holds Windows-1252, and a remark it cannot hold is refused, never altered.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "appointments/Appointment.h"
#include "appointments/AppointmentStore.h"
#include "appointments/AppointmentTime.h"
#include "cli/CliCommand.h"
#include "platform/Clock.h"
#include "platform/Context.h"
#include "platform/UserMessages.h"
#include "render/DateRules.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "util/Atoi.h"
#include "util/Cp1252.h"
#include "util/Utf8.h"

namespace tavolin::cli {
namespace {

int RunList(const Context& context, const Args& args);
int RunAdd(const Context& context, const Args& args);
int RunRemove(const Context& context, const Args& args);
int RunTidy(const Context& context, const Args& args);

const CliCommand kList{"list", "[--delete|--move]", "tidy Termine.dat, then print its records",
                       RunList};
const CliCommand kAdd{"add", "[--note] [DATE TIME] REMARK",
                      "add an appointment (DD.MM.YYYY HH:MM, default now) or a note", RunAdd};
const CliCommand kRemove{"remove", "LINE", "remove the first record equal to LINE", RunRemove};
const CliCommand kTidy{"tidy", "[--delete|--move]",
                       "delete or move expired appointments, sort, drop duplicates", RunTidy};
const Registrar kListRegistrar(kList);
const Registrar kAddRegistrar(kAdd);
const Registrar kRemoveRegistrar(kRemove);
const Registrar kTidyRegistrar(kTidy);

void PrintLine(FILE* out, const std::string& cp1252) {
    const std::string text = TerminalText(Cp1252ToUtf8(cp1252));
    std::fwrite(text.data(), 1, text.size(), out);
    std::fputc('\n', out);
}

// The expiry mode as a start with "/go" reads it: a missing config.ini or key means delete;
// otherwise delete exactly when the value's number is not 0.
bool DeleteExpiredFromSettings(const Context& context) {
    IniFile ini;
    if (!ini.Open(context.DataFile("config.ini"), false)) return true;
    return SilentStartDeletesExpired(ini);
}

// --delete / --move, else the settings. nullopt after a usage error has been printed.
std::optional<bool> ExpiryMode(const Context& context, const CliCommand& command, const Args& args,
                               int& exitCode) {
    std::optional<bool> mode;
    for (const std::string& a : args) {
        if (a != "--delete" && a != "--move") {
            exitCode = UsageError(command, "unexpected argument '" + a + "'");
            return std::nullopt;
        }
        const bool deleteExpired = a == "--delete";
        if (mode && *mode != deleteExpired) {
            exitCode = UsageError(command, "--delete and --move exclude each other");
            return std::nullopt;
        }
        mode = deleteExpired;
    }
    return mode ? *mode : DeleteExpiredFromSettings(context);
}

std::string TidyFailure(const AppointmentStore& store, StoreStatus status) {
    return "cannot tidy " + store.Path().string() + ": " + StoreStatusText(status);
}

int RunList(const Context& context, const Args& args) {
    int exitCode = kExitOk;
    const auto mode = ExpiryMode(context, kList, args, exitCode);
    if (!mode) return exitCode;
    const AppointmentStore store(context);
    const StoreStatus tidied = store.TidyUp(*mode, context.Now());
    if (tidied == StoreStatus::Missing) return kExitOk;  // no file, no records
    if (tidied != StoreStatus::Ok && tidied != StoreStatus::WriteFailed) {
        return Failure(TidyFailure(store, tidied));
    }
    // A failed rewrite left the file as it was; show that, and say so.
    StoreStatus read = StoreStatus::Ok;
    for (const std::string& line : store.ReadRecords(&read)) PrintLine(stdout, line);
    if (read != StoreStatus::Ok) {
        return Failure("cannot read " + store.Path().string() + ": " + StoreStatusText(read));
    }
    if (tidied == StoreStatus::WriteFailed) {
        return Failure(TidyFailure(store, tidied) + "; listed as it is");
    }
    return kExitOk;
}

int RunTidy(const Context& context, const Args& args) {
    int exitCode = kExitOk;
    const auto mode = ExpiryMode(context, kTidy, args, exitCode);
    if (!mode) return exitCode;
    const AppointmentStore store(context);
    TidyStats stats;
    const StoreStatus status = store.TidyUp(*mode, context.Now(), &stats);
    if (status == StoreStatus::Missing) {
        std::printf("%s does not exist; nothing to tidy\n", store.Path().string().c_str());
        return kExitOk;
    }
    if (status != StoreStatus::Ok) return Failure(TidyFailure(store, status));
    std::printf(
        "tidied %s: %zu records; %zu expired deleted, %zu moved to today, %zu duplicates "
        "dropped\n",
        store.Path().string().c_str(), stats.records, stats.deleted, stats.moved, stats.duplicates);
    if (stats.unrecognised > 0) {
        std::printf("%zu lines without a record form were kept at the end\n", stats.unrecognised);
    }
    return kExitOk;
}

// Positional arguments and flags; "--" ends the options so that a remark may start with "-".
struct ParsedArgs {
    std::vector<std::string> positional;
    bool note = false;
};

bool ParseArgs(const CliCommand& command, const Args& args, bool allowNote, ParsedArgs& out,
               int& exitCode) {
    bool options = true;
    for (const std::string& a : args) {
        if (options && a == "--") {
            options = false;
        } else if (options && allowNote && a == "--note") {
            out.note = true;
        } else if (options && a.size() > 1 && a[0] == '-') {
            exitCode = UsageError(command, "unknown option '" + a + "'");
            return false;
        } else {
            out.positional.push_back(a);
        }
    }
    return true;
}

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

struct Date {
    int day, month, year;
};

// D.M.YYYY with one or two digits for day and month, a four-digit year, a real calendar day.
std::optional<Date> ParseDate(const std::string& text) {
    const size_t dot1 = text.find('.');
    const size_t dot2 = dot1 == std::string::npos ? dot1 : text.find('.', dot1 + 1);
    if (dot2 == std::string::npos) return std::nullopt;
    const std::string_view all(text);
    const auto d = all.substr(0, dot1), m = all.substr(dot1 + 1, dot2 - dot1 - 1),
               y = all.substr(dot2 + 1);
    if (!AllDigits(d) || d.size() > 2 || !AllDigits(m) || m.size() > 2 || !AllDigits(y) ||
        y.size() != 4) {
        return std::nullopt;
    }
    const Date date{Atoi(d), Atoi(m), Atoi(y)};
    if (date.year < 1000 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > DaysInMonth(date.month, date.year)) {
        return std::nullopt;
    }
    return date;
}

// H:MM or HH:MM, 00:00 to 23:59.
std::optional<std::pair<int, int>> ParseTime(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const std::string_view all(text);
    const auto h = all.substr(0, colon), m = all.substr(colon + 1);
    if (!AllDigits(h) || h.size() > 2 || !AllDigits(m) || m.size() != 2) return std::nullopt;
    const int hour = Atoi(h), minute = Atoi(m);
    if (hour > 23 || minute > 59) return std::nullopt;
    return std::pair(hour, minute);
}

// The first character of utf8 that Windows-1252 lacks, for the error message; nullopt when
// the text is not UTF-8 at all.
std::optional<std::string> FirstUnrepresentable(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t len = DecodeUtf8(utf8, i, cp);
        if (len == 0) return std::nullopt;
        const std::string_view one = utf8.substr(i, len);
        if (!Utf8ToCp1252(one)) return std::string(one);
        i += len;
    }
    return std::string{};
}

// The remark in Windows-1252, or nullopt with an error message.
std::optional<std::string> RemarkBytes(const std::string& utf8, std::string& error) {
    if (utf8.find_first_of("\r\n") != std::string::npos) {
        error = "a remark cannot contain a line break; nothing was added";
        return std::nullopt;
    }
    auto bytes = Utf8ToCp1252(utf8);
    if (!bytes) {
        const auto bad = FirstUnrepresentable(utf8);
        error = bad && !bad->empty()
                    ? "the remark contains '" + *bad +
                          "', which Termine.dat (Windows-1252) cannot hold; nothing was added"
                    : "the remark is not valid UTF-8; nothing was added";
    }
    return bytes;
}

int RunAdd(const Context& context, const Args& args) {
    ParsedArgs parsed;
    int exitCode = kExitOk;
    if (!ParseArgs(kAdd, args, true, parsed, exitCode)) return exitCode;
    const auto& pos = parsed.positional;
    if (pos.size() != 1 && pos.size() != 3) {
        return UsageError(kAdd, pos.empty() ? "missing REMARK"
                                            : "expected REMARK, or DATE TIME REMARK (quote a "
                                              "remark of several words)");
    }
    if (parsed.note && pos.size() == 3) return UsageError(kAdd, "a note has no date or time");

    // Today and now unless given; the time goes to the nearest quarter hour without ever
    // changing the date (23:55 is 00:00 of the same day).
    const std::tm now = LocalFields(context.Now());
    Date date{now.tm_mday, now.tm_mon + 1, now.tm_year + 1900};
    int hour = now.tm_hour, minute = now.tm_min;
    if (pos.size() == 3) {
        const auto d = ParseDate(pos[0]);
        if (!d) return UsageError(kAdd, "invalid date '" + pos[0] + "' (expected DD.MM.YYYY)");
        const auto t = ParseTime(pos[1]);
        if (!t) return UsageError(kAdd, "invalid time '" + pos[1] + "' (expected HH:MM)");
        date = *d;
        std::tie(hour, minute) = *t;
    }

    const std::string& remarkText = pos.back();
    if (remarkText.empty()) {
        context.ShowMessage(EmptyRemarkText(), W1252("Warnung"), MessageIcon::Stop);
        return kExitFailure;
    }
    std::string error;
    const auto remark = RemarkBytes(remarkText, error);
    if (!remark) return Failure(error);

    std::string key(kNoteKey);
    if (!parsed.note) {
        const std::string time = QuarterTime(hour, minute);
        key = FormatWhen(date.day, date.month, date.year, Atoi(std::string_view(time).substr(0, 2)),
                         Atoi(std::string_view(time).substr(time.size() - 2)));
    }
    const Appointment appointment{key, *remark};
    const AppointmentStore store(context);
    const StoreStatus status = store.AppendRecord(appointment.Line());
    if (status != StoreStatus::Ok) {
        return Failure("cannot add to " + store.Path().string() + ": " + StoreStatusText(status));
    }
    std::fputs("added: ", stdout);
    PrintLine(stdout, appointment.Line());
    if (appointment.IsDated() && appointment.When() < StartOfLocalDay(context.Now())) {
        std::fprintf(stderr,
                     "tavolin-cli: note: this appointment lies before today; the next tidy-up "
                     "deletes it or moves it to today\n");
    }
    return kExitOk;
}

int RunRemove(const Context& context, const Args& args) {
    ParsedArgs parsed;
    int exitCode = kExitOk;
    if (!ParseArgs(kRemove, args, false, parsed, exitCode)) return exitCode;
    if (parsed.positional.size() != 1) {
        return UsageError(
            kRemove, parsed.positional.empty() ? "missing LINE" : "expected one LINE (quote it)");
    }
    const std::string& lineText = parsed.positional.front();
    const AppointmentStore store(context);
    // A line Windows-1252 cannot hold cannot be in the file either.
    const auto line = Utf8ToCp1252(lineText);
    const StoreStatus status = line ? store.RemoveRecord(*line) : StoreStatus::NotFound;
    switch (status) {
        case StoreStatus::Ok:
            std::fputs("removed: ", stdout);
            PrintLine(stdout, *line);
            return kExitOk;
        case StoreStatus::NotFound:
            return Failure("no record in " + store.Path().string() + " equals '" + lineText + "'");
        default:
            return Failure("cannot remove from " + store.Path().string() + ": " +
                           StoreStatusText(status));
    }
}

}  // namespace
}  // namespace tavolin::cli
