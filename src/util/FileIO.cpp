#include "util/FileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <vector>

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
    uint8_t random[kTemporarySuffixLength];
    if (::getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        // No entropy yet (early boot): time and a counter still make collisions unlikely, and
        // O_EXCL catches the rest.
        static std::atomic<uint64_t> counter{0};
        uint64_t x = static_cast<uint64_t>(std::time(nullptr)) * 0x9E3779B97F4A7C15ull ^
                     (counter++ << 20) ^ static_cast<uint64_t>(::getpid());
        for (uint8_t& r : random) {
            r = static_cast<uint8_t>(x);
            x = x * 6364136223846793005ull + 1442695040888963407ull;
        }
    }
    std::string suffix;
    for (uint8_t r : random) suffix += kTemporaryAlphabet[r % (sizeof kTemporaryAlphabet - 1)];
    return suffix;
}

// Creates a new temporary file beside target and locks it, so that RemoveStaleTemporaries
// leaves it alone while this process is alive.
UniqueFd CreateTemporary(const std::filesystem::path& target, std::filesystem::path& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target;
        tempPath += std::string(kTemporaryInfix) + RandomSuffix();
        UniqueFd fd(
            ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (!fd.IsValid()) {
            if (errno == EEXIST) continue;
            return fd;
        }
        while (::flock(fd.Get(), LOCK_EX) != 0 && errno == EINTR) {
        }
        return fd;
    }
    errno = EEXIST;
    return UniqueFd();
}

void SyncDirectory(const std::filesystem::path& dir) {
    UniqueFd fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.IsValid()) ::fsync(fd.Get());
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
        const ssize_t n = ::write(fd, data.data() + done, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

UniqueFd OpenRegularFile(const std::filesystem::path& path, ReadStatus& status) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.IsValid()) {
        status = errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Unreadable;
        return fd;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        status = ReadStatus::Unreadable;
        return UniqueFd();
    }
    if (!S_ISREG(st.st_mode)) {
        status = ReadStatus::NotRegular;
        return UniqueFd();
    }
    status = ReadStatus::Ok;
    return fd;
}

ReadStatus ReadWholeFile(const std::filesystem::path& path, std::string& out, uint64_t maxBytes) {
    out.clear();
    ReadStatus status;
    const UniqueFd fd = OpenRegularFile(path, status);
    if (!fd.IsValid()) return status;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return ReadStatus::Unreadable;
    if (static_cast<uint64_t>(st.st_size) > maxBytes) return ReadStatus::TooLarge;
    // One spare byte, so that reading up to the end needs no second allocation.
    out.reserve(static_cast<size_t>(st.st_size) + 1);
    std::vector<char> chunk(1 << 16);
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            out.clear();
            return ReadStatus::Unreadable;
        }
        if (n == 0) break;
        // The file may grow while we read it; the limit holds all the same.
        if (out.size() + static_cast<size_t>(n) > maxBytes) {
            out.clear();
            return ReadStatus::TooLarge;
        }
        out.append(chunk.data(), static_cast<size_t>(n));
    }
    return ReadStatus::Ok;
}

std::optional<std::filesystem::path> ResolveWriteTarget(const std::filesystem::path& path) {
    std::filesystem::path current = path;
    for (int hop = 0; hop <= kMaxSymlinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0) return std::nullopt;
        if (static_cast<size_t>(n) >= target.size()) {
            errno = ENAMETOOLONG;  // the link changed while being read
            return std::nullopt;
        }
        target.resize(static_cast<size_t>(n));
        const std::filesystem::path next(target);
        current = next.is_absolute() ? next : current.parent_path() / next;
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
    const std::filesystem::path dir = target.parent_path();
    const std::string targetName = target.filename().string();
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return 0;
    std::vector<std::string> candidates;
    while (const dirent* e = ::readdir(d)) {
        if (IsTemporaryNameFor(e->d_name, targetName)) candidates.emplace_back(e->d_name);
    }
    ::closedir(d);

    const time_t staleBefore = std::time(nullptr) - kStaleTemporaryAge.count();
    int removed = 0;
    for (const std::string& name : candidates) {
        const std::filesystem::path path = dir / name;
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (!fd.IsValid()) continue;
        struct stat st {};
        if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_mtime > staleBefore) {
            continue;
        }
        // A rewrite in progress holds the lock of its temporary file until it has renamed it.
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) continue;
        // Still the same file under that name (not renamed away and replaced meanwhile)?
        struct stat now {};
        if (::lstat(path.c_str(), &now) != 0 || now.st_ino != st.st_ino ||
            now.st_dev != st.st_dev) {
            continue;
        }
        if (::unlink(path.c_str()) == 0) ++removed;
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

    // The temporary file got 0666 less the umask from the kernel; an existing file keeps its mode.
    struct stat st {};
    bool ok = true;
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ok = ::fchmod(fd.Get(), st.st_mode & 07777) == 0;
    }
    for (const std::string_view piece : pieces) ok = ok && WriteAll(fd.Get(), piece, faults);
    ok = ok && (durability == Durability::NoSync || ::fsync(fd.Get()) == 0);
    if (ok && faults && faults->failRewrites) {
        errno = ENOSPC;
        ok = false;
    }
    // The temporary file stays open, and so locked, until it has its final name.
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        ::unlink(tempPath.c_str());
        errno = error;
        return false;
    }
    fd.Reset();
    if (durability == Durability::Sync) SyncDirectory(target.parent_path());
    return true;
}

bool AppendAllOrNothing(int fd, off_t oldSize, std::string_view data, WriteFaults* faults) {
    if (WriteAll(fd, data, faults)) return true;
    const int error = errno;
    // Cut the partial record off again; shrinking needs no space, so this works on a full disk.
    while (::ftruncate(fd, oldSize) != 0 && errno == EINTR) {
    }
    errno = error;
    return false;
}

bool AppendToFile(const std::filesystem::path& path, std::string_view data,
                  WriteFaults* faults) {
    const FileLock lock(path);
    UniqueFd fd(::open(path.c_str(),
                       O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666));
    if (!fd.IsValid()) return false;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return false;
    }
    if (!AppendAllOrNothing(fd.Get(), st.st_size, data, faults)) return false;
    return fd.Reset() == 0;
}

}  // namespace tavolin
