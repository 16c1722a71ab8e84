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
#include <cstring>
#include <thread>

#include "platform/ProcessRunner.h"
#include "util/UniqueFd.h"

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

class PosixProcessRunner final : public ProcessRunner {
public:
    explicit PosixProcessRunner(std::vector<std::string> environment)
        : m_environment(std::move(environment)) {
        m_path = "/usr/local/bin:/usr/bin:/bin";
        for (const auto& entry : m_environment) {
            if (entry.rfind("PATH=", 0) == 0) m_path = entry.substr(5);
        }
        m_envp.reserve(m_environment.size() + 1);
        for (auto& entry : m_environment) m_envp.push_back(entry.data());
        m_envp.push_back(nullptr);
    }

    ProcessResult Run(const std::vector<std::string>& argv,
                      std::chrono::milliseconds timeout) override {
        return RunUntilStopped(argv, timeout, {});
    }

    ProcessResult RunUntilStopped(const std::vector<std::string>& argv,
                                  std::chrono::milliseconds timeout,
                                  std::stop_token stop) override {
        if (stop.stop_requested()) return StoppedResult();
        if (argv.empty() || argv.front().empty()) return SpawnFailure(EINVAL);
        // Looked up on our own PATH, not the process's, so the environment read at start holds.
        // A path is started as it is, so the system says why it cannot be.
        const std::string program =
            argv.front().find('/') != std::string::npos ? argv.front() : Find(argv.front());
        if (program.empty()) return SpawnFailure(ENOENT);
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

        pid_t pid = -1;
        const int error = ::posix_spawn(&pid, program.c_str(), actions.get(), attributes.get(),
                                        args.data(), m_envp.data());
        outWrite.Reset();
        errWrite.Reset();
        if (error != 0) return SpawnFailure(error);
        return Supervise(pid, outRead, errRead, timeout, stop);
    }

    bool IsInstalled(const std::string& program) override { return !Find(program).empty(); }

private:
    static ProcessResult StoppedResult() {
        ProcessResult r;
        r.status = ProcessResult::Status::Stopped;
        return r;
    }

    static ProcessResult Supervise(pid_t pid, UniqueFd& outRead, UniqueFd& errRead,
                                   std::chrono::milliseconds timeout, const std::stop_token& stop) {
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
            const bool stopped = stop.stop_requested();
            if (now >= deadline || stopped) {
                ::kill(-pid, SIGKILL);
                ::kill(pid, SIGKILL);
                while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
                }
                result.status =
                    stopped ? ProcessResult::Status::Stopped : ProcessResult::Status::TimedOut;
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

    // The executable file program names: itself when it holds a '/', else the first match on
    // PATH; empty when there is none.
    std::string Find(const std::string& program) const {
        if (program.empty()) return {};
        if (program.find('/') != std::string::npos) {
            return IsExecutableFile(program) ? program : std::string();
        }
        size_t begin = 0;
        for (;;) {
            const size_t end = m_path.find(':', begin);
            std::string dir = m_path.substr(begin, end == std::string::npos ? end : end - begin);
            if (dir.empty()) dir = ".";
            std::string candidate = dir + "/" + program;
            if (IsExecutableFile(candidate)) return candidate;
            if (end == std::string::npos) return {};
            begin = end + 1;
        }
    }

    std::vector<std::string> m_environment;
    std::vector<char*> m_envp;
    std::string m_path;
};

}  // namespace

std::shared_ptr<ProcessRunner> MakeProcessRunner(std::vector<std::string> environment) {
    return std::make_shared<PosixProcessRunner>(std::move(environment));
}

}  // namespace tavolin
