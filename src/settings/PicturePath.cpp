#include "settings/PicturePath.h"

#include "util/Cp1252.h"

namespace tavolin {

std::optional<std::string> PicturePathToStore(std::string_view path, PicturePathRule rule) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return std::nullopt;
    // A line break would end the value in the INI file.
    if (path.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
    if (rule == PicturePathRule::FileSystemBytes) return std::string(path);
    return Utf8ToCp1252(path);
}

}  // namespace tavolin
