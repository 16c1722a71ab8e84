// tavolin-cli generate: the silent start's work from the command line: settings created when
// missing, the appointments tidied, the wallpaper generated and handed to the desktop.

#include <cstdio>
#include <memory>

#include "appointments/AppointmentStore.h"
#include "cli/CliCommand.h"
#include "platform/DataDirectory.h"
#include "platform/Desktop.h"
#include "platform/Screen.h"
#include "render/WallpaperGenerator.h"
#include "settings/IniSnapshot.h"
#include "settings/Settings.h"
#include "util/Cp1252.h"
#include "util/FileIO.h"

namespace tavolin::cli {
namespace {

int RunGenerate(const Args& args);

const CliCommand kGenerate{
    "generate", "[--size WxH] [--no-wallpaper]",
    "create config.ini if missing, tidy the appointments, paint Background.bmp and make it the "
    "desktop wallpaper",
    RunGenerate};
const Registrar kRegistrar(kGenerate);

// Stands in for the desktop when the picture is only to be written.
class NoHandOver final : public Desktop {
public:
    WallpaperResult SetWallpaper(const std::filesystem::path&) override {
        return {WallpaperStatus::NoDesktop, {}, "--no-wallpaper"};
    }
};

bool ParseSize(const std::string& text, ScreenSize& size) {
    int w = 0, h = 0;
    char x = 0, extra = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &extra) != 3 || (x != 'x' && x != 'X'))
        return false;
    if (w < 1 || h < 1 || w > static_cast<int>(kMaxScreenSide) ||
        h > static_cast<int>(kMaxScreenSide))
        return false;
    size = {w, h};
    return true;
}

// The lines the run added to ErrorLog.dat, for the terminal.
void PrintNewLogLines(const std::filesystem::path& log, size_t oldSize) {
    std::string bytes;
    if (ReadWholeFile(log, bytes) != ReadStatus::Ok || bytes.size() <= oldSize) return;
    std::fprintf(stderr, "%s", Cp1252ToUtf8(bytes.substr(oldSize)).c_str());
}

int RunGenerate(const Args& args) {
    std::shared_ptr<Screen> screen;
    std::shared_ptr<Desktop> desktop;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--size") {
            ScreenSize size;
            if (i + 1 >= args.size() || !ParseSize(args[i + 1], size)) {
                return UsageError(kGenerate, "--size needs WIDTHxHEIGHT, e.g. 1920x1080");
            }
            screen = std::make_shared<FixedScreen>(size);
            ++i;
        } else if (args[i] == "--no-wallpaper") {
            desktop = std::make_shared<NoHandOver>();
        } else {
            return UsageError(kGenerate, "unexpected argument '" + args[i] + "'");
        }
    }
    if (screen) SetScreen(screen);
    if (desktop) SetDesktop(desktop);

    const auto configPath = DataFile("config.ini");
    if (EnsureConfigFile(configPath) == ConfigCreation::Failed) {
        return Failure(Cp1252ToUtf8(ConfigCreationFailedText()) + " (" + configPath.string() + ")");
    }
    IniSnapshot ini;
    if (ini.Load(configPath)) {
        const AppointmentStore store;
        store.TidyUp(SilentStartDeletesExpired(ini));
    }

    const auto logPath = DataFile("ErrorLog.dat");
    std::error_code ec;
    const auto logSize =
        std::filesystem::exists(logPath, ec) ? std::filesystem::file_size(logPath, ec) : 0;
    WallpaperGenerator generator;
    const bool ok = generator.Generate();
    const WallpaperResult& result = generator.LastWallpaperResult();
    PrintNewLogLines(logPath, ec ? 0 : static_cast<size_t>(logSize));
    const auto background = DataFile("Background.bmp");
    if (ok) {
        std::printf("wrote %s and set it as the %s wallpaper\n", background.c_str(),
                    result.desktop.empty() ? "desktop" : result.desktop.c_str());
        return kExitOk;
    }
    if (result.status == WallpaperStatus::NoDesktop) {
        if (result.detail == "--no-wallpaper") {
            std::printf("wrote %s; not handed to the desktop (--no-wallpaper)\n",
                        background.c_str());
        } else {
            std::printf("wrote %s; no desktop found to hand it to (%s)\n", background.c_str(),
                        result.detail.c_str());
        }
        return kExitOk;
    }
    if (!result.detail.empty()) {
        std::fprintf(stderr, "tavolin-cli: desktop %s: %s\n", result.desktop.c_str(),
                     result.detail.c_str());
    }
    return Failure("generation failed (the error log is " + logPath.string() + ")");
}

}  // namespace
}  // namespace tavolin::cli
