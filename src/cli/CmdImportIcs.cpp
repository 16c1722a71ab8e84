// import-ics: calendar files exported by other programs into Termine.dat, each file with its
// tidy-up in one replacement of the file, as the program's iCalendar import does.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "appointments/AppointmentStore.h"
#include "appointments/IcsImport.h"
#include "cli/CliCommand.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace tavolin::cli {
namespace {

int RunImportIcs(const Context& context, const Args& args);

const CliCommand kImportIcs{"import-ics", "[--delete|--move] FILE...",
                            "import the events and tasks of iCalendar files (.ics) as appointments",
                            RunImportIcs};
const Registrar kImportIcsRegistrar(kImportIcs);

int RunImportIcs(const Context& context, const Args& args) {
    std::optional<bool> mode;
    std::vector<std::string> files;
    bool options = true;
    for (const std::string& a : args) {
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "--delete" || a == "--move")) {
            if (mode && *mode != (a == "--delete")) {
                return UsageError(kImportIcs, "--delete and --move exclude each other");
            }
            mode = a == "--delete";
        } else if (options && a.size() > 1 && a[0] == '-') {
            return UsageError(kImportIcs, "unknown option '" + a + "'");
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return UsageError(kImportIcs, "no file given");
    if (!mode) {
        // As a start with "/go" reads it: delete unless DelTermine says 0.
        IniFile ini;
        mode = !ini.Open(context.DataFile("config.ini"), false) || SilentStartDeletesExpired(ini);
    }

    const AppointmentStore store(context);
    int exitCode = kExitOk;
    for (const std::string& file : files) {
        const IcsImportResult result = ImportIcsFile(file, store, context.Now(), *mode);
        const std::string text = IcsSummaryText(file, result) + "\n";
        std::fputs(text.c_str(), result.status == IcsFileStatus::Ok ? stdout : stderr);
        if (result.status != IcsFileStatus::Ok) exitCode = kExitFailure;
    }
    return exitCode;
}

}  // namespace
}  // namespace tavolin::cli
