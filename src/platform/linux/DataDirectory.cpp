#include "platform/DataDirectory.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <system_error>

namespace tavolin {
namespace {

std::mutex g_mutex;
std::filesystem::path g_override;

std::filesystem::path ProgramDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path();
}

std::filesystem::path UserDirectory() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::filesystem::path base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::filesystem::path(home) / ".local" / "share";
    } else {
        base = "/tmp";
    }
    return base / "tavolin";
}

}  // namespace

void SetDataDirectoryForTesting(const std::filesystem::path& dir) {
    std::lock_guard lock(g_mutex);
    g_override = dir;
}

std::filesystem::path DataDirectory() {
    {
        std::lock_guard lock(g_mutex);
        if (!g_override.empty()) return g_override;
    }
    if (const char* dir = std::getenv("TAVOLIN_DIR"); dir && *dir) {
        // A folder named for the data but not made yet is made, as the per-user one is; when
        // that fails the first write reports it.
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        return dir;
    }
    const auto own = ProgramDirectory();
    if (!own.empty() && ::access(own.c_str(), W_OK) == 0) return own;
    const auto user = UserDirectory();
    std::error_code ec;
    std::filesystem::create_directories(user, ec);
    return user;
}

std::filesystem::path DataFile(const char* name) { return DataDirectory() / name; }

}  // namespace tavolin
