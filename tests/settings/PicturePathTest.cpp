#include <gtest/gtest.h>

#include "settings/PicturePath.h"

namespace tavolin {
namespace {

// On Linux a picture path keeps its file system bytes, whatever they are; on Windows it is
// stored in Windows-1252, and a path that has no Windows-1252 form is refused.
TEST(PicturePathTest, StoredBytesFollowThePlatformRule) {
    struct Case {
        std::string path;
        std::optional<std::string> linux, windows;
    };
    const Case cases[] = {
        {"/home/a/Sommer.jpg", "/home/a/Sommer.jpg", "/home/a/Sommer.jpg"},
        {"/home/jörg/Bild €.png", "/home/jörg/Bild €.png", "/home/j\xF6rg/Bild \x80.png"},
        {"C:\\Bilder\\Łódź.jpg", "C:\\Bilder\\Łódź.jpg", std::nullopt},
        {"/pics/\xE4.bmp", "/pics/\xE4.bmp", std::nullopt},  // Latin-1 bytes: not UTF-8
        {"/pics/a\nb.bmp", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PicturePathToStore(c.path, PicturePathRule::FileSystemBytes), c.linux) << c.path;
        EXPECT_EQ(PicturePathToStore(c.path, PicturePathRule::Windows1252), c.windows) << c.path;
    }
}

}  // namespace
}  // namespace tavolin
