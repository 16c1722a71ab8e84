#include "platform/windows/WideText.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace tavolin {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                        nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                              n);
    }
    return out;
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                              n, nullptr, nullptr);
    }
    return out;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(Widen(utf8));
}

std::string PathToUtf8(const std::filesystem::path& path) {
    return Narrow(path.native());
}

int ErrnoFromWin32(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_PATHNAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        default:
            return EIO;
    }
}

void SetErrnoFromLastError() {
    errno = ErrnoFromWin32(::GetLastError());
}

std::string Win32Message(unsigned long error) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = n && text ? Narrow(std::wstring_view(text, n)) : std::string();
    if (text) ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    if (message.empty()) message = "Windows error " + std::to_string(error);
    return message;
}

}  // namespace tavolin

// The pread of PosixCompat.h.
ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    const int64_t position = ::_lseeki64(fd, 0, SEEK_CUR);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
    const BOOL ok = ::ReadFile(h, buffer, want, &got, &at);
    if (position >= 0) ::_lseeki64(fd, position, SEEK_SET);
    if (!ok) {
        if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
        tavolin::SetErrnoFromLastError();
        return -1;
    }
    return static_cast<ssize_t>(got);
}

// The open of PosixCompat.h.
int open(const wchar_t* path, int flags, int) {
    DWORD access = 0;
    switch (flags & (_O_RDONLY | _O_WRONLY | _O_RDWR)) {
        case _O_WRONLY:
            access = GENERIC_WRITE;
            break;
        case _O_RDWR:
            access = GENERIC_READ | GENERIC_WRITE;
            break;
        default:
            access = GENERIC_READ;
            break;
    }
    DWORD disposition = OPEN_EXISTING;
    if (flags & _O_CREAT) {
        disposition = (flags & _O_EXCL) ? CREATE_NEW : (flags & _O_TRUNC) ? CREATE_ALWAYS : OPEN_ALWAYS;
    } else if (flags & _O_TRUNC) {
        disposition = TRUNCATE_EXISTING;
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, (flags & _O_NOINHERIT) ? FALSE : TRUE};
    const HANDLE h = ::CreateFileW(path, access,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        tavolin::SetErrnoFromLastError();
        return -1;
    }
    // A directory cannot be opened as a file here either.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h),
                                     _O_BINARY | (flags & (_O_APPEND | _O_RDONLY | _O_WRONLY | _O_RDWR)));
    if (fd < 0) ::CloseHandle(h);
    return fd;
}
