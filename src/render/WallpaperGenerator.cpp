#include "render/WallpaperGenerator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>

#include "image/ImageBuffer.h"
#include "image/PixelMath.h"
#include "platform/Clock.h"
#include "platform/DataDirectory.h"
#include "platform/Screen.h"
#include "platform/UserMessages.h"
#include "render/AppointmentBlock.h"
#include "render/DateRules.h"
#include "render/ErrorLog.h"
#include "render/WallpaperCanvas.h"
#include "settings/IniSnapshot.h"
#include "settings/Settings.h"
#include "util/Atoi.h"
#include "util/Cp1252.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

constexpr const char* kProgramName = "Tavolin";
constexpr const char* kSignature = "Tavolin by Pelmar";

struct GeneratorPaths {
    std::filesystem::path config, background, temp, appointments;
};

GeneratorPaths MakePaths() {
    const auto dir = DataDirectory();
    return {dir / "config.ini", dir / "Background.bmp", dir / "Temp.bmp", dir / "Termine.dat"};
}

// The settings as the generator reads them, in its own order and with its own fallbacks.
struct Snapshot {
    bool picture = false;
    std::string picturePath;
    bool centre = false;
    Colour background = 0, day = 0, holiday = 0, month = 0, currentDay = 0;
    int layout = 2;
    bool calendarWeeks = false;
    bool sundayFirst = false;
    bool appointments = false;
};

Snapshot ReadSnapshot(const IniSnapshot& ini) {
    // One log line per missing key, in the order the keys are read.
    auto read = [&ini](const char* section, const char* key) {
        std::string value;
        if (!ini.ReadValue(section, key, value)) {
            WallpaperGenerator::LogError(kErrorSettingMissing);
            value = FindSetting(section, key)->generatorFallback;
        }
        return value;
    };
    auto number = [&](const char* section, const char* key) { return Atoi(read(section, key)); };
    auto colour = [&](const char* section, const char* prefix) {
        const std::string p = prefix;
        const int r = number(section, (p + "Rot").c_str());
        const int g = number(section, (p + "Gruen").c_str());
        const int b = number(section, (p + "Blau").c_str());
        return PackColour(r, g, b);
    };
    Snapshot s;
    s.picture = number("Background", "BGArt") == 1;
    s.picturePath = read("Background", "BGBild");
    s.centre = number("Background", "BGCenter") == 1;
    s.background = colour("Background", "BG");
    s.day = colour("Tag", "T");
    s.holiday = colour("Feiertag", "FT");
    s.month = colour("Monat", "M");
    s.currentDay = colour("Beschriftung", "B");
    s.layout = number("Layout", "KArt");
    s.calendarWeeks = number("Layout", "KKW") == 1;
    s.sundayFirst = number("Layout", "Sunday") == 1;
    s.appointments = number("Programm", "Termine") == 1;
    return s;
}

// The picture exists when it opens for reading as a regular file (a directory does not count).
bool CanOpenForReading(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

RgbQuad ToQuad(Colour c) {
    return {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c),
            0};
}

// Brings a palette picture to 24 bits and composes transparency over the background colour, so
// every picture gets its calendar and no hidden colour of a transparent pixel shows.
bool FlattenPicture(ImageBuffer& picture, Colour background) {
    const bool palette = picture.BitsPerPixel() < 24;
    if (!palette && !picture.HasAlpha()) return true;
    ImageBuffer flat(picture.Format());
    if (!flat.Create(picture.Width(), picture.Height(), 24, picture.Format())) return false;
    flat.SetDpi(picture.DpiX(), picture.DpiY());
    const RgbQuad bg = ToQuad(background);
    auto mix = [](RgbQuad c, RgbQuad under, unsigned alpha) {
        return RgbQuad{Blend255(c.blue, under.blue, alpha), Blend255(c.green, under.green, alpha),
                       Blend255(c.red, under.red, alpha), 0};
    };
    // Palette pictures map each index once; the transparent index shows the background.
    std::array<RgbQuad, 256> colours{};
    if (palette) {
        for (int i = 0; i < picture.PaletteEntries(); ++i) {
            colours[i] = i == picture.TransparentIndex() ? bg : picture.Palette()[i];
        }
    }
    const bool alpha = picture.HasAlpha();
    for (int y = 0; y < picture.Height(); ++y) {
        uint8_t* out = flat.Row(y);
        const uint8_t* in = picture.Row(y);
        const uint8_t* a = alpha ? picture.AlphaRow(y) : nullptr;
        for (int x = 0; x < picture.Width(); ++x, out += 3) {
            RgbQuad c;
            if (!palette) {
                c = {in[3 * x], in[3 * x + 1], in[3 * x + 2], 0};
            } else if (picture.BitsPerPixel() == 8) {
                c = colours[in[x]];
            } else {
                c = colours[picture.GetPixelIndex(x, y)];
            }
            if (a && a[x] < 255) c = mix(c, bg, a[x]);
            out[0] = c.blue;
            out[1] = c.green;
            out[2] = c.red;
        }
    }
    picture = std::move(flat);
    return true;
}

// A 32-bit field of the picture's info header, as its BMP file would carry it.
int32_t HeaderField(ImageBuffer& image, size_t offset) {
    const auto h = image.InfoHeader();
    return static_cast<int32_t>(h[offset] | h[offset + 1] << 8 | h[offset + 2] << 16 |
                                static_cast<uint32_t>(h[offset + 3]) << 24);
}

// One generation. Background.bmp holds the prepared background only until the finished
// wallpaper replaces it, so with a drawable layout that intermediate file is skipped: should the
// final save fail, the background is prepared again with every file written, which ends the
// same way the full sequence would have (the same log line, or the save message).
class Run {
public:
    explicit Run(GeneratorPaths paths) : m_paths(std::move(paths)) {}

    void SetWriteIntermediate(bool write) { m_writeIntermediate = write; }
    void SetLogSizeWarnings(bool log) { m_logSizeWarnings = log; }

    // Failing with a code: log it and give false.
    bool Fail(int code) {
        WallpaperGenerator::LogError(code);
        return false;
    }

    // Saves the picture as BMP to path (an intermediate Background.bmp only when it is to be
    // written) and hands its pixels to the canvas, which then holds exactly what loading that
    // file again would give; nothing is encoded or copied in memory on the way.
    bool SaveAndLoad(ImageBuffer& image, const std::filesystem::path& path, WallpaperCanvas& into) {
        const bool skip = path == m_paths.background && !m_writeIntermediate;
        // A wallpaper can always be made again: the save is atomic without waiting for the disk.
        if (!skip && !image.Save(path, kFormatBmp)) return false;
        into.TakePicture(std::move(image));
        return true;
    }

    // A W x H canvas of one colour, made as the one-pixel picture stretched by the nearest-pixel
    // resampler, with Background.bmp holding it.
    bool PrepareColour(int width, int height, Colour colour) {
        WallpaperCanvas pixel;
        pixel.Create(1, 1, 24, nullptr, 1);
        pixel.SetPixel(0, 0, colour);
        pixel.Save(m_paths.background);
        ImageBuffer image(kFormatBmp);
        if (!image.Load(m_paths.background, kFormatBmp)) return Fail(kErrorPictureNotFound);
        if (FillFromPixel(image, width, height)) {
            if (m_writeIntermediate && m_canvas.Save(m_paths.background) != kCanvasOk) {
                return Fail(kErrorPictureFormat);
            }
            return true;
        }
        if (!image.Resample(width, height, true)) return Fail(kErrorPictureFormat);
        if (!SaveAndLoad(image, m_paths.background, m_canvas)) return Fail(kErrorPictureFormat);
        return true;
    }

    // Stretching a one-pixel picture with the nearest-pixel resampler fills the screen with that
    // pixel; filling the canvas directly gives the same file bytes without three screen-sized
    // copies. False when the loaded picture is anything else (an old Background.bmp, say).
    bool FillFromPixel(ImageBuffer& image, int width, int height) {
        if (image.Width() != 1 || image.Height() != 1 || image.BitsPerPixel() != 24) return false;
        if (m_canvas.Create(width, height, 24, nullptr, 1) == 0) return false;
        const RgbQuad c = image.GetPixelColor(0, 0);
        m_canvas.FillRect(0, 0, width, height, PackColour(c.red, c.green, c.blue));
        // The resolution the image buffer would have written into the stretched file.
        m_canvas.SetResolution(HeaderField(image, 24), HeaderField(image, 28));
        return true;
    }

    bool PreparePicture(const Snapshot& s, int width, int height) {
        const std::filesystem::path picturePath = s.picturePath;
        if (!CanOpenForReading(picturePath)) return Fail(kErrorPictureNotFound);
        const int format =
            FormatFromExtension(AsciiLower(WallpaperGenerator::FileExtension(s.picturePath)));
        if (format < 0) return Fail(kErrorPictureFormat);
        ImageBuffer image(format);
        if (!image.Load(picturePath, format)) return Fail(kErrorPictureNotFound);
        if (!FlattenPicture(image, s.background)) return Fail(kErrorPictureNotFound);

        bool centre = s.centre;
        const auto w = static_cast<unsigned>(image.Width());
        const auto h = static_cast<unsigned>(image.Height());
        if (static_cast<unsigned>(width) < w) {
            if (m_logSizeWarnings) WallpaperGenerator::LogError(kErrorPictureTooWide);
            centre = false;
        }
        if (static_cast<unsigned>(height) < h) {
            if (m_logSizeWarnings) WallpaperGenerator::LogError(kErrorPictureTooHigh);
            centre = false;
        }
        if (!centre) {
            if (!image.Resample(width, height, true)) return Fail(kErrorPictureFormat);
            if (!SaveAndLoad(image, m_paths.background, m_canvas)) return Fail(kErrorPictureFormat);
            return true;
        }
        return Centre(image, width, height, s.background);
    }

    bool Centre(ImageBuffer& image, int width, int height, Colour background) {
        WallpaperCanvas picture;
        if (!SaveAndLoad(image, m_paths.temp, picture)) return Fail(kErrorPictureFormat);
        image = ImageBuffer();
        const int offX = (width - picture.Width()) / 2;
        const int offY = (height - picture.Height()) / 2;
        if (!PrepareColour(width, height, background)) return false;
        m_canvas.Blit(picture, offX, offY);
        const bool saved = !m_writeIntermediate || m_canvas.Save(m_paths.background) == kCanvasOk;
        std::error_code ec;
        std::filesystem::remove(m_paths.temp, ec);
        // The canvas goes on with what Background.bmp now holds.
        if (!saved) m_canvas.Load(m_paths.background, 1);
        return true;
    }

    static std::string AsciiLower(std::string text) {
        for (char& c : text) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return text;
    }

    WallpaperCanvas& Canvas() { return m_canvas; }
    const GeneratorPaths& Paths() const { return m_paths; }

private:
    GeneratorPaths m_paths;
    WallpaperCanvas m_canvas;
    bool m_writeIntermediate = true;
    bool m_logSizeWarnings = true;
};

void DrawCentred(WallpaperCanvas& canvas, const std::string& text, int x1, int top, Colour colour) {
    canvas.DrawText(text, (194 - WallpaperCanvas::TextWidth(text)) / 2 + x1, top, colour);
}

}  // namespace

void WallpaperGenerator::LogError(int code) {
    tavolin::LogError(code);
}

int WallpaperGenerator::ScreenWidth() {
    return PrimaryScreenSize().width;
}
int WallpaperGenerator::ScreenHeight() {
    return PrimaryScreenSize().height;
}

std::string WallpaperGenerator::FileExtension(std::string_view path) {
    const size_t dot = path.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot + 1));
}

WallpaperResult WallpaperGenerator::SetWallpaper() {
    return SetDesktopWallpaper(DataFile("Background.bmp"));
}

bool WallpaperGenerator::Generate() {
    m_wallpaper = WallpaperResult{};
    Run run(MakePaths());
    // config.ini is read once; every setting of the run comes from that one reading.
    IniSnapshot ini;
    if (!ini.Load(run.Paths().config)) return run.Fail(kErrorConfigMissing);
    const Snapshot s = ReadSnapshot(ini);

    // The screen is measured once per run (on Linux that may start a tool).
    const ScreenSize screen = PrimaryScreenSize();
    const int W = screen.width;
    const int H = screen.height;

    auto prepare = [&] {
        return s.picture ? run.PreparePicture(s, W, H) : run.PrepareColour(W, H, s.background);
    };
    const bool drawable = s.layout >= 1 && s.layout <= 4;
    run.SetWriteIntermediate(!drawable);
    if (!prepare()) return false;
    WallpaperCanvas& canvas = run.Canvas();

    const TimePoint now = Now();
    const std::tm today = LocalFields(now);
    const CalendarDate todayDate{today.tm_mday, today.tm_mon + 1, today.tm_year + 1900};
    const int M = today.tm_mon + 1;
    const int x1 = W - 214;
    const int x2 = W - 428;
    int x0 = x1;
    int y0 = 0;
    bool dateText = false;
    auto month = [&](int m, int left, int top) {
        canvas.DrawMonth(m, left, top, s.day, s.month, s.holiday, s.currentDay, s.sundayFirst,
                         todayDate);
    };
    switch (s.layout) {
        case 1:
            canvas.DrawFrame(x1, 20, s.day);
            month(M, x1, 20);
            y0 = 157;
            break;
        case 2:
            canvas.DrawFrame(x2, 20, s.day);
            canvas.DrawFrame(x1, 173, s.day);
            canvas.DrawFrame(x2, 173, s.day);
            month(M - 1, x2, 20);
            month(M, x2, 173);
            month(M + 1, x1, 173);
            dateText = true;
            y0 = 310;
            x0 = x2;
            break;
        case 3:
            dateText = true;
            y0 = 157;
            break;
        case 4:
            y0 = 24;
            break;
        default:
            return run.Fail(kErrorLayoutUnknown);
    }
    if (dateText) {
        DrawCentred(canvas, WeekdayName(today.tm_wday), x1, 79, s.day);
        DrawCentred(canvas, FormatLongDate(now), x1, 96, s.day);
    }
    canvas.DrawText(kSignature, x0, y0, s.day);
    if (s.appointments) {
        DrawAppointmentBlock(canvas, run.Paths().appointments, W - 428, y0 + 40, now, s.day,
                             s.currentDay, s.calendarWeeks);
    }

    if (canvas.Save(run.Paths().background) != kCanvasOk) {
        // Replay the preparation with its files, as the full sequence would have written them.
        run.SetWriteIntermediate(true);
        run.SetLogSizeWarnings(false);
        if (!prepare()) return false;
        ShowUserMessage(W1252("Fehler beim Speichern"), kProgramName, MessageIcon::Warning);
        return false;
    }
    m_wallpaper = SetWallpaper();
    if (m_wallpaper.status == WallpaperStatus::Failed) {
        ShowUserMessage(W1252("Fehler beim Setzen des Hintergrundbildes."), kProgramName,
                        MessageIcon::Warning);
        return false;
    }
    return m_wallpaper.Succeeded();
}

}  // namespace tavolin
