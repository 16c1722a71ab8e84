// The data directory on Windows: the program's own directory when it is writable (a portable
// copy, as the files have always lived beside the program), else %APPDATA%\Tavolin. A copy
// set up by the installer always keeps its files per user: run once as administrator it could
// write beside itself, and the settings would then differ between elevated and normal runs and
// stay behind in Program Files after uninstalling.

#include "platform/linux/DataDirectory.h"

#include <windows.h>

#include <system_error>

#include "platform/windows/WideText.h"

namespace tavolin {
namespace {

// Whether a file can be made in dir: the only sure test on Windows, whose access rules
// (ACLs, virtualised Program Files) no attribute shows.
bool IsWritableDirectory(const std::filesystem::path& dir) {
    std::filesystem::path probe = dir / L"~tavolin-write-test.tmp";
    const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

// The installer leaves its uninstaller beside the program; a portable copy has none.
bool IsInstalledCopy(const std::filesystem::path& dir) {
    std::error_code ec;
    return std::filesystem::is_regular_file(dir / L"Uninstall.exe", ec);
}

}  // namespace

std::filesystem::path ProgramDirectory() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(),
                                             static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return std::filesystem::path(buffer).parent_path();
        }
        if (buffer.size() > 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::filesystem::path ChooseDataDirectory(const EnvironmentLookup& env,
                                          const std::filesystem::path& programDir) {
    if (const auto dir = env("TAVOLIN_DIR")) return PathFromUtf8(*dir);
    if (!programDir.empty() && !IsInstalledCopy(programDir) && IsWritableDirectory(programDir)) {
        return programDir;
    }
    if (const auto appData = env("APPDATA")) return PathFromUtf8(*appData) / L"Tavolin";
    if (const auto profile = env("USERPROFILE")) {
        return PathFromUtf8(*profile) / L"AppData" / L"Roaming" / L"Tavolin";
    }
    return std::filesystem::temp_directory_path() / L"Tavolin";
}

bool MakeDataDirectory(const std::filesystem::path& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!ec && std::filesystem::is_directory(dir, ec)) return true;
    error = "the data directory " + PathToUtf8(dir) + " cannot be made" +
            (ec ? ": " + ec.message() : std::string(": a file of that name is in the way"));
    return false;
}

}  // namespace tavolin
