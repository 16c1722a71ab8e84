// Every crafted picture in tests/data/malformed through tavolin-cli convert and through
// tavolin-cli generate (as the wallpaper's background picture), each in a child process whose
// peak memory and CPU time come from getrusage: each either ends within bounds or is refused,
// and a refused background leaves the previous Background.bmp as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../cli/CliRunner.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;

constexpr long kMiB = 1024;  // getrusage counts KiB
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

/// The crafted pictures (not the other crafted inputs that live beside them).
std::vector<fs::path> CraftedPictures() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(test::TestDataDir() / "malformed")) {
        if (!entry.is_regular_file()) continue;
        const std::string folder = entry.path().parent_path().filename().string();
        if (folder == "platform") continue;
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string Name(const fs::path& file) {
    return file.parent_path().filename().string() + "/" + file.filename().string();
}

/// The size convert reported ("W x H, B bits per pixel"); false when it printed none.
bool ReportedSize(const std::string& out, long& width, long& height) {
    const size_t at = out.find(": ");
    return at != std::string::npos &&
           std::sscanf(out.c_str() + at + 2, "%ld x %ld", &width, &height) == 2;
}

TEST(CraftedInput, EachEndsWithinBoundsOrIsRefusedByConvertAndGenerate) {
    const std::string now = [] {
        test::ScopedTimeZone tz("Europe/Berlin");
        return std::to_string(test::Local(2025, 12, 10, 9, 30));
    }();
    const std::vector<fs::path> files = CraftedPictures();
    ASSERT_GE(files.size(), 8u) << "the crafted pictures are missing";
    int refused = 0;
    for (const fs::path& file : files) {
        const std::string name = Name(file);
        SCOPED_TRACE(name);
        test::TempDir dir;

        // convert
        const fs::path out = dir / "out.bmp";
        const auto c = test::RunCli(dir.path(), {"convert", file.string(), out.string()});
        long width = 0, height = 0;
        const bool accepted = c.exitCode == 0;
        uint64_t pictureBytes = 0;
        if (accepted) {
            ASSERT_TRUE(ReportedSize(c.out, width, height)) << c.out;
            pictureBytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
            EXPECT_TRUE(fs::exists(out));
        } else {
            ++refused;
            EXPECT_EQ(c.exitCode, 1) << "neither converted nor refused: " << c.err;
            EXPECT_NE(c.err.find(file.string()), std::string::npos) << "no reason: " << c.err;
            EXPECT_FALSE(fs::exists(out));
        }
        std::printf("%-40s convert:  exit %d, %5ld x %-5ld peak %4ld MiB, %5.2f s CPU\n",
                    name.c_str(), c.exitCode, width, height, c.peakKib / kMiB, c.cpuSeconds);
        EXPECT_LE(c.peakKib, test::AllowedPeakKib(pictureBytes));
        EXPECT_LE(c.cpuSeconds, test::GenerousCpuSeconds());

        // generate, over a previous wallpaper
        const fs::path data = dir / "data";
        fs::create_directory(data);
        const std::string previous = "the previous wallpaper";
        test::WriteBytes(data / "Background.bmp", previous);
        const auto g = test::GenerateWithPicture(data, file, kScreenWidth, kScreenHeight,
                                                 {"TZ=Europe/Berlin", "TAVOLIN_NOW=" + now});
        std::printf("%-40s generate: exit %d, %27s peak %4ld MiB, %5.2f s CPU\n", name.c_str(),
                    g.exitCode, "", g.peakKib / kMiB, g.cpuSeconds);
        const std::string background = test::ReadBytes(data / "Background.bmp");
        if (accepted) {
            // The same decoder behind both: what converts makes a wallpaper.
            EXPECT_EQ(g.exitCode, 0) << g.err;
            EXPECT_EQ(background.size(), 54u + 3u * kScreenWidth * kScreenHeight);
        } else {
            EXPECT_EQ(g.exitCode, 1) << g.out << g.err;
            EXPECT_NE(g.err.find("left as it was"), std::string::npos) << g.err;
            EXPECT_EQ(background, previous);
        }
        EXPECT_LE(g.peakKib, test::AllowedPeakKib(pictureBytes));
        EXPECT_LE(g.cpuSeconds, test::GenerousCpuSeconds());
    }
    // Most of them lie about their size or their data and must be turned away.
    EXPECT_GE(refused, static_cast<int>(files.size()) / 2);
}

}  // namespace
}  // namespace tavolin
