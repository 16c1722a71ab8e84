#pragma once
// The one road from config.ini, Termine.dat and a background picture to Background.bmp on the
// desktop. Each run reads every setting afresh and leaves only files behind; what it met on the
// way comes back in its result, for the caller to show.

#include <filesystem>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Context.h"
#include "platform/Desktop.h"
#include "platform/Screen.h"
#include "platform/UserMessages.h"

namespace tavolin {

enum class GenerationStatus {
    Written,    // Background.bmp holds this run's finished picture
    Failed,     // the previous Background.bmp is untouched; the log lines and detail say why
    Cancelled,  // stopped between two steps; the previous Background.bmp is untouched
};

struct GenerationResult {
    GenerationStatus status = GenerationStatus::Failed;
    /// The lines this run appended to ErrorLog.dat, Windows-1252, without line ends.
    std::vector<std::string> logLines;
    /// True when a line could not be appended to ErrorLog.dat (it is still in logLines).
    bool logWriteFailed = false;
    /// The messages for the user, in order: German, Windows-1252.
    std::vector<UserMessage> messages;
    /// English: a cause the log has no line for (a failed write of Background.bmp).
    std::string detail;
    /// The size painted at; not measured when the default size stood in.
    ScreenReading screen;
    /// The hand-over; NoDesktop with the detail "not handed over" until HandOver ran.
    WallpaperResult wallpaper{WallpaperStatus::NoDesktop, {}, "not handed over"};

    bool Written() const { return status == GenerationStatus::Written; }
    /// Written and taken by the desktop.
    bool Succeeded() const { return Written() && wallpaper.Succeeded(); }
};

class WallpaperGenerator {
public:
    explicit WallpaperGenerator(Context context);

    /// Render and, when the picture was written, HandOver.
    GenerationResult Generate(std::stop_token stop = {});

    /// Paints Background.bmp. It is replaced only by the finished picture, never by a half-made
    /// one, so a failure, a kill or a stop request leaves the previous wallpaper. Problems with
    /// the settings or the picture are logged to ErrorLog.dat; a failed save becomes a message.
    /// stop is honoured between steps and while the picture is resampled.
    GenerationResult Render(std::stop_token stop = {});

    /// Hands Background.bmp to the desktop and records the outcome in result, with the message
    /// "Fehler beim Setzen des Hintergrundbildes." when the desktop refused it or only stored
    /// it (result.wallpaper.detail then says why, in English). Runs desktop tools (bounded in
    /// time, stopped by stop), so a program calls it off its UI thread.
    void HandOver(GenerationResult& result, std::stop_token stop = {});

    /// Hands Background.bmp of the data directory to the context's desktop.
    WallpaperResult SetWallpaper(std::stop_token stop = {});

    /// Appends the line for code to ErrorLog.dat and to result.
    void LogError(int code, GenerationResult& result) const;

    /// The characters after the last '.' of path, searched from the end of the whole text
    /// (folders included); empty when there is none.
    static std::string FileExtension(std::string_view path);

private:
    Context m_context;
};

}  // namespace tavolin
