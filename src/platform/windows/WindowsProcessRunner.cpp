// Running helper programs on Windows: CreateProcessW from an argument vector quoted by the
// C runtime's rules, output read through pipes by threads of their own, the whole process tree
// in a job object so that a time-out or a stop ends all of it.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/ProcessRunner.h"
#include "platform/windows/WideText.h"

namespace tavolin {
namespace {

// One argument as CommandLineToArgvW and the C runtime read it back.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            line.append(backslashes * 2 + 1, L'\\');
        } else {
            line.append(backslashes, L'\\');
        }
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

struct Handle {
    HANDLE h = nullptr;
    Handle() = default;
    explicit Handle(HANDLE v) : h(v == INVALID_HANDLE_VALUE ? nullptr : v) {}
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    void Reset() {
        if (h) ::CloseHandle(h);
        h = nullptr;
    }
};

// Reads a pipe to its end, keeping at most limit bytes (the rest is drained, so the child never
// blocks on a full pipe).
void Drain(HANDLE pipe, std::string& out, size_t limit) {
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        const size_t keep = std::min<size_t>(n, limit - std::min(limit, out.size()));
        out.append(buffer, keep);
    }
}

class WindowsProcessRunner final : public ProcessRunner {
public:
    explicit WindowsProcessRunner(std::vector<std::string> environment)
        : m_environment(std::move(environment)) {
        for (const std::string& entry : m_environment) {
            if (entry.size() > 5 && _strnicmp(entry.c_str(), "PATH=", 5) == 0) {
                m_path = Widen(entry.substr(5));
            }
        }
    }

    ProcessResult Run(const std::vector<std::string>& argv,
                      std::chrono::milliseconds timeout) override {
        return RunUntilStopped(argv, timeout, std::stop_token());
    }

    ProcessResult RunUntilStopped(const std::vector<std::string>& argv,
                                  std::chrono::milliseconds timeout,
                                  std::stop_token stop) override;

    bool IsInstalled(const std::string& program) override { return !Find(program).empty(); }

private:
    // The program's full path: as given when it holds a directory, else searched on the PATH
    // of the children's environment with the usual extensions.
    std::wstring Find(const std::string& program) const {
        if (program.empty()) return {};
        const std::wstring name = Widen(program);
        if (name.find_first_of(L"\\/:") != std::wstring::npos) {
            const DWORD attributes = ::GetFileAttributesW(name.c_str());
            return attributes != INVALID_FILE_ATTRIBUTES &&
                           !(attributes & FILE_ATTRIBUTE_DIRECTORY)
                       ? name
                       : std::wstring();
        }
        const wchar_t* path = m_path.empty() ? nullptr : m_path.c_str();
        for (const wchar_t* extension : {L".exe", L".com", L""}) {
            wchar_t found[MAX_PATH * 4];
            const DWORD n = ::SearchPathW(path, name.c_str(), *extension ? extension : nullptr,
                                          static_cast<DWORD>(std::size(found)), found, nullptr);
            if (n > 0 && n < std::size(found)) {
                const DWORD attributes = ::GetFileAttributesW(found);
                if (attributes != INVALID_FILE_ATTRIBUTES &&
                    !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    return found;
                }
            }
        }
        return {};
    }

    std::vector<std::string> m_environment;
    std::wstring m_path;
};

ProcessResult WindowsProcessRunner::RunUntilStopped(const std::vector<std::string>& argv,
                                                    std::chrono::milliseconds timeout,
                                                    std::stop_token stop) {
    ProcessResult result;
    if (argv.empty()) {
        result.spawnError = "empty command";
        return result;
    }
    if (stop.stop_requested()) {
        result.status = ProcessResult::Status::Stopped;
        return result;
    }
    const std::wstring program = Find(argv[0]);
    if (program.empty()) {
        result.status = ProcessResult::Status::NotFound;
        return result;
    }
    std::wstring commandLine;
    AppendQuoted(commandLine, program);
    for (size_t i = 1; i < argv.size(); ++i) {
        commandLine += L' ';
        AppendQuoted(commandLine, Widen(argv[i]));
    }
    // A block of "NAME=value" strings, sorted as Windows expects, ending in an empty one.
    std::vector<std::wstring> entries;
    for (const std::string& e : m_environment) entries.push_back(Widen(e));
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
    });
    std::wstring environment;
    for (const std::wstring& e : entries) {
        environment += e;
        environment += L'\0';
    }
    environment += L'\0';

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!::CreatePipe(&outRead, &outWrite, &inherit, 0)) {
        result.spawnError = Win32Message(::GetLastError());
        return result;
    }
    Handle outR(outRead), outW(outWrite);
    if (!::CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        result.spawnError = Win32Message(::GetLastError());
        return result;
    }
    Handle errR(errRead), errW(errWrite);
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    Handle nul(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr));

    // Only these three handles reach the child, whatever else this process holds open.
    HANDLE inherited[3] = {nul.h, outWrite, errWrite};
    SIZE_T attributeBytes = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeBytes);
    std::vector<unsigned char> attributeBuffer(attributeBytes);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
    const bool haveList =
        ::InitializeProcThreadAttributeList(attributes, 1, 0, &attributeBytes) &&
        ::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                    sizeof inherited, nullptr, nullptr);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nul.h;
    startup.StartupInfo.hStdOutput = outWrite;
    startup.StartupInfo.hStdError = errWrite;
    if (haveList) startup.lpAttributeList = attributes;

    Handle job(::CreateJobObjectW(nullptr, nullptr));
    if (job.h) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(job.h, JobObjectExtendedLimitInformation, &limits,
                                  sizeof limits);
    }

    PROCESS_INFORMATION process{};
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW | CREATE_SUSPENDED |
                        (haveList ? EXTENDED_STARTUPINFO_PRESENT : 0);
    const BOOL started =
        ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                         environment.data(), nullptr, &startup.StartupInfo, &process);
    const DWORD startError = ::GetLastError();
    if (haveList) ::DeleteProcThreadAttributeList(attributes);
    outW.Reset();
    errW.Reset();
    if (!started) {
        result.status = startError == ERROR_FILE_NOT_FOUND || startError == ERROR_PATH_NOT_FOUND
                            ? ProcessResult::Status::NotFound
                            : ProcessResult::Status::SpawnFailed;
        result.spawnError = Win32Message(startError);
        return result;
    }
    Handle processHandle(process.hProcess), thread(process.hThread);
    if (job.h) ::AssignProcessToJobObject(job.h, process.hProcess);
    ::ResumeThread(process.hThread);

    std::thread outReader(Drain, outRead, std::ref(result.output), ProcessResult::kMaxOutput);
    std::thread errReader(Drain, errRead, std::ref(result.errorOutput),
                          ProcessResult::kMaxErrorOutput);

    // Waits in short steps so that a stop request is seen within a few milliseconds.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    enum class End { Exited, TimedOut, Stopped } end = End::Exited;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            end = End::TimedOut;
            break;
        }
        const DWORD step = static_cast<DWORD>(std::min<int64_t>(left.count(), 20));
        if (::WaitForSingleObject(process.hProcess, step) == WAIT_OBJECT_0) break;
        if (stop.stop_requested()) {
            end = End::Stopped;
            break;
        }
    }
    if (end != End::Exited) {
        if (job.h) {
            ::TerminateJobObject(job.h, 1);
        } else {
            ::TerminateProcess(process.hProcess, 1);
        }
        ::WaitForSingleObject(process.hProcess, 5000);
    }
    // Grandchildren may still hold the pipes: ending the job closes them too.
    if (job.h) ::TerminateJobObject(job.h, 1);
    outReader.join();
    errReader.join();

    switch (end) {
        case End::TimedOut:
            result.status = ProcessResult::Status::TimedOut;
            break;
        case End::Stopped:
            result.status = ProcessResult::Status::Stopped;
            break;
        case End::Exited: {
            DWORD code = 0;
            ::GetExitCodeProcess(process.hProcess, &code);
            result.status = ProcessResult::Status::Exited;
            result.exitCode = static_cast<int>(code);
            break;
        }
    }
    return result;
}

}  // namespace

std::shared_ptr<ProcessRunner> MakeProcessRunner(std::vector<std::string> environment) {
    return std::make_shared<WindowsProcessRunner>(std::move(environment));
}

}  // namespace tavolin
