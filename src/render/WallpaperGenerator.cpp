#include "render/WallpaperGenerator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "image/ImageBuffer.h"
#include "image/PixelMath.h"
#include "platform/Clock.h"
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

GeneratorPaths MakePaths(const Context& context) {
    const auto& dir = context.dataDirectory;
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

Snapshot ReadSnapshot(const IniSnapshot& ini, const std::function<void(int)>& log) {
    // One log line per missing key, in the order the keys are read.
    auto read = [&](const SettingKey& key) {
        std::string value;
        if (!ReadSetting(ini, key, value)) {
            log(kErrorSettingMissing);
            value = key.generatorFallback;
        }
        return value;
    };
    auto number = [&](const SettingKey& key) { return Atoi(read(key)); };
    auto colour = [&](const ColourKeys& keys) {
        const int r = number(keys.red);
        const int g = number(keys.green);
        const int b = number(keys.blue);
        return PackColour(r, g, b);
    };
    Snapshot s;
    s.picture = number(keys::BackgroundKind) == 1;
    s.picturePath = read(keys::BackgroundPicture);
    s.centre = number(keys::BackgroundCentre) == 1;
    s.background = colour(keys::BackgroundColour);
    s.day = colour(keys::DayColour);
    s.holiday = colour(keys::HolidayColour);
    s.month = colour(keys::MonthColour);
    s.currentDay = colour(keys::CurrentDayColour);
    s.layout = number(keys::Layout);
    s.calendarWeeks = number(keys::CalendarWeeks) == 1;
    s.sundayFirst = number(keys::SundayFirst) == 1;
    s.appointments = number(keys::ShowAppointments) == 1;
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
    const RgbQuad bg = ToQuad(background);
    auto mix = [](RgbQuad c, RgbQuad under, unsigned alpha) {
        return RgbQuad{Blend255(c.blue, under.blue, alpha), Blend255(c.green, under.green, alpha),
                       Blend255(c.red, under.red, alpha), 0};
    };
    if (!palette) {
        // Composed in place: a second copy of a large picture would double its memory.
        for (int y = 0; y < picture.Height(); ++y) {
            uint8_t* px = picture.Row(y);
            const uint8_t* a = picture.AlphaRow(y);
            for (int x = 0; x < picture.Width(); ++x, px += 3) {
                if (a[x] == 255) continue;
                const RgbQuad c = mix({px[0], px[1], px[2], 0}, bg, a[x]);
                px[0] = c.blue;
                px[1] = c.green;
                px[2] = c.red;
            }
        }
        picture.ReleaseAlpha();
        return true;
    }
    ImageBuffer flat(picture.Format());
    if (!flat.Create(picture.Width(), picture.Height(), 24, picture.Format())) return false;
    flat.SetDpi(picture.DpiX(), picture.DpiY());
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
            if (picture.BitsPerPixel() == 8) {
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

// One rendering. Background.bmp is written once, with the finished picture: the background is
// prepared in memory (Temp.bmp is still the scratch file of centring), so a failure, a stop or
// a kill on the way leaves the previous wallpaper in place.
class Run {
public:
    Run(const WallpaperGenerator& generator, GenerationResult& result, GeneratorPaths paths,
        std::stop_token stop)
        : m_generator(generator),
          m_result(result),
          m_paths(std::move(paths)),
          m_stop(std::move(stop)) {}

    void Log(int code) { m_generator.LogError(code, m_result); }

    // Failing with a code: log it and give false.
    bool Fail(int code) {
        Log(code);
        return false;
    }

    bool Stopped() const { return m_stop.stop_requested(); }

    // Gives the canvas exactly what saving the picture as BMP and loading that file would give,
    // by handing it the picture's pixels: nothing is encoded or copied in memory on the way.
    // path is written only when it is not Background.bmp (the centring scratch file).
    bool SaveAndLoad(ImageBuffer& image, const std::filesystem::path& path, WallpaperCanvas& into) {
        const bool scratch = path != m_paths.background;
        // The scratch file is atomic without waiting for the disk: it is deleted again at once.
        if (scratch && !image.Save(path, kFormatBmp)) return false;
        return into.TakePicture(std::move(image));
    }

    // A W x H canvas of one colour: what stretching a one-pixel picture with the nearest-pixel
    // resampler gives, made by filling, without screen-sized copies.
    bool PrepareColour(int width, int height, Colour colour) {
        if (m_canvas.Create(width, height, 24, nullptr, 1) == 0) return Fail(kErrorPictureFormat);
        m_canvas.FillRect(0, 0, width, height, colour);
        // The one-pixel file carries no resolution, and neither does the stretched one.
        m_canvas.SetResolution(0, 0);
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
        if (Stopped()) return false;

        bool centre = s.centre;
        const auto w = static_cast<unsigned>(image.Width());
        const auto h = static_cast<unsigned>(image.Height());
        if (static_cast<unsigned>(width) < w) {
            Log(kErrorPictureTooWide);
            centre = false;
        }
        if (static_cast<unsigned>(height) < h) {
            Log(kErrorPictureTooHigh);
            centre = false;
        }
        if (!centre) {
            // A stop request ends the resampling early through the picture's cancel flag.
            std::stop_callback cancel(m_stop, [&image] { image.SetCancel(true); });
            if (!image.Resample(width, height, true)) {
                return Stopped() ? false : Fail(kErrorPictureFormat);
            }
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
        const bool prepared = PrepareColour(width, height, background);
        if (prepared) m_canvas.Blit(picture, offX, offY);
        std::error_code ec;
        std::filesystem::remove(m_paths.temp, ec);
        return prepared;
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
    const WallpaperGenerator& m_generator;
    GenerationResult& m_result;
    GeneratorPaths m_paths;
    std::stop_token m_stop;
    WallpaperCanvas m_canvas;
};

void DrawCentred(WallpaperCanvas& canvas, const std::string& text, int x1, int top, Colour colour) {
    canvas.DrawText(text, (194 - WallpaperCanvas::TextWidth(text)) / 2 + x1, top, colour);
}

UserMessage Message(const char* utf8Text);

}  // namespace

UserMessage MissingGlyphsMessage(std::string_view characters) {
    // Each character as itself where it is printable, always with its signed code.
    std::string text = W1252("Diese Zeichen kann das Hintergrundbild nicht darstellen: ");
    bool first = true;
    for (const char c : characters) {
        const auto byte = static_cast<unsigned char>(c);
        if (!first) text += ", ";
        first = false;
        if (byte >= 0x20 && byte != 0x7F) text += std::string(1, c) + " (";
        text += std::to_string(static_cast<int>(static_cast<signed char>(c)));
        if (byte >= 0x20 && byte != 0x7F) text += ")";
    }
    return {text, W1252("Warnung"), MessageIcon::Warning};
}

namespace {

UserMessage Message(const char* utf8Text) {
    return {W1252(utf8Text), kProgramName, MessageIcon::Warning};
}

}  // namespace

WallpaperGenerator::WallpaperGenerator(Context context) : m_context(std::move(context)) {}

void WallpaperGenerator::LogError(int code, GenerationResult& result) const {
    const TimePoint now = m_context.Now();
    std::string line = FormatErrorLine(code, now);
    if (!AppendErrorLog(m_context.DataFile("ErrorLog.dat"), code, now)) {
        result.logWriteFailed = true;
    }
    result.logLines.push_back(std::move(line));
}

std::string WallpaperGenerator::FileExtension(std::string_view path) {
    const size_t dot = path.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot + 1));
}

WallpaperResult WallpaperGenerator::SetWallpaper(std::stop_token stop) {
    if (!m_context.desktop) {
        return {WallpaperStatus::NoDesktop, {}, "no desktop to hand the picture to"};
    }
    return m_context.desktop->SetWallpaper(m_context.DataFile("Background.bmp"), std::move(stop));
}

void WallpaperGenerator::HandOver(GenerationResult& result, std::stop_token stop) {
    result.wallpaper = SetWallpaper(std::move(stop));
    // A picture that is only stored is not on the desktop either.
    if (result.wallpaper.status == WallpaperStatus::Failed ||
        result.wallpaper.status == WallpaperStatus::Stored) {
        result.messages.push_back(Message("Fehler beim Setzen des Hintergrundbildes."));
    }
}

GenerationResult WallpaperGenerator::Generate(std::stop_token stop) {
    GenerationResult result = Render(stop);
    if (result.Written()) HandOver(result, stop);
    return result;
}

GenerationResult WallpaperGenerator::Render(std::stop_token stop) {
    GenerationResult result;
    Run run(*this, result, MakePaths(m_context), stop);
    const auto stopped = [&] {
        if (!run.Stopped()) return false;
        result.status = GenerationStatus::Cancelled;
        return true;
    };
    if (stopped()) return result;
    // config.ini is read once; every setting of the run comes from that one reading.
    IniSnapshot ini;
    if (!ini.Load(run.Paths().config)) {
        run.Fail(kErrorConfigMissing);
        return result;
    }
    const Snapshot s = ReadSnapshot(ini, [&run](int code) { run.Log(code); });
    if (stopped()) return result;

    // The screen is measured once per run (on Linux that may start a tool).
    result.screen = m_context.MeasureScreen(stop);
    const int W = result.screen.size.width;
    const int H = result.screen.size.height;
    if (stopped()) return result;

    const bool prepared =
        s.picture ? run.PreparePicture(s, W, H) : run.PrepareColour(W, H, s.background);
    if (stopped() || !prepared) return result;
    WallpaperCanvas& canvas = run.Canvas();

    const TimePoint now = m_context.Now();
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
            run.Fail(kErrorLayoutUnknown);
            return result;
    }
    if (dateText) {
        DrawCentred(canvas, WeekdayName(today.tm_wday), x1, 79, s.day);
        DrawCentred(canvas, FormatLongDate(now), x1, 96, s.day);
    }
    canvas.DrawText(kSignature, x0, y0, s.day);
    if (s.appointments) {
        if (stopped()) return result;
        DrawAppointmentBlock(canvas, run.Paths().appointments, W - 428, y0 + 40, now, s.day,
                             s.currentDay, s.calendarWeeks);
    }
    // One message per run naming every character without a glyph once, however often it
    // occurs: a box per character would stop a person for each of them at every run.
    if (const std::string missing = canvas.MissingGlyphs(); !missing.empty()) {
        result.messages.push_back(MissingGlyphsMessage(missing));
    }
    if (stopped()) return result;

    errno = 0;
    if (canvas.Save(run.Paths().background, m_context.writeFaults.get()) != kCanvasOk) {
        const int error = errno;
        result.detail = "Background.bmp could not be written to " +
                        m_context.dataDirectory.string() +
                        (error != 0 ? ": " + std::string(std::strerror(error)) : std::string());
        result.messages.push_back(Message("Fehler beim Speichern"));
        return result;
    }
    result.status = GenerationStatus::Written;
    return result;
}

}  // namespace tavolin
