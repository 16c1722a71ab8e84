// tavolin-cli convert IN OUT.bmp: decodes a picture the way the wallpaper pipeline does (format
// from the extension) and writes it as a bitmap at the decoded depth, so a decoder can be
// checked against other software.

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/CliCommand.h"
#include "image/ImageBuffer.h"

namespace tavolin::cli {
namespace {

int RunConvert(const Context& /*context*/, const Args& args);

const CliCommand kConvert{
    "convert", "IN OUT.bmp",
    "decode a picture (bmp, gif, jpg, png, ico, tif, tga, pcx, wbmp, wmf) and "
    "save it as a bitmap",
    RunConvert};
const Registrar kRegistrar(kConvert);

std::string Extension(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

int RunConvert(const Context& /*context*/, const Args& args) {
    if (args.size() != 2) return UsageError(kConvert, "expected an input and an output file");
    const std::string& in = args[0];
    const std::string& out = args[1];
    if (FormatFromExtension(Extension(out)) != kFormatBmp) {
        return UsageError(kConvert, "the output must be a .bmp file: '" + out + "'");
    }
    const int format = FormatFromExtension(Extension(in));
    ImageBuffer image(format);
    if (!image.Load(in, format)) {
        const std::string& why = image.LastError();
        return Failure(why.empty() ? "cannot read '" + in + "'" : in + ": " + why);
    }
    if (!image.Save(out, kFormatBmp)) {
        const std::string& why = image.LastError();
        return Failure("cannot write '" + out + "'" + (why.empty() ? "" : ": " + why));
    }
    std::printf("%s: %d x %d, %d bits per pixel -> %s\n", in.c_str(), image.Width(), image.Height(),
                image.BitsPerPixel(), out.c_str());
    return kExitOk;
}

}  // namespace
}  // namespace tavolin::cli
