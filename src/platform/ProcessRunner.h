#pragma once
// Running external programs (the desktop's own tools: gsettings, xfconf-query, xrandr, ...).
// Programs are started without a shell, from an argument vector, with a time limit; the
// interface lets tests record the exact commands and script their results.

#include <chrono>
#include <cstddef>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace tavolin {

struct ProcessResult {
    enum class Status {
        Exited,       // ran to its end; see exitCode
        NotFound,     // no such program on PATH
        TimedOut,     // killed after the time limit
        Signalled,    // ended by a signal it did not get from us
        SpawnFailed,  // could not be started for another reason
        Stopped,      // not started, or killed, because a stop was requested
    };

    Status status = Status::SpawnFailed;
    int exitCode = -1;        // with Exited
    int signal = 0;           // with Signalled
    std::string output;       // standard output, at most kMaxOutput bytes
    std::string errorOutput;  // standard error, at most kMaxErrorOutput bytes
    std::string spawnError;   // with SpawnFailed: the system's reason

    static constexpr size_t kMaxOutput = size_t{1} << 20;
    static constexpr size_t kMaxErrorOutput = 4096;

    /// Exited with code 0.
    bool Succeeded() const { return status == Status::Exited && exitCode == 0; }

    /// One English line for logs: "exit code 1: <first line of stderr>", "timed out", ...
    std::string Describe() const;

    static ProcessResult Exit(int code, std::string out = {}, std::string err = {});
};

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;

    /// Runs argv[0] (looked up on PATH unless it holds a '/') with the arguments argv[1..],
    /// standard input from /dev/null, and kills it (with its process group) once timeout has
    /// passed. An empty argv is SpawnFailed.
    virtual ProcessResult Run(const std::vector<std::string>& argv,
                              std::chrono::milliseconds timeout) = 0;

    /// As Run, and Stopped as soon as stop is requested (a running program is killed). This
    /// default only looks before starting; the real runner also watches while it waits.
    virtual ProcessResult RunUntilStopped(const std::vector<std::string>& argv,
                                          std::chrono::milliseconds timeout,
                                          std::stop_token stop);

    /// True when the program can be found on PATH as an executable file.
    virtual bool IsInstalled(const std::string& program) = 0;
};

/// Runs every program through another runner within one overall deadline and stop request:
/// each program gets at most the time left, and none is started once the time is used up or a
/// stop was requested. Several steps of one task so end within a bound of their own.
class BoundedRunner final : public ProcessRunner {
public:
    BoundedRunner(ProcessRunner& runner, std::chrono::steady_clock::time_point deadline,
                  std::stop_token stop);
    ProcessResult Run(const std::vector<std::string>& argv,
                      std::chrono::milliseconds timeout) override;
    bool IsInstalled(const std::string& program) override;

private:
    ProcessRunner& m_runner;
    std::chrono::steady_clock::time_point m_deadline;
    std::stop_token m_stop;
};

/// The real runner of this platform. Programs get exactly the given environment ("NAME=value"
/// entries) and are looked up on its PATH (/usr/local/bin:/usr/bin:/bin without one).
std::shared_ptr<ProcessRunner> MakeProcessRunner(std::vector<std::string> environment);

/// The argument vector as one line for logs; arguments with blanks or odd bytes are quoted.
std::string FormatCommandLine(const std::vector<std::string>& argv);

}  // namespace tavolin
