#pragma once
// Wallpaper paths that a settings file must carry through unchanged: non-ASCII, blanks at the
// ends, quotes, backslashes, separators, control characters, a NUL, line breaks that would
// start a new key, and the highest code points.

#include <string>
#include <vector>

namespace tavolin::test {

inline const std::vector<std::string>& TrickyWallpaperPaths() {
    static const std::vector<std::string> paths = {
        "/home/user/.local/share/Tavolin/Background-1733676000123456789.bmp",
        "/B\xC3\xA4"
        "der; 'x', \"y\" = z \\ #1 \t\x01 \xF0\x9F\x98\x80 \xE2\x82\xAC"
        "1 @/a.bmp",
        " leading blank",
        "trailing blank ",
        "\\",
        "a\\",
        "\"",
        "[Desktop]",
        "x\nWallpaper=/evil\r\n",
        std::string("nul\0"
                    "0123",
                    8),
        "deadbeef\xC3\xA9"
        "cafe\x7F"
        "abc",
        "\xEF\xBF\xBF\xE0\xA0\x80\xF4\x8F\xBF\xBF",
        "@at",
        "a,b;c",
    };
    return paths;
}

}  // namespace tavolin::test
