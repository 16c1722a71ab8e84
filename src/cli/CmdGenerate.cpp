// tavolin-cli generate: the silent start's work from the command line: settings created when
// missing, the appointments tidied, the wallpaper generated and handed to the desktop.

#include <cstdio>
#include <memory>

#include "appointments/AppointmentStore.h"
#include "cli/CliCommand.h"
#include "platform/Context.h"
#include "platform/Desktop.h"
#include "platform/Screen.h"
#include "platform/UserMessages.h"
#include "render/WallpaperGenerator.h"
#include "settings/IniSnapshot.h"
#include "settings/Settings.h"
#include "util/Cp1252.h"
#include "util/FileIO.h"

namespace tavolin::cli {
namespace {

int RunGenerate(const Context& systemContext, const Args& args);

const CliCommand kGenerate{
    "generate", "[--size WxH] [--no-wallpaper]",
    "create config.ini if missing, tidy the appointments, paint Background.bmp and make it the "
    "desktop wallpaper",
    RunGenerate};
const Registrar kRegistrar(kGenerate);

// Stands in for the desktop when the picture is only to be written.
class NoHandOver final : public Desktop {
public:
    WallpaperResult SetWallpaper(const std::filesystem::path&, std::stop_token) override {
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

int RunGenerate(const Context& systemContext, const Args& args) {
    Context context = systemContext;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--size") {
            ScreenSize size;
            if (i + 1 >= args.size() || !ParseSize(args[i + 1], size)) {
                return UsageError(kGenerate, "--size needs WIDTHxHEIGHT, e.g. 1920x1080");
            }
            context.screen = std::make_shared<FixedScreen>(size);
            ++i;
        } else if (args[i] == "--no-wallpaper") {
            context.desktop = std::make_shared<NoHandOver>();
        } else {
            return UsageError(kGenerate, "unexpected argument '" + args[i] + "'");
        }
    }

    const auto configPath = context.DataFile("config.ini");
    if (EnsureConfigFile(configPath) == ConfigCreation::Failed) {
        return Failure(Cp1252ToUtf8(ConfigCreationFailedText()) + " (" + configPath.string() + ")");
    }
    IniSnapshot ini;
    if (ini.Load(configPath)) {
        const AppointmentStore store(context);
        store.TidyUp(SilentStartDeletesExpired(ini), context.Now());
    }

    WallpaperGenerator generator(context);
    const GenerationResult result = generator.Generate();
    const auto logPath = context.DataFile("ErrorLog.dat");
    for (const std::string& line : result.logLines) {
        std::fprintf(stderr, "%s\n", Cp1252ToUtf8(line).c_str());
    }
    if (result.logWriteFailed) {
        std::fprintf(stderr, "tavolin-cli: warning: the error log %s could not be written\n",
                     logPath.string().c_str());
    }
    if (!result.screen.measured) {
        std::fprintf(stderr, "tavolin-cli: warning: screen size not measured (%s); using %d x %d\n",
                     result.screen.note.c_str(), result.screen.size.width,
                     result.screen.size.height);
    }
    for (const UserMessage& m : result.messages) PrintUserMessage(m);

    const auto background = context.DataFile("Background.bmp");
    const WallpaperResult& wallpaper = result.wallpaper;
    if (!result.Written()) {
        std::string why = "generation failed";
        if (result.status == GenerationStatus::Cancelled) why = "generation stopped";
        if (!result.detail.empty()) why += ": " + result.detail;
        // Point at the log only when this run left its reasons there.
        if (!result.logLines.empty() && !result.logWriteFailed) {
            why += " (the error log is " + logPath.string() + ")";
        }
        return Failure(why + "; " + background.string() + " left as it was");
    }
    switch (wallpaper.status) {
        case WallpaperStatus::Set:
            std::printf("wrote %s and set it as the %s wallpaper\n", background.string().c_str(),
                        wallpaper.desktop.empty() ? "desktop" : wallpaper.desktop.c_str());
            return kExitOk;
        case WallpaperStatus::NoDesktop:
            if (wallpaper.detail == "--no-wallpaper") {
                std::printf("wrote %s; not handed to the desktop (--no-wallpaper)\n",
                            background.string().c_str());
            } else {
                std::printf("wrote %s; no desktop found to hand it to (%s)\n", background.string().c_str(),
                            wallpaper.detail.c_str());
            }
            return kExitOk;
        case WallpaperStatus::Stored:
            // The reason says what is missing and that the picture will show later.
            return Failure("wrote " + background.string() + "; " + wallpaper.detail);
        case WallpaperStatus::Failed:
        case WallpaperStatus::Cancelled:
            break;
    }
    const std::string desktop = wallpaper.desktop.empty() ? "the desktop" : wallpaper.desktop;
    return Failure("wrote " + background.string() + ", but " + desktop +
                   " did not take it as the wallpaper" +
                   (wallpaper.detail.empty() ? std::string() : ": " + wallpaper.detail));
}

}  // namespace
}  // namespace tavolin::cli
