#pragma once
// Helpers shared by the harnesses: a private scratch directory per process.

#include <unistd.h>

#include <filesystem>
#include <string>

namespace tavolin::fuzz {

inline const std::filesystem::path& ScratchDir() {
    static const std::filesystem::path dir = [] {
        auto p = std::filesystem::temp_directory_path() / ("tavolin-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        return p;
    }();
    return dir;
}

}  // namespace tavolin::fuzz
