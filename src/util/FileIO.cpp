#include "util/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace tavolin {
namespace {

std::atomic<bool> g_failAtomicWrite{false};

}  // namespace

bool WriteAll(int fd, std::string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

void SetAtomicWriteFailureForTesting(bool fail) { g_failAtomicWrite = fail; }

ReadStatus ReadWholeFile(const std::filesystem::path& path, std::string& out, uint64_t maxBytes) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Unreadable;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadStatus::Unreadable;
    }
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return ReadStatus::TooLarge;
    }
    out.reserve(static_cast<size_t>(st.st_size));
    std::vector<char> chunk(1 << 16);
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            out.clear();
            return ReadStatus::Unreadable;
        }
        if (n == 0) break;
        // The file may grow while we read it; the limit holds all the same.
        if (out.size() + static_cast<size_t>(n) > maxBytes) {
            ::close(fd);
            out.clear();
            return ReadStatus::TooLarge;
        }
        out.append(chunk.data(), static_cast<size_t>(n));
    }
    ::close(fd);
    return ReadStatus::Ok;
}

bool AtomicWriteFile(const std::filesystem::path& path, std::string_view data, Durability durability) {
    return AtomicWriteFile(path, {data}, durability);
}

bool AtomicWriteFile(const std::filesystem::path& path, std::initializer_list<std::string_view> pieces,
                     Durability durability) {
    std::string tmpl = path.string() + ".tmp-XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;

    // mkstemp creates 0600; keep the original's mode, or the usual mode for a new file.
    mode_t mode = 0666;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    for (const std::string_view piece : pieces) ok = ok && WriteAll(fd, piece);
    ok = ok && (durability == Durability::NoSync || ::fsync(fd) == 0);
    ok = (::close(fd) == 0) && ok;
    if (ok && g_failAtomicWrite) ok = false;
    if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

bool AppendToFile(const std::filesystem::path& path, std::string_view data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, data);
    return (::close(fd) == 0) && ok;
}

}  // namespace tavolin
