#include "FormatTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tavolin::test {

std::filesystem::path ImageFixture(const std::string& relative) {
    const char* root = std::getenv("TAVOLIN_TEST_DATA");
    return std::filesystem::path(root ? root : "tests/data") / "images" / relative;
}

std::string ReadFixtureBytes(const std::string& relative) {
    std::ifstream in(ImageFixture(relative), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

RgbImage ReadSource(const std::string& name) {
    const std::string bytes = ReadFixtureBytes("source/" + name);
    std::istringstream in(bytes);
    std::string magic;
    in >> magic;
    int width = 0, height = 0, maxval = 1, depth = 3;
    if (magic == "P7") {
        std::string key;
        while (in >> key && key != "ENDHDR") {
            std::string value;
            in >> value;
            if (key == "WIDTH") width = std::stoi(value);
            if (key == "HEIGHT") height = std::stoi(value);
            if (key == "DEPTH") depth = std::stoi(value);
            if (key == "MAXVAL") maxval = std::stoi(value);
        }
    } else {
        in >> width >> height;
        if (magic != "P4") in >> maxval;
        depth = magic == "P6" ? 3 : 1;
    }
    in.get();  // the single white-space byte before the samples
    RgbImage out;
    out.width = width;
    out.height = height;
    out.channels = 4;
    out.samples.assign(static_cast<size_t>(width) * height * 4, 255);
    const size_t rowBytes = magic == "P4" ? (width + 7) / 8 : static_cast<size_t>(width) * depth;
    std::string row(rowBytes, '\0');
    for (int y = 0; y < height; ++y) {
        in.read(row.data(), static_cast<std::streamsize>(rowBytes));
        for (int x = 0; x < width; ++x) {
            uint8_t* d = &out.samples[(static_cast<size_t>(y) * width + x) * 4];
            if (magic == "P4") {
                // PBM: 1 is black.
                const bool black = (static_cast<uint8_t>(row[x / 8]) >> (7 - x % 8)) & 1;
                d[0] = d[1] = d[2] = black ? 0 : 255;
                continue;
            }
            const auto* s = reinterpret_cast<const uint8_t*>(row.data()) + x * depth;
            const bool grey = depth <= 2;
            d[0] = s[0];
            d[1] = grey ? s[0] : s[1];
            d[2] = grey ? s[0] : s[2];
            if (depth == 4) d[3] = s[3];
        }
    }
    return out;
}

bool MagickRead(const std::filesystem::path& path, RgbImage& out, int frame) {
    if (!HaveImageMagick()) return false;
    const std::string command = "convert " +
                                Quote(path.string() + "[" + std::to_string(frame) + "]") +
                                " -auto-orient -depth 8 -alpha on pam:-";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return false;
    std::string header;
    int c;
    while ((c = std::fgetc(pipe)) != EOF) {
        header.push_back(static_cast<char>(c));
        if (header.size() >= 7 && header.compare(header.size() - 7, 7, "ENDHDR\n") == 0) break;
    }
    std::istringstream in(header);
    std::string key, value;
    int width = 0, height = 0, depth = 0;
    in >> key;
    bool ok = key == "P7";
    while (ok && in >> key && key != "ENDHDR") {
        in >> value;
        if (key == "WIDTH") width = std::stoi(value);
        if (key == "HEIGHT") height = std::stoi(value);
        if (key == "DEPTH") depth = std::stoi(value);
    }
    ok = ok && width > 0 && height > 0 && depth == 4;
    if (ok) {
        out.width = width;
        out.height = height;
        out.channels = 4;
        out.samples.resize(static_cast<size_t>(width) * height * 4);
        ok = std::fread(out.samples.data(), 1, out.samples.size(), pipe) == out.samples.size();
    }
    return ::pclose(pipe) == 0 && ok;
}

bool DecodeBytes(const std::string& bytes, int format, ImageBuffer& image) {
    return image.Decode(Bytes(bytes), format);
}

::testing::AssertionResult SameColours(const ImageBuffer& image, const RgbImage& reference,
                                       int tolerance, bool opaqueOnly) {
    if (image.Width() != reference.width || image.Height() != reference.height) {
        return ::testing::AssertionFailure()
               << "size " << image.Width() << "x" << image.Height() << ", expected "
               << reference.width << "x" << reference.height;
    }
    for (int top = 0; top < reference.height; ++top) {
        for (int x = 0; x < reference.width; ++x) {
            const uint8_t* r = reference.At(x, top);
            if (opaqueOnly && reference.channels == 4 && r[3] == 0) continue;
            const RgbQuad c = image.GetPixelColor(x, reference.height - 1 - top);
            if (std::abs(c.red - r[0]) > tolerance || std::abs(c.green - r[1]) > tolerance ||
                std::abs(c.blue - r[2]) > tolerance) {
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << top << " from the top) is " << int(c.red) << ","
                       << int(c.green) << "," << int(c.blue) << ", expected " << int(r[0]) << ","
                       << int(r[1]) << "," << int(r[2]);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SameAlpha(const ImageBuffer& image, const RgbImage& reference) {
    if (image.Width() != reference.width || image.Height() != reference.height ||
        reference.channels != 4) {
        return ::testing::AssertionFailure() << "size or channels differ";
    }
    for (int top = 0; top < reference.height; ++top) {
        for (int x = 0; x < reference.width; ++x) {
            const int a = image.GetAlpha(x, reference.height - 1 - top);
            const int expected = reference.At(x, top)[3];
            if (a != expected) {
                return ::testing::AssertionFailure() << "alpha at (" << x << ", " << top << ") is "
                                                     << a << ", expected " << expected;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult TruncationsFail(const std::string& bytes, int format,
                                           const std::vector<std::string>& messages, size_t step) {
    for (size_t length = 0; length < bytes.size(); length += step) {
        ImageBuffer image;
        if (DecodeBytes(bytes.substr(0, length), format, image)) {
            return ::testing::AssertionFailure() << "a prefix of " << length << " bytes decoded";
        }
        if (std::find(messages.begin(), messages.end(), image.LastError()) == messages.end()) {
            return ::testing::AssertionFailure()
                   << "a prefix of " << length << " bytes failed with \"" << image.LastError()
                   << "\"";
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace tavolin::test
