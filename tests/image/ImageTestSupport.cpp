#include "ImageTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace tavolin::test {

int MaxColourDifference(const ImageBuffer& image, const RgbImage& reference) {
    if (image.Width() != reference.width || image.Height() != reference.height) return -1;
    int worst = 0;
    for (int top = 0; top < reference.height; ++top) {
        const int y = reference.height - 1 - top;
        for (int x = 0; x < reference.width; ++x) {
            const RgbQuad c = image.GetPixelColor(x, y);
            const uint8_t* r = reference.At(x, top);
            worst = std::max(
                {worst, std::abs(c.red - r[0]), std::abs(c.green - r[1]), std::abs(c.blue - r[2])});
        }
    }
    return worst;
}

std::string Quote(const std::filesystem::path& path) {
    std::string q = "'";
    for (char c : path.string()) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

bool RunTool(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool HaveImageMagick() {
#ifdef _WIN32
    // The oracle is Debian's ImageMagick; Windows' own convert.exe converts disks.
    return false;
#else
    static const bool have = RunTool("convert -version");
    return have;
#endif
}

namespace {

bool ReadToken(FILE* f, std::string& token) {
    token.clear();
    int c = std::fgetc(f);
    while (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '#') {
        if (c == '#') {
            while (c != '\n' && c != EOF) c = std::fgetc(f);
        }
        c = std::fgetc(f);
    }
    while (c != EOF && c != ' ' && c != '\n' && c != '\r' && c != '\t') {
        token.push_back(static_cast<char>(c));
        c = std::fgetc(f);
    }
    return !token.empty();
}

}  // namespace

bool MagickDecode(const std::filesystem::path& path, RgbImage& out, bool alpha) {
    // PAM carries width, height and depth in a small text header, then raw samples. The
    // samples come at 16 bits and are rounded here: ImageMagick's own reduction to 8 bits
    // truncates some values of 16-bit files.
    const std::string command = "convert " + Quote(path) + "[0] -colorspace sRGB -depth 16 " +
                                (alpha ? "-alpha on" : "-alpha off") + " pam:-";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return false;
    std::string token;
    int width = 0, height = 0, depth = 0;
    bool ok = ReadToken(pipe, token) && token == "P7";
    while (ok && ReadToken(pipe, token) && token != "ENDHDR") {
        std::string value;
        if (token == "TUPLTYPE") {
            ok = ReadToken(pipe, value);
            continue;
        }
        if (!ReadToken(pipe, value))
            ok = false;
        else if (token == "WIDTH")
            width = std::atoi(value.c_str());
        else if (token == "HEIGHT")
            height = std::atoi(value.c_str());
        else if (token == "DEPTH")
            depth = std::atoi(value.c_str());
    }
    if (ok && width > 0 && height > 0 && depth >= 1 && depth <= 4) {
        std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * depth * 2);
        ok = std::fread(bytes.data(), 1, bytes.size(), pipe) == bytes.size();
        std::vector<uint8_t> raw(bytes.size() / 2);
        for (size_t i = 0; i < raw.size(); ++i) {
            const unsigned v = bytes[2 * i] << 8 | bytes[2 * i + 1];
            raw[i] = static_cast<uint8_t>((v * 255 + 32767) / 65535);
        }
        const int channels = alpha ? 4 : 3;
        out.width = width;
        out.height = height;
        out.channels = channels;
        out.samples.assign(static_cast<size_t>(width) * height * channels, 255);
        for (size_t i = 0; ok && i < static_cast<size_t>(width) * height; ++i) {
            const uint8_t* s = &raw[i * depth];
            uint8_t* d = &out.samples[i * channels];
            const bool grey = depth <= 2;
            d[0] = s[0];
            d[1] = grey ? s[0] : s[1];
            d[2] = grey ? s[0] : s[2];
            if (alpha && (depth == 2 || depth == 4)) d[3] = s[depth - 1];
        }
    } else {
        ok = false;
    }
    return ::pclose(pipe) == 0 && ok;
}

}  // namespace tavolin::test
