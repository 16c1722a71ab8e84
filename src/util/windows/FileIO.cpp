// Whole-file reads and crash-safe rewrites on Windows: the same rules as on Linux (a temporary
// file beside the link-resolved target, flushed, then moved over it), through the wide-character
// API so that any path works.

#include "util/FileIO.h"

#include <windows.h>
#include <winioctl.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "platform/windows/WideText.h"
#include "util/FileLock.h"

namespace tavolin {
namespace {


constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr size_t kTemporarySuffixLength = 6;
constexpr char kTemporaryAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kMaxSymlinkHops = 40;

// How many bytes the injected write limit still lets through; false when it has run out.
bool TakeFromWriteLimit(WriteFaults* faults, size_t& length) {
    if (!faults) return true;
    int64_t limit = faults->bytesLeft.load();
    while (limit >= 0) {
        const int64_t allowed = std::min<int64_t>(limit, static_cast<int64_t>(length));
        if (faults->bytesLeft.compare_exchange_weak(limit, limit - allowed)) {
            length = static_cast<size_t>(allowed);
            return allowed > 0;
        }
    }
    return true;
}

std::string RandomSuffix() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::string suffix;
    for (size_t i = 0; i < kTemporarySuffixLength; ++i) {
        suffix += kTemporaryAlphabet[generator() % (sizeof kTemporaryAlphabet - 1)];
    }
    return suffix;
}

// A CRT descriptor for a handle, so the callers' descriptor-based code serves both platforms.
UniqueFd FdFromHandle(HANDLE h) {
    if (h == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return UniqueFd();
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) ::CloseHandle(h);
    return UniqueFd(fd);
}

// A new temporary file beside target. It is shared with no one who would delete it, so
// RemoveStaleTemporaries cannot take it away while it is being written.
UniqueFd CreateTemporary(const std::filesystem::path& target, std::filesystem::path& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target;
        tempPath += PathFromUtf8(std::string(kTemporaryInfix) + RandomSuffix());
        const HANDLE h = ::CreateFileW(tempPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            errno = ErrnoFromWin32(error);
            return UniqueFd();
        }
        return FdFromHandle(h);
    }
    errno = EEXIST;
    return UniqueFd();
}

// The target of a symbolic link (a reparse point of the symlink kind); nullopt for anything
// else, including junctions, which are directories.
std::optional<std::wstring> ReadSymlink(const std::filesystem::path& path, bool& relative) {
    const HANDLE h = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                   nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<unsigned char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    const BOOL ok = ::DeviceIoControl(h, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), &got, nullptr);
    ::CloseHandle(h);
    if (!ok || got < 8) return std::nullopt;
    // REPARSE_DATA_BUFFER's symlink layout: tag, lengths, offsets, flags, then the names.
    DWORD tag = 0;
    std::memcpy(&tag, buffer.data(), sizeof tag);
    if (tag != IO_REPARSE_TAG_SYMLINK || got < 20) return std::nullopt;
    auto u16 = [&](size_t at) {
        USHORT v = 0;
        std::memcpy(&v, buffer.data() + at, sizeof v);
        return static_cast<size_t>(v);
    };
    ULONG flags = 0;
    std::memcpy(&flags, buffer.data() + 16, sizeof flags);
    const size_t printOffset = u16(12), printLength = u16(14);
    const size_t subOffset = u16(8), subLength = u16(10);
    const size_t base = 20;
    size_t offset = printLength ? printOffset : subOffset;
    size_t length = printLength ? printLength : subLength;
    if (base + offset + length > got) return std::nullopt;
    std::wstring name(length / sizeof(wchar_t), L'\0');
    std::memcpy(name.data(), buffer.data() + base + offset, name.size() * sizeof(wchar_t));
    if (name.rfind(L"\\??\\", 0) == 0) name.erase(0, 4);
    relative = (flags & 1) != 0;  // SYMLINK_FLAG_RELATIVE
    return name;
}

bool IsSymlink(const std::filesystem::path& path) {
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    ::FindClose(find);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           data.dwReserved0 == IO_REPARSE_TAG_SYMLINK;
}

}  // namespace

bool WriteAll(int fd, std::string_view data, WriteFaults* faults) {
    size_t done = 0;
    while (done < data.size()) {
        size_t length = data.size() - done;
        if (!TakeFromWriteLimit(faults, length)) {
            errno = ENOSPC;
            return false;
        }
        // The C runtime writes at most INT_MAX bytes at once.
        const unsigned chunk = static_cast<unsigned>(std::min<size_t>(length, 1u << 30));
        const int n = ::_write(fd, data.data() + done, chunk);
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

UniqueFd OpenRegularFile(const std::filesystem::path& path, ReadStatus& status) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            status = ReadStatus::Missing;
            return UniqueFd();
        }
        // Devices (\\.\NUL, CON) have no attributes; opening them tells what they are.
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        status = ReadStatus::NotRegular;
        return UniqueFd();
    }
    // Shared for writing and deleting too: a reader never stands in the way of a rewrite.
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                     ? ReadStatus::Missing
                     : ReadStatus::Unreadable;
        return UniqueFd();
    }
    // Devices and pipes under a file's name (CON, NUL, \\.\pipe\...) are not files.
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        status = ReadStatus::NotRegular;
        return UniqueFd();
    }
    UniqueFd fd = FdFromHandle(h);
    status = fd.IsValid() ? ReadStatus::Ok : ReadStatus::Unreadable;
    return fd;
}

ReadStatus ReadWholeFile(const std::filesystem::path& path, std::string& out, uint64_t maxBytes) {
    out.clear();
    ReadStatus status;
    const UniqueFd fd = OpenRegularFile(path, status);
    if (!fd.IsValid()) return status;
    const int64_t size = ::_filelengthi64(fd.Get());
    if (size < 0) return ReadStatus::Unreadable;
    if (static_cast<uint64_t>(size) > maxBytes) return ReadStatus::TooLarge;
    out.reserve(static_cast<size_t>(size) + 1);
    std::vector<char> chunk(1 << 16);
    for (;;) {
        const int n = ::_read(fd.Get(), chunk.data(), static_cast<unsigned>(chunk.size()));
        if (n < 0) {
            out.clear();
            return ReadStatus::Unreadable;
        }
        if (n == 0) break;
        if (out.size() + static_cast<size_t>(n) > maxBytes) {
            out.clear();
            return ReadStatus::TooLarge;
        }
        out.append(chunk.data(), static_cast<size_t>(n));
    }
    return ReadStatus::Ok;
}

// The path the system itself reaches for an existing path, every link followed; nullopt when
// nothing is there (or it cannot be opened).
std::optional<std::filesystem::path> FinalPath(const std::filesystem::path& path) {
    const HANDLE h = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::wstring name(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(h, name.data(), static_cast<DWORD>(name.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= name.size()) {
        name.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(h, name.data(), static_cast<DWORD>(name.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    ::CloseHandle(h);
    if (n == 0 || n >= name.size()) return std::nullopt;
    name.resize(n);
    if (name.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        name = L"\\\\" + name.substr(8);
    } else if (name.rfind(L"\\\\?\\", 0) == 0) {
        name.erase(0, 4);
    }
    return std::filesystem::path(name);
}

std::optional<std::filesystem::path> ResolveWriteTarget(const std::filesystem::path& path) {
    std::filesystem::path current = path;
    for (int hop = 0; hop <= kMaxSymlinkHops; ++hop) {
        if (!IsSymlink(current)) {
            // Links the directory listing does not show as such (Wine maps them to the Unix
            // links they are) still lead to their target here.
            if (hop == 0) {
                if (auto final = FinalPath(current)) return *final;
            }
            return current;
        }
        bool relative = false;
        const auto target = ReadSymlink(current, relative);
        if (!target) {
            errno = EACCES;
            return std::nullopt;
        }
        const std::filesystem::path next(*target);
        current = relative || !next.is_absolute() ? current.parent_path() / next : next;
    }
    errno = ELOOP;
    return std::nullopt;
}

bool IsTemporaryNameFor(std::string_view name, std::string_view targetName) {
    if (name.size() != targetName.size() + kTemporaryInfix.size() + kTemporarySuffixLength ||
        name.substr(0, targetName.size()) != targetName ||
        name.substr(targetName.size(), kTemporaryInfix.size()) != kTemporaryInfix) {
        return false;
    }
    for (char c : name.substr(targetName.size() + kTemporaryInfix.size())) {
        if (std::string_view(kTemporaryAlphabet).find(c) == std::string_view::npos) return false;
    }
    return true;
}

int RemoveStaleTemporaries(const std::filesystem::path& target) {
    const std::filesystem::path dir = target.parent_path().empty() ? "." : target.parent_path();
    const std::string targetName = PathToUtf8(target.filename());
    std::vector<std::filesystem::path> candidates;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (IsTemporaryNameFor(PathToUtf8(it->path().filename()), targetName)) {
            candidates.push_back(it->path());
        }
    }

    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const uint64_t staleBefore =
        ticks(now) - static_cast<uint64_t>(kStaleTemporaryAge.count()) * 10000000ull;
    int removed = 0;
    for (const auto& path : candidates) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            ticks(data.ftLastWriteTime) > staleBefore) {
            continue;
        }
        // A rewrite in progress holds its temporary file open without sharing deletion, so
        // this fails for it.
        if (::DeleteFileW(path.c_str())) ++removed;
    }
    return removed;
}

bool AtomicWriteFile(const std::filesystem::path& path, std::string_view data,
                     Durability durability, WriteFaults* faults) {
    return AtomicWriteFile(path, {data}, durability, faults);
}

bool AtomicWriteFile(const std::filesystem::path& path,
                     std::initializer_list<std::string_view> pieces, Durability durability,
                     WriteFaults* faults) {
    const std::optional<std::filesystem::path> resolved = ResolveWriteTarget(path);
    if (!resolved) return false;
    const std::filesystem::path& target = *resolved;
    RemoveStaleTemporaries(target);

    std::filesystem::path tempPath;
    UniqueFd fd = CreateTemporary(target, tempPath);
    if (!fd.IsValid()) return false;

    bool ok = true;
    for (const std::string_view piece : pieces) ok = ok && WriteAll(fd.Get(), piece, faults);
    ok = ok && (durability == Durability::NoSync || ::_commit(fd.Get()) == 0);
    if (ok && faults && faults->failRewrites) {
        errno = ENOSPC;
        ok = false;
    }
    // Closed before the move: a file open without shared deletion cannot be renamed.
    ok = (fd.Reset() == 0) && ok;
    if (ok) {
        const DWORD flags = MOVEFILE_REPLACE_EXISTING |
                            (durability == Durability::Sync ? MOVEFILE_WRITE_THROUGH : 0);
        // A reader that opened the target without sharing deletion (another program, a virus
        // scanner) holds it only briefly: the move is tried again for a while.
        for (int attempt = 0;; ++attempt) {
            if (::MoveFileExW(tempPath.c_str(), target.c_str(), flags)) break;
            const DWORD error = ::GetLastError();
            if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
                attempt >= 100) {
                errno = ErrnoFromWin32(error);
                ok = false;
                break;
            }
            ::Sleep(10);
        }
    }
    if (!ok) {
        const int error = errno;
        ::DeleteFileW(tempPath.c_str());
        errno = error;
        return false;
    }
    return true;
}

bool AppendAllOrNothing(int fd, off_t oldSize, std::string_view data, WriteFaults* faults) {
    if (WriteAll(fd, data, faults)) return true;
    const int error = errno;
    ::_chsize_s(fd, static_cast<int64_t>(oldSize));
    errno = error;
    return false;
}

bool AppendToFile(const std::filesystem::path& path, std::string_view data,
                  WriteFaults* faults) {
    const FileLock lock(path);
    UniqueFd fd(::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE));
    if (!fd.IsValid()) return false;
    const int64_t size = ::_filelengthi64(fd.Get());
    if (size < 0) return false;
    if (!AppendAllOrNothing(fd.Get(), static_cast<off_t>(size), data, faults)) return false;
    return fd.Reset() == 0;
}

}  // namespace tavolin
