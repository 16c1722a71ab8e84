// The core used from several threads at once, as the desktop program does (a dialog thread, a
// timer that regenerates the wallpaper, a reminder thread): two threads generate wallpapers and
// decode pictures while a third creates files. Every result must equal the one a lone thread
// gets, and files made meanwhile must get exactly the modes the process umask gives (an atomic
// write that flipped the umask would hand them 0666 or 0777). Generations stopped from another
// thread at varying points of their work leave the previous wallpaper or finish it whole. Also
// run under ThreadSanitizer.
//
// TAVOLIN_STRESS_SECONDS lengthens the run (default 3 seconds).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <latch>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "image/ImageBuffer.h"
#include "platform/Context.h"
#include "platform/Screen.h"
#include "render/WallpaperGenerator.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr mode_t kUmask = 027;  // neither the usual 022 nor the 0 a flipped umask would show
constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 240;

// A picture with gradients in every channel and a sharp diagonal, so a wrong row, column or
// channel anywhere changes the result.
uint8_t Sample(int x, int y, int channel) {
    switch (channel) {
        case 0:
            return static_cast<uint8_t>(x * 255 / (kPictureWidth - 1));
        case 1:
            return static_cast<uint8_t>(y * 255 / (kPictureHeight - 1));
        case 2:
            return ((x + 2 * y) / 7) % 2 ? 230 : 20;
        default:
            return static_cast<uint8_t>((x + y) % 256);  // alpha
    }
}

std::vector<uint8_t> Samples(int channels) {
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(kPictureWidth) * kPictureHeight * channels);
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x)
            for (int c = 0; c < channels; ++c) out.push_back(Sample(x, y, c));
    return out;
}

void WritePng(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kPictureWidth;
    image.height = kPictureHeight;
    image.format = PNG_FORMAT_RGBA;
    const std::vector<uint8_t> samples = Samples(4);
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, samples.data(), 0, nullptr))
        << image.message;
}

void WriteJpeg(const fs::path& path, bool progressive) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = kPictureWidth;
    cinfo.image_height = kPictureHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> samples = Samples(3);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            samples.data() + static_cast<size_t>(cinfo.next_scanline) * 3 * kPictureWidth;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

void WriteTiff(const fs::path& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kPictureWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kPictureHeight);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<uint8_t> samples = Samples(3);
    for (int y = 0; y < kPictureHeight; ++y) {
        ASSERT_EQ(
            TIFFWriteScanline(tif, samples.data() + static_cast<size_t>(y) * 3 * kPictureWidth,
                              static_cast<uint32_t>(y), 0),
            1);
    }
    TIFFClose(tif);
}

void WriteBmp(const fs::path& path) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(kPictureWidth, kPictureHeight, 24, kFormatBmp));
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            image.SetPixelColor(x, kPictureHeight - 1 - y,
                                {Sample(x, y, 2), Sample(x, y, 1), Sample(x, y, 0), 0});
        }
    }
    ASSERT_TRUE(image.Save(path, kFormatBmp));
}

void CopyFixture(const std::string& name, const fs::path& to) {
    fs::copy_file(test::TestDataDir() / "images" / name, to);
}

/// What a decode and the two resamplings of one picture gave.
struct Decoded {
    bool ok = false;
    std::string error;
    std::vector<uint8_t> block;
    std::vector<uint8_t> alpha;
    std::vector<uint8_t> fast;    // nearest pixel, to an odd size
    std::vector<uint8_t> smooth;  // smoothing, to another

    friend bool operator==(const Decoded&, const Decoded&) = default;
};

std::vector<uint8_t> Copy(std::span<const uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

Decoded DecodeAndResample(const fs::path& path, int format) {
    Decoded d;
    ImageBuffer image;
    d.ok = image.Load(path, format);
    d.error = image.LastError();
    if (!d.ok) return d;
    d.block = Copy(image.Block());
    if (image.HasAlpha()) {
        for (int y = 0; y < image.Height(); ++y) {
            const uint8_t* row = image.AlphaRow(y);
            d.alpha.insert(d.alpha.end(), row, row + image.Width());
        }
    }
    ImageBuffer fast = image;
    if (fast.Resample(517, 203, true)) d.fast = Copy(fast.Block());
    ImageBuffer smooth = image;
    if (smooth.Resample(97, 391, false)) d.smooth = Copy(smooth.Block());
    return d;
}

struct Picture {
    fs::path path;
    int format;
};

/// A data directory set up for one generator: a picture background stretched to the screen,
/// the appointment block on, a few appointments.
struct GenerationSetup {
    fs::path dir;
    fs::path picture;
    std::shared_ptr<test::RecordingDesktop> desktop = std::make_shared<test::RecordingDesktop>();

    void Prepare() {
        ASSERT_EQ(EnsureConfigFile(dir / "config.ini"), ConfigCreation::Created);
        IniFile ini;
        ASSERT_TRUE(ini.Open(dir / "config.ini", false));
        ASSERT_TRUE(ini.WriteValue("Background", "BGArt", "1", true));
        ASSERT_TRUE(ini.WriteValue("Background", "BGBild", picture.string(), true));
        ASSERT_TRUE(ini.WriteValue("Programm", "Termine", "1", true));
        ASSERT_TRUE(ini.WriteValue("Layout", "KArt", "2", true));
        test::WriteBytes(dir / "Termine.dat",
                         "11.12.2025 - 10:00 # Zahnarzt\r\n"
                         "12.12.2025 - 18:30 # Chorprobe im Gemeindesaal\r\n"
                         "Notiz # Geschenke besorgen\r\n");
    }

    Context MakeContext(const test::FixedClock& clock) const {
        Context context;
        context.clock = clock.Function();
        context.dataDirectory = dir;
        context.screen = std::make_shared<FixedScreen>(ScreenSize{640, 480});
        context.desktop = desktop;
        return context;
    }
};

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0xFFFF;
}

/// The process umask as the kernel reports it, read without changing it.
int CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<int>(std::strtol(line.c_str() + 6, nullptr, 8));
    }
    return -1;
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }

private:
    mode_t m_old;
};

double StressSeconds() {
    const char* text = std::getenv("TAVOLIN_STRESS_SECONDS");
    const double seconds = text ? std::atof(text) : 0;
    return seconds > 0 ? seconds : 3;
}

/// Failures found on the worker threads, reported on the test's own thread afterwards.
class Failures {
public:
    void Add(std::string text) {
        std::lock_guard lock(m_mutex);
        if (m_texts.size() < 20) m_texts.push_back(std::move(text));
    }
    std::vector<std::string> texts() const {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

std::string Octal(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0%o", value);
    return text;
}

TEST(Concurrency, GeneratingDecodingAndCreatingFilesAtOnceKeepResultsAndModes) {
    test::ScopedTimeZone tz("Europe/Berlin");
    const ScopedUmask umask(kUmask);
    const mode_t fileMode = 0666 & ~kUmask;
    const mode_t dirMode = 0777 & ~kUmask;
    test::FixedClock clock(test::Local(2025, 12, 10, 9, 30));

    test::TempDir root;
    const fs::path pictures = root / "pictures";
    fs::create_directory(pictures);
    std::vector<Picture> decoded = {
        {pictures / "alpha.png", kFormatPng},        {pictures / "baseline.jpg", kFormatJpeg},
        {pictures / "progressive.jpg", kFormatJpeg}, {pictures / "deflate.tif", kFormatTiff},
        {pictures / "plain.bmp", kFormatBmp},        {pictures / "interlaced.gif", kFormatGif},
        {pictures / "multi.ico", kFormatIco},        {pictures / "type10.tga", kFormatTga},
        {pictures / "vga256.pcx", kFormatPcx},
    };
    WritePng(decoded[0].path);
    WriteJpeg(decoded[1].path, false);
    WriteJpeg(decoded[2].path, true);
    WriteTiff(decoded[3].path);
    WriteBmp(decoded[4].path);
    CopyFixture("gif/interlaced.gif", decoded[5].path);
    CopyFixture("ico/multi.ico", decoded[6].path);
    CopyFixture("tga/type10.tga", decoded[7].path);
    CopyFixture("pcx/vga256.pcx", decoded[8].path);
    if (HasFatalFailure()) return;
    // Damaged copies, refused through each library's error path (their handlers are per file,
    // so one decoder's message must never turn up in another's).
    std::vector<Picture> damaged;
    for (size_t i = 0; i < 4; ++i) {
        const fs::path cut = pictures / ("cut-" + decoded[i].path.filename().string());
        const std::string bytes = test::ReadBytes(decoded[i].path);
        test::WriteBytes(cut, bytes.substr(0, bytes.size() / 2));
        damaged.push_back({cut, decoded[i].format});
    }

    // The references, each made by this thread alone.
    std::vector<Decoded> expectedDecodes;
    for (const Picture& p : decoded) {
        expectedDecodes.push_back(DecodeAndResample(p.path, p.format));
        ASSERT_TRUE(expectedDecodes.back().ok) << p.path << ": " << expectedDecodes.back().error;
        ASSERT_FALSE(expectedDecodes.back().fast.empty()) << p.path;
        ASSERT_FALSE(expectedDecodes.back().smooth.empty()) << p.path;
    }
    ASSERT_FALSE(expectedDecodes[0].alpha.empty()) << "the PNG's alpha went missing";
    std::vector<Decoded> expectedRefusals;
    for (const Picture& p : damaged) {
        expectedRefusals.push_back(DecodeAndResample(p.path, p.format));
        ASSERT_FALSE(expectedRefusals.back().ok) << p.path;
        ASSERT_FALSE(expectedRefusals.back().error.empty()) << p.path;
    }

    struct Generation {
        GenerationSetup setup;
        std::string expected;
    };
    Generation generations[2];
    generations[0].setup.picture = pictures / "progressive.jpg";
    generations[1].setup.picture = pictures / "alpha.png";
    for (int i = 0; i < 2; ++i) {
        Generation& g = generations[i];
        const fs::path reference = root / ("reference" + std::to_string(i));
        fs::create_directory(reference);
        g.setup.dir = reference;
        g.setup.Prepare();
        if (HasFatalFailure()) return;
        const GenerationResult result = WallpaperGenerator(g.setup.MakeContext(clock)).Generate();
        ASSERT_TRUE(result.Succeeded()) << result.detail;
        ASSERT_TRUE(result.logLines.empty()) << result.logLines.front();
        g.expected = test::ReadBytes(reference / "Background.bmp");
        ASSERT_EQ(g.expected.size(), 54u + 3u * 640 * 480);
        g.setup.dir = root / ("generate" + std::to_string(i));
        g.setup.desktop = std::make_shared<test::RecordingDesktop>();
        fs::create_directory(g.setup.dir);
        g.setup.Prepare();
        if (HasFatalFailure()) return;
    }
    // The two backgrounds differ, so a generator that read the other's settings would show.
    ASSERT_NE(generations[0].expected, generations[1].expected);
    // A third directory like the first, whose generations are stopped from another thread.
    GenerationSetup stopped = generations[0].setup;
    stopped.dir = root / "stopped";
    stopped.desktop = std::make_shared<test::RecordingDesktop>();
    fs::create_directory(stopped.dir);
    stopped.Prepare();
    if (HasFatalFailure()) return;
    const std::string previous = "the previous wallpaper";

    const fs::path created = root / "created";
    fs::create_directory(created);

    Failures failures;
    std::atomic<int> runningWorkers{2};
    std::atomic<int> generationRuns[2] = {0, 0};
    std::atomic<int> decodeRuns{0};
    std::atomic<int> filesMade{0};
    std::latch start(3);
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(StressSeconds()));
    // Each worker does at least this much, however slow the machine (or the sanitizer) is.
    constexpr int kMinimumRounds = 3;

    // One generation in g's directory, starting from no Background.bmp so that its mode is
    // the umask's, checked against the reference.
    auto generateOnce = [&](int index) {
        Generation& g = generations[index];
        const fs::path background = g.setup.dir / "Background.bmp";
        fs::remove(background);
        const GenerationResult result = WallpaperGenerator(g.setup.MakeContext(clock)).Generate();
        const std::string where = "generation " + std::to_string(index) + ": ";
        if (!result.Succeeded()) failures.Add(where + "failed: " + result.detail);
        if (!result.logLines.empty()) failures.Add(where + "logged " + result.logLines.front());
        if (test::ReadBytes(background) != g.expected) failures.Add(where + "picture differs");
        if (ModeOf(background) != fileMode)
            failures.Add(where + "Background.bmp has mode " + Octal(ModeOf(background)));
        ++generationRuns[index];
    };

    auto decodeAll = [&](const std::vector<Picture>& list, const std::vector<Decoded>& expected) {
        for (size_t i = 0; i < list.size(); ++i) {
            const Decoded d = DecodeAndResample(list[i].path, list[i].format);
            if (d != expected[i]) {
                failures.Add("decoding " + list[i].path.filename().string() + " differs (" +
                             (d.ok ? "decoded" : d.error) + ")");
            }
            ++decodeRuns;
        }
    };

    // A generation on a thread of its own, stopped from this one after a delay that moves
    // through the steps from round to round: it either finished with the reference picture or
    // left the previous one.
    std::atomic<int> stopsInTime{0};
    auto generateAndStop = [&](int round) {
        const fs::path background = stopped.dir / "Background.bmp";
        test::WriteBytes(background, previous);
        GenerationResult result;
        std::jthread worker([&](std::stop_token stop) {
            result = WallpaperGenerator(stopped.MakeContext(clock)).Generate(stop);
        });
        std::this_thread::sleep_for(std::chrono::microseconds(round % 8 * 1000));
        worker.request_stop();
        worker.join();
        const std::string bytes = test::ReadBytes(background);
        if (result.status == GenerationStatus::Cancelled) {
            ++stopsInTime;
            if (bytes != previous) failures.Add("a stopped generation changed Background.bmp");
        } else if (!result.Written()) {
            failures.Add("a stopped generation failed: " + result.detail);
        } else if (bytes != generations[0].expected) {
            failures.Add("a generation finished before its stop differs");
        }
        for (const auto& entry : fs::directory_iterator(stopped.dir)) {
            const std::string name = entry.path().filename().string();
            const bool lock = name.ends_with(".lock");  // the files' lasting lock files
            if (!lock && name != "config.ini" && name != "Termine.dat" && name != "Background.bmp")
                failures.Add("a stopped generation left " + name + " behind");
        }
    };

    // A: generations, one after another, a generation stopped from here, and the damaged
    // pictures refused in between.
    std::thread a([&] {
        start.arrive_and_wait();
        for (int round = 0; round < kMinimumRounds || Clock::now() < deadline; ++round) {
            generateOnce(0);
            generateAndStop(round);
            decodeAll(damaged, expectedRefusals);
        }
        --runningWorkers;
    });
    // B: every picture decoded and resampled, the damaged ones refused, then a generation of
    // its own.
    std::thread b([&] {
        start.arrive_and_wait();
        for (int round = 0; round < kMinimumRounds || Clock::now() < deadline; ++round) {
            decodeAll(decoded, expectedDecodes);
            decodeAll(damaged, expectedRefusals);
            generateOnce(1);
        }
        --runningWorkers;
    });
    // C: files and directories made as fast as it goes for as long as the others work, and
    // the process umask watched all the while.
    std::thread c([&] {
        start.arrive_and_wait();
        int n = 0;
        while (runningWorkers.load() > 0) {
            const fs::path file = created / ("f" + std::to_string(n));
            const fs::path dir = created / ("d" + std::to_string(n));
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                failures.Add("cannot create " + file.string());
                break;
            }
            struct stat st {};
            ::fstat(fd, &st);
            ::close(fd);
            if ((st.st_mode & 07777) != fileMode)
                failures.Add("a new file got mode " + Octal(st.st_mode & 07777));
            if (::mkdir(dir.c_str(), 0777) != 0) {
                failures.Add("cannot create " + dir.string());
                break;
            }
            if (ModeOf(dir) != dirMode)
                failures.Add("a new directory got mode " + Octal(ModeOf(dir)));
            ::unlink(file.c_str());
            ::rmdir(dir.c_str());
            if (n % 64 == 0 && CurrentUmask() != static_cast<int>(kUmask))
                failures.Add("the umask was " + Octal(static_cast<unsigned>(CurrentUmask())));
            ++n;
            ++filesMade;
        }
    });
    a.join();
    b.join();
    c.join();

    std::printf(
        "%d + %d generations (and %d stopped, %d of them in time), %d decodes, %d files and "
        "directories made\n",
        generationRuns[0].load(), generationRuns[1].load(), generationRuns[0].load(),
        stopsInTime.load(), decodeRuns.load(), filesMade.load());
    for (const std::string& text : failures.texts()) ADD_FAILURE() << text;
    EXPECT_GE(generationRuns[0].load(), kMinimumRounds);
    EXPECT_GE(generationRuns[1].load(), kMinimumRounds);
    EXPECT_GT(filesMade.load(), 0);
    EXPECT_EQ(CurrentUmask(), static_cast<int>(kUmask));
    // Every generation handed its own picture to its own desktop.
    for (int i = 0; i < 2; ++i) {
        const auto calls = generations[i].setup.desktop->calls();
        EXPECT_EQ(calls.size(), static_cast<size_t>(generationRuns[i].load()));
        for (const fs::path& handed : calls)
            EXPECT_EQ(handed.parent_path(), generations[i].setup.dir);
    }
}

}  // namespace
}  // namespace tavolin
