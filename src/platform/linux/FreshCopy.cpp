#include "platform/linux/FreshCopy.h"

#include <time.h>

#include <cstdint>
#include <system_error>
#include <vector>

namespace tavolin {
namespace {

uint64_t Stamp() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

}  // namespace

std::optional<std::filesystem::path> MakeFreshCopy(const std::filesystem::path& source,
                                                   std::string& error) {
    namespace fs = std::filesystem;
    const std::string stem = source.stem().native();
    const std::string extension = source.extension().native();
    uint64_t stamp = Stamp();
    for (int attempt = 0; attempt < 100; ++attempt, ++stamp) {
        const fs::path target =
            source.parent_path() / (stem + "-" + std::to_string(stamp) + extension);
        std::error_code ec;
        if (fs::exists(fs::symlink_status(target, ec))) continue;
        // copy_file refuses an existing target, so a name taken meanwhile is never overwritten.
        if (fs::copy_file(source, target, fs::copy_options::none, ec)) return target;
        if (ec == std::errc::file_exists) continue;
        // The name was free a moment ago, so whatever is there now is our partial copy.
        std::error_code ignored;
        fs::remove(target, ignored);
        error =
            "could not copy " + source.string() + " to " + target.string() + ": " + ec.message();
        return std::nullopt;
    }
    error = "could not find an unused name beside " + source.string();
    return std::nullopt;
}

bool IsFreshCopyName(const std::filesystem::path& source, const std::string& fileName) {
    const std::string prefix = source.stem().native() + "-";
    const std::string suffix = source.extension().native();
    if (fileName.size() <= prefix.size() + suffix.size()) return false;
    if (fileName.compare(0, prefix.size(), prefix) != 0) return false;
    if (fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
    for (size_t i = prefix.size(); i < fileName.size() - suffix.size(); ++i) {
        if (fileName[i] < '0' || fileName[i] > '9') return false;
    }
    return true;
}

void RemoveOlderCopies(const std::filesystem::path& source, const std::filesystem::path& keep) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir = source.parent_path().empty() ? fs::path(".") : source.parent_path();
    std::vector<fs::path> older;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::path candidate = it->path();
        if (candidate.filename() == keep.filename()) continue;
        if (!IsFreshCopyName(source, candidate.filename().native())) continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError) || typeError) continue;
        older.push_back(candidate);
    }
    for (const auto& path : older) {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
}

}  // namespace tavolin
