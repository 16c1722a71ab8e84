// tavolin-cli: Tavolin's work without the GUI.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/CliCommand.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/windows/WideText.h"
#endif

using namespace tavolin::cli;

namespace {

void PrintHelp(FILE* out) {
    std::fprintf(out,
                 "usage: tavolin-cli COMMAND [ARGS]\n"
                 "\n"
                 "Tavolin paints a calendar (and your pending appointments) onto the desktop\n"
                 "wallpaper. Its files (config.ini, Termine.dat, Background.bmp, ErrorLog.dat)\n"
                 "live in the program's directory; set TAVOLIN_DIR to use another one.\n"
                 "\n"
                 "commands:\n");
    auto commands = Commands();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand& a, const CliCommand& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const CliCommand& c : commands) {
        const std::string head = std::string(c.name) + " " + c.usage;
        std::fprintf(out, "  %-34s %s\n", head.c_str(), c.summary);
    }
    std::fprintf(out,
                 "\n"
                 "exit status: 0 success, 1 failure, 2 usage error\n");
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The arguments as UTF-8 from the UTF-16 command line; argv is in the ANSI code page,
    // which cannot hold every file name.
    std::vector<std::string> utf8;
    std::vector<char*> wideArgv;
    int wideCount = 0;
    if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &wideCount)) {
        for (int i = 0; i < wideCount; ++i) utf8.push_back(tavolin::Narrow(wide[i]));
        ::LocalFree(wide);
        for (std::string& a : utf8) wideArgv.push_back(a.data());
        wideArgv.push_back(nullptr);
        argc = wideCount;
        argv = wideArgv.data();
    }
#endif
    if (argc < 2) {
        std::fprintf(stderr, "tavolin-cli: no command given\n");
        PrintHelp(stderr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(stdout);
        return kExitOk;
    }
    for (const CliCommand& c : Commands()) {
        if (name != c.name) continue;
        Args args(argv + 2, argv + argc);
        if (std::find(args.begin(), args.end(), "--help") != args.end()) {
            std::printf("usage: tavolin-cli %s %s\n%s\n", c.name, c.usage, c.summary);
            return kExitOk;
        }
        return c.run(tavolin::MakeSystemContext(), args);
    }
    std::fprintf(stderr, "tavolin-cli: unknown command '%s'\n", name.c_str());
    PrintHelp(stderr);
    return kExitUsage;
}
