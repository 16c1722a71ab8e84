#include "platform/linux/DataDirectory.h"

#include <unistd.h>

#include <system_error>

namespace tavolin {

std::filesystem::path ProgramDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path();
}

std::filesystem::path ChooseDataDirectory(const EnvironmentLookup& env,
                                          const std::filesystem::path& programDir) {
    if (const auto dir = env("TAVOLIN_DIR")) return *dir;
    if (!programDir.empty() && ::access(programDir.c_str(), W_OK) == 0) return programDir;
    std::filesystem::path base;
    if (const auto xdg = env("XDG_DATA_HOME"); xdg && xdg->front() == '/') {
        base = *xdg;
    } else if (const auto home = env("HOME")) {
        base = std::filesystem::path(*home) / ".local" / "share";
    } else {
        base = "/tmp";
    }
    return base / "tavolin";
}

bool MakeDataDirectory(const std::filesystem::path& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!ec && std::filesystem::is_directory(dir, ec)) return true;
    error = "the data directory " + dir.string() + " cannot be made" +
            (ec ? ": " + ec.message() : std::string(": a file of that name is in the way"));
    return false;
}

}  // namespace tavolin
