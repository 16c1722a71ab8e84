#pragma once
// Included before every source file of the Windows build. The core opens, reads and inspects
// files through the POSIX calls the C runtime also offers; on Windows a path's c_str() is
// UTF-16, so the calls below take wide paths too, always in binary mode (CR LF and byte 0x1A
// pass through untouched). Flags with no meaning on Windows (there are no FIFOs, controlling
// terminals or symlinks followed by open) are zero.

#ifdef __cplusplus
// First, so that time.h offers localtime_r and gmtime_r (winpthreads asks for them).
#include <pthread.h>
#include <time.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#ifndef O_CLOEXEC
#define O_CLOEXEC _O_NOINHERIT
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif

// Opened sharing read, write and delete, as POSIX files are: an open reader never stops a
// rewrite from moving its new file into place.
int open(const wchar_t* path, int flags, int mode = 0);

// Windows knows no execute permission for access(); read and write are what it can check.
inline int access(const wchar_t* path, int mode) {
    return ::_waccess(path, mode & 06);
}

// pread through the handle, at the given offset; the descriptor's position is left alone.
ssize_t pread(int fd, void* buffer, size_t count, off_t offset);

inline time_t timegm(struct tm* fields) {
    return ::_mkgmtime(fields);
}

// With 64-bit file offsets the C runtime names struct stat and stat() _stat64.
inline int _stat64(const wchar_t* path, struct _stat64* st) {
    return ::_wstat64(path, st);
}
#endif
