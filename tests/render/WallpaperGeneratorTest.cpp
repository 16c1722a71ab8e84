// End-to-end runs of the generation in a temporary data directory, with a fixed clock, a fixed
// screen and a desktop that records what it was handed.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stop_token>

#include "image/ImageBuffer.h"
#include "platform/Desktop.h"
#include "platform/Screen.h"
#include "render/DateRules.h"
#include "render/ErrorLog.h"
#include "render/WallpaperCanvas.h"
#include "render/WallpaperGenerator.h"
#include "util/Cp1252.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

constexpr Colour kBackground = PackColour(58, 110, 165);
constexpr Colour kWhite = 0x00FFFFFF;
constexpr Colour kRed = 0x000000FF;
constexpr Colour kGold = PackColour(255, 215, 0);

class RecordingDesktop final : public Desktop {
public:
    WallpaperResult SetWallpaper(const std::filesystem::path& path, std::stop_token) override {
        handed.push_back(path);
        return {status, "Test", status == WallpaperStatus::Set ? "" : "refused"};
    }
    std::vector<std::filesystem::path> handed;
    WallpaperStatus status = WallpaperStatus::Set;
};

class GeneratorTest : public test::DataDirTest {
protected:
    GeneratorTest() {
        m_context.screen = std::make_shared<FixedScreen>(ScreenSize{kW, kH});
        m_context.desktop = m_desktop;
        m_context.clock = m_clock.Function();
    }

    // One run; its messages go to the recorder, as a caller would show them.
    bool Generate() {
        m_result = WallpaperGenerator(m_context).Generate();
        for (const UserMessage& m : m_result.messages)
            m_context.ShowMessage(m.text, m.caption, m.icon);
        return m_result.Succeeded();
    }

    void WriteConfig(const std::string& extra = "") {
        ASSERT_EQ(EnsureConfigFile(File("config.ini")), ConfigCreation::Created);
        if (!extra.empty()) Set(extra);
    }
    // "Section/Key=value"
    void Set(const std::string& assignment) {
        IniFile ini;
        ASSERT_TRUE(ini.Open(File("config.ini"), false));
        const size_t slash = assignment.find('/');
        const size_t eq = assignment.find('=');
        ASSERT_TRUE(ini.WriteValue(assignment.substr(0, slash),
                                   assignment.substr(slash + 1, eq - slash - 1),
                                   assignment.substr(eq + 1), true));
    }

    // Settings for the picture at path centred on the background, without any date.
    void CentreOnly(const std::filesystem::path& path) {
        WriteConfig("Background/BGArt=1");
        Set("Background/BGBild=" + path.string());
        Set("Background/BGCenter=1");
        Set("Layout/KArt=4");
    }

    WallpaperCanvas Result() {
        WallpaperCanvas canvas;
        EXPECT_EQ(canvas.Load(File("Background.bmp"), 1), 0);
        return canvas;
    }
    // The log's codes, in order, recognised by their texts.
    std::vector<int> LoggedCodes() {
        std::vector<int> codes;
        const std::string log = test::ReadBytes(File("ErrorLog.dat"));
        size_t start = 0;
        while (start < log.size()) {
            const size_t end = log.find("\r\n", start);
            const std::string text = log.substr(start + 24, end - start - 24);
            for (int code = 1; code <= 7; ++code) {
                if (ErrorText(code) == text) codes.push_back(code);
            }
            start = end + 2;
        }
        return codes;
    }
    // A canvas of the screen size in one colour, as the expected picture starts.
    static WallpaperCanvas Plain(Colour colour, int w = kW, int h = kH) {
        WallpaperCanvas canvas;
        canvas.Create(w, h, 24, nullptr, 1);
        canvas.FillRect(0, 0, w, h, colour);
        return canvas;
    }
    void WritePicture(const std::string& name, int w, int h, int bpp = 24) {
        ImageBuffer image;
        ASSERT_TRUE(image.Create(w, h, bpp, kFormatBmp));
        if (bpp <= 8) {
            image.SetPaletteColor(0, {0, 0, 0, 0});
            image.SetPaletteColor(1, {0, 255, 0, 0});
        }
        // A diagonal pattern makes every misplaced pixel visible.
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool on = (x + 2 * y) % 3 == 0;
                image.SetPixelColor(x, y, on ? RgbQuad{0, 255, 0, 0} : RgbQuad{0, 0, 0, 0});
            }
        }
        ASSERT_TRUE(image.Save(File(name), kFormatBmp));
    }
    static bool SamePixels(const WallpaperCanvas& a, const WallpaperCanvas& b) {
        if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
        for (int y = 0; y < a.Height(); ++y) {
            if (std::memcmp(a.Row(y), b.Row(y), 3 * static_cast<size_t>(a.Width())) != 0) {
                ADD_FAILURE() << "first difference in row " << y;
                return false;
            }
        }
        return true;
    }

    static constexpr int kW = 1024;
    static constexpr int kH = 768;
    // Wednesday 10 December 2025, 20:00 in Berlin.
    test::FixedClock m_clock{test::Local(2025, 12, 10, 20, 0, 0)};
    std::shared_ptr<RecordingDesktop> m_desktop = std::make_shared<RecordingDesktop>();
    GenerationResult m_result;
};

TEST_F(GeneratorTest, MissingConfigLogsCodeOne) {
    EXPECT_FALSE(Generate());
    EXPECT_EQ(LoggedCodes(), std::vector<int>{1});
    EXPECT_FALSE(std::filesystem::exists(File("Background.bmp")));
    EXPECT_TRUE(m_desktop->handed.empty());
}

TEST_F(GeneratorTest, EmptyConfigUsesTheFallbacksAndLogsEveryKey) {
    test::WriteBytes(File("config.ini"), "");
    EXPECT_TRUE(Generate());
    EXPECT_EQ(LoggedCodes(), std::vector<int>(22, 2));
    ASSERT_EQ(m_desktop->handed.size(), 1u);
    EXPECT_EQ(m_desktop->handed[0], File("Background.bmp"));
    EXPECT_TRUE(m_messages.messages().empty());

    // Layout 2 with the default colours and Monday first, painted exactly as the sheets say.
    WallpaperCanvas expected = Plain(kBackground);
    const CalendarDate today{10, 12, 2025};
    expected.DrawFrame(kW - 428, 20, kWhite);
    expected.DrawFrame(kW - 214, 173, kWhite);
    expected.DrawFrame(kW - 428, 173, kWhite);
    expected.DrawMonth(11, kW - 428, 20, kWhite, kWhite, kRed, kGold, false, today);
    expected.DrawMonth(12, kW - 428, 173, kWhite, kWhite, kRed, kGold, false, today);
    expected.DrawMonth(13, kW - 214, 173, kWhite, kWhite, kRed, kGold, false, today);
    // "Mittwoch" is 42 pixels wide: (194 - 42) / 2 = 76.
    ASSERT_EQ(WallpaperCanvas::TextWidth("Mittwoch"), 42);
    expected.DrawText("Mittwoch", kW - 214 + 76, 79, kWhite);
    const std::string date = FormatLongDate(m_clock.Now());
    expected.DrawText(date, (194 - WallpaperCanvas::TextWidth(date)) / 2 + kW - 214, 96, kWhite);
    expected.DrawText("Tavolin by Pelmar", kW - 428, 310, kWhite);
    WallpaperCanvas result = Result();
    EXPECT_TRUE(SamePixels(result, expected));
    EXPECT_EQ(std::filesystem::file_size(File("Background.bmp")), 54u + 3u * kW * kH);
}

TEST_F(GeneratorTest, EachLayoutPaintsItsFramesSheetsAndText) {
    const CalendarDate today{10, 12, 2025};
    for (int layout = 1; layout <= 4; ++layout) {
        std::filesystem::remove(File("config.ini"));
        WriteConfig("Layout/KArt=" + std::to_string(layout));
        Set("Layout/Sunday=1");
        Set("Programm/Termine=1");
        test::WriteBytes(File("Termine.dat"),
                         "11.12.2025 - 10:00 # a\r\n12.12.2025 - 10:00 # b\r\nNotiz # c");
        ASSERT_TRUE(Generate()) << layout;

        WallpaperCanvas expected = Plain(kBackground);
        int y0 = 0, x0 = kW - 214;
        if (layout == 1) {
            expected.DrawFrame(kW - 214, 20, kWhite);
            expected.DrawMonth(12, kW - 214, 20, kWhite, kWhite, kRed, kGold, true, today);
            y0 = 157;
        } else if (layout == 2) {
            expected.DrawFrame(kW - 428, 20, kWhite);
            expected.DrawFrame(kW - 214, 173, kWhite);
            expected.DrawFrame(kW - 428, 173, kWhite);
            expected.DrawMonth(11, kW - 428, 20, kWhite, kWhite, kRed, kGold, true, today);
            expected.DrawMonth(12, kW - 428, 173, kWhite, kWhite, kRed, kGold, true, today);
            expected.DrawMonth(13, kW - 214, 173, kWhite, kWhite, kRed, kGold, true, today);
            y0 = 310;
            x0 = kW - 428;
        } else {
            y0 = layout == 3 ? 157 : 24;
        }
        if (layout == 2 || layout == 3) {
            expected.DrawText("Mittwoch", kW - 214 + 76, 79, kWhite);
            const std::string date = FormatLongDate(m_clock.Now());
            expected.DrawText(date, (194 - WallpaperCanvas::TextWidth(date)) / 2 + kW - 214, 96,
                              kWhite);
        }
        expected.DrawText("Tavolin by Pelmar", x0, y0, kWhite);
        expected.DrawText("11.12.2025 - 10:00 - a", kW - 428, y0 + 40, kWhite);
        expected.DrawText("12.12.2025 - 10:00 - b", kW - 428, y0 + 60, kWhite);
        expected.DrawText(std::string(19, ' ') + "c", kW - 428, y0 + 80, kGold);
        EXPECT_TRUE(SamePixels(Result(), expected)) << "layout " << layout;
    }
}

TEST_F(GeneratorTest, UnknownLayoutLeavesThePreviousWallpaper) {
    WriteConfig("Layout/KArt=5");
    test::WriteBytes(File("Background.bmp"), "previous");
    EXPECT_FALSE(Generate());
    EXPECT_EQ(LoggedCodes(), std::vector<int>{3});
    EXPECT_EQ(m_result.logLines.size(), 1u);
    EXPECT_EQ(test::ReadBytes(File("Background.bmp")), "previous");
    EXPECT_TRUE(m_desktop->handed.empty());
}

TEST_F(GeneratorTest, PlainBackgroundIsTheStretchedPixelByteForByte) {
    WriteConfig("Layout/KArt=4");
    ASSERT_TRUE(Generate());
    // The same picture the long way: the one-pixel canvas file, loaded, stretched and saved.
    WallpaperCanvas pixel;
    pixel.Create(1, 1, 24, nullptr, 1);
    pixel.SetPixel(0, 0, kBackground);
    ASSERT_EQ(pixel.Save(File("pixel.bmp")), 0);
    ImageBuffer image;
    ASSERT_TRUE(image.Load(File("pixel.bmp"), kFormatBmp));
    ASSERT_TRUE(image.Resample(kW, kH, true));
    std::string expected;
    ASSERT_TRUE(image.Encode(expected, kFormatBmp));
    const std::string actual = test::ReadBytes(File("Background.bmp"));
    ASSERT_EQ(actual.size(), expected.size());
    // Headers and every row below the signature line (rows are stored bottom first).
    const size_t untouched = 54 + size_t{3} * kW * (kH - 50);
    EXPECT_TRUE(actual.compare(0, untouched, expected, 0, untouched) == 0);
}

TEST_F(GeneratorTest, YearWrapsInJanuaryAndDecember) {
    WriteConfig();
    // Compares the sheet region at (x, y) with the given month sheet drawn on its own.
    auto sheetMatches = [this](int x, int y, int month, int year, CalendarDate today) {
        WallpaperCanvas result = Result();
        WallpaperCanvas expected = Plain(kBackground);
        expected.DrawFrame(x, y, kWhite);
        expected.DrawMonthSheet(month, year, x, y, kWhite, kWhite, kRed, kGold, false, today);
        for (int row = y; row < y + WallpaperCanvas::kFrameHeight; ++row) {
            if (std::memcmp(result.Row(row) + 3 * x, expected.Row(row) + 3 * x,
                            3 * WallpaperCanvas::kFrameWidth) != 0) {
                return false;
            }
        }
        return true;
    };
    m_clock.Set(test::Local(2026, 1, 15, 12, 0, 0));
    ASSERT_TRUE(Generate());
    EXPECT_TRUE(sheetMatches(kW - 428, 20, 12, 2025, {15, 1, 2026}));
    EXPECT_FALSE(sheetMatches(kW - 428, 20, 12, 2026, {15, 1, 2026}));

    m_clock.Set(test::Local(2026, 12, 15, 12, 0, 0));
    ASSERT_TRUE(Generate());
    EXPECT_TRUE(sheetMatches(kW - 214, 173, 1, 2027, {15, 12, 2026}));
}

TEST_F(GeneratorTest, PictureExtensionsDecideTheFormat) {
    WritePicture("bild.BMP", 10, 10);
    WriteConfig("Background/BGArt=1");
    Set("Background/BGBild=" + File("bild.BMP").string());
    EXPECT_TRUE(Generate());  // upper-case extension
    EXPECT_EQ(LoggedCodes(), std::vector<int>{});

    const std::string bad[] = {"bild.jpe", "bild", "ordner.x/bild"};
    std::filesystem::create_directory(File("ordner.x"));
    for (const auto& name : bad) {
        std::filesystem::copy_file(File("bild.BMP"), File(name));
        std::filesystem::remove(File("ErrorLog.dat"));
        Set("Background/BGBild=" + File(name).string());
        EXPECT_FALSE(Generate()) << name;
        EXPECT_EQ(LoggedCodes(), std::vector<int>{5}) << name;
    }
    EXPECT_EQ(WallpaperGenerator::FileExtension("C:\\a.b\\bild"), "b\\bild");
    EXPECT_EQ(WallpaperGenerator::FileExtension("bild"), "");
}

TEST_F(GeneratorTest, MissingOrBrokenPictureLogsCodeFour) {
    WriteConfig("Background/BGArt=1");
    for (const std::string name : {"fehlt.bmp", "kaputt.bmp", "ordner.bmp"}) {
        if (name == "kaputt.bmp") test::WriteBytes(File(name), "BM garbage");
        if (name == "ordner.bmp") std::filesystem::create_directory(File(name));
        std::filesystem::remove(File("ErrorLog.dat"));
        Set("Background/BGBild=" + File(name).string());
        EXPECT_FALSE(Generate()) << name;
        EXPECT_EQ(LoggedCodes(), std::vector<int>{4}) << name;
    }
}

TEST_F(GeneratorTest, CentredPictureLandsAtTruncatedOffsets) {
    WritePicture("bild.bmp", 801, 601);
    WriteConfig("Background/BGArt=1");
    Set("Background/BGBild=" + File("bild.bmp").string());
    Set("Background/BGCenter=1");
    Set("Layout/KArt=4");
    ASSERT_TRUE(Generate());
    EXPECT_FALSE(std::filesystem::exists(File("Temp.bmp")));
    WallpaperCanvas picture;
    ASSERT_EQ(picture.Load(File("bild.bmp"), 1), 0);
    WallpaperCanvas expected = Plain(kBackground);
    expected.Blit(picture, 111, 83);
    expected.DrawText("Tavolin by Pelmar", kW - 214, 24, kWhite);
    EXPECT_TRUE(SamePixels(Result(), expected));
}

TEST_F(GeneratorTest, PictureOfScreenSizeIsUsedAsItIs) {
    WritePicture("bild.bmp", kW, kH);
    WriteConfig("Background/BGArt=1");
    Set("Background/BGBild=" + File("bild.bmp").string());
    Set("Background/BGCenter=1");
    Set("Layout/KArt=4");
    ASSERT_TRUE(Generate());
    EXPECT_EQ(LoggedCodes(), std::vector<int>{});
    WallpaperCanvas expected;
    ASSERT_EQ(expected.Load(File("bild.bmp"), 1), 0);
    expected.DrawText("Tavolin by Pelmar", kW - 214, 24, kWhite);
    EXPECT_TRUE(SamePixels(Result(), expected));
}

TEST_F(GeneratorTest, TooLargePicturesAreLoggedAndShrunk) {
    WriteConfig("Background/BGArt=1");
    Set("Background/BGCenter=1");
    Set("Layout/KArt=4");
    WritePicture("breit.bmp", kW + 1, 10);
    Set("Background/BGBild=" + File("breit.bmp").string());
    ASSERT_TRUE(Generate());
    EXPECT_EQ(LoggedCodes(), std::vector<int>{6});
    // Stretched although centring is on: the picture's pattern reaches every corner.
    ImageBuffer source;
    ASSERT_TRUE(source.Load(File("breit.bmp"), kFormatBmp));
    ASSERT_TRUE(source.Resample(kW, kH, true));
    WallpaperCanvas expected;
    std::string bytes;
    ASSERT_TRUE(source.Encode(bytes, kFormatBmp));
    ASSERT_EQ(expected.LoadFromMemory(
                  std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 1),
              0);
    expected.DrawText("Tavolin by Pelmar", kW - 214, 24, kWhite);
    EXPECT_TRUE(SamePixels(Result(), expected));

    std::filesystem::remove(File("ErrorLog.dat"));
    WritePicture("gross.bmp", kW + 5, kH + 5);
    Set("Background/BGBild=" + File("gross.bmp").string());
    ASSERT_TRUE(Generate());
    EXPECT_EQ(LoggedCodes(), (std::vector<int>{6, 7}));
}

TEST_F(GeneratorTest, PalettePicturesAreBroughtToTrueColour) {
    WritePicture("bild.bmp", 50, 40, 1);
    WriteConfig("Background/BGArt=1");
    Set("Background/BGBild=" + File("bild.bmp").string());
    Set("Layout/KArt=2");
    ASSERT_TRUE(Generate());
    WallpaperCanvas result = Result();
    EXPECT_EQ(result.BitsPerPixel(), 24);
    // The calendar is painted (a 1-bit canvas could not be drawn on).
    EXPECT_EQ(result.GetPixel(kW - 428, 20), kWhite);
    EXPECT_EQ(result.GetPixel(0, kH - 1),
              PackColour(0, 255, 0));  // bottom-left pixel of the pattern
}

TEST_F(GeneratorTest, TransparentPixelsShowTheBackgroundColour) {
    const auto gif = test::TestDataDir() / "images" / "gif" / "transparent.gif";
    ImageBuffer picture;
    ASSERT_TRUE(picture.Load(gif, kFormatGif));
    ASSERT_GE(picture.TransparentIndex(), 0);
    CentreOnly(gif);
    ASSERT_TRUE(Generate());
    WallpaperCanvas result = Result();
    const int offX = (kW - picture.Width()) / 2;
    const int offY = (kH - picture.Height()) / 2;
    int transparent = 0;
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            const int row = picture.Height() - 1 - y;  // the buffer counts rows from the bottom
            const RgbQuad c = picture.GetPixelColor(x, row);
            Colour expected = PackColour(c.red, c.green, c.blue);
            if (picture.GetPixelIndex(x, row) == picture.TransparentIndex()) {
                expected = kBackground;
                ++transparent;
            }
            ASSERT_EQ(result.GetPixel(offX + x, offY + y), expected) << x << "," << y;
        }
    }
    EXPECT_GT(transparent, 0);
}

TEST_F(GeneratorTest, AlphaIsComposedOverTheBackgroundColour) {
    const auto tga = test::TestDataDir() / "images" / "tga" / "alpha32.tga";
    ImageBuffer picture;
    ASSERT_TRUE(picture.Load(tga, kFormatTga));
    ASSERT_TRUE(picture.HasAlpha());
    CentreOnly(tga);
    ASSERT_TRUE(Generate());
    WallpaperCanvas result = Result();
    const int offX = (kW - picture.Width()) / 2;
    const int offY = (kH - picture.Height()) / 2;
    const auto over = [](int fg, int bg, int alpha) {
        return (fg * alpha + bg * (255 - alpha) + 127) / 255;
    };
    int partial = 0;
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            const int row = picture.Height() - 1 - y;
            const RgbQuad c = picture.GetPixelColor(x, row);
            const int a = picture.GetAlpha(x, row);
            if (a > 0 && a < 255) ++partial;
            const Colour expected =
                PackColour(over(c.red, 58, a), over(c.green, 110, a), over(c.blue, 165, a));
            ASSERT_EQ(result.GetPixel(offX + x, offY + y), expected) << x << "," << y;
        }
    }
    EXPECT_GT(partial, 0);
}

TEST_F(GeneratorTest, StretchedPictureKeepsItsResolutionInTheFile) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(40, 30, 24, kFormatBmp));
    image.SetDpi(96, 150);
    ASSERT_TRUE(image.Save(File("bild.bmp"), kFormatBmp));
    WriteConfig("Background/BGArt=1");
    Set("Background/BGBild=" + File("bild.bmp").string());
    ASSERT_TRUE(Generate());
    // The header the image buffer writes for the stretched picture, which the canvas loads.
    ASSERT_TRUE(image.Resample(kW, kH, true));
    std::string stretched;
    ASSERT_TRUE(image.Encode(stretched, kFormatBmp));
    EXPECT_EQ(test::ReadBytes(File("Background.bmp")).substr(0, 54), stretched.substr(0, 54));
}

TEST_F(GeneratorTest, RefusedHandOverIsShownAndFails) {
    WriteConfig();
    m_desktop->status = WallpaperStatus::Failed;
    EXPECT_FALSE(Generate());
    EXPECT_TRUE(m_result.Written());
    ASSERT_EQ(m_messages.messages().size(), 1u);
    EXPECT_EQ(m_messages.messages()[0].text, "Fehler beim Setzen des Hintergrundbildes.");
    EXPECT_EQ(m_messages.messages()[0].caption, "Tavolin");
    EXPECT_TRUE(std::filesystem::exists(File("Background.bmp")));

    m_desktop->status = WallpaperStatus::NoDesktop;  // no session: written, nothing shown
    EXPECT_FALSE(Generate());
    EXPECT_TRUE(m_result.Written());
    EXPECT_EQ(m_result.wallpaper.status, WallpaperStatus::NoDesktop);
    EXPECT_EQ(m_messages.messages().size(), 1u);

    // Stored where nothing draws it: not on the desktop either; the reason comes along.
    m_desktop->status = WallpaperStatus::Stored;
    EXPECT_FALSE(Generate());
    EXPECT_TRUE(m_result.Written());
    EXPECT_EQ(m_result.wallpaper.status, WallpaperStatus::Stored);
    EXPECT_EQ(m_result.wallpaper.detail, "refused");
    ASSERT_EQ(m_messages.messages().size(), 2u);
    EXPECT_EQ(m_messages.messages()[1].text, "Fehler beim Setzen des Hintergrundbildes.");
}

TEST_F(GeneratorTest, UnwritableWallpaperKeepsThePreviousOneAndSaysWhy) {
    WriteConfig();
    test::WriteBytes(File("Background.bmp"), "previous");
    m_context.writeFaults = std::make_shared<WriteFaults>();
    m_context.writeFaults->failRewrites = true;
    EXPECT_FALSE(Generate());
    m_context.writeFaults.reset();
    EXPECT_EQ(m_result.status, GenerationStatus::Failed);
    // Nothing is blamed on the picture format: the log has no line for a failed write.
    EXPECT_FALSE(std::filesystem::exists(File("ErrorLog.dat")));
    EXPECT_TRUE(m_result.logLines.empty());
    EXPECT_NE(m_result.detail.find("Background.bmp"), std::string::npos) << m_result.detail;
    ASSERT_EQ(m_messages.messages().size(), 1u);
    EXPECT_EQ(m_messages.messages()[0].text, "Fehler beim Speichern");
    EXPECT_EQ(test::ReadBytes(File("Background.bmp")), "previous");
    EXPECT_TRUE(m_desktop->handed.empty());
}

// A screen whose measuring is the moment the user asks the run to stop.
class StoppingScreen final : public Screen {
public:
    explicit StoppingScreen(std::stop_source& stop) : m_stop(stop) {}
    ScreenSize PrimarySize() override {
        m_stop.request_stop();
        return {320, 200};
    }

private:
    std::stop_source& m_stop;
};

TEST_F(GeneratorTest, AStoppedRunLeavesThePreviousWallpaperAndHandsNothingOver) {
    WriteConfig();
    test::WriteBytes(File("Background.bmp"), "previous");
    std::stop_source stop;
    m_context.screen = std::make_shared<StoppingScreen>(stop);
    const GenerationResult r = WallpaperGenerator(m_context).Generate(stop.get_token());
    EXPECT_EQ(r.status, GenerationStatus::Cancelled);
    EXPECT_FALSE(r.Succeeded());
    EXPECT_EQ(test::ReadBytes(File("Background.bmp")), "previous");
    EXPECT_TRUE(m_desktop->handed.empty());
    EXPECT_TRUE(r.messages.empty());

    // Asked before it starts, a run does not even read the settings.
    std::filesystem::remove(File("config.ini"));
    const GenerationResult early = WallpaperGenerator(m_context).Generate(stop.get_token());
    EXPECT_EQ(early.status, GenerationStatus::Cancelled);
    EXPECT_TRUE(early.logLines.empty());
}

TEST_F(GeneratorTest, EachCharacterWithoutAGlyphIsReportedOnceHoweverOftenItOccurs) {
    WriteConfig("Programm/Termine=1");
    // Thousands of NULs, BELs and a character the font lacks, over several appointments.
    std::string remark(5000, '\0');
    remark += std::string(3000, '\x07') + "\x80" + std::string(2000, '\0');
    test::WriteBytes(File("Termine.dat"),
                     "11.12.2025 - 10:00 # " + remark + "\r\n12.12.2025 - 10:00 # \x07\x80\x07");
    ASSERT_TRUE(Generate());
    // One message for the run, naming each character once: control characters by code only.
    ASSERT_EQ(m_result.messages.size(), 1u);
    EXPECT_EQ(m_result.messages[0].text,
              W1252("Diese Zeichen kann das Hintergrundbild nicht darstellen: ") +
                  "0, 7, \x80 (-128)");
    EXPECT_EQ(m_result.messages[0].caption, "Warnung");
}

TEST_F(GeneratorTest, ColourValuesWrapToTheirLowBits) {
    WriteConfig("Background/BGRot=300");
    Set("Layout/KArt=4");
    ASSERT_TRUE(Generate());
    EXPECT_EQ(Result().GetPixel(0, 0), PackColour(44, 110, 165));
}

}  // namespace
}  // namespace tavolin
