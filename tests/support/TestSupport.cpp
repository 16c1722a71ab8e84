#include "support/TestSupport.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/linux/Environment.h"

namespace tavolin::test {

#ifdef _WIN32
// Windows has no root to step down from: the check runs here.
bool AsUnprivilegedUser(const std::vector<std::filesystem::path>&,
                        const std::function<bool()>& check) {
    return check();
}

TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() /
                               ("tavolin-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("no temporary directory can be made");
}

// Windows' time zone is the system's, not a variable of the process: scripts/windows.sh runs
// the tests in Wine with the host's TZ=Europe/Berlin, which Wine takes over as Windows' zone.
ScopedTimeZone::ScopedTimeZone(const char*) {}
ScopedTimeZone::~ScopedTimeZone() {}
#else
bool AsUnprivilegedUser(const std::vector<std::filesystem::path>& handOver,
                        const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    constexpr uid_t kNobody = 65534;
    constexpr gid_t kNoGroup = 65534;
    for (const auto& path : handOver) {
        if (::lchown(path.c_str(), kNobody, kNoGroup) != 0) return false;
        if (!std::filesystem::is_directory(path)) continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (::lchown(entry.path().c_str(), kNobody, kNoGroup) != 0) return false;
        }
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kNoGroup, kNoGroup, kNoGroup) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0) {
            ::_exit(3);
        }
        const bool ok = check();
        std::fflush(nullptr);
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavolin-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

ScopedTimeZone::ScopedTimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) {
        m_had = true;
        m_old = old;
    }
    ::setenv("TZ", tz, 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (m_had) {
        ::setenv("TZ", m_old.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}
#endif

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may have taken write permission away; give it back so removal works.
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

UserMessageSink MessageRecorder::Sink() {
    return [this](const UserMessage& m) {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(m);
    };
}

std::vector<UserMessage> MessageRecorder::messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

WallpaperResult RecordingDesktop::SetWallpaper(const std::filesystem::path& bmpPath,
                                               std::stop_token) {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(bmpPath);
    return m_answer;
}

void RecordingDesktop::SetAnswer(WallpaperResult answer) {
    std::lock_guard lock(m_mutex);
    m_answer = std::move(answer);
}

std::vector<std::filesystem::path> RecordingDesktop::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

DataDirTest::DataDirTest() {
    m_context.dataDirectory = m_dir.path();
    m_context.userMessages = m_messages.Sink();
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TimePoint Local(int year, int month, int day, int hour, int minute, int second) {
    return MakeLocal(year, month, day, hour, minute, second);
}

std::shared_ptr<ProcessRunner> SystemRunner() {
    return MakeProcessRunner(EnvironmentEntries(ToolEnvironment(ReadProcessEnvironment())));
}

std::filesystem::path TestDataDir() {
    if (const char* d = std::getenv("TAVOLIN_TEST_DATA")) return d;
    return std::filesystem::path(__FILE__).parent_path().parent_path() / "data";
}

}  // namespace tavolin::test
