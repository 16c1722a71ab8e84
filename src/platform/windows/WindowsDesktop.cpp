#include "platform/windows/WindowsDesktop.h"

#include <windows.h>

#include "platform/windows/WideText.h"

namespace tavolin {
namespace {

bool SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            bytes) == ERROR_SUCCESS;
}

}  // namespace

WallpaperResult WindowsDesktop::SetWallpaper(const std::filesystem::path& bmpPath,
                                             std::stop_token stop) {
    if (stop.stop_requested()) return {WallpaperStatus::Cancelled, "Windows", "stopped"};
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(bmpPath, ec);
    if (ec) full = bmpPath;
    full.make_preferred();
    const std::wstring path = full.native();

    // The values first: the system call reads them, and they keep the picture over a logon
    // even where the call's own saving is not honoured. Only these two values are written, so
    // the user's display style stays.
    HKEY key = nullptr;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                                       KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return {WallpaperStatus::Failed, "Windows",
                "the desktop settings cannot be opened: " + Win32Message(status)};
    }
    const bool written = SetString(key, L"TileWallPaper", L"0") && SetString(key, L"WallPaper", path);
    ::RegCloseKey(key);
    if (!written) {
        return {WallpaperStatus::Failed, "Windows", "the wallpaper values cannot be written"};
    }

    std::wstring argument = path;
    if (!::SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, argument.data(),
                                 SPIF_UPDATEINIFILE | SPIF_SENDCHANGE)) {
        return {WallpaperStatus::Failed, "Windows",
                "the system did not take the wallpaper: " + Win32Message(::GetLastError())};
    }
    return {WallpaperStatus::Set, "Windows", {}};
}

ScreenSize WindowsScreen::PrimarySize() {
    return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

ScreenReading WindowsScreen::Read() {
    const ScreenSize size = PrimarySize();
    if (size.width < 1 || size.height < 1) {
        return {kDefaultScreenSize, false, "the system reports no screen: default size"};
    }
    return {size, true, "GetSystemMetrics"};
}

}  // namespace tavolin
