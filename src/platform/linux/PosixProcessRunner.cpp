// The real process runner: posix_spawnp with an argument vector (never a shell), its own
// process group so a timeout can stop everything it started, pipes for its output.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/ProcessRunner.h"
#include "util/UniqueFd.h"

extern char** environ;

namespace tavolin {
namespace {

using Clock = std::chrono::steady_clock;

bool MakePipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    readEnd = UniqueFd(fds[0]);
    writeEnd = UniqueFd(fds[1]);
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    return true;
}

// Reads what is available; returns false at end of file or on a hard error. Bytes beyond
// the limit are read and dropped, so a chatty program never blocks on a full pipe.
bool Drain(int fd, std::string& into, size_t limit) {
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            const size_t room = into.size() < limit ? limit - into.size() : 0;
            into.append(buffer, std::min(room, static_cast<size_t>(n)));
            continue;
        }
        if (n == 0) return false;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

class SpawnAttributes {
public:
    SpawnAttributes() {
        m_ok = ::posix_spawnattr_init(&m_attr) == 0;
        if (!m_ok) return;
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        for (int s : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2,
                      SIGTSTP, SIGTTIN, SIGTTOU}) {
            sigaddset(&defaults, s);
        }
        // Its own process group: a timeout kills the helpers the program started as well.
        m_ok = ::posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                       POSIX_SPAWN_SETSIGDEF) == 0 &&
               ::posix_spawnattr_setpgroup(&m_attr, 0) == 0 &&
               ::posix_spawnattr_setsigmask(&m_attr, &none) == 0 &&
               ::posix_spawnattr_setsigdefault(&m_attr, &defaults) == 0;
    }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&m_attr); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    bool ok() const { return m_ok; }
    const posix_spawnattr_t* get() const { return &m_attr; }

private:
    posix_spawnattr_t m_attr;
    bool m_ok = false;
};

class FileActions {
public:
    FileActions(int outFd, int errFd) {
        m_ok = ::posix_spawn_file_actions_init(&m_actions) == 0;
        if (!m_ok) return;
        m_ok = ::posix_spawn_file_actions_addopen(&m_actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
               ::posix_spawn_file_actions_adddup2(&m_actions, outFd, 1) == 0 &&
               ::posix_spawn_file_actions_adddup2(&m_actions, errFd, 2) == 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Descriptors opened without O_CLOEXEC elsewhere must not leak into a desktop tool
        // that may keep running for the whole session.
        m_ok = m_ok && ::posix_spawn_file_actions_addclosefrom_np(&m_actions, 3) == 0;
#endif
    }
    ~FileActions() {
        ::posix_spawn_file_actions_destroy(&m_actions);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    bool ok() const {
        return m_ok;
    }
    const posix_spawn_file_actions_t* get() const {
        return &m_actions;
    }

private:
    posix_spawn_file_actions_t m_actions;
    bool m_ok = false;
};

ProcessResult SpawnFailure(int error) {
    ProcessResult r;
    if (error == ENOENT || error == ENOTDIR) {
        r.status = ProcessResult::Status::NotFound;
    } else {
        r.status = ProcessResult::Status::SpawnFailed;
        r.spawnError = std::strerror(error);
    }
    return r;
}

void Finish(ProcessResult& result, int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        result.status = ProcessResult::Status::Exited;
        result.exitCode = WEXITSTATUS(waitStatus);
    } else if (WIFSIGNALED(waitStatus)) {
        result.status = ProcessResult::Status::Signalled;
        result.signal = WTERMSIG(waitStatus);
    }
}

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The environment of this process with the locale fixed: LC_ALL replaced by C.UTF-8, so the
// output of tools that is parsed (gsettings, xrandr, ...) never depends on the user's locale
// and non-ASCII text is not turned into "?" where no UTF-8 locale is set.
std::vector<std::string> Utf8LocaleEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, "LC_ALL=", 7) != 0) env.emplace_back(*e);
    }
    env.emplace_back("LC_ALL=C.UTF-8");
    return env;
}

class PosixProcessRunner final : public ProcessRunner {
public:
    explicit PosixProcessRunner(bool utf8Locale) : m_utf8Locale(utf8Locale) {}

    ProcessResult Run(const std::vector<std::string>& argv,
                      std::chrono::milliseconds timeout) override {
        if (argv.empty() || argv.front().empty()) return SpawnFailure(EINVAL);
        UniqueFd outRead, outWrite, errRead, errWrite;
        if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) {
            return SpawnFailure(errno);
        }
        SpawnAttributes attributes;
        FileActions actions(outWrite.Get(), errWrite.Get());
        if (!attributes.ok() || !actions.ok()) return SpawnFailure(ENOMEM);

        std::vector<char*> args;
        args.reserve(argv.size() + 1);
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);

        std::vector<std::string> envStrings;
        std::vector<char*> envp;
        char** childEnv = environ;
        if (m_utf8Locale) {
            envStrings = Utf8LocaleEnvironment();
            envp.reserve(envStrings.size() + 1);
            for (auto& e : envStrings) envp.push_back(e.data());
            envp.push_back(nullptr);
            childEnv = envp.data();
        }

        pid_t pid = -1;
        const int error =
            ::posix_spawnp(&pid, args[0], actions.get(), attributes.get(), args.data(), childEnv);
        outWrite.Reset();
        errWrite.Reset();
        if (error != 0) return SpawnFailure(error);
        return Supervise(pid, outRead, errRead, timeout);
    }

    bool IsInstalled(const std::string& program) override {
        if (program.empty()) return false;
        if (program.find('/') != std::string::npos) return IsExecutableFile(program);
        const char* pathVar = std::getenv("PATH");
        const std::string path = pathVar ? pathVar : "/usr/local/bin:/usr/bin:/bin";
        size_t begin = 0;
        for (;;) {
            const size_t end = path.find(':', begin);
            std::string dir = path.substr(begin, end == std::string::npos ? end : end - begin);
            if (dir.empty()) dir = ".";
            if (IsExecutableFile(dir + "/" + program)) return true;
            if (end == std::string::npos) return false;
            begin = end + 1;
        }
    }

private:
    bool m_utf8Locale;

    static ProcessResult Supervise(pid_t pid, UniqueFd& outRead, UniqueFd& errRead,
                                   std::chrono::milliseconds timeout) {
        ProcessResult result;
        const auto deadline = Clock::now() + std::max(timeout, std::chrono::milliseconds(0));
        bool outOpen = true, errOpen = true;
        auto idleSleep = std::chrono::milliseconds(1);
        for (;;) {
            int waitStatus = 0;
            const pid_t done = ::waitpid(pid, &waitStatus, WNOHANG);
            if (done == pid || (done < 0 && errno != EINTR)) {
                // Take what is already in the pipes, but do not wait for end of file: a
                // helper it left running may hold them open.
                if (outOpen) Drain(outRead.Get(), result.output, ProcessResult::kMaxOutput);
                if (errOpen)
                    Drain(errRead.Get(), result.errorOutput, ProcessResult::kMaxErrorOutput);
                if (done == pid) {
                    Finish(result, waitStatus);
                } else {
                    result.spawnError = std::strerror(errno);
                }
                return result;
            }
            const auto now = Clock::now();
            if (now >= deadline) {
                ::kill(-pid, SIGKILL);
                ::kill(pid, SIGKILL);
                while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
                }
                result.status = ProcessResult::Status::TimedOut;
                return result;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
            if (outOpen || errOpen) {
                pollfd fds[2];
                nfds_t n = 0;
                if (outOpen) fds[n++] = {outRead.Get(), POLLIN, 0};
                if (errOpen) fds[n++] = {errRead.Get(), POLLIN, 0};
                const int wait = static_cast<int>(std::min<long long>(left.count() + 1, 50));
                if (::poll(fds, n, wait) > 0) {
                    if (outOpen)
                        outOpen = Drain(outRead.Get(), result.output, ProcessResult::kMaxOutput);
                    if (errOpen) {
                        errOpen = Drain(errRead.Get(), result.errorOutput,
                                        ProcessResult::kMaxErrorOutput);
                    }
                }
            } else {
                // Both pipes are closed but the program still runs: wait in growing steps.
                std::this_thread::sleep_for(
                    std::min(idleSleep, left + std::chrono::milliseconds(1)));
                idleSleep = std::min(idleSleep * 2, std::chrono::milliseconds(50));
            }
        }
    }
};

}  // namespace

ProcessRunner& SystemProcessRunner() {
    static PosixProcessRunner runner(true);
    return runner;
}

ProcessRunner& UserLocaleProcessRunner() {
    static PosixProcessRunner runner(false);
    return runner;
}

}  // namespace tavolin
